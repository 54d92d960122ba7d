#include "workflow/SinkRun.h"

#include <chrono>
#include <condition_variable>
#include <memory>

namespace quillon {

namespace {

// Completion of one sink run, signalled from the worker thread. Shared with the sink's
// handlers, so that a handler still returning after the wait ended touches live state.
struct RunState {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool failed = false;
    bool stopped = false; // the sink discarded its output
    std::string message;
};

} // namespace

SinkOutcome TSinkRunner::Run(TPcmOutput& sink, const std::function<void(int percent)>& onProgress,
                             const std::function<void()>& pump, std::string& message) {
    auto state = std::make_shared<RunState>();
    done_ = false;
    sink.OnProgress = [onProgress](TPcmOutput& sender) {
        if (onProgress) {
            onProgress(sender.Progress());
        }
    };
    sink.OnDone = [this, state](TPcmOutput& sender) {
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->stopped = sender.Stopped();
        done_ = true;
        state->changed.notify_all();
    };
    sink.OnThreadException = [state](TPcmOutput&, const std::exception& e) {
        std::lock_guard lock(state->mutex);
        state->failed = true;
        state->message = e.what();
        state->changed.notify_all();
    };
    {
        std::lock_guard lock(mutex_);
        if (stopRequested_) {
            // Stopped before the sink ran: no file was started.
            return SinkOutcome::Stopped;
        }
        currentSink_ = &sink;
    }
    try {
        sink.Run();
    } catch (const std::exception& e) {
        std::lock_guard lock(state->mutex);
        state->failed = true;
        state->message = e.what();
    }
    // Run clears a stop that reached the sink while it prepared; this one takes over.
    if (stopRequested_) {
        sink.Stop();
    }
    {
        std::unique_lock lock(state->mutex);
        while (!state->done && !state->failed) {
            if (pump) {
                lock.unlock();
                pump();
                lock.lock();
            }
            state->changed.wait_for(lock, std::chrono::milliseconds(20));
        }
    }
    {
        std::lock_guard lock(mutex_);
        currentSink_ = nullptr;
    }
    std::lock_guard lock(state->mutex);
    if (state->failed) {
        message = state->message;
        return SinkOutcome::Failed;
    }
    return state->stopped ? SinkOutcome::Stopped : SinkOutcome::Done;
}

void TSinkRunner::Stop() {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    if (currentSink_ != nullptr) {
        currentSink_->Stop();
    }
}

TPcmOutput* TSinkRunner::CurrentSink() const {
    std::lock_guard lock(mutex_);
    return currentSink_;
}

} // namespace quillon
