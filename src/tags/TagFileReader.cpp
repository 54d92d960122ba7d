#include "tags/TagFileReader.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

// The window starts small, since most tags are small, and grows with every refill so that
// long scans still cost few system calls.
constexpr size_t kFirstWindowSize = 4 * 1024;
constexpr size_t kWindowSize = 64 * 1024;

} // namespace

TagFileReader::TagFileReader(const std::string& fileName)
    : file_(fileName, FileStream::Mode::Read), size_(file_.Size()) {}

void TagFileReader::Seek(int64_t position) {
    if (position < 0) {
        throw EStreamError("Stream seek error");
    }
    position_ = position;
}

size_t TagFileReader::Read(void* buffer, size_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count && position_ < size_) {
        const int64_t windowEnd = windowStart_ + static_cast<int64_t>(window_.size());
        if (position_ < windowStart_ || position_ >= windowEnd) {
            // Large reads bypass the window; small ones refill it at the current position.
            if (count - done >= kWindowSize) {
                file_.SetPosition(position_);
                const size_t n = file_.Read(out + done, count - done);
                position_ += static_cast<int64_t>(n);
                return done + n;
            }
            windowSize_ =
                windowSize_ == 0 ? kFirstWindowSize : std::min(2 * windowSize_, kWindowSize);
            window_.resize(windowSize_);
            file_.SetPosition(position_);
            window_.resize(file_.Read(window_.data(), windowSize_));
            windowStart_ = position_;
            if (window_.empty()) {
                break;
            }
            continue;
        }
        const auto offset = static_cast<size_t>(position_ - windowStart_);
        const size_t n = std::min(count - done, window_.size() - offset);
        std::memcpy(out + done, window_.data() + offset, n);
        done += n;
        position_ += static_cast<int64_t>(n);
    }
    return done;
}

} // namespace quillon
