#pragma once

#include "codecs/FlacLibrary.h"
#include "core/PcmOutput.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// File sink that encodes PCM into a native FLAC file with libFLAC's stream encoder.
class TFLACOut : public TPcmFileOut {
public:
    // Raises EPcmException "<file name> library could not be loaded." without libFLAC.
    TFLACOut();
    ~TFLACOut() override;

    // 0 … 8 selects a preset; a negative value selects the explicit settings below.
    int CompressionLevel() const { return compressionLevel_; }
    // Values above 8 become 8.
    void SetCompressionLevel(int value) { compressionLevel_ = value > 8 ? 8 : value; }
    // Samples per block; also sizes the PCM buffer.
    uint16_t BlockSize() const { return blockSize_; }
    void SetBlockSize(uint16_t value) { blockSize_ = value; }
    bool Verify() const { return verify_; }
    void SetVerify(bool value) { verify_ = value; }
    bool EnableMidSideStereo() const { return enableMidSideStereo_; }
    void SetEnableMidSideStereo(bool value) { enableMidSideStereo_ = value; }
    bool EnableLooseMidSideStereo() const { return enableLooseMidSideStereo_; }
    // True also turns mid/side coding on.
    void SetEnableLooseMidSideStereo(bool value);
    bool BestModelSearch() const { return bestModelSearch_; }
    // True also turns mid/side coding on and loose mid/side off.
    void SetBestModelSearch(bool value);
    uint16_t MaxLPCOrder() const { return maxLPCOrder_; }
    void SetMaxLPCOrder(uint16_t value) { maxLPCOrder_ = value; }
    // Lowered by Prepare so that it plus the input's bits per sample is at most 31.
    uint16_t QLPCoeffPrecision() const { return qlpCoeffPrecision_; }
    void SetQLPCoeffPrecision(uint16_t value) { qlpCoeffPrecision_ = value; }
    bool QLPCoeffPrecisionSearch() const { return qlpCoeffPrecisionSearch_; }
    void SetQLPCoeffPrecisionSearch(bool value) { qlpCoeffPrecisionSearch_ = value; }
    uint16_t MinResidualPartitionOrder() const { return minResidualPartitionOrder_; }
    void SetMinResidualPartitionOrder(uint16_t value) { minResidualPartitionOrder_ = value; }
    uint16_t MaxResidualPartitionOrder() const { return maxResidualPartitionOrder_; }
    void SetMaxResidualPartitionOrder(uint16_t value) { maxResidualPartitionOrder_ = value; }
    // Vorbis comments of the file, one NAME=value line each (UTF-8); lines with an empty value
    // are left out. A run consumes them: they are emptied when it finishes.
    const std::vector<std::string>& Comments() const { return comments_; }
    void SetComments(const std::vector<std::string>& value) { comments_ = value; }
    void AddComment(const std::string& line) { comments_.push_back(line); }

protected:
    void Prepare() override;
    bool ProcessBlock(bool abort) override;
    void Finish() override;

private:
    struct EncoderDeleter {
        const FlacEntries* flac;
        void operator()(FLAC__StreamEncoder* encoder) const {
            flac->FLAC__stream_encoder_delete(encoder);
        }
    };

    struct MetadataDeleter {
        const FlacEntries* flac;
        void operator()(FLAC__StreamMetadata* block) const {
            flac->FLAC__metadata_object_delete(block);
        }
    };
    using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

    void ConfigureEncoder(TPcmInput& input);
    // The comment block and padding for later tag edits, handed to the encoder.
    void SetMetadata();

    static FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder* encoder,
                                                        const FLAC__byte buffer[], size_t bytes,
                                                        uint32_t samples, uint32_t frame,
                                                        void* client);
    static FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder* encoder,
                                                      FLAC__uint64 offset, void* client);
    static FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder* encoder,
                                                      FLAC__uint64* offset, void* client);

    const FlacEntries* flac_ = nullptr;
    int compressionLevel_ = -1;
    uint16_t blockSize_ = 4608;
    bool verify_ = false;
    bool enableMidSideStereo_ = true;
    bool enableLooseMidSideStereo_ = false;
    bool bestModelSearch_ = false;
    uint16_t maxLPCOrder_ = 0;
    uint16_t qlpCoeffPrecision_ = 0;
    bool qlpCoeffPrecisionSearch_ = false;
    uint16_t minResidualPartitionOrder_ = 0;
    uint16_t maxResidualPartitionOrder_ = 0;

    std::vector<std::string> comments_;

    // Declared before the encoder: the encoder refers to them until it is deleted.
    std::vector<Metadata> metadata_;
    std::vector<FLAC__StreamMetadata*> metadataList_;
    std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder_;
    bool endOfInput_ = false;
    int bytesPerSample_ = 2;
    int channels_ = 2;
    // Byte offset of the FLAC stream in the output, the origin of the encoder's seeks.
    int64_t streamStart_ = 0;
    std::vector<uint8_t> pcm_;
    std::vector<FLAC__int32> samples_;
};

} // namespace quillon
