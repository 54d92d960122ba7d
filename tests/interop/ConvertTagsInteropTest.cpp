#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "tags/SongInformation.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;
using test::Shell;

// Texts of several scripts that every tag format but ID3v1 holds.
const SongInformation& Texts() {
    static const SongInformation texts = [] {
        SongInformation info;
        info.Title = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C \xF0\x9F\x8C\x83";
        info.Artist = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 & \xD0\x9C\xD0\xBE\xD1\x81";
        info.Album = "Caf\xC3\xA9 " + std::string(40, 'a');
        info.Year = "1999";
        info.Genre = "Jazz";
        info.Comment = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
        return info;
    }();
    return texts;
}

// Every pair of tagged formats that the converter reads and writes: the tags of the input reach
// the output unchanged, and so does the title in the output's name.
TEST(ConvertTagsInteropTest, TextsSurviveEveryPairOfFormats) {
    for (const char* tool : {"oggenc", "flac"}) {
        if (!test::HaveProgram(tool)) {
            GTEST_SKIP() << tool << " not installed";
        }
    }
    test::TempDir dir;
    const std::string wav = dir.File("tone.wav");
    test::WriteTestWav(wav, 44100, 2, 2.0);
    const std::string quiet = " >/dev/null 2>&1";
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"in.ogg", "oggenc -Q " + Quote(wav) + " -o " + Quote(dir.File("in.ogg"))},
        {"in.flac", "flac -s " + Quote(wav) + " -o " + Quote(dir.File("in.flac"))},
    };
    const SongInformation& texts = Texts();
    for (const auto& [name, make] : inputs) {
        ASSERT_EQ(Shell(make + quiet), 0) << make;
        ASSERT_TRUE(WriteSongInformation(texts, dir.File(name))) << name;
        for (const char* format : {"MP3", "OGG", "FLAC"}) {
            const std::string out = dir.File(name + "-" + format);
            const std::string command =
                "XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " convert " +
                Quote(dir.File(name)) + " --set RipToFormat=" + format + " --set " +
                Quote("ConvFilePath=" + out) + " --set 'OutputFileNameFormat=<Title>'";
            ASSERT_EQ(Shell(command + quiet), 0) << command;
            const std::string output = out + "/" + texts.Title + "." + format;
            ASSERT_TRUE(std::filesystem::exists(output)) << output;
            const SongInformation back = ReadSongInformation(output);
            const std::string pair = name + " -> " + format;
            EXPECT_EQ(back.Title, texts.Title) << pair;
            EXPECT_EQ(back.Artist, texts.Artist) << pair;
            EXPECT_EQ(back.Album, texts.Album) << pair;
            EXPECT_EQ(back.Year, texts.Year) << pair;
            EXPECT_EQ(back.Genre, texts.Genre) << pair;
            EXPECT_EQ(back.Comment, texts.Comment) << pair;
            if (test::HaveMutagen()) {
                const std::string peer = test::RunPython(
                    "import sys, mutagen\n"
                    "f = mutagen.File(sys.argv[1], easy=True)\n"
                    "print(f['title'][0], f['artist'][0], f['album'][0], sep='|')\n",
                    Quote(output));
                EXPECT_EQ(peer, texts.Title + "|" + texts.Artist + "|" + texts.Album + "\n")
                    << pair;
            }
        }
    }
}

} // namespace
} // namespace quillon
