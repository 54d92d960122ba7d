#include "core/PcmFileIn.h"

#include "core/PcmException.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cmath>

namespace quillon {

void TPcmStreamedInput::SetStream(Stream* stream) {
    stream_ = stream;
    streamAssigned_ = stream != nullptr;
}

template <typename F> auto TPcmFileIn::WithFileOpen(F query) {
    if (!streamSeekable_) {
        return query();
    }
    OpenFile();
    struct Closer {
        TPcmFileIn* self;
        ~Closer() { self->CloseFile(); }
    } closer{this};
    return query();
}

int TPcmFileIn::GetBitsPerSample() {
    return WithFileOpen([this] { return bitsPerSample_; });
}

int TPcmFileIn::GetChannels() {
    return WithFileOpen([this] { return channels_; });
}

int TPcmFileIn::GetSampleRate() {
    return WithFileOpen([this] { return sampleRate_; });
}

int TPcmFileIn::GetTotalTime() {
    OpenFile();
    struct Closer {
        TPcmFileIn* self;
        ~Closer() { self->CloseFile(); }
    } closer{this};
    if (sampleRate_ == 0 || channels_ == 0 || bitsPerSample_ / 8 == 0) {
        return 0;
    }
    const double seconds = static_cast<double>(size_) /
                           (static_cast<double>(sampleRate_) * channels_ * (bitsPerSample_ / 8));
    return static_cast<int>(std::lround(seconds));
}

void TPcmFileIn::Init() {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    if (!streamAssigned_ && fileName_.empty()) {
        throw EPcmException("The file name is not assigned");
    }
    OpenFile();
    if (startSample_ != 0) {
        SeekSample(startSample_);
    }
    if (startSample_ != 0 || endSample_ != -1) {
        const int64_t frames =
            std::max<int64_t>(0, (endSample_ == -1 ? totalSamples_ : endSample_) - startSample_);
        size_ = static_cast<int64_t>(bitsPerSample_ / 8) * frames * channels_;
    }
    busy_ = true;
    bufferStart_ = 1;
    bufferEnd_ = 0;
    position_ = 0;
}

void TPcmFileIn::Flush() {
    CloseFile();
    busy_ = false;
}

void TPcmFileIn::Reset() {
    TPcmInput::Reset();
    openCount_ = 0;
}

void TPcmFileIn::OpenOwnStream() {
    if (!streamAssigned_) {
        ownedStream_ = std::make_unique<FileStream>(fileName_, FileStream::Mode::Read);
        stream_ = ownedStream_.get();
    }
}

void TPcmFileIn::CloseOwnStream() {
    if (ownedStream_) {
        ownedStream_.reset();
        stream_ = nullptr;
    } else if (streamAssigned_ && streamSeekable_ && stream_ != nullptr) {
        stream_->SetPosition(0);
    }
}

} // namespace quillon
