#pragma once

#include "codecs/Adpcm.h"
#include "codecs/WaveHeader.h"
#include "core/PcmOutput.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quillon {

// File sink that writes PCM or IMA ADPCM WAV files, new or appended to an existing file of
// the same format.
class TWaveOut : public TPcmFileOut {
public:
    TWaveOut() = default;
    ~TWaveOut() override;

    TWavType WavType() const { return wavType_; }
    // Accepts wtPCM and wtDVIADPCM while the sink is not busy; ignores anything else.
    void SetWavType(TWavType value);
    uint16_t BlockSize() const { return blockSize_; }
    // Accepts non-zero multiples of 4 while the sink is not busy.
    void SetBlockSize(uint16_t value);
    // True when IMA ADPCM blocks of this size can be written for this many channels and read
    // back: mono blocks above 4 bytes, stereo blocks that are whole 8-byte groups above 8
    // bytes, and no block that decodes to more than the reader's buffer.
    static bool ImaBlockSizeFits(int blockSize, int channels);
    void SetFileMode(TFileOutputMode value) override;

protected:
    bool ProcessBlock(bool abort) override;
    void Finish() override;
    void Prepare() override;

private:
    // Scans the existing file and checks that the input can extend it.
    void PrepareAppend(int sampleRate, int bitsPerSample, int channels);
    void WritePcmHeader(int sampleRate, int bitsPerSample, int channels);
    void WriteImaHeader(int sampleRate, int channels);
    bool ProcessPcmBlock();
    void ProcessImaBlock();
    bool HeaderNeedsPatch();
    void PatchHeader();
    void WriteLE32At(int64_t offset, int64_t value);

    TWavType wavType_ = wtPCM;
    uint16_t blockSize_ = 512;
    std::array<uint8_t, 16384> pcmBuffer_{};
    bool endOfInput_ = false;
    TImaChannel ima_[2];
    std::vector<uint8_t> blockPcm_;
    std::vector<int16_t> blockSamples_;
    std::vector<uint8_t> block_;
    bool appending_ = false;
    int channels_ = 0;
    int64_t dataOffset_ = 0;         // file offset of the first audio byte
    int64_t announcedDataSize_ = -1; // data size the header was written with; -1 unknown
    WaveHeader existing_;            // what the append scan found
    int64_t appendedTo_ = 0;         // length of the file an append started from
};

} // namespace quillon
