#pragma once

#include "platform/Acm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace quillon {

// Decodes the first audio stream of any file FFmpeg reads to interleaved signed 16-bit PCM,
// at the stream's own sample rate and channel count. Times are in units of 100 ns. Every
// failure raises EAudioReadError; the end of the stream is not a failure.
class TAudioFileReader {
public:
    // Opens the file and its decoder; the format is known from then on.
    explicit TAudioFileReader(const std::string& fileName);
    ~TAudioFileReader();
    TAudioFileReader(const TAudioFileReader&) = delete;
    TAudioFileReader& operator=(const TAudioFileReader&) = delete;

    // Decodes up to size bytes (whole sample frames unless the buffer holds less than one);
    // 0 at the end of the stream. A size of 0 raises "Invalid buffer size.".
    int Read(void* buffer, int size);
    // Moves to a time, clamped to the stream, so that the next Read continues there; returns
    // the time reached.
    int64_t Seek(int64_t time);

    const TWaveFormatEx& WaveFormat() const { return format_; }
    const std::string& FileName() const { return fileName_; }
    // The stream's duration as the container states it; 0 when it does not.
    int64_t Duration() const { return duration_; }
    // The time of the next byte Read delivers.
    int64_t CurrentPosition() const { return position_; }

private:
    struct Av;

    // Decodes until there is pending output or the stream has ended.
    void Refill();
    void DecodeFrames();
    void Convert(const AVFrame* frame);
    void ConfigureResampler(const AVFrame* frame);
    [[noreturn]] void Fail(int ffmpegError) const;

    TWaveFormatEx format_{};
    std::string fileName_;
    std::unique_ptr<Av> av_;
    int streamIndex_ = -1;
    int64_t duration_ = 0;
    int64_t position_ = 0;
    // The position is the time of the last seek plus the bytes delivered since.
    int64_t seekBase_ = 0;
    int64_t bytesSinceSeek_ = 0;
    // After a seek, decoded samples before this stream time are dropped (stream time base);
    // INT64_MIN when nothing is to be dropped.
    int64_t skipBefore_ = INT64_MIN;
    bool inputEnded_ = false;
    bool decoderDrained_ = false;
    // Decoded bytes not yet delivered, from pendingStart_ on. It never holds more than the
    // output of one packet, so memory stays the same however long the file.
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
};

} // namespace quillon
