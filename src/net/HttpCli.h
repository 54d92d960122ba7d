#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillon {

class Stream;

enum class THttpRequest { Get, Post };

// Raised by GetAsync and PostAsync when a request cannot be started (another one is running,
// a URL that is not "http://host[:port]/path").
class EHttpException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An asynchronous HTTP/1.0 client on the owner thread's Qt event loop: one request at a time,
// the response body written to RcvdStream, a POST body read from SendStream. Every request
// ends in exactly one OnRequestDone, after the call that started it has returned: error 0 for
// a 2xx reply, otherwise the HTTP status code, or a negative value when no reply came
// (resolution, connection, time-out, a reply beyond the limits); ReasonPhrase() holds the
// status-line text or "can't resolve hostname to IP address", "can't connect: ..." and the like.
// A reply that takes longer than TimeoutMs between two reads, or whose header lines exceed
// 64 KiB or whose body exceeds MaxBodyBytes, ends as a failure. The negative errors: -1 the host
// could not be resolved or reached, -2 time-out, -3 a reply beyond the limits or not HTTP, -4 the
// connection ended before the reply was complete, -5 Abort.
class THttpCli {
public:
    THttpCli();
    ~THttpCli();
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    std::string URL;              // "http://host[:port]/path?query"
    std::string Proxy;            // proxy host, empty for none
    std::string ProxyPort;        // "80" by default
    std::string Agent;            // the User-Agent header, empty for none
    Stream* RcvdStream = nullptr; // not owned; the body is appended at its position
    Stream* SendStream = nullptr; // not owned; read from its position for a POST
    int TimeoutMs = 15000;
    int64_t MaxBodyBytes = 4 * 1024 * 1024;

    // Each request header line (without its CR LF) just before it is sent; the handler may
    // append to it (CR LF inside the appended text adds header lines).
    std::function<void(THttpCli& sender, std::string& headerLine)> OnCommand;
    std::function<void(THttpCli& sender, THttpRequest request, int error)> OnRequestDone;

    void GetAsync();
    void PostAsync();
    void Abort();           // ends a running request with a failure
    int StatusCode() const; // of the last reply, 0 when none came
    const std::string& ReasonPhrase() const;
    bool Busy() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillon
