#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace quillon::cli {

// Turns SIGINT, SIGTERM and SIGHUP into a stop of the running work, so that it ends through
// the same path as a stop from a window: the current output is discarded and the command
// returns with ExitStatus(). While an instance lives, the three signals are blocked and taken
// by a watcher thread of its own, which calls onStop for the first one. A second one while
// stopping removes the temporary files of uncommitted outputs and ends the process at once.
//
// Threads inherit the blocked signals, so create the instance before any other thread starts:
// a thread that does not block them would be ended by them at once.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, 0 while none was.
    int Received() const { return received_; }
    // 128 + the number of the signal received, as shells report a process a signal ended.
    int ExitStatus() const { return 128 + received_; }

private:
    void Watch();

    std::function<void()> onStop_;
    sigset_t previousMask_{};
    int signalFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<int> received_{0};
    std::thread watcher_;
};

} // namespace quillon::cli
