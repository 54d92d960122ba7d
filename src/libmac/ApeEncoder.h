#pragma once

#include "libmac/ApeFrameEncoder.h"
#include "libmac/ApeWordStream.h"
#include "libmac/MACDll.h"

#include <cstdint>
#include <memory>
#include <nettle/md5.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {

class FileStream;

// A failure of the compressor, with the library's error code for it.
class EApeCompressError : public std::runtime_error {
public:
    explicit EApeCompressError(int code)
        : std::runtime_error("APE compress error " + std::to_string(code)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Writes one Monkey's Audio file (version 3990) from PCM bytes as a WAV file holds them. The
// frames go to disk as they fill, in a temporary file beside the target; Finish completes the
// header, the seek table and the MD5 and puts the file in the target's place. Until then an
// older file of that name is untouched, and a compressor destroyed without Finish leaves
// nothing behind. Memory holds one frame of samples and the input buffer, whatever the length.
// Every failure raises EApeCompressError.
class ApeEncoder {
public:
    // maxAudioBytes: the PCM bytes to come, or -1 when unknown. header: a WAV header to store
    // in the file (none when headerBytes <= 0; decoders then make one).
    ApeEncoder(const std::string& fileName, const MAC_WaveFormat& format, int64_t maxAudioBytes,
               int compressionLevel, const uint8_t* header, int headerBytes);
    ~ApeEncoder();
    ApeEncoder(const ApeEncoder&) = delete;
    ApeEncoder& operator=(const ApeEncoder&) = delete;

    // Where the caller may put up to *available bytes for Unlock.
    uint8_t* LockBuffer(int& available);
    int BytesAvailable() const { return static_cast<int>(buffer_.size() - fill_); }
    // Takes `bytes` bytes put into the locked buffer.
    void Unlock(int bytes);
    // Takes bytes from the caller's memory.
    void Add(const uint8_t* data, int bytes);
    // terminating: bytes stored after the frames, the first wavTerminatingBytes of them the
    // WAV file's own tail. An incomplete last block is dropped.
    void Finish(const uint8_t* terminating, int terminatingBytes, int wavTerminatingBytes);

private:
    void Consume(const uint8_t* data, int64_t blocks);
    void EncodeFrame();
    // Where the frames start with a seek table of `entries` entries.
    int64_t FrameStart(int64_t entries) const;
    // Moves the frames written at `from` to `to`.
    void MoveFrames(int64_t from, int64_t to, int64_t bytes);
    std::vector<uint8_t> Headers(uint64_t frameBytes, int wavTerminatingBytes);

    int level_;
    int channels_;
    int bitsPerSample_;
    int blockAlign_;
    uint32_t sampleRate_;
    int blocksPerFrame_;
    int64_t maxAudioBytes_;
    int64_t bytesTaken_ = 0;
    std::vector<uint8_t> wavHeader_;

    std::unique_ptr<FileStream> file_;
    md5_ctx digest_{};
    std::unique_ptr<ApeWordStream> stream_;
    std::unique_ptr<ApeFrameEncoder> frameEncoder_;
    int64_t dataStart_ = 0; // where the frames are being written

    std::vector<uint8_t> buffer_; // the locked buffer; starts with an incomplete block
    size_t fill_ = 0;
    std::vector<int32_t> samples0_; // the current frame, one channel each
    std::vector<int32_t> samples1_;
    int frameFill_ = 0;
    uint32_t frameCrc_ = 0;
    std::vector<uint64_t> frameOffsets_; // of each frame in the frame stream
    int lastFrameBlocks_ = 0;
};

} // namespace quillon
