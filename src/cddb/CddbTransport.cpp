// The CD database client's exchanges over the network: queries, reads, site lists and
// submissions over HTTP, the line-mode (CDDBP) session, and submissions by mail.
#include "cddb/Cddb.h"
#include "cddb/CddbText.h"
#include "cddb/CddbTransports.h"
#include "platform/CodePage.h"

#include <QHostInfo>
#include <set>

namespace quillon {
namespace {

const char* const kGetFailed = "CDDB Component Internal Error: THttpCli.GetAsync failed because "
                               "of error \"";
const char* const kPostFailed = "CDDB Component Internal Error: THttpCli.PostAsync failed "
                                "because of error \"";

const char* const kTooLong = "no complete reply in time";

// The states of a session that wait for the server: banner, hello, query, sites, protocol
// level, read, quit.
const std::set<int> kAwaitingReply = {0, 1, 6, 7, 9, 11, 15};

// Server lines are UTF-8 at protocol level 6; at level 5 servers send Latin-1 or UTF-8.
std::string ReceivedText(const std::string& line) {
    return Utf8FromUtf8OrLatin1(line);
}

void Replace(MemoryStream& stream, const std::string& content) {
    stream.SetSize(0);
    stream.SetPosition(0);
    stream.Write(content.data(), content.size());
    stream.SetPosition(0);
}

} // namespace

std::string TCddb::HelloWords() const {
    return cddb::UrlEncode(cddb::HelloUserHost(EmailUser)) + '+' + cddb::UrlEncode(ClientName) +
           '+' + cddb::UrlEncode(ClientVersion);
}

std::string TCddb::HttpUrl(const std::string& command) const {
    return "http://" + ServerAddr + ServerAdditionalAddr + "?cmd=" + command +
           "&hello=" + HelloWords() + "&proto=5";
}

int TCddb::StartHttp(const std::string& url, int state, const std::string& status) {
    THttpCli& http = net_->http;
    if (!status.empty()) {
        Status(status);
    }
    DataExchange(url + "\r\n");
    const auto failed = [&](const std::string& reason) {
        commandState_ = 16;
        Status((state == 14 ? kPostFailed : kGetFailed) + reason + "\"");
        return -1;
    };
    // The running request keeps its buffers; this one fails as the client would refuse it.
    if (http.Busy()) {
        return failed("a request is already running");
    }
    Replace(net_->received, {});
    http.RcvdStream = &net_->received;
    http.SendStream = &net_->sent;
    http.URL = url;
    http.TimeoutMs = TimeoutMs;
    // The state is set first: the submission headers are added while the request starts.
    commandState_ = state;
    net_->running = Transports::Exchange::Http;
    StartDeadline();
    try {
        if (state == 14) {
            http.PostAsync();
        } else {
            http.GetAsync();
        }
    } catch (const std::exception& e) {
        StopDeadline();
        return failed(http.ReasonPhrase().empty() ? e.what() : http.ReasonPhrase());
    }
    return 0;
}

int TCddb::HttpQuery() {
    if (ServerType != TServerType::HTTP) {
        Status("Selected server not an HTTP server");
        return -1;
    }
    return StartHttp(HttpUrl(cddb::UrlEncode(BuildQueryCommand(info_.Toc))), 6, "Querying CD");
}

int TCddb::HttpRead() {
    if (commandState_ == 5) {
        Status("Can't perform a CDDB READ without a successful CDDB QUERY!");
        return -1;
    }
    if (ServerType != TServerType::HTTP) {
        Status("Selected server not an HTTP server");
        return -1;
    }
    // A failed read must not leave the lines of an earlier entry to be parsed again.
    entryLines_ = TEntryArray{};
    const std::string command =
        "cddb+read+" + cddb::Trim(info_.Category) + '+' + cddb::Trim(info_.DiscId);
    return StartHttp(HttpUrl(command), 11, "Reading CD info");
}

int TCddb::HttpSites() {
    if (ServerType != TServerType::HTTP) {
        Status("Selected server not an HTTP server");
        return -1;
    }
    return StartHttp(HttpUrl("sites"), 7, {});
}

int TCddb::HttpSubmit(const std::string& body) {
    if (ServerType != TServerType::HTTP) {
        Status("Selected server not an HTTP server");
        return -1;
    }
    Replace(net_->sent, body);
    return StartHttp("http://" + ServerAddr + ServerAdditionalAddr, 14, {});
}

void TCddb::HttpRequestDone(int error) {
    const bool timedOut = net_->running == Transports::Exchange::None;
    StopDeadline();
    const int state = commandState_;
    if (error != 0) {
        commandState_ = 16;
        const std::string& reason = net_->http.ReasonPhrase();
        Status((state == 14 ? kPostFailed : kGetFailed) +
               (timedOut || reason.empty() ? std::string(kTooLong) : reason) + "\"");
        return;
    }
    // The lines are copied out: a handler of the owner may start the next request, which
    // clears the stream.
    const std::vector<unsigned char>& data = net_->received.Data();
    const std::vector<std::string> lines =
        cddb::SplitLines(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    void (TCddb::*handler)(const std::string&) = nullptr;
    switch (state) {
    case 6:
        handler = &TCddb::HandleQueryReply;
        break;
    case 7:
        handler = &TCddb::HandleSiteReply;
        break;
    case 11:
        handler = &TCddb::HandleReadReply;
        break;
    case 14:
        handler = &TCddb::HandleSubmitReply;
        break;
    default:
        return;
    }
    for (const std::string& raw : lines) {
        const std::string line = ReceivedText(raw);
        DataExchange(line);
        (this->*handler)(line);
    }
    if (state == 11) {
        ParseEntry();
    }
}

void TCddb::SubmissionHeader(std::string& headerLine) {
    if (commandState_ != 14 || headerLine.compare(0, 15, "Content-Length:") != 0) {
        return;
    }
    headerLine += "\r\nCategory: " + cddb::Trim(info_.Category) + "\r\nDiscid: " + DiscIdText() +
                  "\r\nUser-Email: " + EmailUser + "\r\nSubmit-Mode: " +
                  (SubmissionType == TSubmissionType::TEST ? "test" : "submit") +
                  "\r\nX-Cddbd-Note: " + noteToUser_;
}

void TCddb::Connect() {
    TWSocket& socket = net_->socket;
    std::string host = ServerAddr;
    std::string port = "8880";
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos) {
        const std::string named = host.substr(colon + 1);
        if (!named.empty() && named.find_first_not_of("0123456789") == std::string::npos) {
            port = named;
        }
        host.erase(colon);
    }
    socket.Addr = host;
    socket.Port = port;
    socket.TimeoutMs = TimeoutMs;
    net_->running = Transports::Exchange::Session;
    StartDeadline();
    socket.Connect();
}

void TCddb::SendCommand(const std::string& command, int state) {
    DataExchange(command);
    commandState_ = state;
    net_->running = Transports::Exchange::Session;
    StartDeadline();
    if (net_->socket.SendStr(command + "\r\n") < 0) {
        StopDeadline();
        commandState_ = -1;
        Status("CDDB Component Internal Error: TWSocket.SendStr failed because of error "
               "\"not connected\"");
    }
}

void TCddb::SendHello() {
    const size_t at = EmailUser.rfind('@');
    const std::string user = at == std::string::npos ? "" : EmailUser.substr(0, at);
    const std::string host = at == std::string::npos ? "" : EmailUser.substr(at + 1);
    SendCommand("cddb hello " + cddb::HelloWord(user) + ' ' + cddb::HelloWord(host) + ' ' +
                    cddb::HelloWord(ClientName) + ' ' + cddb::HelloWord(ClientVersion),
                1);
}

void TCddb::SendProto() {
    SendCommand("proto 5", 9);
}

void TCddb::SendQuery() {
    SendCommand(BuildQueryCommand(info_.Toc), 6);
}

void TCddb::SendRead() {
    if (commandState_ == 5) {
        Status("Can't perform a CDDB READ without a successful CDDB QUERY!");
        return;
    }
    entryLines_ = TEntryArray{};
    SendCommand("cddb read " + cddb::Trim(info_.Category) + ' ' + cddb::Trim(info_.DiscId), 11);
}

void TCddb::SendSites() {
    SendCommand("sites", 7);
}

void TCddb::SendQuit() {
    SendCommand("quit", 15);
}

void TCddb::SocketConnected(int error) {
    if (error != 0) {
        StopDeadline();
        commandState_ = -1;
        Status("CDDB Component Internal Error: TWSocket.Connect failed because of error \"" +
               net_->socket.ErrorText() + "\"");
        return;
    }
    commandState_ = 0;
}

void TCddb::SocketClosed(int error) {
    const bool cutOff = net_->running == Transports::Exchange::None;
    StopDeadline();
    const int state = commandState_;
    commandState_ = -1;
    if (cutOff && state == -1) {
        return; // the deadline has reported it
    }
    if (error != 0) {
        Status("CDDB Component Internal Error: TWSocket failed because of error \"" +
               net_->socket.ErrorText() + "\"");
    } else if (state != -1) {
        Status("Connection closed");
    }
}

void TCddb::SocketLine(const std::string& received) {
    const std::string line = cddb::Trim(ReceivedText(received));
    DataExchange(line);
    switch (commandState_) {
    case 0:
        HandleBanner(line);
        break;
    case 1:
        HandleHello(line);
        break;
    case 9:
        HandleProtocolLevel(line);
        break;
    case 6:
        HandleQueryReply(line);
        break;
    case 11:
        HandleReadReply(line);
        break;
    case 7:
        HandleSiteReply(line);
        break;
    case 15:
        commandState_ = -1;
        Status("Connection closed");
        break;
    default:
        break;
    }
    // A complete reply stops the clock; the connection may then wait for the next command.
    if (kAwaitingReply.count(commandState_) == 0) {
        StopDeadline();
    }
}

void TCddb::MailSubmit(const std::string& body) {
    TSmtpCli& smtp = net_->smtp;
    smtp.Host = MailServerAddress;
    smtp.Port = MailServerPort;
    smtp.SignOn = QHostInfo::localHostName().toStdString();
    smtp.FromName = EmailUser;
    smtp.RcptName = {EmailSubmit};
    smtp.HdrFrom = EmailUser;
    smtp.HdrTo = EmailSubmit;
    smtp.HdrSubject = "cddb " + cddb::Trim(info_.Category) + ' ' + DiscIdText();
    smtp.MailMessage = cddb::SplitLines(body);
    smtp.TimeoutMs = TimeoutMs;
    commandState_ = 14;
    net_->running = Transports::Exchange::Mail;
    StartDeadline();
    smtp.Connect();
}

void TCddb::MailHeader(std::string& headerLine) {
    if (cddb::StartsWithNoCase(headerLine, "From:")) {
        headerLine += "\r\nX-Cddbd-Note: " + noteToUser_;
    }
}

void TCddb::SmtpStep(TSmtpRequest request, int error) {
    TSmtpCli& smtp = net_->smtp;
    if (error == 0) {
        switch (request) {
        case TSmtpRequest::smtpConnect:
            smtp.Helo();
            break;
        case TSmtpRequest::smtpHelo:
            smtp.Mail();
            break;
        case TSmtpRequest::smtpMail:
            smtp.Quit();
            break;
        case TSmtpRequest::smtpQuit:
            StopDeadline();
            Status("OK, submission has been sent.");
            break;
        default:
            break;
        }
        return;
    }
    const char* step = request == TSmtpRequest::smtpConnect ? "Connect"
                       : request == TSmtpRequest::smtpHelo  ? "Helo"
                       : request == TSmtpRequest::smtpMail  ? "Mail"
                       : request == TSmtpRequest::smtpQuit  ? "Quit"
                                                            : "";
    StopDeadline();
    commandState_ = 21;
    Status(std::string("CDDB Component Internal Error: TSmtpCli.") + step +
           " failed because of error \"" + smtp.ErrorMessage() + "\"");
}

void TCddb::StartDeadline() {
    net_->deadline.start(std::max(TimeoutMs, 1));
}

void TCddb::StopDeadline() {
    net_->deadline.stop();
    net_->running = Transports::Exchange::None;
}

// Cuts off a server that keeps an exchange going too long; each transport then reports the
// failure as its own.
void TCddb::DeadlinePassed() {
    const Transports::Exchange running = net_->running;
    net_->running = Transports::Exchange::None;
    switch (running) {
    case Transports::Exchange::Http:
        net_->http.Abort();
        break;
    case Transports::Exchange::Session:
        commandState_ = -1;
        handshakeDone_ = false;
        Status(std::string("CDDB Component Internal Error: TWSocket failed because of error \"") +
               kTooLong + "\"");
        net_->socket.Close();
        break;
    case Transports::Exchange::Mail:
        net_->smtp.Abort();
        break;
    case Transports::Exchange::None:
        break;
    }
}

} // namespace quillon
