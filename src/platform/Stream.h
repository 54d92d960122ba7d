#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace quillon {

// Raised by streams when the operating system refuses an operation.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class SeekOrigin { Begin, Current, End };

// A seekable byte stream: the common ground of files and memory buffers.
class Stream {
public:
    virtual ~Stream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all count bytes or raises EStreamError.
    virtual void Write(const void* buffer, size_t count) = 0;
    // Moves the position and returns the new one.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size() = 0;
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }

    // Reads exactly count bytes; false (and a partial read) at the end of the stream.
    bool ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }
};

} // namespace quillon
