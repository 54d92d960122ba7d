#include "workflow/CddbLookup.h"

#include <QTimer>
#include <algorithm>

namespace quillon {

namespace {

// The state a CDDBP lookup marks the client with while its connection is being made: no
// handler of the client sets it, so a failed connection (state -1) is told from a pending one.
constexpr int kStateConnecting = 20;
constexpr int kPollMs = 100;
constexpr int kQuitWaitMs = 3000;

std::unique_ptr<QTimer> MakeTimer(bool singleShot, int intervalMs,
                                  const std::function<void()>& onTimeout) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(singleShot);
    timer->setInterval(intervalMs);
    QObject::connect(timer.get(), &QTimer::timeout, onTimeout);
    return timer;
}

} // namespace

TCddbLookup::TCddbLookup(TCddb& cddb) : cddb_(cddb) {
    // The main window's instance of the client.
    cddb_.ServerAdditionalAddr = "/~cddb/cddb.cgi";
    cddb_.SetProxyPort("80");
    cddb_.SubmissionType = TSubmissionType::TEST;
    cddb_.MailServerPort = "smtp";
    cddb_.ClientName = "TestProgram";
    cddb_.ClientVersion = "0.001";
    cddb_.ClientComments = "using Vemro's freedb component v0.1.70 Release";
    cddb_.OnStatusMessage = [this](TCddb&, const std::string& status) { Status(status); };
    cddb_.OnDataExchange = [this](TCddb&, const std::string& line) { Data(line); };
    cddb_.OnMatch = [this](TCddb&, TMatchArray& matches, int& rightOne) {
        Match(matches, rightOne);
    };
    advance_ = MakeTimer(true, 0, [this] { Advance(); });
    poll_ = MakeTimer(false, kPollMs, [this] { Advance(); });
    deadline_ = MakeTimer(true, TimeoutMs, [this] {
        Fail("no complete answer from the server within " + std::to_string(TimeoutMs / 1000) +
             " seconds");
    });
    quitWait_ = MakeTimer(true, kQuitWaitMs, [this] { Succeed(); });
}

TCddbLookup::~TCddbLookup() {
    cddb_.OnStatusMessage = nullptr;
    cddb_.OnDataExchange = nullptr;
    cddb_.OnMatch = nullptr;
}

void TCddbLookup::Start(const std::string& server, TServerType type, const std::string& email) {
    Abort();
    log_.clear();
    lastStatus_.clear();
    replied_ = false;
    noMatch_ = false;
    startFailed_ = false;
    type_ = type;
    cddb_.ServerAddr = server;
    cddb_.ServerType = type;
    cddb_.ServerPort = type == TServerType::HTTP ? "80" : "8880";
    cddb_.EmailUser = email;
    deadline_->setInterval(std::max(1, TimeoutMs));
    deadline_->start();
    poll_->start();
    // The hello separates its words by spaces and ends at a line end.
    if (std::any_of(email.begin(), email.end(),
                    [](unsigned char c) { return c <= ' ' || c == 127; })) {
        phase_ = Phase::Query;
        startFailed_ = true;
        lastStatus_ = "the e-mail address '" + email + "' holds a space or a control character";
    } else if (type == TServerType::HTTP) {
        phase_ = Phase::Query;
        int started = -1;
        Send([&] { started = cddb_.HttpQuery(); });
        startFailed_ = started != 0;
    } else {
        phase_ = Phase::Connecting;
        Send([this] { cddb_.Connect(); });
        // A connection that failed at once has reported why; otherwise no state of an earlier
        // exchange may stand for it while it is being made.
        if (lastStatus_.empty()) {
            cddb_.SetCommandState(kStateConnecting);
        }
    }
    ScheduleAdvance();
}

void TCddbLookup::Abort() {
    phase_ = Phase::Idle;
    advance_->stop();
    poll_->stop();
    deadline_->stop();
    quitWait_->stop();
}

void TCddbLookup::Status(const std::string& status) {
    if (phase_ != Phase::Idle) {
        log_.push_back(status);
        lastStatus_ = status;
        ScheduleAdvance();
    }
    if (OnStatus) {
        OnStatus(status);
    }
}

void TCddbLookup::Data(const std::string& line) {
    if (phase_ != Phase::Idle) {
        log_.push_back(line);
        replied_ = replied_ || !sending_;
        ScheduleAdvance();
    }
    if (OnData) {
        OnData(line);
    }
}

void TCddbLookup::Match(TMatchArray& matches, int& rightOne) {
    // The first match is taken; a list that ended without any offers nothing to read.
    noMatch_ = matches[0].empty();
    rightOne = noMatch_ ? -1 : 0;
}

void TCddbLookup::ScheduleAdvance() {
    if (phase_ != Phase::Idle && !advance_->isActive()) {
        advance_->start();
    }
}

void TCddbLookup::Send(const std::function<void()>& request) {
    lastStatus_.clear();
    replied_ = false;
    sending_ = true;
    request();
    sending_ = false;
}

// Checks where the exchange stands once the client's handlers have run, and takes the next
// step. It runs from the event loop, never inside one of the client's events.
void TCddbLookup::Advance() {
    if (phase_ == Phase::Idle) {
        return;
    }
    if (startFailed_) {
        Fail(lastStatus_);
        return;
    }
    const int state = cddb_.CommandState();
    if (type_ == TServerType::HTTP) {
        AdvanceHttp(state);
    } else {
        AdvanceCddbp(state);
    }
}

void TCddbLookup::AdvanceHttp(int state) {
    switch (state) {
    case 3:
    case 4:
        if (phase_ == Phase::Query) {
            phase_ = Phase::Read;
            int started = -1;
            Send([&] { started = cddb_.HttpRead(); });
            if (started != 0) {
                Fail(lastStatus_);
            }
        }
        return;
    case 12:
        if (phase_ == Phase::Read) {
            result_ = cddb_.Info(); // the client parsed the entry after its last line
            Succeed();
        }
        return;
    case 6:
    case 11:
        // The whole reply is handled in one go: a reply that leaves the client waiting ended
        // early or was not one the client understood.
        if (replied_) {
            Fail("the server's reply ended early" +
                 (lastStatus_.empty() ? std::string() : " (" + lastStatus_ + ")"));
        }
        return;
    default:
        // No match, an error reply or a failed request.
        Fail(noMatch_ || lastStatus_.empty() ? "No match found" : lastStatus_);
    }
}

void TCddbLookup::AdvanceCddbp(int state) {
    if (state == -1) {
        if (phase_ == Phase::Quit) {
            Succeed();
        } else if (phase_ == Phase::Connecting && lastStatus_.empty()) {
            Fail("cannot connect to " + cddb_.ServerAddr);
        } else if (lastStatus_.empty() || lastStatus_ == "Connection closed") {
            Fail("the server closed the connection");
        } else {
            Fail(lastStatus_);
        }
        return;
    }
    switch (phase_) {
    case Phase::Connecting:
        if (state == 17 || state == 18) {
            phase_ = Phase::Hello;
            Send([this] { cddb_.SendHello(); });
        }
        break;
    case Phase::Hello:
        if (state == 2) {
            phase_ = Phase::Proto;
            Send([this] { cddb_.SendProto(); });
        } else if (state != 1) {
            Fail(lastStatus_);
        }
        break;
    case Phase::Proto:
        if (state == 10) {
            phase_ = Phase::Query;
            Send([this] { cddb_.SendQuery(); });
        } else if (state != 9) {
            Fail(lastStatus_);
        }
        break;
    case Phase::Query:
        if (state == 3 || state == 4) {
            phase_ = Phase::Read;
            Send([this] { cddb_.SendRead(); });
        } else if (state != 6) {
            Fail(noMatch_ || lastStatus_.empty() ? "No match found" : lastStatus_);
        }
        break;
    case Phase::Read:
        if (state == 12) {
            // Over this connection the client leaves the parse to its owner.
            cddb_.ParseEntry();
            result_ = cddb_.Info();
            phase_ = Phase::Quit;
            quitWait_->start();
            Send([this] { cddb_.SendQuit(); });
        } else if (state != 11) {
            Fail(lastStatus_);
        }
        break;
    case Phase::Quit:
    case Phase::Idle:
        break;
    }
}

void TCddbLookup::Succeed() {
    if (phase_ == Phase::Idle) {
        return;
    }
    Abort();
    if (OnDone) {
        OnDone(result_);
    }
}

void TCddbLookup::Fail(const std::string& message) {
    if (phase_ == Phase::Idle) {
        return;
    }
    // An open connection is told that the lookup ends.
    const bool connected = type_ == TServerType::CDDBP && cddb_.CommandState() != -1 &&
                           cddb_.CommandState() != kStateConnecting;
    Abort();
    if (connected) {
        cddb_.SendQuit();
    }
    if (OnFailed) {
        OnFailed(message.empty() ? "the lookup failed" : message);
    }
}

} // namespace quillon
