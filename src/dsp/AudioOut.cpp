#include "dsp/AudioOut.h"

#include "core/PcmException.h"
#include "dsp/AlsaPlayback.h"

#include <chrono>
#include <utility>

namespace quillon {

TAudioOut::TAudioOut() {
    SetDelay(kThreadDelay);
}

TAudioOut::~TAudioOut() {
    TerminateThread();
    CloseDevice();
}

int TAudioOut::DeviceCount() {
    return static_cast<int>(AlsaPlayback::DeviceNames().size());
}

void TAudioOut::SetBaseChannel(int value) {
    if (Busy()) {
        throw EPcmException("Component is buisy");
    }
    const int count = DeviceCount();
    if (count == 0) {
        baseChannel_ = 0;
        return;
    }
    if (value >= count) {
        throw EPcmException("Channel " + std::to_string(value) + " is not available");
    }
    baseChannel_ = value;
}

std::string TAudioOut::DeviceName() const {
    const auto& names = AlsaPlayback::DeviceNames();
    const int channel = baseChannel_;
    // A negative channel stands for the default device, as the system's mapper did.
    if (channel > 0 && channel < static_cast<int>(names.size())) {
        return names[static_cast<size_t>(channel)];
    }
    return "default";
}

void TAudioOut::Prepare() {
    TPcmInput* input = Input();
    input->Init();
    try {
        device_ = std::make_unique<AlsaPlayback>(DeviceName(), input->GetSampleRate(),
                                                 input->GetChannels(), input->GetBitsPerSample(),
                                                 deviceConfiguration_);
    } catch (...) {
        input->Flush();
        throw;
    }
    queuedCount_ = 0;
    queue_.clear();
    completed_.clear();
    failure_.clear();
    stopWriter_ = false;
    abandon_ = false;
    writer_ = std::thread([this] { WriterLoop(); });
}

bool TAudioOut::ProcessBlock(bool abort) {
    if (!Busy()) {
        return true;
    }
    if (abort || !outputEnabled_) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (!failure_.empty()) {
            throw EPcmException(failure_);
        }
    }
    ReclaimCompleted();
    TPcmInput* input = Input();
    const int sampleBytes = input != nullptr ? input->GetBitsPerSample() / 8 : 0;
    for (int i = kBufferCount - queuedCount_ + 1; i > 0; --i) {
        std::vector<uint8_t> block = ReadNextBlock(sampleBytes);
        if (block.empty()) {
            return false;
        }
        if (volume_ < 255) {
            Attenuate(block, sampleBytes);
        }
        Queue(std::move(block));
    }
    input = Input();
    if (OnProgress && input != nullptr && input->Size() > 0) {
        ReportProgress();
    }
    return true;
}

std::vector<uint8_t> TAudioOut::ReadNextBlock(int sampleBytes) {
    std::vector<uint8_t> block(kBlockSize);
    const int n = ReadFromInput(block.data(), kBlockSize);
    if (n < 1) {
        return {};
    }
    size_t size = static_cast<size_t>(n);
    // Scaling needs whole samples: a sample split at the end of a block is completed first.
    if (volume_ < 255 && sampleBytes > 1 && size % static_cast<size_t>(sampleBytes) != 0) {
        const size_t whole = (size / sampleBytes + 1) * sampleBytes;
        block.resize(whole);
        while (size < whole) {
            const int more = ReadFromInput(block.data() + size, static_cast<int>(whole - size));
            if (more < 1) {
                break;
            }
            size += static_cast<size_t>(more);
        }
    }
    block.resize(size);
    return block;
}

void TAudioOut::Attenuate(std::vector<uint8_t>& block, int sampleBytes) const {
    const int64_t volume = volume_;
    if (sampleBytes == 1) {
        for (uint8_t& sample : block) {
            sample = static_cast<uint8_t>(128 + (sample - 128) * volume / 255);
        }
        return;
    }
    if (sampleBytes < 2 || sampleBytes > 4) {
        return;
    }
    const size_t width = static_cast<size_t>(sampleBytes);
    const int unusedBits = 64 - 8 * sampleBytes;
    for (size_t at = 0; at + width <= block.size(); at += width) {
        uint64_t raw = 0;
        for (size_t b = 0; b < width; ++b) {
            raw |= static_cast<uint64_t>(block[at + b]) << (8 * b);
        }
        // Sign-extends the little-endian sample, scales it and stores it back.
        const int64_t sample = static_cast<int64_t>(raw << unusedBits) >> unusedBits;
        const auto scaled = static_cast<uint64_t>(sample * volume / 255);
        for (size_t b = 0; b < width; ++b) {
            block[at + b] = static_cast<uint8_t>(scaled >> (8 * b));
        }
    }
}

void TAudioOut::Queue(std::vector<uint8_t> block) {
    ++queuedCount_;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(block));
    }
    blockQueued_.notify_one();
}

void TAudioOut::ReclaimCompleted() {
    std::vector<std::vector<uint8_t>> played;
    {
        std::lock_guard lock(mutex_);
        played.swap(completed_);
    }
}

void TAudioOut::WriterLoop() {
    for (;;) {
        std::vector<uint8_t> block;
        bool play = false;
        {
            std::unique_lock lock(mutex_);
            blockQueued_.wait(lock, [this] { return stopWriter_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            block = std::move(queue_.front());
            queue_.pop_front();
            play = failure_.empty() && !abandon_;
        }
        if (play) {
            try {
                device_->Write(block.data(), block.size());
            } catch (const std::exception& e) {
                std::lock_guard lock(mutex_);
                failure_ = e.what();
            }
        }
        std::lock_guard lock(mutex_);
        completed_.push_back(std::move(block));
        --queuedCount_;
    }
}

void TAudioOut::StopWriter(bool abandon) {
    if (!writer_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopWriter_ = true;
        abandon_ = abandon;
    }
    blockQueued_.notify_one();
    writer_.join();
}

void TAudioOut::Finish() {
    if (device_) {
        // The writer either plays each queued block or, once the device failed, hands it back
        // at once, and a device that stops taking data fails within seconds: this wait ends.
        while (queuedCount_ > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        StopWriter(false);
        ReclaimCompleted();
        bool failed = false;
        {
            std::lock_guard lock(mutex_);
            failed = !failure_.empty();
        }
        if (!failed) {
            device_->Drain();
        }
        device_.reset();
    }
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
}

void TAudioOut::CloseDevice() {
    StopWriter(true);
    device_.reset();
}

} // namespace quillon
