#pragma once

#include "codecs/AudioFileReader.h"
#include "core/PcmFileIn.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

// File source for any audio file FFmpeg decodes, as 16-bit PCM at the file's own rate and
// channel count. Positions are bytes of PCM: TotalSamples is Size, and SeekSample takes a
// byte offset, applied at the next refill of the block buffer. Size counts whole seconds of
// the stream only; reading still delivers the whole stream.
class TDX9In : public TPcmFileIn {
public:
    static constexpr int kBufferSize = 32768;

    TDX9In();
    ~TDX9In() override;

    int ReadBlock(void* buffer, int bufferSize) override;
    void Init() override;
    void Flush() override;
    // Raises EAudioReadError when FFmpeg cannot open or decode the file.
    void OpenFile() override;
    void CloseFile() override;
    // Requests a seek to a byte offset; 0 requests nothing.
    bool SeekSample(int64_t byteOffset) override;

private:
    // The stream time of a byte offset, from the real byte rate (duration div Size would be
    // off for any stream that is not a whole number of seconds long, and undefined below one).
    int64_t TimeOfByte(int64_t offset) const;

    std::unique_ptr<TAudioFileReader> reader_;
    int64_t pendingSeek_ = 0;
    std::vector<uint8_t> buffer_;
};

// Tries FFmpeg once at start-up; returns the text to show when it is not usable, or an empty
// text when it is.
std::string DX9InStartupProblem();

} // namespace quillon
