#include "codecs/AudioReadError.h"

#include "platform/FFmpegLibrary.h"

#include <array>
#include <utility>

namespace quillon {

namespace {

constexpr std::array<std::pair<uint32_t, const char*>, 20> kTexts{{
    {0x00040001, "The asynchronous update is pending."},
    {0x00040002, "Sample was not updated after forced completion."},
    {0x00040003, "Reached the end of the stream; the sample wasn't updated."},
    {0x08000001, "Invalid buffer size."},
    {0x80004002, "No interface."},
    {0x80004003, "This method tried to access an invalid pointer."},
    {0x80004004, "The update aborted."},
    {0x80040110, "This class cannot be created as part of an aggregate."},
    {0x80040154, "A specified class is not registered in the registration database."},
    {0x80040401, "An IMediaStream object could not be removed from an IMultiMediaStream object "
                 "because it still contains at least one allocated sample."},
    {0x80040402, "The specified purpose ID can't be used for the call."},
    {0x80040403, "No stream can be found with the specified attributes."},
    {0x80040404, "One or more media streams don't support seeking."},
    {0x80040405, "The stream formats are not compatible."},
    {0x80040406, "This sample already has a pending update."},
    {0x80040407, "The object can't accept the call because its initialize function or "
                 "equivalent has not been called."},
    {0x80040408, "Source already defined."},
    {0x80040409, "The stream type is not valid for this operation."},
    {0x8004040A, "The IMultiMediaStream object is not in running state."},
    {0x80070057, "One of the parameters is invalid."},
}};

} // namespace

EAudioReadError::EAudioReadError(uint32_t code) : EAudioReadError(AudioReadErrorText(code), code) {}

EAudioReadError::EAudioReadError(const std::string& message, uint32_t code)
    : std::runtime_error(message), code_(code) {}

std::string AudioReadErrorText(uint32_t code) {
    for (const auto& [known, text] : kTexts) {
        if (known == code) {
            return text;
        }
    }
    // FFmpeg's codes are negative; av_strerror fails for a code it has no text for.
    const auto* av = FFmpeg();
    const int ffmpegError = static_cast<int>(code);
    if (av != nullptr && ffmpegError < 0) {
        std::array<char, AV_ERROR_MAX_STRING_SIZE * 4> text{};
        if (av->av_strerror(ffmpegError, text.data(), text.size()) == 0) {
            return text.data();
        }
    }
    return "Unrecognized error value.";
}

uint32_t AudioReadCodeOf(int ffmpegError) {
    switch (ffmpegError) {
    case AVERROR_STREAM_NOT_FOUND:
        return kAudioReadNoStream;
    case AVERROR_DECODER_NOT_FOUND:
        return kAudioReadClassNotRegistered;
    default:
        return static_cast<uint32_t>(ffmpegError);
    }
}

} // namespace quillon
