#pragma once

#include "core/PcmInput.h"
#include "platform/Stream.h"

#include <memory>
#include <string>

namespace quillon {

// Source that reads a file it opens itself, or a stream handed to it.
class TPcmStreamedInput : public TPcmInput {
public:
    Stream* GetStream() const { return stream_; }
    // Hands in a stream (not owned) that is read instead of the file.
    void SetStream(Stream* stream);
    bool StreamAssigned() const { return streamAssigned_; }
    bool StreamSeekable() const { return streamSeekable_; }
    void SetStreamSeekable(bool value) { streamSeekable_ = value; }

protected:
    Stream* stream_ = nullptr;
    bool streamAssigned_ = false;
    bool streamSeekable_ = true;
};

// Abstract file source: file name, sample range and loop. OpenFile/CloseFile nest through an
// open count so that format queries during a run cost nothing.
class TPcmFileIn : public TPcmStreamedInput {
public:
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& value) { fileName_ = value; }
    int64_t StartSample() const { return startSample_; }
    void SetStartSample(int64_t value) { startSample_ = value; }
    int64_t EndSample() const { return endSample_; }
    void SetEndSample(int64_t value) { endSample_ = value; }
    bool Loop() const { return loop_; }
    void SetLoop(bool value) { loop_ = value; }

    int GetBitsPerSample() override;
    int GetChannels() override;
    int GetSampleRate() override;
    int GetTotalTime() override;
    void Init() override;
    void Flush() override;
    void Reset() override;

    // Opens the file and reads its header on the first call; every call counts.
    virtual void OpenFile() = 0;
    // Closes the file when the last open is matched.
    virtual void CloseFile() = 0;
    // Moves the read position to a sample frame; false when the source cannot seek.
    virtual bool SeekSample(int64_t sampleNumber) = 0;

    int OpenCount() const { return openCount_; }
    bool Valid() const { return valid_; }
    int64_t TotalSamples() const { return totalSamples_; }

protected:
    // Opens FileName for reading into ownedStream_ and makes it the current stream.
    void OpenOwnStream();
    // Releases the stream the source opened itself, or rewinds a handed-in seekable stream.
    void CloseOwnStream();

    std::string fileName_;
    int64_t startSample_ = 0;
    int64_t endSample_ = -1;
    bool loop_ = false;
    int openCount_ = 0;
    bool valid_ = false;
    int bitsPerSample_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    int64_t totalSamples_ = 0;
    std::unique_ptr<Stream> ownedStream_;

private:
    // Runs query with the file open when the stream is seekable, closing it again afterwards.
    template <typename F> auto WithFileOpen(F query);
};

} // namespace quillon
