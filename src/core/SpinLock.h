#pragma once

#include <atomic>
#include <thread>

namespace quillon {

// The input lock of a sink or converter: a flag that is spun on, guarding the pointer to the
// input against a concurrent swap while a block is read from it.
class SpinFlag {
public:
    void Acquire() {
        while (flag_.exchange(true, std::memory_order_acquire)) {
            std::this_thread::yield();
        }
    }
    void Release() { flag_.store(false, std::memory_order_release); }
    bool Held() const { return flag_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> flag_{false};
};

class SpinGuard {
public:
    explicit SpinGuard(SpinFlag& flag) : flag_(flag) { flag_.Acquire(); }
    ~SpinGuard() { flag_.Release(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    SpinFlag& flag_;
};

} // namespace quillon
