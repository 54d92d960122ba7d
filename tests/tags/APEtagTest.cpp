#include "tags/APEtag.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::ApeFooter;
using test::ApeItem;
using test::Bytes;
using test::BytesOf;
using test::Concat;
using test::ReadFileBytes;
using test::WriteFileBytes;

const Bytes kAudio(1000, 0x33);

// An APE tag (footer only unless `header`) made of the given items.
Bytes ApeTag(const std::vector<Bytes>& items, uint32_t version = 1000, bool header = false) {
    Bytes body;
    for (const Bytes& item : items) {
        test::Append(body, item);
    }
    const auto size = static_cast<uint32_t>(body.size() + 32);
    const auto count = static_cast<uint32_t>(items.size());
    const uint32_t flags = header ? 0x80000000u : 0;
    return Concat({header ? ApeFooter(version, size, count, flags | 0x20000000u) : Bytes{}, body,
                   ApeFooter(version, size, count, flags)});
}

TAPEtag ReadBack(const std::string& file) {
    TAPEtag tag;
    EXPECT_TRUE(tag.ReadTag(file));
    return tag;
}

TEST(APEtagTest, ReadsItemsWithKeysInAnyCaseAndAnId3v1TagBehind) {
    test::TempDir dir;
    const std::string file = dir.File("a.ape");
    const Bytes tag = ApeTag(
        {ApeItem("TITLE", "  Title "), ApeItem("artist", "Artist"), ApeItem("Album", "Album"),
         ApeItem("Track", "5/10"), ApeItem("Year", "2002"), ApeItem("Genre", "Jazz"),
         ApeItem("Cover Art (Front)", std::string(700, 'c')), ApeItem("Comment", "Note"),
         ApeItem("Copyright", "(c)"), ApeItem("title", "Later title")});
    WriteFileBytes(file, Concat({kAudio, tag, test::Id3v1Record("v1", "", 0, 0, 0)}));
    const TAPEtag t = ReadBack(file);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.VersionID(), 1000);
    EXPECT_EQ(t.Size(), static_cast<int32_t>(tag.size()));
    EXPECT_EQ(t.Title(), "Later title");
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 5);
    EXPECT_EQ(t.Year(), "2002");
    EXPECT_EQ(t.Genre(), "Jazz");
    EXPECT_EQ(t.Comment(), "Note");
    EXPECT_EQ(t.Copyright(), "(c)");
}

TEST(APEtagTest, TextsAreUtf8AndLongValuesAreWhole) {
    const struct {
        uint32_t version;
        const char* stored;
        const char* text;
    } cases[] = {
        {2000, "caf\xC3\xA9", "caf\xC3\xA9"},
        {2000, "\xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80",
         "\xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80"},
        {1000, "caf\xC3\xA9", "caf\xC3\xA9"}, // UTF-8 written by newer taggers
        {1000, "caf\xE9", "caf\xC3\xA9"},     // single-byte text of older ones
    };
    test::TempDir dir;
    const std::string file = dir.File("u.ape");
    for (const auto& c : cases) {
        WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Title", c.stored)}, c.version)}));
        EXPECT_EQ(ReadBack(file).Title(), c.text) << c.stored;
    }
    WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Comment", std::string(6000, 'x')),
                                                 ApeItem("Title", "Next")})}));
    const TAPEtag t = ReadBack(file);
    EXPECT_EQ(t.Comment(), std::string(6000, 'x'));
    EXPECT_EQ(t.Title(), "Next");
}

TEST(APEtagTest, RewriteKeepsOtherItemsAndUpgradesForNonLatinTexts) {
    test::TempDir dir;
    const std::string file = dir.File("keep.ape");
    const std::string picture("c.jpg\0\xFF\xD8\x00\x01", 10);
    Bytes cover = ApeItem("Cover Art (Front)", picture);
    cover[4] = 2; // binary item
    const Bytes gain = ApeItem("REPLAYGAIN_TRACK_GAIN", "-6.5 dB");
    WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Title", "Old"), cover, gain})}));
    TAPEtag tag = ReadBack(file);
    tag.SetTitle("\xE6\x9D\xB1\xE4\xBA\xAC");
    tag.SetArtist("\xCE\x91\xCE\xB8");
    ASSERT_TRUE(tag.WriteTag(file));
    const TAPEtag back = ReadBack(file);
    EXPECT_EQ(back.VersionID(), 2000);
    EXPECT_EQ(back.Title(), "\xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(back.Artist(), "\xCE\x91\xCE\xB8");
    ASSERT_EQ(back.Items().size(), 4u);
    EXPECT_EQ(back.Items()[1].Flags, 2u);
    EXPECT_EQ(back.Items()[1].Value, picture);
    EXPECT_EQ(back.Items()[2].Value, "-6.5 dB");
    const Bytes bytes = ReadFileBytes(file);
    EXPECT_TRUE(std::equal(kAudio.begin(), kAudio.end(), bytes.begin()));
    EXPECT_EQ(dir.Count(), 1);
}

TEST(APEtagTest, WritesTheExactBytesOfATitleOnlyTag) {
    test::TempDir dir;
    const std::string file = dir.File("abc.ape");
    WriteFileBytes(file, kAudio);
    TAPEtag tag;
    tag.SetTitle(" abc\t");
    ASSERT_TRUE(tag.WriteTag(file));
    Bytes item = {4, 0, 0, 0, 0, 0, 0, 0};
    test::Append(item, BytesOf(std::string("Title\0abc\0", 10)));
    EXPECT_EQ(ReadFileBytes(file), Concat({kAudio, item, ApeFooter(1000, 50, 1)}));
}

TEST(APEtagTest, WriteReplacesApeAndId3v1TagsWithOneApeTag) {
    test::TempDir dir;
    const std::string file = dir.File("w.ape");
    WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Title", "Old")}, 2000, true),
                                 test::Id3v1Record("v1", "", 0, 0, 0)}));
    TAPEtag tag;
    tag.SetTitle("New");
    tag.SetArtist("Artist");
    tag.SetAlbum("Album");
    tag.SetTrack(7);
    tag.SetYear("2003");
    tag.SetGenre("Pop");
    tag.SetComment("Comment");
    tag.SetCopyright("Copyright");
    ASSERT_TRUE(tag.WriteTag(file));
    const Bytes bytes = ReadFileBytes(file);
    ASSERT_GT(bytes.size(), kAudio.size() + 32);
    EXPECT_TRUE(std::equal(kAudio.begin(), kAudio.end(), bytes.begin()));
    EXPECT_EQ(Bytes(bytes.end() - 32, bytes.end()),
              ApeFooter(1000, static_cast<uint32_t>(bytes.size() - kAudio.size()), 8));

    const TAPEtag t = ReadBack(file);
    EXPECT_EQ(t.VersionID(), 1000);
    EXPECT_EQ(t.Title(), "New");
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 7);
    EXPECT_EQ(t.Year(), "2003");
    EXPECT_EQ(t.Genre(), "Pop");
    EXPECT_EQ(t.Comment(), "Comment");
    EXPECT_EQ(t.Copyright(), "Copyright");
}

TEST(APEtagTest, RemoveCutsHeaderItemsFooterAndId3v1) {
    const struct {
        const char* name;
        Bytes tail;
    } cases[] = {
        {"ape with header", ApeTag({ApeItem("Title", "t")}, 2000, true)},
        {"ape footer only", ApeTag({ApeItem("Title", "t")})},
        {"id3v1 only", test::Id3v1Record("v1", "", 0, 0, 0)},
        {"ape and id3v1",
         Concat({ApeTag({ApeItem("Title", "t")}), test::Id3v1Record("", "", 0, 0, 0)})},
        {"nothing", {}},
    };
    test::TempDir dir;
    const std::string file = dir.File("r.ape");
    for (const auto& c : cases) {
        WriteFileBytes(file, Concat({kAudio, c.tail}));
        TAPEtag tag;
        EXPECT_TRUE(tag.RemoveTag(file)) << c.name;
        EXPECT_EQ(ReadFileBytes(file), kAudio) << c.name;
    }
}

TEST(APEtagTest, ShortFilesFailEveryOperation) {
    test::TempDir dir;
    const std::string file = dir.File("s.ape");
    const Bytes content(100, 1);
    WriteFileBytes(file, content);
    TAPEtag tag;
    tag.SetTitle("t");
    EXPECT_FALSE(tag.ReadTag(file));
    EXPECT_FALSE(tag.RemoveTag(file));
    EXPECT_FALSE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
}

TEST(APEtagTest, FileWithoutTagReadsAsCleared) {
    test::TempDir dir;
    const std::string file = dir.File("n.ape");
    WriteFileBytes(file, kAudio);
    TAPEtag tag;
    tag.SetTitle("stale");
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 0);
    EXPECT_EQ(tag.Title(), "");
}

} // namespace
} // namespace quillon
