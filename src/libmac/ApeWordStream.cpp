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

void ApeWordStream::Write(const uint8_t* data, size_t bytes) {
    while (bytes > 0) {
        const size_t n = std::min(bytes, buffer_.size() - fill_);
        std::memcpy(buffer_.data() + fill_, data, n);
        fill_ += n;
        data += n;
        bytes -= n;
        if (fill_ == buffer_.size()) {
            Drain();
        }
    }
}

void ApeWordStream::Drain() {
    const size_t whole = fill_ & ~size_t{3};
    for (size_t i = 0; i < whole; i += 4) {
        uint32_t word;
        std::memcpy(&word, buffer_.data() + i, 4);
        word = __builtin_bswap32(word);
        std::memcpy(buffer_.data() + i, &word, 4);
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
