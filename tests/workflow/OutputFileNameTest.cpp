#include "workflow/OutputFileName.h"

#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(OutputFileNameTest, Patterns) {
    struct Case {
        int pattern, number;
        const char *title, *artist, *expected;
    };
    for (const Case c : {
             Case{0, 1, "Title", "Artist", "/out/01.MP3"},
             Case{1, 1, "Title", "Artist", "/out/Title.MP3"},
             Case{2, 7, "Intro", "Artist", "/out/07-Intro.MP3"},
             Case{2, 112, "Intro", "Artist", "/out/112-Intro.MP3"},
             Case{3, 1, "Title", "", "/out/-Title.MP3"},
             Case{4, 1, "Title", "Artist", "/out/01-Artist-Title.MP3"},
             Case{-1, 3, "Title", "Artist", "/out/Title.MP3"},
             Case{9, 3, "Title", "Artist", "/out/Title.MP3"},
             Case{1, 1, "What? *Now*: \"yes\"", "", "/out/What? *Now*: \"yes\".MP3"},
         }) {
        EXPECT_EQ(c.expected,
                  MakeOutputFileName(c.pattern, c.number, "MP3", c.title, c.artist, "/out"))
            << c.pattern << " " << c.title;
    }
}

TEST(OutputFileNameTest, SlashesAndControlCharactersInTagsStayInsideTheFolder) {
    EXPECT_EQ("/out/01-AC-DC-Back-Front.OGG",
              MakeOutputFileName(4, 1, "OGG", "Back/Front", "AC/DC", "/out"));
    EXPECT_EQ("/out/01-a-b--c-x--etc-passwd.MP3", MakeOutputFileName(4, 1, "MP3", "x\n/etc/passwd",
                                                                     "a\tb\r\x1B"
                                                                     "c",
                                                                     "/out"));
    EXPECT_EQ("/out/d-el caf\xC3\xA9.WAV", MakeOutputFileName(1, 1, "WAV",
                                                              "d\x7F"
                                                              "el caf\xC3\xA9",
                                                              "", "/out"));
    EXPECT_EQ("/out/-...OGG", MakeOutputFileName(3, 1, "OGG", "..", "", "/out"));
    EXPECT_EQ("/out/..-..-.FLAC", MakeOutputFileName(3, 1, "FLAC", "../", "..", "/out"));
}

TEST(OutputFileNameTest, OutputFolderProblems) {
    test::TempDir dir;
    test::WriteFileBytes(dir.File("file"), {1});
    const struct {
        std::string folder;
        bool usable;
    } cases[] = {
        {"", false},
        {" \t", false},
        {dir.File("file"), false},
        {dir.Path().string(), true},
        {dir.File("new/sub"), true},
        {"/", true},
    };
    for (const auto& c : cases) {
        const std::string problem = OutputFolderProblem(c.folder, "ConvFilePath");
        EXPECT_EQ(problem.empty(), c.usable) << "'" << c.folder << "': " << problem;
        if (!c.usable) {
            EXPECT_NE(problem.find("ConvFilePath"), std::string::npos) << problem;
        }
    }
}

TEST(OutputFileNameTest, ExampleKeepsTrailingSeparatorOfTheFolderAsTyped) {
    EXPECT_EQ("/home/ann/Music//01-Aqua-Happy Boys Girls.MP3",
              MakeOutputFileName(4, 1, "MP3", "Happy Boys Girls", "Aqua", "/home/ann/Music/"));
    EXPECT_EQ("/home/ann/Music", WithoutTrailingSeparator("/home/ann/Music/"));
    EXPECT_EQ("/home/ann/Music/", WithoutTrailingSeparator("/home/ann/Music//"));
    EXPECT_EQ("rel", WithoutTrailingSeparator("rel"));
}

} // namespace
} // namespace quillon
