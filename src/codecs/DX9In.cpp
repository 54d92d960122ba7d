#include "codecs/DX9In.h"

#include "platform/FFmpegLibrary.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillon {

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;

} // namespace

TDX9In::TDX9In() = default;

TDX9In::~TDX9In() = default;

void TDX9In::OpenFile() {
    valid_ = true;
    if (openCount_ == 0) {
        // A Reset may have dropped the count without closing what was open.
        reader_.reset();
        reader_ = std::make_unique<TAudioFileReader>(fileName_);
        const TWaveFormatEx& format = reader_->WaveFormat();
        sampleRate_ = static_cast<int>(format.nSamplesPerSec);
        bitsPerSample_ = format.wBitsPerSample;
        channels_ = format.nChannels;
        size_ =
            reader_->Duration() / kUnitsPerSecond * sampleRate_ * channels_ * (bitsPerSample_ / 8);
        totalSamples_ = size_;
    }
    ++openCount_;
}

void TDX9In::CloseFile() {
    if (openCount_ == 1) {
        reader_.reset();
    }
    if (openCount_ > 0) {
        --openCount_;
    }
}

bool TDX9In::SeekSample(int64_t byteOffset) {
    pendingSeek_ = byteOffset;
    return true;
}

void TDX9In::Init() {
    TPcmFileIn::Init();
    buffer_.resize(kBufferSize);
}

void TDX9In::Flush() {
    TPcmFileIn::Flush();
    buffer_ = {};
}

int64_t TDX9In::TimeOfByte(int64_t offset) const {
    const int64_t byteRate = reader_->WaveFormat().nAvgBytesPerSec;
    return byteRate > 0 ? offset / byteRate * kUnitsPerSecond +
                              offset % byteRate * kUnitsPerSecond / byteRate
                        : 0;
}

int TDX9In::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_ || !reader_) {
        throw std::runtime_error("The Stream is not opened");
    }
    if (bufferEnd_ < bufferStart_) {
        if (pendingSeek_ != 0) {
            position_ = std::clamp<int64_t>(pendingSeek_, 0, size_);
            reader_->Seek(TimeOfByte(position_));
            pendingSeek_ = 0;
        }
        bufferStart_ = 1;
        int n = reader_->Read(buffer_.data(), kBufferSize);
        if (n == 0) {
            if (!loop_) {
                return 0;
            }
            reader_->Seek(0);
            n = reader_->Read(buffer_.data(), kBufferSize);
        }
        bufferEnd_ = n;
    }
    const int count = std::clamp(bufferEnd_ - bufferStart_ + 1, 0, std::max(bufferSize, 0));
    if (count > 0) {
        std::memcpy(buffer, buffer_.data() + bufferStart_ - 1, static_cast<size_t>(count));
    }
    bufferStart_ += count;
    position_ += count;
    return count;
}

std::string DX9InStartupProblem() {
    const FFmpegEntries* f = FFmpeg();
    AVFormatContext* context = f != nullptr ? f->avformat_alloc_context() : nullptr;
    if (context == nullptr) {
        return "Cannot start DX9In without DirectShow present, Please install DirectX9";
    }
    f->avformat_free_context(context);
    return {};
}

} // namespace quillon
