#pragma once

#include "cddb/Cddb.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace quillon {

// The e-mail address that the hello of a lookup carries when the user has set none.
inline constexpr const char* kDefaultCddbEmail = "anonymous@localhost";

// One complete lookup of the disc whose table of contents a CD database client holds (after
// its ReadDiscId): the query, the first match, the read of its entry. Over HTTP it runs as the
// main window does, the read started after the match event has returned; over CDDBP it
// connects, shakes hands, asks for protocol level 5, queries, reads and quits. It runs on the
// calling thread's Qt event loop; every event arrives after the call that started the lookup
// has returned, and a lookup ends in exactly one OnDone or OnFailed.
class TCddbLookup {
public:
    // Takes over the client's events for as long as it lives, and configures the client as
    // the main window's instance is configured.
    explicit TCddbLookup(TCddb& cddb);
    ~TCddbLookup();
    TCddbLookup(const TCddbLookup&) = delete;
    TCddbLookup& operator=(const TCddbLookup&) = delete;

    // Each status text of the client, and each line sent or received.
    std::function<void(const std::string& status)> OnStatus;
    std::function<void(const std::string& line)> OnData;
    // The entry was read: the disc record, parsed from it.
    std::function<void(const TCDInfo& info)> OnDone;
    // The lookup ended without an entry: the server's or the client's text for why (no match,
    // an error reply, a failed connection, a reply that ended early, no answer in time).
    std::function<void(const std::string& message)> OnFailed;

    // The longest a whole lookup may take before it fails.
    int TimeoutMs = 60000;

    // Starts a lookup on server ("host" or "host:port"; HTTP goes to port 80 and CDDBP to
    // 8880 unless a port is given) with the e-mail address of the hello, which must hold no
    // space or control character. A lookup that is still running is abandoned first.
    void Start(const std::string& server, TServerType type, const std::string& email);
    // Abandons a running lookup; no event follows.
    void Abort();
    bool Running() const { return phase_ != Phase::Idle; }

    // Every status text and data line of the lookup in order, as the main window's hidden log
    // keeps them (FillFromCddbEntry reads them).
    const std::vector<std::string>& Log() const { return log_; }

private:
    enum class Phase { Idle, Connecting, Hello, Proto, Query, Read, Quit };

    void Status(const std::string& status);
    void Data(const std::string& line);
    void Match(TMatchArray& matches, int& rightOne);
    void ScheduleAdvance();
    void Advance();
    void AdvanceHttp(int state);
    void AdvanceCddbp(int state);
    // Runs one request of the client, telling the lines it sends from the replies.
    void Send(const std::function<void()>& request);
    void Succeed();
    void Fail(const std::string& message);

    TCddb& cddb_;
    Phase phase_ = Phase::Idle;
    TServerType type_ = TServerType::HTTP;
    std::vector<std::string> log_;
    std::string lastStatus_; // since the last request
    bool sending_ = false;
    bool replied_ = false; // a reply line came since the last request
    bool noMatch_ = false;
    bool startFailed_ = false; // the first request could not be started
    TCDInfo result_;
    std::unique_ptr<QTimer> advance_;  // coalesces the checks after the client's events
    std::unique_ptr<QTimer> poll_;     // notices a closed connection, which raises no event
    std::unique_ptr<QTimer> deadline_; // the whole lookup
    std::unique_ptr<QTimer> quitWait_; // how long a quit waits for the server to close
};

} // namespace quillon
