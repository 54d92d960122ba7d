#include "tags/ID3v2.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillon {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Concat;
using test::Id3v23Frame;
using test::ReadFileBytes;
using test::WriteFileBytes;

const Bytes kAudio = test::MpegFrames(0xFFFB9000, 417, 3);

TID3v2 ReadBack(const std::string& file) {
    TID3v2 tag;
    EXPECT_TRUE(tag.ReadTag(file));
    return tag;
}

TEST(ID3v2Test, ReadsTheThirteenFramesOfAVersion23Tag) {
    test::TempDir dir;
    const std::string file = dir.File("f.mp3");
    const std::string z(1, '\0');
    const Bytes tag = test::Id3v23Tag(
        {Id3v23Frame("TIT2", z + "Title"), Id3v23Frame("TPE1", z + "Artist" + z),
         Id3v23Frame("TALB", z + "Album"), Id3v23Frame("TRCK", z + "3/12"),
         Id3v23Frame("TYER", z + "2001"), Id3v23Frame("TCON", z + "(13)Pop"),
         Id3v23Frame("COMM", z + "eng" + "desc" + z + "hello"), Id3v23Frame("TCOM", z + "Comp"),
         Id3v23Frame("TXXX", z + "other" + z + "skipped"), Id3v23Frame("TENC", z + "Enc"),
         Id3v23Frame("TCOP", z + "(C)"), Id3v23Frame("TLAN", z + "eng"),
         Id3v23Frame("WXXX", z + "home" + z + "http://x.invalid/"),
         Id3v23Frame("USLT", z + "eng" + z + "la la")},
        64);
    WriteFileBytes(file, Concat({tag, kAudio}));
    const TID3v2 t = ReadBack(file);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.VersionID(), 3);
    EXPECT_EQ(t.Size(), static_cast<int32_t>(tag.size()));
    EXPECT_EQ(t.Title(), "Title");
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 3);
    EXPECT_EQ(t.Year(), "2001");
    EXPECT_EQ(t.Genre(), "Pop");
    EXPECT_EQ(t.Comment(), "hello");
    EXPECT_EQ(t.Composer(), "Comp");
    EXPECT_EQ(t.Encoder(), "Enc");
    EXPECT_EQ(t.Copyright(), "(C)");
    EXPECT_EQ(t.Language(), "eng");
    EXPECT_EQ(t.Link(), "http://x.invalid/");
    EXPECT_EQ(t.Lyrics(), "la la");
}

TEST(ID3v2Test, DerivesTrackAndGenreFromTheirTexts) {
    const struct {
        const char* id;
        const char* text;
        int track;
        const char* genre;
    } cases[] = {
        {"TRCK", "3/12", 3, ""},   {"TRCK", "x", 0, ""},
        {"TRCK", "300", 44, ""},   {"TRCK", "07", 7, ""},
        {"TCON", "(13)", 0, ""},   {"TCON", "(13)Pop", 0, "Pop"},
        {"TCON", "Pop", 0, "Pop"}, {"TCON", "(1)(2)Rock", 0, "Rock"},
    };
    test::TempDir dir;
    const std::string file = dir.File("t.mp3");
    for (const auto& c : cases) {
        WriteFileBytes(
            file,
            Concat({test::Id3v23Tag({Id3v23Frame(c.id, std::string(1, '\0') + c.text)}), kAudio}));
        const TID3v2 t = ReadBack(file);
        EXPECT_EQ(t.Track(), c.track) << c.text;
        EXPECT_EQ(t.Genre(), c.genre) << c.text;
    }
}

TEST(ID3v2Test, LongFramesGiveTheirFirst2500BytesAndTheScanGoesOn) {
    test::TempDir dir;
    const std::string file = dir.File("long.mp3");
    const std::string lyrics = std::string(1, '\0') + "eng" + '\0' + std::string(6000, 'l');
    WriteFileBytes(file,
                   Concat({test::Id3v23Tag({Id3v23Frame("USLT", lyrics),
                                            Id3v23Frame("TIT2", std::string(1, '\0') + "After")}),
                           kAudio}));
    const TID3v2 t = ReadBack(file);
    EXPECT_EQ(t.Lyrics(), std::string(2500 - 5, 'l'));
    EXPECT_EQ(t.Title(), "After");
}

TEST(ID3v2Test, OtherVersionsAreMeasuredButNotRead) {
    test::TempDir dir;
    const std::string file = dir.File("v.mp3");
    for (const uint8_t version : {2, 4}) {
        const Bytes frame = Id3v23Frame("TIT2", std::string(1, '\0') + "Title");
        WriteFileBytes(file,
                       Concat({test::Id3v2Header(version, static_cast<uint32_t>(frame.size())),
                               frame, kAudio}));
        const TID3v2 t = ReadBack(file);
        EXPECT_TRUE(t.Exists());
        EXPECT_EQ(t.VersionID(), version);
        EXPECT_EQ(t.Size(), static_cast<int32_t>(frame.size() + 10));
        EXPECT_EQ(t.Title(), "");
    }
}

TEST(ID3v2Test, AStatedLengthBeyondTheFileGivesSizeZero) {
    test::TempDir dir;
    const std::string file = dir.File("big.mp3");
    WriteFileBytes(file, Concat({test::Id3v2Header(3, 100000),
                                 Id3v23Frame("TIT2", std::string(1, '\0') + "T")}));
    const TID3v2 t = ReadBack(file);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.Size(), 0);
    EXPECT_EQ(t.Title(), "");
}

TEST(ID3v2Test, WritesTheExactBytesOfATitleOnlyTag) {
    test::TempDir dir;
    const std::string file = dir.File("abc.mp3");
    WriteFileBytes(file, kAudio);
    TID3v2 tag;
    tag.SetTitle("  abc ");
    ASSERT_TRUE(tag.WriteTag(file));
    const Bytes expected = Concat({BytesOf("ID3"),
                                   {3, 0, 0, 0, 0, 0, 14},
                                   BytesOf("TIT2"),
                                   {0, 0, 0, 4, 0, 0, 0},
                                   BytesOf("abc"),
                                   kAudio});
    EXPECT_EQ(ReadFileBytes(file), expected);

    TID3v2 empty;
    ASSERT_TRUE(empty.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), Concat({BytesOf("ID3"), {3, 0, 0, 0, 0, 0, 0}, kAudio}));
}

TEST(ID3v2Test, RoundTripsEveryFieldAndKeepsAudioAndId3v1) {
    test::TempDir dir;
    const std::string file = dir.File("rt.mp3");
    const Bytes tail = test::Id3v1Record("v1", "", 0, 0, 0);
    const Bytes old = test::Id3v23Tag({Id3v23Frame("APIC", std::string(3000, 'p'))}, 500);
    WriteFileBytes(file, Concat({old, kAudio, tail}));
    ::chmod(file.c_str(), 0640);

    TID3v2 tag;
    tag.SetTitle("Title");
    tag.SetArtist("Art\xE9st");
    tag.SetAlbum("Album");
    tag.SetTrack(9);
    tag.SetYear("1999");
    tag.SetGenre("Rock");
    tag.SetComment("Comment");
    tag.SetComposer("Composer");
    tag.SetEncoder("Encoder");
    tag.SetCopyright("Copyright");
    tag.SetLanguage("deu");
    tag.SetLink("http://link.invalid/");
    tag.SetLyrics("Lyrics");
    ASSERT_TRUE(tag.WriteTag(file));

    const Bytes bytes = ReadFileBytes(file);
    const Bytes built = tag.BuildTag();
    EXPECT_EQ(bytes, Concat({built, kAudio, tail}));
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const TID3v2 t = ReadBack(file);
    EXPECT_EQ(t.Size(), static_cast<int32_t>(built.size()));
    EXPECT_EQ(t.Title(), "Title");
    EXPECT_EQ(t.Artist(), "Art\xE9st");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 9);
    EXPECT_EQ(t.Year(), "1999");
    EXPECT_EQ(t.Genre(), "Rock");
    EXPECT_EQ(t.Comment(), "Comment");
    EXPECT_EQ(t.Composer(), "Composer");
    EXPECT_EQ(t.Encoder(), "Encoder");
    EXPECT_EQ(t.Copyright(), "Copyright");
    EXPECT_EQ(t.Language(), "deu");
    EXPECT_EQ(t.Link(), "http://link.invalid/");
    EXPECT_EQ(t.Lyrics(), "Lyrics");
}

TEST(ID3v2Test, ShortOrMissingFilesAreRefusedUntouched) {
    test::TempDir dir;
    const std::string file = dir.File("short.mp3");
    const Bytes content = BytesOf("ID3\x03");
    WriteFileBytes(file, content);
    TID3v2 tag;
    tag.SetTitle("x");
    EXPECT_FALSE(tag.ReadTag(file));
    EXPECT_FALSE(tag.Exists());
    EXPECT_FALSE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    EXPECT_FALSE(tag.WriteTag(dir.File("missing.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mp3")));
}

} // namespace
} // namespace quillon
