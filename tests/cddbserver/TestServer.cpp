#include "TestServer.h"

#include "ServerConnection.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace quillon {

namespace {

const std::string kCrLf = "\r\n";
constexpr size_t kMaxBody = 1024 * 1024;

std::string EndlessMatch(uint64_t i) {
    char line[80];
    std::snprintf(line, sizeof line, "rock %08llx Endless Artist / Match %llu\r\n",
                  static_cast<unsigned long long>(i & 0xffffffffu),
                  static_cast<unsigned long long>(i));
    return line;
}

const std::string kEndlessHead =
    "211 Found inexact matches, list follows (until terminating `.')\r\n";

std::string ReasonPhrase(int status) {
    static const std::map<int, std::string> phrases = {
        {200, "OK"},          {301, "Moved Permanently"},   {302, "Found"},
        {400, "Bad Request"}, {401, "Unauthorized"},        {403, "Forbidden"},
        {404, "Not Found"},   {405, "Method Not Allowed"},  {500, "Internal Server Error"},
        {502, "Bad Gateway"}, {503, "Service Unavailable"}, {504, "Gateway Timeout"}};
    auto found = phrases.find(status);
    return found != phrases.end() ? found->second : "Forced Status";
}

std::string HttpHead(int status, const std::string& body, bool withLength) {
    std::string head = "HTTP/1.0 " + std::to_string(status) + " " + ReasonPhrase(status) + kCrLf +
                       "Content-Type: text/plain; charset=UTF-8" + kCrLf;
    if (withLength)
        head += "Content-Length: " + std::to_string(body.size()) + kCrLf;
    return head + "Connection: close" + kCrLf + kCrLf;
}

// The fields of a form-encoded query: "+" is a space, %XX a byte.
std::map<std::string, std::string> FormFields(const std::string& query) {
    auto decode = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '+') {
                out += ' ';
            } else if (text[i] == '%' && i + 2 < text.size() &&
                       std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                       std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    };
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            fields.emplace(decode(pair.substr(0, equals)), equals == std::string::npos
                                                               ? std::string()
                                                               : decode(pair.substr(equals + 1)));
        start = end + 1;
    }
    return fields;
}

// What an HTTP request has delivered so far.
struct HttpRequest {
    std::string method, target;
    size_t contentLength = 0;
    bool headerDone = false;
    bool answered = false;
    std::string body;
};

} // namespace

TestServer::TestServer(const ServerOptions& options) : options_(options), database_(options) {}

bool TestServer::Listen() {
    const QHostAddress local(QHostAddress::LocalHost);
    if (!http_.listen(local) || !cddbp_.listen(local) || !smtp_.listen(local))
        return false;
    database_.SetPorts(http_.serverPort(), cddbp_.serverPort());
    QObject::connect(&http_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = http_.nextPendingConnection())
            AcceptHttp(socket);
    });
    QObject::connect(&cddbp_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = cddbp_.nextPendingConnection())
            AcceptCddbp(socket);
    });
    QObject::connect(&smtp_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = smtp_.nextPendingConnection())
            AcceptSmtp(socket);
    });
    return true;
}

std::string TestServer::PortLine() const {
    return "http=" + std::to_string(http_.serverPort()) +
           " cddbp=" + std::to_string(cddbp_.serverPort()) +
           " smtp=" + std::to_string(smtp_.serverPort());
}

void TestServer::AcceptHttp(QTcpSocket* socket) {
    auto connection = ServerConnection::Accept(socket, options_);
    auto request = std::make_shared<HttpRequest>();
    std::weak_ptr<ServerConnection> weak = connection;

    auto respond = [this, weak, request] {
        auto conn = weak.lock();
        if (!conn || request->answered)
            return;
        request->answered = true;
        const HostileMode mode = options_.hostile;
        if (mode == HostileMode::Silent)
            return;
        if (mode == HostileMode::Garbage)
            return conn->SendGarbage();

        const size_t question = request->target.find('?');
        const std::string path = request->target.substr(0, question);
        const std::string queryText =
            question == std::string::npos ? std::string() : request->target.substr(question + 1);
        int status = options_.httpStatus;
        std::string body;
        CddbReply reply;
        if (status == 200 && request->method == "POST") {
            if (path == "/~cddb/cddb.cgi" || path == "/~cddb/submit.cgi")
                reply = database_.Submission();
            else
                status = 404;
        } else if (status == 200 && request->method == "GET") {
            if (path == "/~cddb/cddb.cgi") {
                const std::map<std::string, std::string> query = FormFields(queryText);
                auto item = [&query](const char* name) {
                    auto found = query.find(name);
                    return found == query.end() ? std::string() : found->second;
                };
                CddbSession session{true, 5};
                if (!query.count("cmd"))
                    reply.text = "500 Command syntax error." + kCrLf;
                else if (item("hello").empty())
                    reply.text = "409 No handshake." + kCrLf;
                else
                    reply = database_.Answer(item("cmd"), session);
            } else {
                status = 404;
            }
        } else if (status == 200) {
            status = 405;
        }
        if (status != 200) {
            body = std::to_string(status) + " " + ReasonPhrase(status) + kCrLf;
            conn->Send(HttpHead(status, body, true) + body);
            return conn->CloseAfterSending();
        }
        if (mode == HostileMode::Endless)
            return conn->SendEndless(HttpHead(200, {}, false) + kEndlessHead, EndlessMatch);
        if (mode == HostileMode::LongLine) {
            conn->Send(HttpHead(200, {}, false));
            return conn->SendLongLine();
        }
        const std::string head = HttpHead(200, reply.text, true);
        if (reply.cutAt != std::string::npos)
            return conn->SendCut(head + reply.text, head.size() + reply.cutAt);
        conn->Send(head + reply.text);
        conn->CloseAfterSending();
    };

    connection->OnLine = [this, weak, request, respond](const std::string& line) {
        if (request->headerDone)
            return;
        AppendToFile(options_.log, line);
        if (request->method.empty()) {
            const size_t space = line.find(' ');
            request->method = line.substr(0, space);
            const size_t second = space == std::string::npos ? space : line.find(' ', space + 1);
            if (space != std::string::npos)
                request->target = line.substr(space + 1, second - space - 1);
            return;
        }
        if (!line.empty()) {
            const std::string name = "content-length:";
            if (line.size() > name.size() &&
                QString::fromStdString(line.substr(0, name.size())).toLower().toStdString() == name)
                request->contentLength = std::min<size_t>(
                    std::strtoull(line.c_str() + name.size(), nullptr, 10), kMaxBody);
            return;
        }
        request->headerDone = true;
        auto conn = weak.lock();
        if (request->contentLength == 0) {
            // Whatever else the client sends is ignored.
            conn->OnBytes = [](const std::string&) {};
            return respond();
        }
        conn->OnBytes = [this, request, respond](const std::string& bytes) {
            if (request->answered)
                return;
            request->body += bytes;
            if (request->body.size() < request->contentLength)
                return;
            request->body.resize(request->contentLength);
            size_t start = 0;
            while (start < request->body.size()) {
                size_t end = request->body.find('\n', start);
                if (end == std::string::npos)
                    end = request->body.size();
                std::string line = request->body.substr(start, end - start);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                AppendToFile(options_.log, line);
                start = end + 1;
            }
            respond();
        };
    };
}

bool TestServer::OpenedHostile(ServerConnection& connection) const {
    switch (options_.hostile) {
    case HostileMode::Silent:
        return true;
    case HostileMode::Garbage:
        connection.SendGarbage();
        return true;
    case HostileMode::LongLine:
        connection.SendLongLine();
        return true;
    default:
        return false;
    }
}

void TestServer::AcceptCddbp(QTcpSocket* socket) {
    auto connection = ServerConnection::Accept(socket, options_);
    auto session = std::make_shared<CddbSession>();
    std::weak_ptr<ServerConnection> weak = connection;
    if (OpenedHostile(*connection)) {
        return;
    }
    const CddbReply banner = database_.Banner();
    connection->Send(banner.text);
    if (banner.close)
        return connection->CloseAfterSending();
    connection->OnLine = [this, weak, session](const std::string& line) {
        AppendToFile(options_.log, line);
        auto conn = weak.lock();
        if (options_.hostile == HostileMode::Endless)
            return conn->SendEndless(kEndlessHead, EndlessMatch);
        const CddbReply reply = database_.Answer(line, *session);
        if (reply.cutAt != std::string::npos)
            return conn->SendCut(reply.text, reply.cutAt);
        conn->Send(reply.text);
        if (reply.close)
            conn->CloseAfterSending();
    };
}

void TestServer::AcceptSmtp(QTcpSocket* socket) {
    auto connection = ServerConnection::Accept(socket, options_);
    std::weak_ptr<ServerConnection> weak = connection;
    if (OpenedHostile(*connection)) {
        return;
    }
    if (options_.hostile == HostileMode::Endless) {
        return connection->SendEndless({}, [](uint64_t) { return "220-endless greeting\r\n"; });
    }
    connection->Send("220 127.0.0.1 SMTP test sink ready" + kCrLf);

    // Envelope state: 0 before MAIL FROM, 1 after it, 2 after a RCPT TO, 3 inside DATA.
    auto state = std::make_shared<int>(0);
    auto mail = std::make_shared<std::string>();
    connection->OnLine = [this, weak, state, mail](const std::string& line) {
        auto conn = weak.lock();
        if (*state == 3) {
            *mail += line + "\n";
            if (line != ".")
                return;
            // The mail as it came over the wire (still dot-stuffed), ended by its "." line.
            mail->pop_back();
            AppendToFile(options_.mailLog, *mail);
            mail->clear();
            *state = 0;
            return conn->Send("250 OK: queued" + kCrLf);
        }
        AppendToFile(options_.log, line);
        const std::string verb = QString::fromStdString(line.substr(0, line.find_first_of(" :")))
                                     .toUpper()
                                     .toStdString();
        std::string reply;
        if (verb == "HELO" || verb == "EHLO") {
            reply = "250 127.0.0.1 Hello";
        } else if (verb == "MAIL") {
            reply = "250 OK";
            *state = 1;
        } else if (verb == "RCPT") {
            reply = *state >= 1 ? "250 OK" : "503 Bad sequence of commands";
            if (*state >= 1)
                *state = 2;
        } else if (verb == "DATA") {
            reply = *state == 2 ? "354 End data with <CR><LF>.<CR><LF>"
                                : "503 Bad sequence of commands";
            if (*state == 2)
                *state = 3;
        } else if (verb == "RSET" || verb == "NOOP") {
            reply = "250 OK";
            if (verb == "RSET")
                *state = 0;
        } else if (verb == "QUIT") {
            conn->Send("221 Bye" + kCrLf);
            return conn->CloseAfterSending();
        } else {
            reply = "500 Command unrecognized";
        }
        conn->Send(reply + kCrLf);
    };
}

} // namespace quillon
