#include "libmac/ApeWordStream.h"

#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {
constexpr size_t kBufferBytes = 1 << 16;
} // namespace

ApeWordStream::ApeWordStream(Stream& file, md5_ctx& digest)
    : file_(file), digest_(digest), buffer_(kBufferBytes) {}

void ApeWordStream::Drain() {
    const size_t whole = fill_ & ~size_t{3};
    for (size_t i = 0; i < whole; i += 4) {
        std::swap(buffer_[i], buffer_[i + 3]);
        std::swap(buffer_[i + 1], buffer_[i + 2]);
    }
    md5_update(&digest_, whole, buffer_.data());
    file_.Write(buffer_.data(), whole);
    written_ += whole;
    std::memmove(buffer_.data(), buffer_.data() + whole, fill_ - whole);
    fill_ -= whole;
}

uint64_t ApeWordStream::Finish() {
    while (fill_ % 4 != 0) {
        buffer_[fill_++] = 0;
    }
    Drain();
    return written_;
}

} // namespace quillon
