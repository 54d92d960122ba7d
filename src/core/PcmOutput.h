#pragma once

#include "core/PcmInput.h"
#include "core/PcmThread.h"
#include "platform/Stream.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

enum TOutputStatus { osBusy = 0, osPaused = 1, osIdle = 2 };
enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

class TPcmOutput;
using TOutputDoneEvent = std::function<void(TPcmOutput& sender)>;
using TOutputProgressEvent = std::function<void(TPcmOutput& sender)>;
using TThreadExceptionEvent = std::function<void(TPcmOutput& sender, const std::exception& e)>;

// Abstract sink. It owns a worker thread that calls ProcessBlock pass after pass while an
// output runs, and reports through OnProgress, OnDone and OnThreadException, all raised on
// the worker thread (OnThreadException also on the caller's thread when Prepare fails).
//
// A concrete sink must call TerminateThread() first thing in its destructor, so that the
// worker never calls into a half-destroyed object.
class TPcmOutput : private TInputUser {
public:
    TPcmOutput();
    virtual ~TPcmOutput();
    TPcmOutput(const TPcmOutput&) = delete;
    TPcmOutput& operator=(const TPcmOutput&) = delete;

    TPcmInput* Input() const { return input_; }
    virtual void SetInput(TPcmInput* value);

    bool SuspendWhenIdle() const { return thread_->SuspendWhenIdle(); }
    void SetSuspendWhenIdle(bool value) { thread_->SetSuspendWhenIdle(value); }

    TOutputDoneEvent OnDone;
    TOutputProgressEvent OnProgress;
    TThreadExceptionEvent OnThreadException;

    // Starts output on the worker thread. Raises only for a busy sink or a missing input;
    // a failing Prepare is reported through OnThreadException before Run returns.
    void Run();
    // The next pass ends the output, which then finishes through OnDone with Stopped() true
    // (unless its input had already ended: then it is complete and kept). A stopped output is
    // not kept: a file sink removes its new file unseen, and an older file of that name stays
    // as it was.
    void Stop();
    void Pause();
    void Resume();
    TOutputStatus Status() const;
    // Percentage done, -1 when the input's size is unknown.
    int Progress() const;
    // Seconds of audio delivered by the input so far.
    int TimeElapsed() const;
    // Sleep of the worker before each pass, in milliseconds; values above 100 are ignored.
    void SetDelay(int milliseconds);
    int Delay() const { return thread_->Delay(); }

    bool Busy() const { return busy_; }
    bool OutputEnabled() const { return outputEnabled_; }
    int LastProgress() const { return lastProgress_; }
    // True when the last output was ended by Stop rather than by the end of its input, and
    // was therefore discarded. Valid from OnDone on, until the next Run.
    bool Stopped() const { return stopped_; }

protected:
    // Called on the worker thread; true while more work remains.
    virtual bool ProcessBlock(bool abort) = 0;
    // Closes the output and flushes the input.
    virtual void Finish() = 0;
    // Initialises the input and opens the output.
    virtual void Prepare() = 0;

    // Raises OnProgress when the percentage changed since the last report.
    void ReportProgress();
    // Reads from the input under the input lock; 0 when the input is gone.
    int ReadFromInput(void* buffer, int size);
    // True while Finish runs for an output that failed (on behalf of the exception handler)
    // or was stopped: what was written of it is discarded rather than completed.
    bool Failing() const { return failing_ || stopped_; }
    void TerminateThread() { thread_->Terminate(); }

    std::atomic<bool> outputEnabled_{false};
    std::atomic<int> lastProgress_{0};
    SpinFlag inputLock_;

private:
    void InputDestroyed(TPcmInput* input) override;
    void DoneHandler(bool stopped);
    void ExceptionHandler(const std::exception& e);

    std::atomic<TPcmInput*> input_{nullptr};
    std::atomic<bool> busy_{false};
    std::atomic<bool> failing_{false};
    std::atomic<bool> stopped_{false};
    std::unique_ptr<TPcmThread> thread_;
};

// Sink that writes a file it creates itself, or a stream handed to it.
class TPcmStreamedOutput : public TPcmOutput {
public:
    Stream* GetStream() const { return stream_; }
    void SetStream(Stream* stream);
    bool StreamAssigned() const { return streamAssigned_; }

protected:
    Stream* stream_ = nullptr;
    bool streamAssigned_ = false;
};

// Abstract file sink: file name and file mode.
class TPcmFileOut : public TPcmStreamedOutput {
public:
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& value) { fileName_ = value; }
    TFileOutputMode FileMode() const { return fileMode_; }
    // Sinks that cannot append keep foRewrite whatever is asked.
    virtual void SetFileMode(TFileOutputMode value);

protected:
    // Creates the output file as new content for FileName (the old file, if any, stays until
    // CloseOutputFile commits the new one) and makes it the current stream.
    void CreateOutputFile();
    // Opens an existing file for update in place and makes it the current stream.
    void OpenOutputFileForUpdate();
    // Ends the sink's own file: new content replaces the named file unless the output failed
    // or was stopped, in which case it is discarded. A handed-in stream is left alone.
    void CloseOutputFile();
    // Drops the sink's own file without committing it (failures inside Prepare).
    void DiscardOutputFile();
    // Initialises the input for Prepare and returns it; when that fails, the sink's new file is
    // dropped and the failure passed on.
    TPcmInput* InitInput();

    std::string fileName_;
    TFileOutputMode fileMode_ = foRewrite;

private:
    std::unique_ptr<Stream> ownedStream_;
};

} // namespace quillon
