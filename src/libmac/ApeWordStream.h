#pragma once

#include <cstddef>
#include <cstdint>
#include <nettle/md5.h>
#include <vector>

namespace quillon {

class Stream;

// The frame data of a Monkey's Audio file: one logical byte stream, stored in 32-bit words
// counted from its first byte, each word's four bytes in reverse order. Bytes go out to the
// file as whole words are complete; the stored bytes are also added to an MD5 digest.
class ApeWordStream {
public:
    ApeWordStream(Stream& file, md5_ctx& digest);

    void Put(uint8_t byte) {
        buffer_[fill_++] = byte;
        if (fill_ == buffer_.size()) {
            Drain();
        }
    }
    // Puts `bytes` bytes at once.
    void Write(const uint8_t* data, size_t bytes);
    // Bytes put so far.
    uint64_t Position() const { return written_ + fill_; }
    // Pads the last word with zero bytes and writes everything out; returns the stored size.
    uint64_t Finish();

private:
    // Writes the complete words out and keeps the rest.
    void Drain();

    Stream& file_;
    md5_ctx& digest_;
    std::vector<uint8_t> buffer_;
    size_t fill_ = 0;
    uint64_t written_ = 0;
};

} // namespace quillon
