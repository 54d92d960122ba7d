#include "tags/FLACfile.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagBFixtures.h"
#include "tags/SongInformation.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct RawBlock {
    uint8_t type;
    Bytes body;
};

Bytes BlockBytes(uint8_t type, const Bytes& body, bool last, int64_t size = -1) {
    const auto n = static_cast<uint32_t>(size < 0 ? static_cast<int64_t>(body.size()) : size);
    Bytes out = {static_cast<uint8_t>(type | (last ? 0x80 : 0)), static_cast<uint8_t>(n >> 16),
                 static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Stream information of 44.1 kHz, 16-bit stereo with the given sample count.
Bytes StreamInfo(uint64_t samples) {
    Bytes si(34, 0);
    si[1] = 0x10; // block sizes 4096
    si[3] = 0x10;
    const uint32_t rate = 44100;
    si[10] = static_cast<uint8_t>(rate >> 12);
    si[11] = static_cast<uint8_t>(rate >> 4);
    si[12] = static_cast<uint8_t>((rate & 0x0F) << 4 | (2 - 1) << 1 | (16 - 1) >> 4);
    si[13] = static_cast<uint8_t>(((16 - 1) & 0x0F) << 4 | (samples >> 32 & 0x0F));
    for (int i = 0; i < 4; ++i) {
        si[static_cast<size_t>(14 + i)] = static_cast<uint8_t>(samples >> (8 * (3 - i)));
    }
    return si;
}

Bytes CommentBody(const std::string& vendor, const std::vector<std::string>& comments) {
    Bytes packet = test::VorbisCommentPacket(vendor, comments);
    // The Ogg packet without its "\x03vorbis" prefix and framing bit.
    return Bytes(packet.begin() + 7, packet.end() - 1);
}

// A FLAC file: "fLaC", the stream information, the given blocks (the last one flagged), then
// 20,000 bytes of "audio" that begin with a frame sync code.
Bytes FlacBytes(const std::vector<RawBlock>& blocks, const Bytes& prefix = {}) {
    Bytes out = prefix;
    const char* marker = "fLaC";
    out.insert(out.end(), marker, marker + 4);
    const Bytes si = BlockBytes(0, StreamInfo(441000), blocks.empty());
    out.insert(out.end(), si.begin(), si.end());
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Bytes b = BlockBytes(blocks[i].type, blocks[i].body, i + 1 == blocks.size());
        out.insert(out.end(), b.begin(), b.end());
    }
    Bytes audio(20000);
    for (size_t i = 0; i < audio.size(); ++i) {
        audio[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    audio[0] = 0xFF;
    audio[1] = 0xF8;
    out.insert(out.end(), audio.begin(), audio.end());
    return out;
}

const RawBlock kPicture = {6, Bytes(3000, 0x50)};
const RawBlock kSeekTable = {3, Bytes(18 * 4, 0x53)};
const RawBlock kApplication = {2, {'q', 'u', 'i', 'l', 1, 2, 3}};
const RawBlock kUnknown = {42, {9, 9, 9}};

class FLACfileTest : public ::testing::Test {
protected:
    std::string Put(const Bytes& bytes) {
        const std::string name = dir_.File("song.flac");
        WriteFileBytes(name, bytes);
        return name;
    }
    test::TempDir dir_;
};

TEST_F(FLACfileTest, ReadsStreamFactsAndCommentsAlsoBehindAnId3v2Tag) {
    const std::vector<RawBlock> blocks = {
        kSeekTable,
        {4, CommentBody("ref", {"TITLE=T\xC3\xADtulo", "artist=\xCE\x91", "TRACKNUMBER=4/9",
                                "DATE=1999", "GENRE=Folk", "DESCRIPTION=d"})},
        kPicture,
        {1, Bytes(100)}};
    for (const bool tagged : {false, true}) {
        const Bytes prefix = tagged ? test::Id3v2Padding(500) : Bytes{};
        TFLACfile flac;
        ASSERT_TRUE(flac.ReadInfo(Put(FlacBytes(blocks, prefix))));
        EXPECT_EQ(flac.ID3v2Size(), static_cast<int64_t>(prefix.size()));
        EXPECT_EQ(flac.SampleRate(), 44100u);
        EXPECT_EQ(flac.Channels(), 2);
        EXPECT_EQ(flac.BitsPerSample(), 16);
        EXPECT_EQ(flac.TotalSamples(), 441000u);
        EXPECT_DOUBLE_EQ(flac.Duration(), 10.0);
        EXPECT_EQ(flac.BitRate(), 16); // 20,000 bytes in 10 s
        EXPECT_EQ(flac.ChannelMode(), "Stereo");
        EXPECT_TRUE(flac.Valid());
        EXPECT_EQ(flac.Blocks().size(), 5u);
        EXPECT_EQ(flac.Title(), "T\xC3\xADtulo");
        EXPECT_EQ(flac.Artist(), "\xCE\x91");
        EXPECT_EQ(flac.Track(), 4);
        EXPECT_EQ(flac.Comment(), "d");
        EXPECT_EQ(flac.Vendor(), "ref");
    }
}

// The comments take the old block's room and the padding's when they fit, so the audio stays
// where it was; otherwise new padding follows them. Every other block is kept as it was.
TEST_F(FLACfileTest, WritesTheCommentsAndKeepsEveryOtherBlock) {
    struct Case {
        const char* what;
        std::vector<RawBlock> blocks;
        bool audioStays;
    };
    const RawBlock comments = {4, CommentBody("ref", {"TITLE=old", "REPLAYGAIN_TRACK_GAIN=1 dB",
                                                      "ARTIST=A", "ARTIST=B", "DATE="})};
    const std::vector<Case> cases = {
        {"padding fits", {kSeekTable, comments, kApplication, {1, Bytes(500)}, kPicture}, true},
        {"padding exactly used up", {comments, {1, Bytes(4 + 10)}}, true},
        {"no padding", {kPicture, comments, kUnknown}, false},
        {"padding too small", {comments, {1, Bytes(3)}, kUnknown}, false},
        {"no comments yet", {kPicture, {1, Bytes(500)}}, true},
    };
    for (const Case& c : cases) {
        const Bytes before = FlacBytes(c.blocks);
        const std::string name = Put(before);
        TFLACfile flac;
        ASSERT_TRUE(flac.ReadInfo(name)) << c.what;
        const int64_t audio = flac.AudioOffset();
        flac.SetTitle("new title");
        flac.SetDate("2024");
        ASSERT_TRUE(flac.WriteTag(name)) << c.what;

        const Bytes after = ReadFileBytes(name);
        TFLACfile back;
        ASSERT_TRUE(back.ReadInfo(name)) << c.what;
        EXPECT_EQ(back.AudioOffset() == audio, c.audioStays) << c.what;
        EXPECT_TRUE(std::equal(before.begin() + audio, before.end(),
                               after.begin() + back.AudioOffset(), after.end()))
            << c.what;
        EXPECT_EQ(back.Title(), "new title") << c.what;
        EXPECT_EQ(back.Date(), "2024") << c.what;
        // Other blocks keep their order and bytes; padding goes last.
        std::vector<RawBlock> expected;
        for (const RawBlock& b : c.blocks) {
            if (b.type != 1) {
                expected.push_back(b);
            }
        }
        const bool hadComments = std::any_of(c.blocks.begin(), c.blocks.end(),
                                             [](const RawBlock& b) { return b.type == 4; });
        if (!hadComments) {
            expected.insert(expected.begin(), {4, {}});
        }
        const auto& blocks = back.Blocks();
        ASSERT_GE(blocks.size(), expected.size() + 1) << c.what;
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto& b = blocks[i + 1];
            EXPECT_EQ(b.type, expected[i].type) << c.what << " block " << i;
            if (b.type != 4) {
                EXPECT_TRUE(std::equal(expected[i].body.begin(), expected[i].body.end(),
                                       after.begin() + b.position + 4))
                    << c.what << " block " << i;
            }
        }
        if (hadComments) {
            EXPECT_EQ(back.Comments().Comments(),
                      (std::vector<std::string>{"TITLE=new title", "REPLAYGAIN_TRACK_GAIN=1 dB",
                                                "ARTIST=A", "ARTIST=B", "DATE=2024"}))
                << c.what;
            EXPECT_EQ(back.Vendor(), "ref");
        }
    }
}

// Broken metadata chains are refused, both for reading and for writing, and a refused write
// leaves the file as it was.
TEST_F(FLACfileTest, MalformedMetadataIsRefusedAndLeftUntouched) {
    const Bytes good = FlacBytes({{4, CommentBody("v", {"TITLE=x"})}, {1, Bytes(100)}});
    const size_t comments = 4 + 4 + 34; // offset of the comment block's header
    const auto patched = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        bool readable;
    };
    const std::vector<Case> cases = {
        {"no marker", Bytes(good.begin() + 4, good.end()), false},
        {"empty", Bytes{}, false},
        {"stream information missing",
         [&] {
             Bytes b = {'f', 'L', 'a', 'C'};
             const Bytes p = BlockBytes(1, Bytes(34), true);
             b.insert(b.end(), p.begin(), p.end());
             b.push_back(0xFF);
             b.push_back(0xF8);
             return b;
         }(),
         false},
        {"stream information of 33 bytes", patched(7, 33), false},
        {"second stream information", patched(comments, 0), false},
        {"invalid block type", patched(comments, 127), false},
        {"block size beyond the file", patched(comments + 1, 0x7F), false},
        {"no last-block flag", patched(comments + 4 + 20, 0x01), false},
        {"truncated in a block", Bytes(good.begin(), good.begin() + comments + 10), false},
        {"comment count beyond the block", patched(comments + 4 + 4 + 1, 0x40), true},
        {"last-block flag too early", patched(4, 0x80), true},
    };
    for (const Case& c : cases) {
        const std::string name = Put(c.bytes);
        TFLACfile flac;
        EXPECT_EQ(flac.ReadInfo(name), c.readable) << c.what;
        flac.SetTitle("y");
        EXPECT_FALSE(flac.WriteTag(name)) << c.what;
        EXPECT_EQ(ReadFileBytes(name), c.bytes) << c.what;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                                std::filesystem::directory_iterator()),
                  1)
            << c.what;
        SongInformation info;
        info.Title = "z";
        EXPECT_FALSE(WriteSongInformation(info, name)) << c.what;
        EXPECT_EQ(ReadFileBytes(name), c.bytes) << c.what;
    }
}

} // namespace
} // namespace quillon
