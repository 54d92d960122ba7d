#include "core/PcmThread.h"

#include "core/PcmException.h"

#include <chrono>

namespace quillon {

TPcmThread::TPcmThread(Handlers handlers) : handlers_(std::move(handlers)) {
    thread_ = std::thread([this] { Execute(); });
}

TPcmThread::~TPcmThread() {
    Terminate();
}

void TPcmThread::Suspend() {
    std::lock_guard lock(stateMutex_);
    suspended_ = true;
}

void TPcmThread::Resume() {
    {
        std::lock_guard lock(stateMutex_);
        if (!suspended_) {
            return;
        }
        suspended_ = false;
    }
    resumed_.notify_all();
}

bool TPcmThread::Suspended() const {
    std::lock_guard lock(stateMutex_);
    return suspended_;
}

void TPcmThread::Terminate(bool finalPass) {
    if (!thread_.joinable()) {
        return;
    }
    finalPass_ = finalPass;
    terminateRequest_ = true;
    {
        std::lock_guard lock(stateMutex_);
        suspended_ = false;
    }
    resumed_.notify_all();
    thread_.join();
}

// After the output ended: suspend unless a new run was started meanwhile. The idle test and
// the suspension happen under the state lock, which Resume also takes, so a Run on another
// thread either sees the suspension and resumes it or makes this test see the new run.
void TPcmThread::AfterIdle() {
    if (!suspendWhenIdle_) {
        return;
    }
    std::lock_guard lock(stateMutex_);
    if (handlers_.idle()) {
        suspended_ = true;
    }
}

void TPcmThread::Execute() {
    while (!terminateRequest_) {
        std::lock_guard pass(passMutex_);
        {
            std::unique_lock lock(stateMutex_);
            resumed_.wait(lock, [this] { return !suspended_ || terminateRequest_; });
        }
        if (terminateRequest_) {
            break;
        }
        const int delay = delay_;
        if (delay > 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        try {
            const bool abort = stop_;
            if (!handlers_.processBlock(abort)) {
                stop_ = false;
                handlers_.done(abort);
                AfterIdle();
            }
        } catch (const std::exception& e) {
            stop_ = false;
            handlers_.exception(e);
            AfterIdle();
        } catch (...) {
            stop_ = false;
            handlers_.exception(EPcmException("Unknown error"));
            AfterIdle();
        }
    }
    if (finalPass_) {
        try {
            handlers_.processBlock(true);
        } catch (...) {
            // The sink is going away; there is nobody left to tell.
        }
    }
    terminateRequest_ = false;
}

} // namespace quillon
