#pragma once

#include "platform/FileStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// Reads a file through a window of buffered bytes, so that tag scans that step through many
// small fields (frame headers, item keys read byte by byte) cost few system calls, even on
// hostile files made of millions of tiny entries. Raises EStreamError like FileStream.
class TagFileReader {
public:
    explicit TagFileReader(const std::string& fileName);

    int64_t Size() const { return size_; }
    int64_t Position() const { return position_; }
    // Raises EStreamError for a negative position; a position past the end reads nothing.
    void Seek(int64_t position);
    bool AtEnd() const { return position_ >= size_; }
    // Reads up to count bytes; returns how many were read.
    size_t Read(void* buffer, size_t count);
    bool ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }

private:
    FileStream file_;
    int64_t size_ = 0;
    int64_t position_ = 0;
    std::vector<uint8_t> window_;
    size_t windowSize_ = 0;
    int64_t windowStart_ = 0;
};

} // namespace quillon
