#pragma once

#include "codecs/WaveHeader.h"
#include "core/PcmFileIn.h"
#include "platform/MemoryStream.h"

#include <array>
#include <cstdint>
#include <memory>

namespace quillon {

// File source for RIFF/WAVE files: plain PCM (delivered at the file's own width), IMA and
// Microsoft ADPCM (delivered as 16-bit PCM), and MPEG Layer-3 data, which is decoded whole
// into memory when the file is opened.
class TWaveIn : public TPcmFileIn {
public:
    TWaveIn() = default;

    int ReadBlock(void* buffer, int bufferSize) override;
    void OpenFile() override;
    void CloseFile() override;
    bool SeekSample(int64_t sampleNumber) override;

    // Kind of the file found by the last OpenFile.
    TWavType WavType() const { return header_.kind; }

private:
    // Reads the header and sets the format, Size and TotalSamples; false when unsupported.
    bool ReadHeader();
    // Decodes the MPEG Layer-3 data of the open file into decoded_ and reads from it instead.
    bool DecodeCompressedFile();
    // Refills the block buffer; returns the number of bytes now in it.
    int Refill();
    int RefillPcm();
    int RefillAdpcm();
    // Reads the next block of an ADPCM file into block_; false at the end of the data.
    bool ReadAdpcmBlock();
    void ClearFormat();
    // Releases the decoded copy and the file (or rewinds a handed-in stream).
    void CloseStreams();

    WaveHeader header_;
    std::array<uint8_t, kWaveBlockBufferSize> buffer_{};
    std::array<uint8_t, kWaveBlockBufferSize> block_{}; // one ADPCM block as read
    std::unique_ptr<MemoryStream> decoded_;
    Stream* fileStream_ = nullptr; // the stream the decoded copy stands in for
};

} // namespace quillon
