// The client against the CD database test server: lookups over HTTP and CDDBP, site lists,
// submissions, failures, and servers that misbehave.
#include "cddb/Cddb.h"
#include "fixtures/CddbServerProcess.h"
#include "fixtures/Fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sstream>

namespace quillon::test {
namespace {

// A disc of tracks of the given lengths in sectors, the first at 2 seconds.
DiscToc Disc(const std::vector<int>& lengths) {
    DiscToc toc;
    int sector = 150;
    for (size_t i = 0; i <= lengths.size(); ++i) {
        TocEntry& entry = i < lengths.size() ? toc.Tracks[i] : toc.LeadOut;
        entry = {static_cast<uint8_t>(sector / 4500), static_cast<uint8_t>(sector / 75 % 60),
                 static_cast<uint8_t>(sector % 75), i < lengths.size() ? kTocAudio : 0};
        sector += i < lengths.size() ? lengths[i] : 0;
    }
    toc.NumTracks = static_cast<uint8_t>(lengths.size());
    return toc;
}

struct Client {
    TCddb cddb;
    std::vector<std::string> statuses;
    std::vector<std::string> exchanged;
    explicit Client(TServerType type, const std::string& address) {
        cddb.InternalTOCRetrieve = false;
        cddb.ServerType = type;
        cddb.ServerAddr = address;
        cddb.EmailUser = "tester@example.org";
        cddb.ClientName = "Client";
        cddb.ClientVersion = "1.0";
        cddb.TimeoutMs = 1500;
        cddb.OnStatusMessage = [this](TCddb&, const std::string& s) { statuses.push_back(s); };
        cddb.OnDataExchange = [this](TCddb&, const std::string& s) { exchanged.push_back(s); };
    }
    // Runs the event loop while the state is one of waiting; false after 10 seconds.
    bool Await(const std::set<int>& waiting) {
        QElapsedTimer clock;
        clock.start();
        while (waiting.count(cddb.CommandState()) != 0) {
            if (clock.elapsed() > 10000) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    bool Connected() {
        cddb.SetCommandState(0);
        cddb.Connect();
        return Await({0});
    }
    bool Said(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
    // Runs the event loop until the status comes; false after 10 seconds.
    bool AwaitStatus(const std::string& status) {
        QElapsedTimer clock;
        clock.start();
        while (!Said(status)) {
            if (clock.elapsed() > 10000) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
};

std::string FileText(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ServerTest, LooksUpDiscsOverHttp) {
    CddbServerProcess server;
    struct Case {
        std::vector<int> lengths;
        std::string category; // the match to choose; empty when none is found
        std::string artist;
        std::string title;
        std::string secondTrack;
    };
    const Case cases[] = {
        {{150, 225}, "rock", "Test Artist", "Two Track Album", "Second Song"},
        {{75, 150, 300},
         "jazz",
         "The Long Named Quartet",
         "An Album Whose Title Is Long Enough To Continue On A Second Line",
         "A Track Whose Title Is Split Over Two Lines"},
        {{300, 150}, "folk", "Björk Sigurðardóttir", "Ελληνικά και 日本語", "Песня"},
        {{225, 225, 225, 225}, "blues", "Blues Singer", "Same Identifier Other Disc", "Blues Two"},
        {{225, 225, 225, 225}, "rock", "Rock Band", "Shared Identifier", "Rock Two"},
        {{100}, "", "", "", ""},
    };
    for (const Case& c : cases) {
        Client client(TServerType::HTTP, server.Address("http"));
        client.cddb.Info().Toc = Disc(c.lengths);
        client.cddb.OnMatch = [&](TCddb&, TMatchArray& matches, int& rightOne) {
            const auto wanted = std::find_if(matches.begin(), matches.end(), [&](auto& m) {
                return m.rfind(c.category + " ", 0) == 0;
            });
            rightOne = wanted == matches.end() ? -1 : static_cast<int>(wanted - matches.begin());
        };
        ASSERT_EQ(0, client.cddb.HttpQuery());
        ASSERT_TRUE(client.Await({6})) << c.category;
        if (c.category.empty()) {
            EXPECT_EQ(5, client.cddb.CommandState());
            EXPECT_TRUE(client.Said("No match found"));
            continue;
        }
        ASSERT_EQ(3, client.cddb.CommandState()) << c.category;
        ASSERT_EQ(0, client.cddb.HttpRead());
        ASSERT_TRUE(client.Await({11}));
        EXPECT_EQ(12, client.cddb.CommandState()) << c.category;
        const TCDInfo& info = client.cddb.Info();
        EXPECT_EQ(c.category, info.Category);
        EXPECT_EQ(c.artist, info.Artist);
        EXPECT_EQ(c.title, info.Title);
        EXPECT_EQ(c.secondTrack, info.TrackTitles[1]);
        EXPECT_EQ(TCddb::ComputeDiscId(Disc(c.lengths)), std::stoul(info.DiscId, nullptr, 16));
        EXPECT_TRUE(client.Said("Entry read"));
        EXPECT_NE(client.exchanged[0].find("&hello=tester+example%2Eorg+Client+1%2E0&proto=5"),
                  std::string::npos)
            << client.exchanged[0];
    }
    // Without "@" the hello's user and host are one empty word.
    Client anonymous(TServerType::HTTP, "127.0.0.1:9");
    anonymous.cddb.EmailUser = "nobody";
    anonymous.cddb.Info().Toc = DiscToc{};
    anonymous.cddb.ServerAdditionalAddr = "/cgi";
    anonymous.cddb.HttpQuery();
    EXPECT_EQ("http://127.0.0.1:9/cgi?cmd=cddb+query+00000000+0+0&hello=+Client+1%2E0&proto=5\r\n",
              anonymous.exchanged.front());
}

TEST(ServerTest, TalksToALineModeServer) {
    TempDir dir;
    const std::string log = dir.File("requests.log");
    CddbServerProcess server({"--log", QString::fromStdString(log)});
    Client client(TServerType::CDDBP, server.Address("cddbp"));
    client.cddb.Info().Toc = Disc({150, 225});
    // The line-mode hello has no escapes: a space or line break must not split it.
    client.cddb.ClientName = "My Client\r\nquit";
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(17, client.cddb.CommandState());
    struct Step {
        void (TCddb::*send)();
        int waiting;
        int state;
        std::string status;
    };
    const Step steps[] = {
        {&TCddb::SendHello, 1, 2, "Handshake successful"},
        {&TCddb::SendProto, 9, 10, "OK, protocol level now: 5"},
        {&TCddb::SendQuery, 6, 3, "Found exact match"},
        {&TCddb::SendRead, 11, 12, "Entry read"},
        {&TCddb::SendSites, 7, 8, "Got sites"},
        {&TCddb::SendQuit, 15, -1, "Connection closed"},
    };
    for (const Step& step : steps) {
        (client.cddb.*step.send)();
        ASSERT_TRUE(client.Await({step.waiting})) << step.status;
        EXPECT_EQ(step.state, client.cddb.CommandState()) << step.status;
        EXPECT_EQ(step.status, client.statuses.back());
        if (step.state == 12) {
            client.cddb.ParseEntry();
            EXPECT_EQ("Second Song", client.cddb.Info().TrackTitles[1]);
        }
    }
    EXPECT_TRUE(client.cddb.HandshakeDone());
    EXPECT_EQ("127.0.0.1", client.cddb.Sites()[1].Site);
    EXPECT_EQ("-", client.cddb.Sites()[1].Location.Latitude);
    EXPECT_EQ("cddb hello tester example.org My_Client__quit 1.0\nproto 5\ncddb query 06000502 2 "
              "150 300 "
              "7\ncddb read rock 06000502\nsites\nquit\n",
              FileText(log));
}

TEST(ServerTest, SubmitsEntriesAndReadsSiteLists) {
    TempDir dir;
    const std::string log = dir.File("requests.log");
    const std::string mail = dir.File("mail.log");
    CddbServerProcess server(
        {"--log", QString::fromStdString(log), "--mail-log", QString::fromStdString(mail)});
    Client client(TServerType::HTTP, server.Address("http"));
    client.cddb.Info().Toc = Disc({150, 225});
    client.cddb.Info().Category = " rock ";
    client.cddb.SubmissionType = TSubmissionType::SUBMIT;
    client.cddb.SetNoteToUser(std::string(80, 'n'));
    ASSERT_EQ(0, client.cddb.HttpSites());
    ASSERT_TRUE(client.Await({7}));
    EXPECT_EQ(8, client.cddb.CommandState());
    EXPECT_EQ("/~cddb/cddb.cgi", client.cddb.Sites()[0].Address);
    EXPECT_EQ("Test server, HTTP", client.cddb.Sites()[0].Location.Description);

    ASSERT_EQ(0, client.cddb.HttpSubmit("# xmcd\r\nDISCID=06000502\r\n"));
    ASSERT_TRUE(client.AwaitStatus("OK, submission has been sent."));
    EXPECT_EQ(14, client.cddb.CommandState());
    const std::string headers = FileText(log);
    const std::string note(70, 'n');
    const size_t length = headers.find("Content-Length: ");
    ASSERT_NE(std::string::npos, length) << headers;
    EXPECT_EQ(headers.find("\nCategory: rock\nDiscid: 06000502\nUser-Email: tester@example.org\n"
                           "Submit-Mode: submit\nX-Cddbd-Note: " +
                           note + "\n"),
              headers.find('\n', length))
        << headers;

    client.cddb.MailServerAddress = "127.0.0.1";
    client.cddb.MailServerPort = server.Address("smtp").substr(10);
    client.statuses.clear();
    client.cddb.MailSubmit("# xmcd\r\nDISCID=06000502");
    EXPECT_TRUE(client.AwaitStatus("OK, submission has been sent."));
    EXPECT_EQ(1u, client.statuses.size());
    // The note follows the From header line.
    std::string sent = FileText(mail);
    sent.erase(std::remove(sent.begin(), sent.end(), '\r'), sent.end());
    const size_t noteAt = sent.find("\nX-Cddbd-Note: " + note + "\n");
    ASSERT_NE(std::string::npos, noteAt) << sent;
    EXPECT_EQ("From:", sent.substr(sent.rfind("\n", noteAt - 1) + 1, 5)) << sent;
    EXPECT_NE(std::string::npos, sent.find("DISCID=06000502")) << sent;
}

TEST(ServerTest, ReportsFailuresAndSurvivesHostileServers) {
    const std::string get = "CDDB Component Internal Error: THttpCli.GetAsync failed because of "
                            "error \"";
    const std::string post = "CDDB Component Internal Error: THttpCli.PostAsync failed because "
                             "of error \"";
    struct Case {
        QStringList switches;
        TServerType type;
        bool submit;
        std::set<int> endStates;
        std::string statusStart; // of the last status; empty: not checked
        bool readAfter = false;  // the query succeeds; the read must not
    };
    const auto hostile = [](const char* mode) { return QStringList{"--hostile", mode}; };
    const Case cases[] = {
        {{"--http-status", "500"}, TServerType::HTTP, false, {16}, get},
        {{"--http-status", "503"}, TServerType::HTTP, true, {16}, post},
        {{"--query-code", "403"}, TServerType::HTTP, false, {5}, "Database entry is corrupt"},
        {hostile("long-line"), TServerType::HTTP, false, {5, 16}, ""},
        {hostile("endless"), TServerType::HTTP, false, {16}, get},
        {hostile("many-matches"), TServerType::HTTP, false, {3}, "Received matches"},
        {hostile("garbage"), TServerType::HTTP, false, {16}, get},
        {hostile("silent"), TServerType::HTTP, false, {16}, get},
        {hostile("slow"), TServerType::HTTP, false, {16}, get},
        {hostile("drop"), TServerType::HTTP, false, {3}, "", true},
        {hostile("long-line"), TServerType::CDDBP, false, {-1}, ""},
        {hostile("endless"), TServerType::CDDBP, false, {-1}, ""},
        {hostile("many-matches"), TServerType::CDDBP, false, {3}, "Received matches"},
        {hostile("garbage"), TServerType::CDDBP, false, {-1}, ""},
        {hostile("silent"), TServerType::CDDBP, false, {-1}, ""},
        {hostile("slow"), TServerType::CDDBP, false, {-1}, ""},
        {hostile("drop"), TServerType::CDDBP, false, {3}, "", true},
    };
    for (const Case& c : cases) {
        const std::string name = c.switches.join(' ').toStdString();
        CddbServerProcess server(c.switches);
        QElapsedTimer clock;
        clock.start();
        Client client(c.type, server.Address(c.type == TServerType::HTTP ? "http" : "cddbp"));
        client.cddb.Info().Toc = Disc({225, 225, 225, 225});
        if (c.type == TServerType::CDDBP) {
            ASSERT_TRUE(client.Connected()) << name;
            if (client.cddb.CommandState() != -1) {
                client.cddb.SendHello();
                ASSERT_TRUE(client.Await({1})) << name;
            }
            if (client.cddb.CommandState() != -1) {
                client.cddb.SendQuery();
                ASSERT_TRUE(client.Await({6})) << name;
            }
        } else if (c.submit) {
            ASSERT_EQ(0, client.cddb.HttpSubmit("# xmcd"));
            clock.restart();
            while (client.cddb.CommandState() == 14 && clock.elapsed() < 10000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            }
        } else {
            ASSERT_EQ(0, client.cddb.HttpQuery()) << name;
            ASSERT_TRUE(client.Await({6})) << name;
        }
        EXPECT_EQ(1u, c.endStates.count(client.cddb.CommandState()))
            << name << " ended in " << client.cddb.CommandState();
        if (c.statusStart == "Received matches") {
            EXPECT_FALSE(client.cddb.Matches().back().empty()) << name << ": 100 matches kept";
        }
        if (c.readAfter) {
            if (c.type == TServerType::HTTP) {
                client.cddb.HttpRead();
            } else {
                client.cddb.SendRead();
            }
            ASSERT_TRUE(client.Await({11})) << name;
            EXPECT_NE(12, client.cddb.CommandState()) << name << ": a cut entry is no entry";
        }
        if (!c.statusStart.empty()) {
            ASSERT_FALSE(client.statuses.empty()) << name;
            EXPECT_EQ(c.statusStart, client.statuses.back().substr(0, c.statusStart.size()))
                << name << ": " << client.statuses.back();
        }
        EXPECT_LT(clock.elapsed(), 8000) << name;
    }
}

} // namespace
} // namespace quillon::test
