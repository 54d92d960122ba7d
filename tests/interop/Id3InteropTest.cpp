#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <commentsframe.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <map>
#include <mpegfile.h>
#include <sstream>
#include <unsynchronizedlyricsframe.h>
#include <urllinkframe.h>

namespace quillon {
namespace {

using test::HaveProgram;
using test::Quote;
using test::Shell;

using Id3InteropTest = test::LameMp3Test;

// Frame texts as mutagen sees them, "ID=text" per line, in UTF-8.
std::map<std::string, std::string> MutagenFrames(const std::string& file) {
    const std::string script = R"(import sys
from mutagen.id3 import ID3
tag = ID3(sys.argv[1], translate=False)
print("VERSION=%d.%d" % tag.version[:2])
for frame in tag.values():
    if frame.FrameID == "WXXX":
        text = frame.url
    elif frame.FrameID in ("COMM", "USLT"):
        text = frame.text if frame.FrameID == "USLT" else frame.text[0]
    else:
        text = "/".join(str(t) for t in frame.text)
    print("%s=%s" % (frame.FrameID, text))
)";
    std::map<std::string, std::string> frames;
    std::istringstream lines(test::RunPython(script, Quote(file)));
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            frames[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return frames;
}

std::string Utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

std::string TagLibFrame(TagLib::ID3v2::Tag& tag, const char* id) {
    const auto& list = tag.frameListMap()[id];
    if (list.isEmpty()) {
        return "<none>";
    }
    auto* frame = list.front();
    if (auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame)) {
        return Utf8(comment->text());
    }
    if (auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
        return Utf8(lyrics->text());
    }
    if (auto* link = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame*>(frame)) {
        return Utf8(link->url());
    }
    return Utf8(frame->toString());
}

TEST_F(Id3InteropTest, OurTagsReadBackIdenticallyInMutagenAndTagLib) {
    const std::string file = Copy("ours.mp3");
    TID3v2 v2;
    v2.SetTitle("T\xEFtle");
    v2.SetArtist("Artist \xC6");
    v2.SetAlbum("Album");
    v2.SetTrack(7);
    v2.SetYear("1998");
    v2.SetGenre("Jazz");
    v2.SetComment("A comment");
    v2.SetComposer("Composer");
    v2.SetEncoder("Encoder");
    v2.SetCopyright("2024 Someone");
    v2.SetLanguage("fra");
    v2.SetLink("http://example.invalid/page");
    v2.SetLyrics("Some lyrics");
    ASSERT_TRUE(v2.WriteTag(file));
    TID3v1 v1;
    v1.SetTitle("T\xEFtle");
    v1.SetArtist("Artist \xC6");
    v1.SetAlbum("Album");
    v1.SetYear("1998");
    v1.SetComment("A comment");
    v1.SetTrack(7);
    v1.SetGenre("Jazz");
    ASSERT_TRUE(v1.WriteTag(file));

    const std::map<std::string, std::string> expected = {
        {"TIT2", "T\xC3\xAFtle"}, {"TPE1", "Artist \xC3\x86"},
        {"TALB", "Album"},        {"TRCK", "7"},
        {"TYER", "1998"},         {"TCON", "Jazz"},
        {"COMM", "A comment"},    {"TCOM", "Composer"},
        {"TENC", "Encoder"},      {"TCOP", "2024 Someone"},
        {"TLAN", "fra"},          {"WXXX", "http://example.invalid/page"},
        {"USLT", "Some lyrics"}};

    if (test::HaveMutagen()) {
        auto frames = MutagenFrames(file);
        EXPECT_EQ(frames["VERSION"], "2.3");
        for (const auto& [id, text] : expected) {
            EXPECT_EQ(frames[id], text) << id;
        }
    } else {
        ADD_FAILURE() << "python3-mutagen not installed";
    }

    TagLib::MPEG::File peer(file.c_str());
    ASSERT_TRUE(peer.isValid());
    ASSERT_TRUE(peer.hasID3v2Tag());
    ASSERT_TRUE(peer.hasID3v1Tag());
    TagLib::ID3v2::Tag& tag = *peer.ID3v2Tag();
    EXPECT_EQ(tag.header()->majorVersion(), 3u);
    for (const auto& [id, text] : expected) {
        // TagLib turns the year frame of version 2.3 into the date frame of version 2.4.
        EXPECT_EQ(TagLibFrame(tag, id == "TYER" ? "TDRC" : id.c_str()), text) << id;
    }
    TagLib::ID3v1::Tag& old = *peer.ID3v1Tag();
    EXPECT_EQ(Utf8(old.title()), "T\xC3\xAFtle");
    EXPECT_EQ(Utf8(old.artist()), "Artist \xC3\x86");
    EXPECT_EQ(Utf8(old.album()), "Album");
    EXPECT_EQ(old.year(), 1998u);
    EXPECT_EQ(Utf8(old.comment()), "A comment");
    EXPECT_EQ(old.track(), 7u);
    EXPECT_EQ(Utf8(old.genre()), "Jazz");

    // The audio decodes to the same samples as before the tags were added.
    if (HaveProgram("ffmpeg")) {
        const auto md5 = [](const std::string& name) {
            return test::ShellOutput("ffmpeg -v error -i " + Quote(name) + " -f md5 - 2>/dev/null");
        };
        EXPECT_EQ(md5(file), md5(master_));
    }
}

struct PeerTagging {
    const char* name;
    const char* program;
    // Shell command; %f stands for the file.
    const char* command;
    int v2Version; // 0: no ID3v2 tag expected
    std::string v2Title;
    int v2Track;
    const char* v2Genre;
    const char* v2Comment;
    bool v1;
    const char* v1Title;
    int v1Version;
    int v1Track;
    const char* v1Genre;
};

std::string Fill(std::string command, const std::string& file) {
    for (size_t at; (at = command.find("%f")) != std::string::npos;) {
        command.replace(at, 2, Quote(file));
    }
    return command;
}

constexpr const char* kMutagenV23 =
    "/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, TIT2, TRCK, TCON, COMM, "
    "TXXX, APIC; t = ID3(); t.add(APIC(encoding=0, mime='image/png', type=3, desc='c', "
    "data=b'x' * 5000)); t.add(TIT2(encoding=0, text='Mu\\xe9 title')); t.add(TRCK(encoding=0, "
    "text='11/12')); t.add(TCON(encoding=0, text='(13)Pop')); t.add(TXXX(encoding=0, desc='k', "
    "text='v')); t.add(COMM(encoding=0, lang='eng', desc='desc', text='hi')); "
    "t.save(sys.argv[1], v2_version=3, v1=2)\" %f";
constexpr const char* kMutagenV24 =
    "/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, TIT2; t = ID3(); "
    "t.add(TIT2(encoding=3, text='Title')); t.save(sys.argv[1], v2_version=4)\" %f";

TEST_F(Id3InteropTest, TagsWrittenByPeersReadAsDocumented) {
    const PeerTagging cases[] = {
        {"id3v2 tool", "id3v2",
         "id3v2 -t 'T\xC3\xAFtle' -a Artist -A Album -y 2001 -T 3/12 -g 17 -c hello %f", 3,
         "T\xEFtle", 3, "", "hello", true, "T\xEFtle", 2, 3, "Rock"},
        {"eyeD3 ID3v2.3 Latin-1", "eyeD3",
         "eyeD3 -Q --to-v2.3 --encoding latin1 -t 'T\xC3\xAFtle' -n 4 -G Rock -c comm %f", 3,
         "T\xEFtle", 4, "Rock", "comm", false, "", 1, 0, ""},
        {"eyeD3 ID3v2.3 UTF-16", "eyeD3", "eyeD3 -Q --to-v2.3 --encoding utf16 -t Ti -n 2 %f", 3,
         std::string("\xFF\xFET\0i", 5), 0, "", "", false, "", 1, 0, ""},
        {"eyeD3 ID3v2.4", "eyeD3", "eyeD3 -Q -t Title -n 2 %f", 4, "", 0, "", "", false, "", 1, 0,
         ""},
        {"eyeD3 ID3v1.1", "eyeD3", "eyeD3 -Q --to-v1.1 -t 'E title' -n 5 -G Rock %f", 0, "", 0, "",
         "", true, "E title", 2, 5, "Rock"},
        {"kid3-cli ID3v2.3", "kid3-cli",
         "kid3-cli -c \"set title 'Kid title'\" -c 'set track 9' -c 'set genre Jazz' -c "
         "\"set comment 'kid comment'\" %f",
         3, "Kid title", 9, "Jazz", "kid comment", false, "", 1, 0, ""},
        {"kid3-cli ID3v1", "kid3-cli",
         "kid3-cli -c \"set title 'V1 title' 1\" -c 'set track 7 1' -c 'set genre Jazz 1' %f", 0,
         "", 0, "", "", true, "V1 title", 2, 7, "Jazz"},
        {"mutagen ID3v2.3 and ID3v1.1", "/usr/bin/python3", kMutagenV23, 3, "Mu\xE9 title", 11,
         "Pop", "hi", true, "Mu\xE9 title", 2, 11, "Pop"},
        {"mutagen ID3v2.4", "/usr/bin/python3", kMutagenV24, 4, "", 0, "", "", false, "", 1, 0, ""},
    };
    std::string missing;
    for (const PeerTagging& c : cases) {
        if (!HaveProgram(c.program)) {
            missing += std::string(" ") + c.program;
            continue;
        }
        const std::string file = Copy("peer.mp3");
        ASSERT_EQ(Shell(Fill(c.command, file) + " >/dev/null"), 0) << c.name;

        TID3v2 v2;
        ASSERT_TRUE(v2.ReadTag(file)) << c.name;
        EXPECT_EQ(v2.Exists(), c.v2Version != 0) << c.name;
        if (c.v2Version != 0) {
            EXPECT_EQ(v2.VersionID(), c.v2Version) << c.name;
            EXPECT_GT(v2.Size(), 10) << c.name;
            EXPECT_EQ(v2.Title(), c.v2Title) << c.name;
            EXPECT_EQ(v2.Track(), c.v2Track) << c.name;
            EXPECT_EQ(v2.Genre(), c.v2Genre) << c.name;
            EXPECT_EQ(v2.Comment(), c.v2Comment) << c.name;
        }
        TID3v1 v1;
        ASSERT_TRUE(v1.ReadTag(file)) << c.name;
        EXPECT_EQ(v1.Exists(), c.v1) << c.name;
        if (c.v1) {
            EXPECT_EQ(v1.Title(), c.v1Title) << c.name;
            EXPECT_EQ(v1.VersionID(), c.v1Version) << c.name;
            EXPECT_EQ(v1.Track(), c.v1Track) << c.name;
            EXPECT_EQ(v1.Genre(), c.v1Genre) << c.name;
        }
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "not installed:" << missing;
    }
}

} // namespace
} // namespace quillon
