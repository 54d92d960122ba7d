#include "NetTestSupport.h"
#include "fixtures/CddbServerProcess.h"
#include "net/HttpCli.h"
#include "platform/MemoryStream.h"

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace quillon {
namespace {

using test::CddbServerProcess;

// The test server answers well-behaved and hostile, and the HTTP client stays within its
// limits whatever it sends.
TEST(CddbTestServer, HttpClientAgainstEveryMode) {
    const std::string query = "cmd=cddb+query+11000c04+4+150+375+600+825+14&hello=u+h+c+v&proto=5";
    const std::string read = "cmd=cddb+read+jazz+0a000703&hello=u+h+c+v&proto=5";
    struct Case {
        QStringList switches;
        std::string query;
        int error;
        std::string reason; // the start of ReasonPhrase()
        size_t lines;       // of the body
    } cases[] = {
        {{}, query, 0, "OK", 4},
        {{}, read, 0, "OK", 28},
        {{"--query-code", "202"}, query, 0, "OK", 1},
        {{"--http-status", "503"}, query, 503, "Service Unavailable", 1},
        {{"--hostile", "many-matches"}, query, 0, "OK", 5002},
        {{"--hostile", "endless"}, query, -3, "reply body too large", 0},
        {{"--hostile", "long-line"}, query, -3, "reply body too large", 0},
        {{"--hostile", "garbage"}, query, -3, "", 0},
        {{"--hostile", "silent"}, query, -2, "timeout", 0},
        {{"--hostile", "drop"}, read, -4, "connection closed before", 0},
    };
    QTemporaryDir folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.switches.join(' ').toStdString());
        const QString log = folder.filePath("log.txt");
        CddbServerProcess server(c.switches + QStringList{"--log", log});
        ASSERT_NE(server.Port("http"), 0);

        MemoryStream received;
        THttpCli http;
        http.URL = "http://127.0.0.1:" + std::to_string(server.Port("http")) + "/~cddb/cddb.cgi?" +
                   c.query;
        http.TimeoutMs = 500;
        http.MaxBodyBytes = 1024 * 1024;
        http.RcvdStream = &received;
        int done = 1;
        http.OnRequestDone = [&](THttpCli&, THttpRequest, int error) { done = error; };
        http.GetAsync();
        ASSERT_TRUE(test::RunUntil([&] { return done != 1; }, 10000));
        EXPECT_EQ(done, c.error);
        EXPECT_EQ(http.ReasonPhrase().rfind(c.reason, 0), 0u) << http.ReasonPhrase();
        EXPECT_LE(received.Size(), http.MaxBodyBytes);
        if (c.error != 0)
            continue;
        const std::string body(received.Data().begin(), received.Data().end());
        EXPECT_EQ(static_cast<size_t>(std::count(body.begin(), body.end(), '\n')), c.lines)
            << body.substr(0, 200);
        std::ifstream logFile(log.toStdString());
        std::stringstream logText;
        logText << logFile.rdbuf();
        EXPECT_NE(logText.str().find("GET /~cddb/cddb.cgi?" + c.query + " HTTP/1.0\n"),
                  std::string::npos);
        QFile::remove(log);
    }
}

} // namespace
} // namespace quillon
