#include "net/WSocket.h"

#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::RunUntil;
using test::ScriptedServer;

struct LineCase {
    const char* name;
    std::vector<std::string> pieces; // sent apart in time, then the server closes
    size_t maxLine;
    std::vector<std::string> lines;
};

TEST(WSocket, LineModeDeliversWholeLinesAndCutsOverlongOnes) {
    const std::vector<LineCase> cases = {
        {"CR LF", {"201 ready\r\n210 ok\r\n"}, 1024, {"201 ready\r\n", "210 ok\r\n"}},
        {"lone LF", {"a\nb\r\n"}, 1024, {"a\n", "b\r\n"}},
        {"split across packets",
         {"hel", "lo\r", "\nwor", "ld\r\n"},
         1024,
         {"hello\r\n", "world\r\n"}},
        {"overlong line cut", {"0123456789abcdef\r\nok\r\n"}, 8, {"01234567\r\n", "ok\r\n"}},
        {"overlong line over packets",
         {"0123456789", "abcdef", "gh\nok\r\n"},
         8,
         {"01234567\r\n", "ok\r\n"}},
        {"exactly the limit", {"01234567\r\n"}, 8, {"01234567\r\n"}},
        {"last line without end", {"a\r\nlast"}, 1024, {"a\r\n", "last"}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.Greeting = c.pieces;
        server.CloseAfterGreeting = true;

        TWSocket socket;
        socket.LineMode = true;
        socket.MaxLineBytes = c.maxLine;
        socket.Addr = "127.0.0.1";
        socket.Port = std::to_string(server.Port());
        std::vector<std::string> lines;
        int connected = -1, closed = -1;
        socket.OnSessionConnected = [&](TWSocket&, int error) { connected = error; };
        socket.OnDataAvailable = [&](TWSocket& s, int) { lines.push_back(s.ReceiveStr()); };
        socket.OnSessionClosed = [&](TWSocket&, int error) { closed = error; };
        socket.Connect();
        EXPECT_EQ(connected, -1) << "an event came inside Connect";
        ASSERT_TRUE(RunUntil([&] { return closed != -1; }));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(closed, 0);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(WSocket, FailuresCloseTheSessionWithAReason) {
    ScriptedServer silent; // accepts and never answers
    struct Case {
        const char* name;
        std::string addr;
        uint16_t port;
        int error;
        std::string text; // the start of ErrorText()
    } cases[] = {
        {"refused", "127.0.0.1", test::ClosedPort(), wsErrorConnect, "can't connect: "},
        {"unresolvable", "no-such-host.invalid", 8880, wsErrorResolve,
         "can't resolve hostname to IP address"},
        {"silent server", "127.0.0.1", silent.Port(), wsErrorTimeout, "timeout"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TWSocket socket;
        socket.LineMode = true;
        socket.TimeoutMs = 300;
        socket.Addr = c.addr;
        socket.Port = std::to_string(c.port);
        int closed = -1;
        socket.OnSessionClosed = [&](TWSocket&, int error) { closed = error; };
        socket.Connect();
        ASSERT_TRUE(RunUntil([&] { return closed != -1; }));
        EXPECT_EQ(closed, c.error);
        EXPECT_EQ(socket.ErrorText().rfind(c.text, 0), 0u) << socket.ErrorText();
        EXPECT_FALSE(socket.Connected());
    }
}

} // namespace
} // namespace quillon
