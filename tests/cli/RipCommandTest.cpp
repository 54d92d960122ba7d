#include "cli/TrackList.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

TEST(TrackListTest, ParsesNumbersAndRanges) {
    const struct {
        const char* text;
        std::vector<int> tracks; // empty: refused
    } cases[] = {
        {"1", {1}},
        {"1,3-5", {1, 3, 4, 5}},
        {"5,1,3-3,1-2", {1, 2, 3, 5}},
        {"99", {99}},
        {"", {}},
        {"0", {}},
        {"100", {}},
        {"5-3", {}},
        {"1,,2", {}},
        {"1,", {}},
        {"-3", {}},
        {"3-", {}},
        {"1-2-3", {}},
        {"a", {}},
        {" 1", {}},
        {"+1", {}},
        {"1.5", {}},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto tracks = cli::ParseTrackList(c.text, problem);
        if (c.tracks.empty()) {
            EXPECT_FALSE(tracks) << c.text;
            EXPECT_NE(std::string::npos, problem.find("invalid track list '" + std::string(c.text)))
                << problem;
        } else {
            ASSERT_TRUE(tracks) << c.text << ": " << problem;
            EXPECT_EQ(c.tracks, *tracks) << c.text;
        }
    }
}

// The disc commands over disc images, with a private settings and library configuration.
class RipCommandTest : public ::testing::Test {
protected:
    int Quillon(const std::string& args, std::string& output, const char* stderrTo = "&1") {
        const std::string command = "XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                                    Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " " + args +
                                    " 2>" + stderrTo;
        output = ShellOutput(command + "; echo \"exit=$?\"");
        const auto at = output.rfind("exit=");
        const int status = std::stoi(output.substr(at + 5));
        output.erase(at);
        return status;
    }

    std::string OutSettings() {
        return "--set RipToFormat=WAV --set " + Quote("FilePath=" + dir.File("out")) +
               " --set 'OutputFileNameFormat=<Track Number>' --set SavePlayList=M3U";
    }

    TempDir dir;
};

TEST_F(RipCommandTest, RipsTheChosenTracksAndListsTheDisc) {
    const auto image = WriteDiscImage(dir.Path().string(), "disc", {{150}, {75, false}, {160}});
    const std::string drive = " --drive " + Quote(image.sheet);
    std::string output;
    ASSERT_EQ(0, Quillon("rip" + drive + " " + OutSettings(), output)) << output;
    EXPECT_NE(std::string::npos, output.find("Track 3 -> " + dir.File("out/03.WAV"))) << output;
    EXPECT_NE(std::string::npos, output.find("2 ripped, 0 failed in 0:0")) << output;
    for (int n : {1, 3}) {
        const auto bytes = ReadFileBytes(dir.File("out/0" + std::to_string(n) + ".WAV"));
        EXPECT_EQ(PcmWavBytes(44100, 16, 2, image.TrackBytes(n)), bytes) << n;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/02.WAV")));

    std::filesystem::remove_all(dir.File("out"));
    ASSERT_EQ(0, Quillon("rip -q --tracks 3" + drive + " " + OutSettings(), output)) << output;
    EXPECT_EQ("", output);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/01.WAV")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/03.WAV")));

    const std::string check = "import json, sys\n"
                              "toc = json.load(sys.stdin)\n"
                              "assert toc['DiscKind'] == 'Mixed Data', toc\n"
                              "t = toc['Tracks']\n"
                              "assert [x['Track'] for x in t] == [1, 2, 3], t\n"
                              "assert [x['Audio'] for x in t] == [True, False, True], t\n"
                              "assert t[0]['Caption'] == '[1] - 0:02', t\n"
                              "assert (t[2]['Minutes'], t[2]['Seconds'], t[2]['Frames']) == "
                              "(0, 2, 10), t\n"
                              "assert toc['LeadOutSector'] == 385, toc\n"
                              "print('ok')\n";
    WriteFileBytes(dir.File("check.py"), std::vector<uint8_t>(check.begin(), check.end()));
    ASSERT_EQ(0,
              Quillon("toc --json" + drive + " | /usr/bin/python3 " + Quote(dir.File("check.py")),
                      output));
    EXPECT_EQ("ok\n", output);
    ASSERT_EQ(0, Quillon("toc" + drive, output));
    EXPECT_NE(std::string::npos, output.find("\n[2] - 0:01    data   0:01:00\n")) << output;
    EXPECT_NE(std::string::npos, output.find("lead-out at sector 385")) << output;
    ASSERT_EQ(0, Quillon("drives --json", output));
    EXPECT_EQ("ok\n", ShellOutput("echo " + Quote(output) +
                                  " | /usr/bin/python3 -c 'import json,sys; "
                                  "assert isinstance(json.load(sys.stdin), list); print(\"ok\")'"));
}

// What keeps a rip from starting is one line and a non-zero status, never a wait.
TEST_F(RipCommandTest, ProblemsGiveOneLineErrors) {
    const auto mixed = WriteDiscImage(dir.Path().string(), "mixed", {{75}, {75, false}});
    const auto data = WriteDiscImage(dir.Path().string(), "data", {{75, false}});
    const auto cut = WriteDiscImage(dir.Path().string(), "cut", {{150}, {150}});
    // The data file ends before the second track begins.
    std::filesystem::resize_file(cut.bin, 100 * 2352);
    std::filesystem::create_directories(dir.File("folder.cue"));
    WriteFileBytes(dir.File("garbage.cue"), {'x', 'y'});
    const std::string m = " --drive " + Quote(mixed.sheet) + " " + OutSettings();
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"rip --drive " + Quote(dir.File("none.cue")) + " " + OutSettings(), 1,
         "quillon rip: " + dir.File("none.cue") + ": no such file\n"},
        {"rip --drive " + Quote(dir.File("folder.cue")) + " " + OutSettings(), 1,
         "quillon rip: " + dir.File("folder.cue") + ": is a folder\n"},
        {"toc --drive " + Quote(dir.File("garbage.cue")), 1,
         "quillon toc: " + dir.File("garbage.cue")},
        {"rip --drive " + Quote(cut.sheet) + " " + OutSettings(), 1,
         "quillon rip: " + cut.sheet + ": "},
        {"rip --tracks 2" + m, 1, "quillon rip: track 2 is a data track\n"},
        {"rip --tracks 1,7" + m, 1,
         "quillon rip: there is no track 7; the disc has tracks 1 to 2\n"},
        {"rip --drive " + Quote(data.sheet) + " " + OutSettings(), 1,
         "quillon rip: the disc in drive "},
        {"rip --drive 42 " + OutSettings(), 1, "quillon rip: "},
        {"rip --tracks 0" + m, 2, "invalid track list '0'"},
        {"rip --tracks 3-1" + m, 2, "invalid track list '3-1'"},
        {"rip extra" + m, 2, "unexpected argument 'extra'"},
        {"toc --drive ''", 2, "the drive is empty"},
        {"rip" + m + " --set FilePath=", 2, "FilePath is empty"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(c.status, Quillon(c.args, output)) << c.args << "\n" << output;
        EXPECT_EQ(0u, output.find("quillon ")) << c.args << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(c.message)) << c.args << "\n" << output;
        EXPECT_EQ(1, std::count(output.begin(), output.end(), '\n')) << c.args << "\n" << output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out"))) << "nothing was ripped";
}

} // namespace
} // namespace quillon::test
