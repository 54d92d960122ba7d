#include "core/PcmOutput.h"

#include "core/PcmException.h"
#include "platform/FileStream.h"

#include <cmath>

namespace quillon {

TPcmOutput::TPcmOutput() {
    thread_ = std::make_unique<TPcmThread>(TPcmThread::Handlers{
        [this](bool abort) { return ProcessBlock(abort); },
        [this](bool aborted) { DoneHandler(aborted); },
        [this](const std::exception& e) { ExceptionHandler(e); },
        [this] { return !busy_; },
    });
}

TPcmOutput::~TPcmOutput() {
    // Concrete sinks stop the thread in their own destructors; one whose constructor failed
    // never got there, and its ProcessBlock must no longer be called.
    thread_->Terminate(false);
    if (auto* input = input_.load()) {
        input->RemoveUser(this);
    }
}

void TPcmOutput::SetInput(TPcmInput* value) {
    TPcmInput* old = input_.load();
    if (value == old) {
        return;
    }
    if (value != nullptr) {
        value->AddUser(this);
    }
    const bool replacingWhileRunning = busy_;
    if (replacingWhileRunning && value != nullptr) {
        value->Init();
    }
    {
        SpinGuard guard(inputLock_);
        input_ = value;
    }
    if (old != nullptr) {
        old->RemoveUser(this);
        if (replacingWhileRunning) {
            old->Flush();
        }
    }
}

void TPcmOutput::InputDestroyed(TPcmInput* input) {
    // The input is going away: forget it without touching it again. A running output then
    // reads nothing more and ends as at the end of its input.
    SpinGuard guard(inputLock_);
    if (input_.load() == input) {
        input_ = nullptr;
    }
}

void TPcmOutput::Run() {
    if (busy_) {
        throw EPcmException("Component is buisy");
    }
    if (input_.load() == nullptr) {
        throw EPcmException("Input is not assigned");
    }
    inputLock_.Release();
    failing_ = false;
    stopped_ = false;
    try {
        Prepare();
    } catch (const std::exception& e) {
        ExceptionHandler(e);
        return;
    }
    busy_ = true;
    thread_->SetStop(false);
    outputEnabled_ = true;
    thread_->Resume();
}

void TPcmOutput::Stop() {
    thread_->SetStop(true);
}

void TPcmOutput::Pause() {
    thread_->Suspend();
}

void TPcmOutput::Resume() {
    thread_->Resume();
}

TOutputStatus TPcmOutput::Status() const {
    if (!busy_) {
        return osIdle;
    }
    return thread_->Suspended() ? osPaused : osBusy;
}

int TPcmOutput::Progress() const {
    const TPcmInput* input = input_.load();
    if (input == nullptr) {
        return 0;
    }
    const int64_t size = input->Size();
    if (size == -1) {
        return -1;
    }
    if (size == 0) {
        return 0;
    }
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int>(
        std::nearbyint(static_cast<double>(input->Position()) / static_cast<double>(size) * 100));
}

int TPcmOutput::TimeElapsed() const {
    TPcmInput* input = input_.load();
    if (input == nullptr) {
        return 0;
    }
    const int64_t bytesPerSecond = static_cast<int64_t>(input->GetBitsPerSample() / 8) *
                                   input->GetChannels() * input->GetSampleRate();
    if (bytesPerSecond == 0) {
        return 0;
    }
    return static_cast<int>(
        std::lround(static_cast<double>(input->Position()) / static_cast<double>(bytesPerSecond)));
}

void TPcmOutput::SetDelay(int milliseconds) {
    if (milliseconds <= 100) {
        thread_->SetDelay(milliseconds);
    }
}

void TPcmOutput::ReportProgress() {
    const int progress = Progress();
    if (progress != lastProgress_) {
        lastProgress_ = progress;
        if (OnProgress) {
            OnProgress(*this);
        }
    }
}

int TPcmOutput::ReadFromInput(void* buffer, int size) {
    SpinGuard guard(inputLock_);
    TPcmInput* input = input_.load();
    return input != nullptr ? input->ReadBlock(buffer, size) : 0;
}

void TPcmOutput::DoneHandler(bool stopped) {
    if (!busy_) {
        return;
    }
    outputEnabled_ = false;
    stopped_ = stopped;
    Finish();
    busy_ = false;
    if (OnDone) {
        OnDone(*this);
    }
}

void TPcmOutput::ExceptionHandler(const std::exception& e) {
    inputLock_.Release();
    if (Status() != osIdle) {
        if (auto* converter = dynamic_cast<TPcmConverter*>(input_.load())) {
            try {
                converter->ClearInputLocks();
            } catch (...) {
                // Best effort: the chain is being torn down after a failure.
            }
        }
        failing_ = true;
        try {
            Finish();
        } catch (...) {
            // The failure being reported is the first one; later ones add nothing.
        }
    }
    outputEnabled_ = false;
    busy_ = false;
    if (OnThreadException) {
        OnThreadException(*this, e);
    }
}

void TPcmStreamedOutput::SetStream(Stream* stream) {
    stream_ = stream;
    streamAssigned_ = stream != nullptr;
}

void TPcmFileOut::SetFileMode(TFileOutputMode) {
    fileMode_ = foRewrite;
}

void TPcmFileOut::CreateOutputFile() {
    if (streamAssigned_) {
        return;
    }
    ownedStream_ = std::make_unique<FileStream>(fileName_, FileStream::Mode::Create);
    stream_ = ownedStream_.get();
}

void TPcmFileOut::OpenOutputFileForUpdate() {
    if (streamAssigned_) {
        return;
    }
    ownedStream_ = std::make_unique<FileStream>(fileName_, FileStream::Mode::ReadWrite);
    stream_ = ownedStream_.get();
}

void TPcmFileOut::CloseOutputFile() {
    if (!ownedStream_) {
        return;
    }
    std::unique_ptr<Stream> stream = std::move(ownedStream_);
    stream_ = nullptr;
    if (!Failing()) {
        if (auto* file = dynamic_cast<FileStream*>(stream.get())) {
            file->Commit();
        }
    }
}

void TPcmFileOut::DiscardOutputFile() {
    if (ownedStream_) {
        ownedStream_.reset();
        stream_ = nullptr;
    }
}

TPcmInput* TPcmFileOut::InitInput() {
    TPcmInput* input = Input();
    try {
        input->Init();
    } catch (...) {
        DiscardOutputFile();
        throw;
    }
    return input;
}

} // namespace quillon
