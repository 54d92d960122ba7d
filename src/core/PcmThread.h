#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon {

// The worker thread of one sink. It is created suspended and loops, pass after pass, asking
// its sink to process one block until it is told to terminate.
class TPcmThread {
public:
    struct Handlers {
        std::function<bool(bool abort)> processBlock;
        // The output ended; aborted when the pass that ended it was asked to stop.
        std::function<void(bool aborted)> done;
        std::function<void(const std::exception&)> exception;
        // True when the sink has no output under way (a self-suspension is then in order).
        std::function<bool()> idle;
    };

    explicit TPcmThread(Handlers handlers);
    ~TPcmThread();
    TPcmThread(const TPcmThread&) = delete;
    TPcmThread& operator=(const TPcmThread&) = delete;

    void Suspend();
    void Resume();
    bool Suspended() const;

    bool SuspendWhenIdle() const { return suspendWhenIdle_; }
    void SetSuspendWhenIdle(bool value) { suspendWhenIdle_ = value; }
    // The abort request passed to the next ProcessBlock.
    void SetStop(bool value) { stop_ = value; }
    bool StopRequested() const { return stop_; }
    int Delay() const { return delay_; }
    void SetDelay(int milliseconds) { delay_ = milliseconds; }

    // Ends the loop (waking a suspended thread) and waits for the thread. With finalPass the
    // loop makes one last ProcessBlock(true) call before it leaves; without it (the sink is
    // already partly destroyed) it leaves at once.
    void Terminate(bool finalPass = true);

private:
    void Execute();
    void AfterIdle();

    Handlers handlers_;
    std::atomic<bool> suspendWhenIdle_{true};
    std::atomic<bool> terminateRequest_{false};
    std::atomic<bool> finalPass_{true};
    std::atomic<bool> stop_{false};
    std::atomic<int> delay_{0};

    mutable std::mutex stateMutex_;
    std::condition_variable resumed_;
    bool suspended_ = true;
    // Held for each whole pass of the loop.
    std::mutex passMutex_;
    std::thread thread_;
};

} // namespace quillon
