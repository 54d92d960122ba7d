#include "tags/ID3v1.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/ID3Genres.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(ID3GenresTest, KeepsTheTableSpellingsAtTheirIndices) {
    ASSERT_EQ(ID3Genres.size(), 148u);
    EXPECT_EQ(ID3Genres[0], "Blues");
    EXPECT_EQ(ID3Genres[67], "Psychadelic");
    EXPECT_EQ(ID3Genres[85], "Bebob");
    EXPECT_EQ(ID3Genres[92], "Progessive Rock");
    EXPECT_EQ(ID3Genres[147], "Synthpop");
}

TEST(ID3v1Test, GenreSetterMatchesNamesIgnoringAsciiCase) {
    const struct {
        const char* name;
        int id;
    } cases[] = {{"hip-hop", 7}, {"Psychedelic", 255}, {"", 255},
                 {"BLUES", 0},   {"synthpop", 147},    {"Psychadelic", 67},
                 {"Rock ", 255}, {"r&b", 14},          {"Nonexistent", 255}};
    for (const auto& c : cases) {
        TID3v1 tag;
        tag.SetGenreID(3);
        tag.SetGenre(c.name);
        EXPECT_EQ(tag.GenreID(), c.id) << c.name;
        EXPECT_EQ(tag.Genre(), c.id < 148 ? std::string(ID3Genres[c.id]) : "") << c.name;
    }
}

TEST(ID3v1Test, ReadDistinguishesVersionsByTheTrackBytes) {
    const struct {
        uint8_t b125, b126;
        int version, track;
        const char* comment;
    } cases[] = {
        {0, 7, 2, 7, "0123456789012345678901234567"},
        {0, 0, 1, 0, "0123456789012345678901234567"},
        {32, 32, 1, 0, "0123456789012345678901234567"},
        {32, 5, 2, 5, "0123456789012345678901234567"},
        {'8', '9', 1, 0, "012345678901234567890123456789"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string file = dir.File("v.mp3");
        Bytes record = test::Id3v1Record("Title", "012345678901234567890123456789", 0, 0, 9);
        record[125] = c.b125;
        record[126] = c.b126;
        WriteFileBytes(file, test::Concat({Bytes(500, 1), record}));
        TID3v1 tag;
        ASSERT_TRUE(tag.ReadTag(file));
        EXPECT_TRUE(tag.Exists());
        EXPECT_EQ(tag.VersionID(), c.version) << int(c.b125) << "," << int(c.b126);
        EXPECT_EQ(tag.Track(), c.track);
        EXPECT_EQ(tag.Comment(), c.comment);
        EXPECT_EQ(tag.Title(), "Title");
        EXPECT_EQ(tag.Genre(), "Metal");
    }
}

TEST(ID3v1Test, FileWithoutTagReadsAsClearedAndIsLeftAlone) {
    test::TempDir dir;
    const std::string file = dir.File("plain.mp3");
    const Bytes content(300, 'x');
    WriteFileBytes(file, content);
    TID3v1 tag;
    tag.SetTitle("stale");
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 1);
    EXPECT_EQ(tag.Title(), "");
    EXPECT_EQ(tag.GenreID(), 255);
    EXPECT_TRUE(tag.RemoveTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
}

TEST(ID3v1Test, FilesShorterThanATagFailEveryOperation) {
    test::TempDir dir;
    const std::string file = dir.File("short.mp3");
    const Bytes content(127, 'x');
    WriteFileBytes(file, content);
    TID3v1 tag;
    EXPECT_FALSE(tag.ReadTag(file));
    EXPECT_FALSE(tag.RemoveTag(file));
    tag.SetTitle("t");
    EXPECT_FALSE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
    EXPECT_FALSE(tag.ReadTag(dir.File("missing.mp3")));
    EXPECT_FALSE(tag.WriteTag(dir.File("missing.mp3")));
}

TEST(ID3v1Test, WriteAppendsOnceThenReplacesInPlace) {
    test::TempDir dir;
    const std::string file = dir.File("w.mp3");
    const Bytes audio(1000, 0x42);
    WriteFileBytes(file, audio);

    TID3v1 tag;
    tag.SetTitle("A title that is longer than thirty bytes");
    tag.SetArtist("Artist");
    tag.SetAlbum("Album");
    tag.SetYear("19999");
    tag.SetComment("012345678901234567890123456789");
    tag.SetGenreID(200);
    ASSERT_TRUE(tag.WriteTag(file));
    Bytes bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 1128u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin()));

    TID3v1 back;
    ASSERT_TRUE(back.ReadTag(file));
    EXPECT_EQ(back.VersionID(), 1);
    EXPECT_EQ(back.Title(), "A title that is longer than th");
    EXPECT_EQ(back.Year(), "1999");
    EXPECT_EQ(back.Comment(), "012345678901234567890123456789");
    EXPECT_EQ(back.GenreID(), 200);
    EXPECT_EQ(back.Genre(), "");

    // A track number takes the last two bytes of the comment slot.
    tag.SetTrack(12);
    ASSERT_TRUE(tag.WriteTag(file));
    bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 1128u);
    EXPECT_EQ(bytes[1000 + 125], 0);
    EXPECT_EQ(bytes[1000 + 126], 12);
    EXPECT_EQ(bytes[1000 + 127], 200);
    ASSERT_TRUE(back.ReadTag(file));
    EXPECT_EQ(back.VersionID(), 2);
    EXPECT_EQ(back.Track(), 12);
    EXPECT_EQ(back.Comment(), "0123456789012345678901234567");
    EXPECT_EQ(back.Artist(), "Artist");
    EXPECT_EQ(back.Album(), "Album");
}

TEST(ID3v1Test, RemoveCutsExactlyTheTag) {
    test::TempDir dir;
    const std::string file = dir.File("r.mp3");
    const Bytes audio(400, 0x11);
    WriteFileBytes(file, test::Concat({audio, test::Id3v1Record("t", "", 0, 0, 1)}));
    TID3v1 tag;
    EXPECT_TRUE(tag.RemoveTag(file));
    EXPECT_EQ(ReadFileBytes(file), audio);
}

} // namespace
} // namespace quillon
