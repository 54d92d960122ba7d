#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillon {

// Result codes of the audio file reader. Failures of FFmpeg carry FFmpeg's own (negative)
// error code as its 32-bit pattern; the two FFmpeg failures that mean the same as a code below
// are reported under that code.
constexpr uint32_t kAudioReadInvalidBufferSize = 0x08000001;
// The file has no audio stream (FFmpeg's AVERROR_STREAM_NOT_FOUND).
constexpr uint32_t kAudioReadNoStream = 0x80040403;
// No decoder for the file's audio, or FFmpeg itself is missing (AVERROR_DECODER_NOT_FOUND).
constexpr uint32_t kAudioReadClassNotRegistered = 0x80040154;

// A failure of the audio file reader: a readable message and the 32-bit result code.
class EAudioReadError : public std::runtime_error {
public:
    // The message is the text that belongs to the code (AudioReadErrorText).
    explicit EAudioReadError(uint32_t code);
    EAudioReadError(const std::string& message, uint32_t code);

    uint32_t Code() const { return code_; }

private:
    uint32_t code_;
};

// The text of a result code: the reader's own table of texts, FFmpeg's text for its error
// codes, and "Unrecognized error value." for a code that has neither.
std::string AudioReadErrorText(uint32_t code);

// The result code under which an FFmpeg error code is reported.
uint32_t AudioReadCodeOf(int ffmpegError);

} // namespace quillon
