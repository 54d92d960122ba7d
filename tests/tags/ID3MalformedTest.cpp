#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <chrono>
#include <gtest/gtest.h>
#include <zlib.h>

namespace quillon {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Concat;
using test::Id3v23Frame;
using test::ReadFileBytes;
using test::WriteFileBytes;

const std::string kZero(1, '\0');
const Bytes kAudio = test::MpegFrames(0xFFFB9000, 417, 2);

// A version 2.3 tag header stating exactly the given raw body.
Bytes RawTag(const Bytes& body, uint8_t flags = 0) {
    return Concat({test::Id3v2Header(3, static_cast<uint32_t>(body.size()), flags), body});
}

Bytes HugeFrame(const std::string& id, uint32_t statedSize, const std::string& data) {
    Bytes frame = Id3v23Frame(id, data);
    for (int i = 0; i < 4; ++i) {
        frame[4 + i] = static_cast<uint8_t>(statedSize >> (24 - 8 * i));
    }
    return frame;
}

struct HostileId3v2 {
    const char* name;
    Bytes content;
    int32_t size;
    const char* title;
};

TEST(ID3MalformedTest, HostileId3v2TagsReadWithoutHarm) {
    Bytes allOnes = BytesOf("ID3");
    allOnes.insert(allOnes.end(), {3, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    allOnes.resize(5000, 0xFF);
    Bytes maxSize = Concat({test::Id3v2Header(3, 0x0FFFFFFF), Id3v23Frame("TIT2", "\0x")});
    const Bytes ffBody(600, 0xFF);
    const Bytes hugeTitle = HugeFrame("TIT2", 0xFFFFFFFF, kZero + "Huge");
    const Bytes pastEnd = HugeFrame("TIT2", 5000, kZero + "Cut");
    const Bytes cutHeader = Bytes{'T', 'I', 'T'};
    Bytes unsync = Id3v23Frame("TIT2", kZero + "A\xFF");
    unsync.insert(unsync.end(), {0x00, 0xFF, 0xE0, 0x00});
    Bytes extended = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    test::Append(extended, Id3v23Frame("TIT2", kZero + "Ext"));

    const HostileId3v2 cases[] = {
        {"size bytes with top bits", allOnes, 0, ""},
        {"largest stated size", maxSize, 0, ""},
        {"0xFF body", Concat({RawTag(ffBody), kAudio}), 610, ""},
        {"frame size 0xFFFFFFFF", RawTag(hugeTitle), static_cast<int32_t>(hugeTitle.size() + 10),
         "Huge"},
        {"frame past the end of the file", RawTag(pastEnd),
         static_cast<int32_t>(pastEnd.size() + 10), "Cut"},
        {"frame header cut by the file end", RawTag(cutHeader), 13, ""},
        {"unsynchronised tag", Concat({RawTag(unsync, 0x80), kAudio}),
         static_cast<int32_t>(unsync.size() + 10), "A\xC3\xBF"},
        {"extended header", Concat({RawTag(extended, 0x40), kAudio}),
         static_cast<int32_t>(extended.size() + 10), "Ext"},
        {"empty tag", RawTag({}), 10, ""},
        {"lowercase frame id", Concat({RawTag(Id3v23Frame("tit2", kZero + "x")), kAudio}), 22, ""},
    };
    test::TempDir dir;
    const std::string file = dir.File("h.mp3");
    for (const HostileId3v2& c : cases) {
        WriteFileBytes(file, c.content);
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadTag(file)) << c.name;
        EXPECT_TRUE(tag.Exists()) << c.name;
        EXPECT_EQ(tag.Size(), c.size) << c.name;
        EXPECT_EQ(tag.Title(), c.title) << c.name;
    }
}

Bytes V24Frame(const std::string& id, const std::string& data, uint16_t flags = 0,
               int64_t statedSize = -1) {
    return test::Id3v24Frame(id, data, flags, statedSize);
}

Bytes V24Tag(const Bytes& body, uint8_t flags = 0) {
    return test::Id3v2Tag(4, body, flags);
}

// Version 2.4 tags whose sizes, flags and extended headers lie: reading never reaches past
// the tag, and a write either succeeds or leaves the file exactly as it was.
TEST(ID3MalformedTest, HostileVersion24TagsReadAndRewriteWithoutHarm) {
    const Bytes title = V24Frame("TIT2", kZero + "T24");
    Bytes hugeExtended = {0x7F, 0x7F, 0x7F, 0x7F, 1, 0};
    test::Append(hugeExtended, title);
    Bytes tinyExtended = {0, 0, 0, 2, 1, 0};
    test::Append(tinyExtended, title);
    Bytes goodExtended = {0, 0, 0, 6, 1, 0};
    test::Append(goodExtended, title);
    const struct {
        const char* name;
        Bytes tag;
        const char* title;
    } cases[] = {
        {"synchsafe size past the tag", V24Tag(V24Frame("TIT2", kZero + "Lie", 0, 0x0FFFFFFF)),
         "Lie"},
        {"size bytes with top bits",
         V24Tag(Concat({BytesOf("TIT2"), {0x80, 0x80, 0x80, 0x84, 0, 0}, BytesOf(kZero + "Odd")})),
         "Odd"},
        {"unsynchronised frame", V24Tag(V24Frame("TIT2", kZero + "A\xFF" + kZero + "B", 0x0002)),
         "A\xC3\xBF"
         "B"},
        {"unsynchronised tag", V24Tag(V24Frame("TIT2", kZero + "C\xFF" + kZero, 0), 0x80),
         "C\xC3\xBF"},
        {"unsynchronised data ending in 0xFF", V24Tag(V24Frame("TIT2", kZero + "\xFF", 0x0002)),
         "\xC3\xBF"},
        {"extended header past the tag", V24Tag(hugeExtended, 0x40), ""},
        {"extended header too small", V24Tag(tinyExtended, 0x40), ""},
        {"extended header", V24Tag(goodExtended, 0x40), "T24"},
        {"data length without room", V24Tag(V24Frame("TIT2", "ab", 0x0001)), ""},
        {"compressed garbage", V24Tag(V24Frame("TIT2", std::string("\0\0\0\5junk", 8), 0x0009)),
         ""},
        {"encrypted frame", V24Tag(V24Frame("TIT2", "\x01secret", 0x0004)), ""},
        {"footer", Concat({V24Tag(title, 0x10), BytesOf("3DI"), Bytes(7, 0)}), "T24"},
        {"encoding byte 9", V24Tag(V24Frame("TIT2", "\x09text")), ""},
    };
    test::TempDir dir;
    const std::string file = dir.File("v24.mp3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes content = Concat({c.tag, kAudio});
        WriteFileBytes(file, content);
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadTag(file));
        EXPECT_EQ(tag.VersionID(), 4);
        EXPECT_EQ(tag.Size(), static_cast<int32_t>(c.tag.size()));
        EXPECT_EQ(tag.Title(), c.title);
        tag.SetArtist("New");
        if (tag.WriteTag(file)) {
            EXPECT_EQ(ReadFileBytes(file), Concat({tag.BuildTag(), kAudio}));
        } else {
            EXPECT_FALSE(tag.LastError().empty());
            EXPECT_EQ(ReadFileBytes(file), content);
        }
    }
}

// Compressed version 2.4 frames that inflate to more than the reader allows, many of them:
// reading stays quick and a rewrite is refused rather than dropping them.
TEST(ID3MalformedTest, ManyCompressionBombsAreNotInflatedWithoutEnd) {
    const std::string zeros(17 * 1024 * 1024, '\0');
    uLongf size = compressBound(zeros.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    packed.resize(size);
    Bytes body;
    for (int i = 0; i < 200; ++i) {
        test::Append(body, V24Frame("TXXX", std::string("\x01\x10\x00\x00", 4) + packed, 0x0009));
    }
    test::Append(body, V24Frame("TIT2", kZero + "After"));
    test::TempDir dir;
    const std::string file = dir.File("bombs.mp3");
    const Bytes content = Concat({V24Tag(body), kAudio});
    WriteFileBytes(file, content);
    const auto start = std::chrono::steady_clock::now();
    TID3v2 tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(tag.Title(), "After");
    EXPECT_FALSE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
}

TEST(ID3MalformedTest, ShortDescriptionFramesGiveEmptyOrWholeTexts) {
    test::TempDir dir;
    const std::string file = dir.File("d.mp3");
    // A comment too short for its language, and a link without the end of its description.
    const std::string link = kZero + std::string(2600, 'u');
    WriteFileBytes(
        file, Concat({test::Id3v23Tag({Id3v23Frame("COMM", kZero + "e"), Id3v23Frame("WXXX", link),
                                       Id3v23Frame("USLT", kZero + "eng" + "x")}),
                      kAudio}));
    TID3v2 tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_EQ(tag.Comment(), "");
    EXPECT_EQ(tag.Link(), "");
    EXPECT_EQ(tag.Lyrics(), "");
}

TEST(ID3MalformedTest, MillionsOfEmptyFramesAreScannedQuickly) {
    test::TempDir dir;
    const std::string file = dir.File("many.mp3");
    const Bytes frame = Id3v23Frame("TALB", "");
    Bytes body;
    body.reserve(frame.size() * 400000);
    for (int i = 0; i < 400000; ++i) {
        test::Append(body, frame);
    }
    test::Append(body, Id3v23Frame("TIT2", kZero + "Last"));
    WriteFileBytes(file, Concat({RawTag(body), kAudio}));
    const auto start = std::chrono::steady_clock::now();
    TID3v2 tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(tag.Title(), "Last");
}

TEST(ID3MalformedTest, NumbersThatDoNotFitGiveTheirDocumentedTrack) {
    const struct {
        const char* text;
        int track;
    } cases[] = {{"99999999999999", 0}, {"-1", 255}, {"+4", 4}, {"+-4", 0},
                 {"4x/5", 0},           {"/5", 0},   {"", 0},   {"1e3", 0}};
    test::TempDir dir;
    const std::string file = dir.File("n.mp3");
    for (const auto& c : cases) {
        WriteFileBytes(file,
                       Concat({test::Id3v23Tag({Id3v23Frame("TRCK", kZero + c.text)}), kAudio}));
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadTag(file));
        EXPECT_EQ(tag.Track(), c.track) << c.text;
    }
}

TEST(ID3MalformedTest, RewritingATagThatOverstatesItsSizeKeepsEverything) {
    test::TempDir dir;
    const std::string file = dir.File("over.mp3");
    const Bytes original = Concat({test::Id3v2Header(3, 900000), kAudio});
    WriteFileBytes(file, original);
    TID3v2 tag;
    tag.SetTitle("New");
    ASSERT_TRUE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), Concat({tag.BuildTag(), original}));
}

TEST(ID3MalformedTest, Id3v1RecordsOfHostileBytes) {
    test::TempDir dir;
    const std::string file = dir.File("v1.mp3");
    Bytes record = BytesOf("TAG");
    record.resize(128, 0xFF);
    WriteFileBytes(file, record);
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 1);
    std::string yy;
    for (int i = 0; i < 30; ++i) {
        yy += "\xC3\xBF";
    }
    EXPECT_EQ(tag.Title(), yy);
    EXPECT_EQ(tag.Year(), yy.substr(0, 8));
    EXPECT_EQ(tag.GenreID(), 255);
    EXPECT_EQ(tag.Genre(), "");

    // A file that is nothing but a tag: rewritten in place, removed to nothing.
    tag.SetTitle("x");
    ASSERT_TRUE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file).size(), 128u);
    ASSERT_TRUE(tag.RemoveTag(file));
    EXPECT_TRUE(ReadFileBytes(file).empty());
    EXPECT_FALSE(tag.ReadTag(file));
}

} // namespace
} // namespace quillon
