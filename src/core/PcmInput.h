#pragma once

#include "core/SpinLock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace quillon {

class TPcmInput;

// Something that holds a TPcmInput as its input and must forget it when it is destroyed.
class TInputUser {
public:
    virtual void InputDestroyed(TPcmInput* input) = 0;

protected:
    ~TInputUser() = default;
};

// Abstract source of PCM: little-endian interleaved integer samples, counted in bytes.
class TPcmInput {
public:
    TPcmInput() = default;
    virtual ~TPcmInput();
    TPcmInput(const TPcmInput&) = delete;
    TPcmInput& operator=(const TPcmInput&) = delete;

    virtual int GetBitsPerSample() = 0;
    virtual int GetChannels() = 0;
    virtual int GetSampleRate() = 0;
    // Total playing time in seconds; 0 when not known.
    virtual int GetTotalTime() { return 0; }
    // Copies up to bufferSize bytes; 0 means the end of the data.
    virtual int ReadBlock(void* buffer, int bufferSize) = 0;
    // Returns the source to idle from any state; never raises.
    virtual void Reset();
    virtual void Init() = 0;
    virtual void Flush() = 0;

    // Bytes delivered since the last Init.
    int64_t Position() const { return position_; }
    // Bytes the source delivers between Init and its end; -1 when unknown.
    int64_t Size() const { return size_; }
    bool Busy() const { return busy_; }

    void AddUser(TInputUser* user);
    void RemoveUser(TInputUser* user);

protected:
    std::atomic<int64_t> position_{0};
    std::atomic<int64_t> size_{-1};
    std::atomic<bool> busy_{false};
    // 1-based index of the next unread byte of the block buffer and of its last valid byte;
    // bufferEnd_ < bufferStart_ means the buffer is empty.
    int bufferStart_ = 1;
    int bufferEnd_ = 0;

private:
    std::mutex usersMutex_;
    std::vector<TInputUser*> users_;
};

// Source that transforms the output of another source.
class TPcmConverter : public TPcmInput, private TInputUser {
public:
    ~TPcmConverter() override;

    TPcmInput* Input() const { return input_; }
    // Ignores an assignment of the converter itself. A swap while busy initialises the new
    // input first and flushes the old one after.
    virtual void SetInput(TPcmInput* value);
    // Releases the input lock of this converter and of every converter further up the chain.
    void ClearInputLocks();

protected:
    // Reads from the input under the input lock; 0 when there is no input.
    int ReadFromInput(void* buffer, int size);

    SpinFlag inputLock_;

private:
    void InputDestroyed(TPcmInput* input) override;

    std::atomic<TPcmInput*> input_{nullptr};
};

} // namespace quillon
