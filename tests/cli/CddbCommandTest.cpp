#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {
namespace {

// An absolute path from the build: __FILE__ may be relative to the build folder, which is not
// the folder the tests run in.
const std::filesystem::path kEntries = QUILLON_CDDB_TEST_ENTRIES;

// The CD database test server on the fixture entries, with switches that force its replies.
// It serves until its standard input closes.
class TestServer {
public:
    explicit TestServer(const std::string& switches = "") {
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        const std::string command = "exec " + Quote(QUILLON_CDDB_TEST_SERVER) + " --entries " +
                                    Quote(kEntries.string()) + " " + switches;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(in[1]);
            ::close(out[0]);
            ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(out[0]);
        if (std::sscanf(line.c_str(), "http=%d cddbp=%d", &http_, &cddbp_) != 2) {
            ADD_FAILURE() << "the test server did not start: '" << line << "'";
        }
    }
    ~TestServer() {
        ::close(input_);
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // The options that send a lookup to this server.
    std::string Options(const std::string& protocol) const {
        return " --protocol " + protocol +
               " --server 127.0.0.1:" + std::to_string(protocol == "http" ? http_ : cddbp_);
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int http_ = 0;
    int cddbp_ = 0;
};

class CddbCommandTest : public ::testing::Test {
protected:
    int Quillon(const std::string& args, std::string& output) {
        output = ShellOutput("XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                             Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " " + args +
                             " 2>&1; echo \"exit=$?\"");
        const auto at = output.rfind("exit=");
        const int status = std::stoi(output.substr(at + 5));
        output.erase(at);
        return status;
    }

    // A disc image whose tracks match a fixture entry (the first track at sector 150).
    std::string Disc(const std::string& name, const std::vector<ImageTrack>& tracks) {
        return " --drive " + Quote(WriteDiscImage(dir.Path().string(), name, tracks).sheet);
    }

    TempDir dir;
};

const char* const kJazzJson =
    R"({"DiscId":"0a000703","Artist":"The Long Named Quartet","Title":"An Album Whose Title Is )"
    R"(Long Enough To Continue On A Second Line","Year":"1959","Genre":"Jazz","ExtendedData":)"
    R"("Recorded live.","TrackTitles":["Opening","A Track Whose Title Is Split Over Two )"
    R"(Lines","Closing"],"TrackExtended":["","",""],"Category":"jazz","Revision":3,"Toc":)"
    R"({"NumTracks":3,"LeadOut":{"Minutes":0,"Seconds":9,"Frames":0,"IsAudio":false},"Tracks":)"
    R"([{"Minutes":0,"Seconds":2,"Frames":0,"IsAudio":true},{"Minutes":0,"Seconds":3,"Frames":)"
    R"(0,"IsAudio":true},{"Minutes":0,"Seconds":5,"Frames":0,"IsAudio":true}]}})"
    "\n";

TEST_F(CddbCommandTest, IdentifiesDiscsAndReadsTheirEntriesOverBothProtocols) {
    const TestServer server;
    const std::string rock = Disc("rock", {{150}, {225}});
    const std::string jazz = Disc("jazz", {{75}, {150}, {300}});
    const std::string folk = Disc("folk", {{300}, {150}});
    const std::string twice = Disc("twice", {{225}, {225}, {225}, {225}});

    // The identifiers are those under which the server keeps the entries.
    for (const auto& [disc, category, query] :
         {std::tuple{rock, "rock", "cddb query 06000502 2 150 300 7"},
          std::tuple{jazz, "jazz", "cddb query 0a000703 3 150 225 375 9"}}) {
        std::string output;
        ASSERT_EQ(0, Quillon("discid" + disc, output)) << output;
        const std::string id = output.substr(0, output.find('\n'));
        EXPECT_EQ(id + "\n" + query + "\n", output);
        std::ifstream entry(kEntries / category / id);
        ASSERT_TRUE(entry) << id;
        std::string text((std::istreambuf_iterator<char>(entry)), {});
        EXPECT_NE(std::string::npos, text.find("\nDISCID=" + id + "\n")) << id;
    }

    const std::string rockText = "Disc ID:  06000502\n"
                                 "Category: rock\n"
                                 "Artist:   Test Artist\n"
                                 "Title:    Two Track Album\n"
                                 "Year:     2001\n"
                                 "Genre:    Rock\n"
                                 "Revision: 1\n"
                                 " 1  First Song\n"
                                 " 2  Second Song\n";
    const std::string jazzText = "Disc ID:  0a000703\n"
                                 "Category: jazz\n"
                                 "Artist:   The Long Named Quartet\n"
                                 "Title:    An Album Whose Title Is Long Enough To Continue On A "
                                 "Second Line\n"
                                 "Year:     1959\n"
                                 "Genre:    Jazz\n"
                                 "Revision: 3\n"
                                 "Extended: Recorded live.\n"
                                 " 1  Opening\n"
                                 " 2  A Track Whose Title Is Split Over Two Lines\n"
                                 " 3  Closing\n";
    const std::string folkText = "Disc ID:  08000602\n"
                                 "Category: folk\n"
                                 "Artist:   Björk Sigurðardóttir\n"
                                 "Title:    Ελληνικά και 日本語\n"
                                 "Year:     2010\n"
                                 "Genre:    Folk\n"
                                 "Revision: 0\n"
                                 " 1  Þjóðlag\n"
                                 " 2  Песня\n";
    const struct {
        std::string args;
        std::string protocol;
        std::string output;
    } cases[] = {
        {rock, "http", rockText},
        {rock, "cddbp", rockText},
        {jazz, "http", jazzText},
        {jazz, "cddbp", jazzText},
        {folk, "cddbp", folkText},
        {jazz + " --json", "http", kJazzJson},
        {jazz + " --json", "cddbp", kJazzJson},
        // One identifier in two categories: the first match of the list is read.
        {twice + " -q", "http",
         "Disc ID:  11000c04\nCategory: blues\nArtist:   Blues Singer\nTitle:    Same Identifier "
         "Other Disc\nYear:     1962\nGenre:    Blues\nRevision: 1\n 1  Blues One\n"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(0, Quillon("cddb" + c.args + server.Options(c.protocol), output))
            << c.args << " " << c.protocol << "\n"
            << output;
        EXPECT_EQ(0u, output.find(c.output)) << c.args << " " << c.protocol << "\n" << output;
    }
    std::string output;
    ASSERT_EQ(0, Quillon("cddb --json" + jazz + server.Options("http") +
                             " | /usr/bin/python3 -c 'import json,sys; "
                             "print(json.load(sys.stdin)[\"TrackTitles\"][1])'",
                         output));
    EXPECT_EQ("A Track Whose Title Is Split Over Two Lines\n", output);
}

// A lookup that gives no entry ends with one line and a non-zero status, and rips nothing.
TEST_F(CddbCommandTest, FailuresGiveOneLineErrors) {
    const std::string rock = Disc("rock", {{150}, {225}});
    const std::string unknown = Disc("unknown", {{75}});
    const std::string out = " --set " + Quote("FilePath=" + dir.File("out"));
    int closedPort = 0;
    {
        const TestServer gone;
        closedPort = std::stoi(gone.Options("http").substr(gone.Options("http").rfind(':') + 1));
    }
    const struct {
        std::string serverSwitches;
        std::string args;
        std::string protocol;
        int status;
        std::string message;
    } cases[] = {
        {"", "cddb" + unknown, "http", 1, "quillon cddb: No match found (disc 02000101 on "},
        {"", "cddb" + unknown, "cddbp", 1, "quillon cddb: No match found (disc 02000101 on "},
        {"", "rip --cddb" + unknown + out, "http", 1, "quillon rip: No match found"},
        {"--read-code 401", "cddb" + rock, "http", 1,
         "quillon cddb: Specified CDDB entry not found"},
        {"--read-code 402", "cddb" + rock, "cddbp", 1, "quillon cddb: Server error"},
        {"--http-status 503", "cddb" + rock, "http", 1,
         "quillon cddb: CDDB Component Internal Error: THttpCli.GetAsync failed because of error "
         "\"Service Unavailable\""},
        {"--banner-code 432", "cddb" + rock, "cddbp", 1,
         "quillon cddb: No connections allowed: permission denied"},
        {"--hostile drop", "cddb" + rock, "http", 1, "quillon cddb: "},
        {"--hostile drop", "rip --cddb" + rock + out, "cddbp", 1, "quillon rip: "},
        {"--hostile garbage", "cddb" + rock, "cddbp", 1, "quillon cddb: "},
        {"", "cddb" + rock + " --server 127.0.0.1:" + std::to_string(closedPort), "", 1,
         "quillon cddb: CDDB Component Internal Error: THttpCli.GetAsync failed"},
        {"", "cddb" + rock + " --protocol ftp", "", 2,
         "invalid value 'ftp' for --protocol; valid values: http, cddbp"},
        {"", "cddb" + rock + " --server 'a b'", "", 2, "invalid server 'a b'"},
        {"", "cddb" + rock + " --set FreeDBServer=elsewhere.org", "", 2,
         "invalid value 'elsewhere.org' for FreeDBServer; valid values: gnudb.gnudb.org, "},
        {"", "cddb" + rock + " --set 'CDDBUserEmail=a b@c'", "", 1,
         "quillon cddb: the e-mail address 'a b@c' holds a space"},
    };
    for (const auto& c : cases) {
        const TestServer server(c.serverSwitches);
        const std::string args = c.args + (c.protocol.empty() ? "" : server.Options(c.protocol));
        std::string output;
        EXPECT_EQ(c.status, Quillon(args, output)) << args << "\n" << output;
        EXPECT_EQ(0u, output.find("quillon ")) << args << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(c.message)) << args << "\n" << output;
        EXPECT_EQ(1, std::count(output.begin(), output.end(), '\n')) << args << "\n" << output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out"))) << "nothing was ripped";
}

// The rip names and tags its files from the entry; a peer reads the tags back.
TEST_F(CddbCommandTest, RipNamesAndTagsTheFilesFromTheEntry) {
    const TestServer server;
    std::string output;
    ASSERT_EQ(0, Quillon("rip --cddb" + Disc("rock", {{150}, {225}}) + server.Options("cddbp") +
                             " --set RipToFormat=OGG --set " + Quote("FilePath=" + dir.File("out")),
                         output))
        << output;
    EXPECT_NE(std::string::npos,
              output.find("Disc 06000502 (rock): Test Artist / Two Track Album\n"))
        << output;
    const std::string first = dir.File("out/01-Test Artist-First Song.OGG");
    const std::string second = dir.File("out/02-Test Artist-Second Song.OGG");
    ASSERT_TRUE(std::filesystem::exists(first)) << output;
    ASSERT_TRUE(std::filesystem::exists(second)) << output;
    const std::string tags =
        ShellOutput("/usr/bin/python3 -c 'import mutagen, sys\n"
                    "for name in sys.argv[1:]:\n"
                    "    f = mutagen.File(name)\n"
                    "    print(\"|\".join(f[k][0] for k in (\"title\", \"artist\", \"album\", "
                    "\"date\", \"genre\", \"tracknumber\")))' " +
                    Quote(first) + " " + Quote(second));
    EXPECT_EQ("First Song|Test Artist|Two Track Album|2001|Rock|1\n"
              "Second Song|Test Artist|Two Track Album|2001|Rock|2\n",
              tags);
}

} // namespace
} // namespace quillon::test
