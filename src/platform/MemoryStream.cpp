#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace quillon {

size_t MemoryStream::Read(void* buffer, size_t count) {
    if (position_ >= data_.size()) {
        return 0;
    }
    const size_t n = std::min(count, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

void MemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return;
    }
    if (position_ + count > data_.size()) {
        data_.resize(position_ + count);
    }
    std::memcpy(data_.data() + position_, buffer, count);
    position_ += count;
}

int64_t MemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == SeekOrigin::Current) {
        base = static_cast<int64_t>(position_);
    } else if (origin == SeekOrigin::End) {
        base = Size();
    }
    const int64_t target = base + offset;
    if (target < 0) {
        throw EStreamError("Stream seek error");
    }
    position_ = static_cast<size_t>(target);
    return target;
}

void MemoryStream::SetSize(int64_t size) {
    data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    position_ = std::min(position_, data_.size());
}

} // namespace quillon
