#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

// Reads an HTTP/1.x reply as it arrives: the status line and header block (at most 64 KiB),
// then the body by Content-Length, chunked transfer coding, or up to the end of the
// connection. Any bytes are safe to feed; the body goes to OnBody piece by piece, never more
// than maxBody bytes in all.
class THttpReplyParser {
public:
    enum class TResult { More, Complete, Failed };

    static constexpr size_t kMaxHeaderBytes = 64 * 1024;

    THttpReplyParser(int64_t maxBody, bool expectBody);

    std::function<void(const char* data, size_t size)> OnBody;

    TResult Feed(const char* data, size_t size);
    // The connection ended: complete when the body was delimited by it.
    TResult Finish();

    int Status() const { return status_; }
    const std::string& Reason() const { return reason_; }
    const std::string& Error() const { return error_; }

private:
    enum class TPhase { Header, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done, Failed };

    TResult Fail(const std::string& text);
    TResult ParseHeader(size_t blockEnd);
    TResult Body(const char* data, size_t size);
    // Collects one line of the chunked coding; false while it is incomplete.
    bool TakeLine(const char*& data, size_t& size, std::string& line);

    int64_t maxBody_;
    bool expectBody_;
    TPhase phase_ = TPhase::Header;
    std::string header_;
    std::string line_;
    int status_ = 0;
    std::string reason_;
    std::string error_;
    int64_t contentLength_ = -1; // -1: up to the end of the connection
    int64_t received_ = 0;
    int64_t chunkLeft_ = 0;
    size_t trailerBytes_ = 0;
    int interimReplies_ = 0;
};

} // namespace quillon
