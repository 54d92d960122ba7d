#pragma once

#include "platform/FFmpegLibrary.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon::mac {

// One open .ape file decoded through FFmpeg into interleaved PCM exactly as a WAV file holds it
// (8-bit unsigned, 16 and 24-bit little-endian). Results are the library's error codes; no
// operation raises. A file whose header counts no frames (an empty input) opens as empty
// without FFmpeg, which refuses such files.
class ApeDecoder {
public:
    ApeDecoder();
    ~ApeDecoder();
    ApeDecoder(const ApeDecoder&) = delete;
    ApeDecoder& operator=(const ApeDecoder&) = delete;

    int Open(const std::string& fileName);
    // Up to `blocks` blocks into buffer; retrieved 0 at the end. A decoding failure is
    // reported once the blocks decoded before it have been delivered.
    int GetData(char* buffer, int blocks, int& retrieved);
    // The next block delivered is `block` (0 … TotalBlocks).
    int Seek(int64_t block);

    int SampleRate() const { return sampleRate_; }
    int BitsPerSample() const { return bitsPerSample_; }
    int Channels() const { return channels_; }
    int BlockAlign() const { return bitsPerSample_ / 8 * channels_; }
    int64_t TotalBlocks() const { return totalBlocks_; }
    int64_t CurrentBlock() const { return currentBlock_; }
    int64_t LengthMs() const;

private:
    struct Handles;

    // Reads the format from the file's own header; sets empty_ for a file of no frames.
    int ReadHeader(const std::string& fileName);
    int OpenFFmpeg(const std::string& fileName);
    // The error code for a sample format the decoder does not give, MAC_OK otherwise.
    int CheckFormat() const;
    // Decodes until pending_ holds data or the stream ends; an error code on failure.
    int DecodeMore();
    // Appends a decoded frame to pending_, dropping skip_ leading blocks.
    void AppendFrame(const AVFrame& frame);

    const FFmpegEntries* av_ = nullptr;
    std::unique_ptr<Handles> handles_;
    bool empty_ = false;
    int sampleRate_ = 0;
    int bitsPerSample_ = 0;
    int channels_ = 0;
    int64_t totalBlocks_ = 0;
    int64_t currentBlock_ = 0;
    // Decoded blocks not yet delivered, and blocks of the next frames still to drop after a
    // seek into the middle of a frame.
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
    int64_t skip_ = 0;
    bool draining_ = false;
    bool ended_ = false;
    int error_ = 0;
};

} // namespace quillon::mac
