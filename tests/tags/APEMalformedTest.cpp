#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/APEtag.h"

#include <chrono>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::ApeFooter;
using test::ApeItem;
using test::Bytes;
using test::Concat;
using test::ReadFileBytes;
using test::WriteFileBytes;

const Bytes kAudio(2000, 0x21);

struct HostileApe {
    const char* name;
    Bytes tail;
    std::string title;
    bool removable;
};

TEST(APEMalformedTest, HostileTagsReadWithoutHarmAndAreNeverCutOnTheirWord) {
    const Bytes title = ApeItem("Title", "T");
    const auto titleTag = static_cast<uint32_t>(title.size() + 32);
    Bytes endlessKey = {9, 0, 0, 0, 0, 0, 0, 0};
    endlessKey.resize(endlessKey.size() + 3000, 'k');
    // Only a tag whose items fill exactly the size its footer states is ever cut.
    const HostileApe cases[] = {
        {"item count 0xFFFFFFFF", Concat({title, ApeFooter(1000, titleTag, 0xFFFFFFFF)}), "T",
         false},
        {"value size 0xFFFFFFFF",
         Concat({ApeItem("Title", "Big", 0xFFFFFFFF), ApeFooter(1000, titleTag + 2, 2)}), "",
         false},
        {"key without its end", Concat({endlessKey, ApeFooter(1000, 3040, 1)}), "", false},
        {"tag size below the footer's", Concat({title, ApeFooter(1000, 0, 1)}), "", false},
        {"tag size beyond the file", Concat({title, ApeFooter(1000, 900000, 1)}), "", false},
        {"negative tag size", Concat({title, ApeFooter(1000, 0x80000000, 1)}), "", false},
        {"size claims most of the file", Concat({title, ApeFooter(1000, 1900, 1)}), "", false},
        {"header flag without header", Concat({title, ApeFooter(2000, titleTag, 1, 0x80000000)}),
         "T", true},
        {"zero items", Concat({title, ApeFooter(1000, titleTag, 0)}), "", false},
    };
    test::TempDir dir;
    const std::string file = dir.File("h.ape");
    for (const HostileApe& c : cases) {
        const Bytes content = Concat({kAudio, c.tail});
        WriteFileBytes(file, content);
        TAPEtag tag;
        ASSERT_TRUE(tag.ReadTag(file)) << c.name;
        EXPECT_TRUE(tag.Exists()) << c.name;
        EXPECT_EQ(tag.Title(), c.title) << c.name;

        EXPECT_EQ(tag.RemoveTag(file), c.removable) << c.name;
        if (c.removable) {
            EXPECT_EQ(ReadFileBytes(file), kAudio) << c.name;
        } else {
            EXPECT_EQ(ReadFileBytes(file), content) << c.name;
            tag.SetTitle("New");
            EXPECT_FALSE(tag.WriteTag(file)) << c.name;
            EXPECT_EQ(ReadFileBytes(file), content) << c.name;
            EXPECT_EQ(dir.Count(), 1) << c.name << ": no temporary file is left";
        }
    }
}

TEST(APEMalformedTest, AFooterInAFileOfOnlyATagCannotBeRead) {
    test::TempDir dir;
    const std::string file = dir.File("tiny.ape");
    // 128 bytes that end in an ID3v1 tag leave no room for a footer before it.
    WriteFileBytes(file, test::Id3v1Record("x", "", 0, 0, 0));
    TAPEtag tag;
    EXPECT_FALSE(tag.ReadTag(file));
    EXPECT_FALSE(tag.RemoveTag(file));
    EXPECT_EQ(ReadFileBytes(file).size(), 128u);
}

TEST(APEMalformedTest, HundredsOfThousandsOfItemsAreScannedQuickly) {
    test::TempDir dir;
    const std::string file = dir.File("many.ape");
    Bytes items;
    const Bytes filler = ApeItem("X", "");
    for (int i = 0; i < 300000; ++i) {
        test::Append(items, filler);
    }
    test::Append(items, ApeItem("Title", "Last"));
    WriteFileBytes(
        file,
        Concat({kAudio, items, ApeFooter(2000, static_cast<uint32_t>(items.size() + 32), 300001)}));
    const auto start = std::chrono::steady_clock::now();
    TAPEtag tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(tag.Title(), "Last");
}

} // namespace
} // namespace quillon
