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

TEST(APEtagTest, LongValuesGiveTheirFirst250Bytes) {
    test::TempDir dir;
    const std::string file = dir.File("long.ape");
    WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Comment", std::string(600, 'x')),
                                                 ApeItem("Title", "Next")})}));
    const TAPEtag t = ReadBack(file);
    EXPECT_EQ(t.Comment(), std::string(250, 'x'));
    EXPECT_EQ(t.Title(), "Next");
}

TEST(APEtagTest, Version2000ValuesAreConvertedFromUtf8) {
    const struct {
        const char* utf8;
        const char* latin1;
    } cases[] = {
        {"caf\xC3\xA9", "caf\xE9"},
        {"\xE2\x82\xAC 5", "? 5"},       // outside Latin-1
        {"a\xF0\x9F\x98\x80 b", "a? b"}, // four-byte sequence
        {"ab\xC3", "ab"},                // truncated sequence
        {"ab\xC3(cd", "ab"},             // bad following byte
    };
    test::TempDir dir;
    const std::string file = dir.File("u.ape");
    for (const auto& c : cases) {
        WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Title", c.utf8)}, 2000)}));
        EXPECT_EQ(ReadBack(file).Title(), c.latin1) << c.utf8;
    }
    // Version 1000 values are taken byte for byte.
    WriteFileBytes(file, Concat({kAudio, ApeTag({ApeItem("Title", "caf\xC3\xA9")}, 1000)}));
    EXPECT_EQ(ReadBack(file).Title(), "caf\xC3\xA9");
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
