#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

enum class TSmtpRequest {
    smtpConnect,
    smtpHelo,
    smtpMailFrom,
    smtpRcptTo,
    smtpData,
    smtpMail,
    smtpQuit,
    smtpAbort
};

// An asynchronous SMTP client on the owner thread's Qt event loop: each step is started by its
// call and ends in exactly one OnRequestDone (error 0 on success, otherwise the server's reply
// code or a negative value when no reply came; ErrorMessage() says why), after the call has
// returned. The negative errors: -1 the host could not be resolved or reached, -2 time-out,
// -3 a reply that is not SMTP, -4 the connection ended, -5 Abort, -6 the step cannot run now
// (not connected, another step running, no recipient). Mail sends MAIL FROM, RCPT TO for each
// recipient and DATA with the header lines and the body (dot-stuffed). Replies are read with the
// same time-out and line limits as TWSocket.
class TSmtpCli {
public:
    TSmtpCli();
    ~TSmtpCli();
    TSmtpCli(const TSmtpCli&) = delete;
    TSmtpCli& operator=(const TSmtpCli&) = delete;

    std::string Host;
    std::string Port = "smtp"; // a service name or a number
    std::string SignOn;        // the name given in HELO
    std::string FromName;      // envelope sender
    std::vector<std::string> RcptName;
    std::string HdrFrom, HdrTo, HdrSubject;
    std::vector<std::string> MailMessage; // body lines
    int TimeoutMs = 15000;

    std::function<void(TSmtpCli& sender, TSmtpRequest request, int error)> OnRequestDone;
    // Each protocol line sent ("> ...") or received ("< ...").
    std::function<void(TSmtpCli& sender, const std::string& line)> OnDisplay;
    // Each mail header line (without CR LF) before it is sent; the handler may append to it.
    std::function<void(TSmtpCli& sender, std::string& headerLine)> OnHeaderLine;

    void Connect();
    void Helo();
    void Mail();
    void Quit();
    void Abort(); // drops the connection: a running step ends with -5, then smtpAbort with 0
    const std::string& ErrorMessage() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillon
