#pragma once

#include "codecs/FlacLibrary.h"
#include "core/PcmFileIn.h"

#include <memory>
#include <vector>

namespace quillon {

// File source that decodes a native FLAC file with libFLAC's stream decoder. Streams of one
// or two channels and up to 16 bits per sample are valid; 8-bit streams are delivered as
// unsigned PCM.
class TFLACIn : public TPcmFileIn {
public:
    // Raises EPcmException "<file name> library could not be loaded." without libFLAC.
    TFLACIn();
    ~TFLACIn() override;

    // Raises EPcmException "Error reading FLAC file" for a file that is not a valid stream.
    void Init() override;
    int ReadBlock(void* buffer, int bufferSize) override;
    void OpenFile() override;
    void CloseFile() override;
    bool SeekSample(int64_t sampleNumber) override;

private:
    struct DecoderDeleter {
        const FlacEntries* flac;
        void operator()(FLAC__StreamDecoder* decoder) const;
    };

    void CloseDecoder();
    // Decodes the next frame into the block; false at the end of the data.
    bool DecodeNextBlock();

    static FLAC__StreamDecoderReadStatus
    ReadCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* client);
    static FLAC__StreamDecoderSeekStatus SeekCallback(const FLAC__StreamDecoder*,
                                                      FLAC__uint64 offset, void* client);
    static FLAC__StreamDecoderTellStatus TellCallback(const FLAC__StreamDecoder*,
                                                      FLAC__uint64* offset, void* client);
    static FLAC__StreamDecoderLengthStatus LengthCallback(const FLAC__StreamDecoder*,
                                                          FLAC__uint64* length, void* client);
    static FLAC__bool EofCallback(const FLAC__StreamDecoder*, void* client);
    static FLAC__StreamDecoderWriteStatus WriteCallback(const FLAC__StreamDecoder*,
                                                        const FLAC__Frame* frame,
                                                        const FLAC__int32* const buffer[],
                                                        void* client);
    static void MetadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                                 void* client);
    static void ErrorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus,
                              void* client);

    const FlacEntries* flac_ = nullptr;
    std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder_;
    // The last decoded frame as PCM bytes, with 0-based read and end indexes into it.
    std::vector<uint8_t> block_;
    size_t readIndex_ = 0;
    size_t endIndex_ = 0;
    bool blockDecoded_ = false;
    int frameBytes_ = 0;
    // Samples are stored in whole bytes: a 12-bit stream is shifted up into 16 bits.
    int sampleShift_ = 0;
    bool endOfFile_ = false;
};

} // namespace quillon
