#include "tags/WAVfile.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagBFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::FmtChunk;
using test::RiffWave;

class WAVfileTest : public ::testing::Test {
protected:
    TWAVfile Read(const std::vector<uint8_t>& bytes, bool expected = true,
                  const std::string& what = "") {
        const std::string name = dir_.File("a.wav");
        test::WriteFileBytes(name, bytes);
        TWAVfile wav;
        EXPECT_EQ(wav.ReadInfo(name), expected) << what;
        return wav;
    }
    static std::vector<uint8_t> Le32(uint32_t v) {
        std::vector<uint8_t> out;
        test::PutLE32(out, v);
        return out;
    }
    test::TempDir dir_;
};

TEST_F(WAVfileTest, CanonicalPcm) {
    const auto wav = Read(test::PcmWavBytes(44100, 16, 2, std::vector<uint8_t>(1764000)));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.FormatID(), 1);
    EXPECT_EQ(wav.ChannelNumber(), 2);
    EXPECT_EQ(wav.ChannelMode(), "Stereo");
    EXPECT_EQ(wav.SampleRate(), 44100u);
    EXPECT_EQ(wav.BytesPerSecond(), 176400u);
    EXPECT_EQ(wav.BlockAlign(), 4);
    EXPECT_EQ(wav.BitsPerSample(), 16);
    EXPECT_EQ(wav.SampleNumber(), 0);
    EXPECT_EQ(wav.HeaderSize(), 44u);
    EXPECT_EQ(wav.FileSize(), 1764044u);
    EXPECT_DOUBLE_EQ(wav.Duration(), 10.0);
}

TEST_F(WAVfileTest, AdpcmWithFactChunk) {
    const auto wav =
        Read(RiffWave({{"fmt ", FmtChunk(0x11, 1, 22050, 11100, 512, 4, {2, 0, 0xF9, 1})},
                       {"fact", Le32(66150)},
                       {"data", std::vector<uint8_t>(33000)}}));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.FormatID(), 0x11);
    EXPECT_EQ(wav.ChannelMode(), "Mono");
    EXPECT_EQ(wav.SampleNumber(), 66150);
    EXPECT_EQ(wav.HeaderSize(), 60u);
    EXPECT_DOUBLE_EQ(wav.Duration(), 3.0);
}

TEST_F(WAVfileTest, OtherChunksBeforeTheAudioAreNotASampleCount) {
    std::vector<uint8_t> list;
    test::PutText(list, "INFOISFT");
    test::PutLE32(list, 14);
    test::PutText(list, "Lavf60.16.100");
    list.push_back(0);
    // fmt of 18 bytes followed by LIST (as ffmpeg writes), and fmt of 16 followed by data
    // after an odd-sized chunk.
    const auto wav = Read(RiffWave({{"fmt ", FmtChunk(1, 2, 48000, 192000, 4, 16, {0, 0})},
                                    {"LIST", list},
                                    {"data", std::vector<uint8_t>(192000)}}));
    EXPECT_EQ(wav.SampleNumber(), 0);
    EXPECT_EQ(wav.HeaderSize(), 12u + 8 + 18 + 8 + list.size() + 8);
    EXPECT_DOUBLE_EQ(wav.Duration(), 1.0);

    const auto odd = Read(RiffWave({{"fmt ", FmtChunk(1, 1, 8000, 8000, 1, 8)},
                                    {"junk", std::vector<uint8_t>(3)},
                                    {"data", std::vector<uint8_t>(8000)}}));
    EXPECT_EQ(odd.SampleNumber(), 0);
    EXPECT_EQ(odd.HeaderSize(), 12u + 24 + 12 + 8);
    EXPECT_DOUBLE_EQ(odd.Duration(), 1.0);
}

TEST_F(WAVfileTest, InvalidHeadersGiveTrueWithValidFalse) {
    const std::vector<std::vector<uint8_t>> cases = {
        RiffWave({{"fmt ", FmtChunk(1, 0, 44100, 0, 0, 16)}, {"data", {0, 0}}}),
        [] {
            auto b = test::PcmWavBytes(8000, 8, 1, std::vector<uint8_t>(10));
            b[8] = 'X';
            return b;
        }(),
        std::vector<uint8_t>(64, 0),
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto wav = Read(cases[i]);
        EXPECT_FALSE(wav.Valid()) << i;
        EXPECT_EQ(wav.SampleRate(), 0u) << i;
        EXPECT_EQ(wav.Duration(), 0.0) << i;
    }
}

// Surround WAVs are read too, so that their facts can be shown.
TEST_F(WAVfileTest, MoreThanTwoChannelsAreRead) {
    const auto wav = Read(RiffWave(
        {{"fmt ", FmtChunk(1, 6, 44100, 529200, 12, 16)}, {"data", std::vector<uint8_t>(529200)}}));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.ChannelMode(), "6Ch");
    EXPECT_DOUBLE_EQ(wav.Duration(), 1.0);
}

TEST_F(WAVfileTest, ShortRiffSizeLimitsTheHeaderSize) {
    const auto wav = Read(RiffWave(
        {{"fmt ", FmtChunk(1, 2, 44100, 176400, 4, 16)}, {"data", std::vector<uint8_t>(100)}}, 20));
    EXPECT_EQ(wav.FileSize(), 28u);
    EXPECT_EQ(wav.HeaderSize(), 28u);
    EXPECT_EQ(wav.Duration(), 0.0);
}

TEST_F(WAVfileTest, UnreadableFilesGiveFalse) {
    Read(std::vector<uint8_t>(39, 'R'), false);
    TWAVfile wav;
    EXPECT_FALSE(wav.ReadInfo(dir_.File("missing.wav")));
    EXPECT_FALSE(wav.ReadInfo(dir_.Path().string()));
}

// Unusual and hostile headers: chunks before the format, an empty "data" chunk under a "fact"
// count, lying sizes and zero rates must give a result without reading astray.
TEST_F(WAVfileTest, HostileHeaders) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool result;
        double duration;
    };
    const std::vector<Case> cases = {
        {"JUNK of 5000 bytes before the format",
         RiffWave({{"JUNK", std::vector<uint8_t>(5000)},
                   {"fmt ", FmtChunk(1, 1, 8000, 8000, 1, 8)},
                   {"data", std::vector<uint8_t>(8000)}}),
         true, 1.0},
        {"ADPCM with an empty data chunk",
         RiffWave({{"fmt ", FmtChunk(0x11, 1, 22050, 11100, 512, 4, {2, 0, 0xF9, 1})},
                   {"fact", Le32(44100)},
                   {"data", {}}}),
         true, 0},
        {"fmt size far beyond the end",
         [] {
             auto b = RiffWave({{"fmt ", FmtChunk(1, 2, 44100, 176400, 4, 16)}, {"fact", Le32(5)}});
             b[16] = b[17] = b[18] = b[19] = 0xFF;
             return b;
         }(),
         false, 0},
        {"fact cut short",
         [] {
             auto b = RiffWave({{"fmt ", FmtChunk(1, 2, 44100, 176400, 4, 16)}}, 36);
             test::PutText(b, "fact");
             test::PutLE32(b, 4);
             return b;
         }(),
         false, 0},
        {"chunk sizes of 4 GB",
         [] {
             auto b = RiffWave({{"fmt ", FmtChunk(1, 2, 44100, 176400, 4, 16)},
                                {"LIST", {}},
                                {"data", std::vector<uint8_t>(16)}});
             b[40] = b[41] = b[42] = b[43] = 0xFF;
             return b;
         }(),
         true, (68.0 - 56) / 176400},
        {"zero rates with a fact count",
         RiffWave({{"fmt ", FmtChunk(1, 2, 0, 0, 4, 16)}, {"fact", Le32(1000)}, {"data", {}}}),
         true, 0},
        {"negative fact count",
         RiffWave({{"fmt ", FmtChunk(1, 2, 8000, 32000, 4, 16)},
                   {"fact", Le32(0x80000000)},
                   {"data", std::vector<uint8_t>(32)}}),
         true, 0},
        {"RIFF size of 4 GB",
         [] {
             auto b = test::PcmWavBytes(8000, 8, 1, std::vector<uint8_t>(8));
             b[4] = b[5] = b[6] = b[7] = 0xFF;
             return b;
         }(),
         true, (4294967295.0 - 44) / 8000},
        {"many empty chunks",
         [] {
             std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks = {
                 {"fmt ", FmtChunk(1, 1, 8000, 8000, 1, 8)}};
             for (int i = 0; i < 5000; ++i) {
                 chunks.push_back({"pad ", {}});
             }
             chunks.push_back({"data", std::vector<uint8_t>(8000)});
             return RiffWave(chunks);
         }(),
         true, (48044.0 - 56) / 8000},
    };
    for (const auto& c : cases) {
        const auto wav = Read(c.bytes, c.result, c.what);
        EXPECT_NEAR(wav.Duration(), c.duration, 1e-9) << c.what;
    }
}

} // namespace
} // namespace quillon
