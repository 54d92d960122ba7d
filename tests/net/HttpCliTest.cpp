#include "net/HttpCli.h"

#include "NetTestSupport.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::RunUntil;
using test::ScriptedServer;

std::string Text(const MemoryStream& stream) {
    return std::string(stream.Data().begin(), stream.Data().end());
}

// The request's header block has arrived, and its body when Content-Length announces one.
bool RequestComplete(const std::string& received) {
    const size_t end = received.find("\r\n\r\n");
    if (end == std::string::npos)
        return false;
    const size_t length = received.find("Content-Length: ");
    if (length == std::string::npos || length > end)
        return true;
    return received.size() >= end + 4 + std::stoul(received.substr(length + 16));
}

struct ExchangeCase {
    const char* name;
    THttpRequest request;
    bool viaProxy;
    std::vector<std::string> reply; // pieces, then the server closes
    int error;
    std::string reason;
    std::string body;
    std::vector<std::string> requestHas; // texts the request must contain, in this order
};

TEST(HttpCli, RequestsAndReplies) {
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
    const std::vector<ExchangeCase> cases = {
        {"GET with a length",
         THttpRequest::Get,
         false,
         {ok + "Content-Length: 9\r\n\r\n200 rock ", "x"},
         0,
         "OK",
         "200 rock ",
         {"GET /~cddb/cddb.cgi?cmd=cddb+query HTTP/1.0\r\n", "Host: 127.0.0.1:", "\r\n",
          "User-Agent: Test Agent\r\n", "Connection: close\r\n\r\n"}},
        {"POST with headers added after Content-Length",
         THttpRequest::Post,
         false,
         {ok + "\r\n200 OK, submission has been sent.\r\n"},
         0,
         "OK",
         "200 OK, submission has been sent.\r\n",
         {"POST /~cddb/cddb.cgi?cmd=cddb+query HTTP/1.0\r\n", "Content-Type: text/plain\r\n",
          "Content-Length: 18\r\nCategory: rock\r\nDiscid: 06000502\r\n",
          "Connection: close\r\n\r\n# xmcd\r\nDISCID=1\r\n"}},
        {"status other than 200",
         THttpRequest::Get,
         false,
         {"HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"},
         404,
         "Not Found",
         "no!",
         {}},
        {"chunked reply over packets",
         THttpRequest::Get,
         false,
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", "lo\r\n1;x=y\r\n,\r\n",
          "6\r\n world\r\n0\r\nTrailer: t\r\n\r\n"},
         0,
         "OK",
         "hello, world",
         {}},
        {"body ended by the close",
         THttpRequest::Get,
         false,
         {ok + "\n", "210 a\n", ".\n"},
         0,
         "OK",
         "210 a\n.\n",
         {}},
        {"through a proxy",
         THttpRequest::Get,
         true,
         {ok + "Content-Length: 0\r\n\r\n"},
         0,
         "OK",
         "",
         {"GET http://cddb.example:8080/~cddb/cddb.cgi?cmd=cddb+query HTTP/1.0\r\n",
          "Host: cddb.example:8080\r\n"}},
        {"content shorter than announced",
         THttpRequest::Get,
         false,
         {ok + "Content-Length: 100\r\n\r\nshort"},
         -4,
         "connection closed before the reply was complete",
         "short",
         {}},
        {"garbage instead of a status line",
         THttpRequest::Get,
         false,
         {std::string("\x01\xff\0garbage\r\n\r\n", 14)},
         -3,
         "invalid reply",
         "",
         {}},
        {"chunk size out of range",
         THttpRequest::Get,
         false,
         {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffff\r\n"},
         -3,
         "reply body too large",
         "",
         {}},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.OnData = [&c](ScriptedServer::Connection& connection) {
            if (RequestComplete(connection.received))
                connection.Send(c.reply, true);
        };
        MemoryStream received, sent;
        const std::string body = "# xmcd\r\nDISCID=1\r\n";
        sent.Write(body.data(), body.size());
        sent.SetPosition(0);

        THttpCli http;
        const std::string host =
            c.viaProxy ? "cddb.example:8080" : "127.0.0.1:" + std::to_string(server.Port());
        http.URL = "http://" + host + "/~cddb/cddb.cgi?cmd=cddb+query";
        if (c.viaProxy) {
            http.Proxy = "127.0.0.1";
            http.ProxyPort = std::to_string(server.Port());
        }
        http.Agent = "Test Agent";
        http.RcvdStream = &received;
        http.SendStream = &sent;
        http.OnCommand = [](THttpCli&, std::string& line) {
            if (line.rfind("Content-Length:", 0) == 0)
                line += "\r\nCategory: rock\r\nDiscid: 06000502";
        };
        int done = 1;
        http.OnRequestDone = [&](THttpCli&, THttpRequest request, int error) {
            EXPECT_EQ(request, c.request);
            done = error;
        };
        c.request == THttpRequest::Get ? http.GetAsync() : http.PostAsync();
        EXPECT_EQ(done, 1) << "the request ended inside the call";
        EXPECT_TRUE(http.Busy());
        EXPECT_THROW(http.GetAsync(), EHttpException);
        ASSERT_TRUE(RunUntil([&] { return done != 1; }));
        EXPECT_EQ(done, c.error);
        EXPECT_EQ(http.ReasonPhrase(), c.reason);
        EXPECT_EQ(Text(received), c.body);
        EXPECT_FALSE(http.Busy());
        const std::string request = server.Received();
        size_t at = 0;
        for (const std::string& part : c.requestHas) {
            at = request.find(part, at);
            ASSERT_NE(at, std::string::npos) << part << " missing in order in\n" << request;
        }
    }
}

TEST(HttpCli, FailuresWithoutAUsableReply) {
    ScriptedServer silent;
    ScriptedServer endless; // a header, then body lines for as long as the client reads
    endless.OnData = [](ScriptedServer::Connection& connection) {
        if (connection.received.find("\r\n\r\n") == std::string::npos)
            return;
        connection.Send({"HTTP/1.0 200 OK\r\n\r\n"});
        QObject::connect(connection.socket, &QTcpSocket::bytesWritten, connection.socket,
                         [socket = connection.socket] {
                             if (socket->bytesToWrite() < 65536)
                                 socket->write(QByteArray(16384, '1').append("\r\n"));
                         });
    };
    ScriptedServer hugeHeader;
    hugeHeader.Greeting = {"HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'h')};

    struct Case {
        const char* name;
        std::string url;
        int error;
        std::string reason; // the start of ReasonPhrase()
    } cases[] = {
        {"refused", "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/", -1,
         "can't connect: "},
        {"unresolvable", "http://no-such-host.invalid/~cddb/cddb.cgi", -1,
         "can't resolve hostname to IP address"},
        {"silent server", "http://127.0.0.1:" + std::to_string(silent.Port()) + "/", -2, "timeout"},
        {"endless body", "http://127.0.0.1:" + std::to_string(endless.Port()) + "/", -3,
         "reply body too large"},
        {"header beyond 64 KiB", "http://127.0.0.1:" + std::to_string(hugeHeader.Port()) + "/", -3,
         "reply header too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream received;
        THttpCli http;
        http.URL = c.url;
        http.TimeoutMs = 300;
        http.MaxBodyBytes = 256 * 1024;
        http.RcvdStream = &received;
        int done = 1;
        http.OnRequestDone = [&](THttpCli&, THttpRequest, int error) { done = error; };
        http.GetAsync();
        ASSERT_TRUE(RunUntil([&] { return done != 1; }));
        EXPECT_EQ(done, c.error);
        EXPECT_EQ(http.ReasonPhrase().rfind(c.reason, 0), 0u) << http.ReasonPhrase();
        EXPECT_LE(received.Size(), 256 * 1024);
    }
}

TEST(HttpCli, RefusesToStartWithoutAnHttpUrl) {
    for (const char* url : {"", "ftp://host/", "http://", "http://:80/", "http://host:99999/"}) {
        THttpCli http;
        http.URL = url;
        EXPECT_THROW(http.GetAsync(), EHttpException) << url;
        EXPECT_FALSE(http.Busy()) << url;
    }
}

} // namespace
} // namespace quillon
