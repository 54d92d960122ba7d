#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

// The error values of OnSessionConnected and OnSessionClosed.
enum TWSocketError : int {
    wsErrorResolve = 1, // "can't resolve hostname to IP address"
    wsErrorConnect = 2, // "can't connect: ..."
    wsErrorTimeout = 3, // "timeout"
    wsErrorLost = 4     // the connection broke (reset and the like)
};

// A TCP client socket whose events arrive on the thread that owns it, through that thread's Qt
// event loop; no call blocks. In line mode data is delivered one complete line at a time.
// Limits keep a hostile peer from exhausting memory: a line longer than MaxLineBytes is
// delivered cut at that length (the rest of it up to the line end is dropped), and a connection
// that sees no data for TimeoutMs while a line or the connection is awaited is closed with
// OnSessionClosed carrying a non-zero error (ErrorText() says why).
class TWSocket {
public:
    TWSocket();
    ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    bool LineMode = false;
    std::string LineEnd = "\r\n"; // a lone LF ends a line too
    std::string Proto = "tcp";
    std::string Port;
    std::string Addr;
    bool MultiThreaded = false; // events always come through the owner's event loop
    int TimeoutMs = 15000;
    std::size_t MaxLineBytes = 64 * 1024;

    // error 0: success; otherwise a failure whose text ErrorText() holds, and OnSessionClosed
    // with the same error follows.
    std::function<void(TWSocket& sender, int error)> OnSessionConnected;
    std::function<void(TWSocket& sender, int error)> OnSessionClosed;
    // A complete line (line mode) or some data is waiting; read it with ReceiveStr.
    std::function<void(TWSocket& sender, int error)> OnDataAvailable;

    // Starts connecting to Addr:Port; returns at once.
    void Connect();
    // Queues text for sending; returns the bytes queued, -1 when not connected.
    int SendStr(const std::string& text);
    // The next complete line with its line end (line mode), or the data received so far;
    // empty when there is none.
    std::string ReceiveStr();
    // Closes the connection; OnSessionClosed follows through the event loop.
    void Close();
    bool Connected() const;
    const std::string& ErrorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillon
