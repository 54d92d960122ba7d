#include "codecs/APEException.h"
#include "codecs/MACIn.h"
#include "codecs/MACOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "tags/APEtag.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(MACTest, LibraryCodesAndLevelsTakeTheirFixedValues) {
    const struct {
        int code;
        const char* message;
    } codes[] = {
        {0, "MACDll error: OK"},
        {1004, "MACDll error: input file file too large"},
        {1010, "MACDll error: decompressing frame"},
        {3002, "MACDll error: loading UnMAC.dll"},
        {4001, "MACDll error: skipped..."},
        {6000, "MACDll error: APE compress too much data"},
        {1234, "MACDll error: undefined (1234)"},
        {-1, "MACDll error: undefined (-1)"},
    };
    for (const auto& c : codes) {
        EXPECT_STREQ(EAPEException(c.code).what(), c.message);
        EXPECT_EQ(EAPEException(c.code).Code(), c.code);
    }

    TMACOut sink;
    EXPECT_EQ(sink.CompressionLevel(), 2000);
    EXPECT_EQ(sink.MaxAudioBytes(), -1);
    const std::pair<int, int> levels[] = {{1000, 1000}, {3000, 3000}, {4000, 4000},
                                          {5000, 2000}, {0, 2000},    {2500, 2000}};
    for (const auto& [given, stored] : levels) {
        sink.SetCompressionLevel(given);
        EXPECT_EQ(sink.CompressionLevel(), stored) << given;
    }
}

TEST(MACTest, RunsTheLibraryRefusesEndWithItsTextAndNoFile) {
    const struct {
        const char* name;
        int bits, channels;
        const char* error;
    } cases[] = {
        {"", 16, 2, "File name is not assigned."},
        {"wide.ape", 32, 2, "Error starting APECompress.\r\ninput file unsupported bit depth"},
        {"many.ape", 16, 3, "Error starting APECompress.\r\ninput file unsupported channel count"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        TMACOut sink;
        if (*c.name != '\0') {
            sink.SetFileName(dir.File(c.name));
        }
        test::PcmMemorySource source(44100, c.bits, c.channels,
                                     std::vector<uint8_t>(c.bits / 8 * c.channels * 100, 1));
        EXPECT_EQ(test::RunToEnd(sink, source).error, c.error);
        EXPECT_EQ(dir.Count(), 0);
    }
}

// Every format the library holds goes through the sink and back through the source
// unchanged, also read from a sample range; the file always ends in an APE tag, even one
// with no texts, and an empty input still makes a file that reads as empty.
TEST(MACTest, WhatTheSinkWritesTheSourceReadsBackExactly) {
    const struct {
        int rate, bits, channels;
        int64_t frames;
        int level;
        bool tagged;
    } cases[] = {
        {44100, 16, 2, 100000, 1000, true}, {22050, 8, 1, 30001, 2000, false},
        {48000, 24, 2, 40000, 3000, false}, {44100, 16, 1, 80000, 4000, false},
        {96000, 24, 1, 9999, 2000, false},  {8000, 8, 2, 12345, 1000, false},
        {44100, 16, 2, 0, 2000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) +
                     " channels, " + std::to_string(c.frames) + " frames");
        test::TempDir dir;
        const std::string file = dir.File("out.ape");
        const std::vector<uint8_t> pcm = test::TonePcm(c.rate, c.bits, c.channels, c.frames, 0.8);
        TMACOut sink;
        sink.SetFileName(file);
        sink.SetCompressionLevel(c.level);
        if (c.tagged) {
            sink.SetId3TagTitle("Title");
            sink.SetId3TagArtist("Artist");
            sink.SetId3TagAlbum("Album");
            sink.SetId3TagYear("1999");
            sink.SetId3TagTrack("7");
            sink.SetId3TagComment("Comment");
            sink.SetId3TagGenre("Blues");
        }
        test::PcmMemorySource input(c.rate, c.bits, c.channels, pcm, 3001);
        const test::RunResult run = test::RunToEnd(sink, input);
        ASSERT_TRUE(run.done) << run.error;
        ASSERT_EQ(dir.Count(), 1);

        TMACIn source;
        source.SetFileName(file);
        EXPECT_EQ(source.GetSampleRate(), c.rate);
        EXPECT_EQ(source.GetBitsPerSample(), c.bits);
        EXPECT_EQ(source.GetChannels(), c.channels);
        EXPECT_EQ(source.GetTotalTime(), c.frames / c.rate);
        EXPECT_TRUE(test::ReadAll(source, 5003) == pcm);
        EXPECT_EQ(source.Size(), static_cast<int64_t>(pcm.size()));
        if (c.frames > 0) {
            const int64_t start = c.frames / 3 + 1;
            const int64_t end = c.frames - c.frames / 5;
            const int64_t frameBytes = c.bits / 8 * c.channels;
            source.SetStartSample(start);
            source.SetEndSample(end);
            const std::vector<uint8_t> range(pcm.begin() + start * frameBytes,
                                             pcm.begin() + end * frameBytes);
            EXPECT_TRUE(test::ReadAll(source, 777) == range);
        }

        if (c.frames == 0) {
            // Shorter than the tag layer reads: the footer of a tag of no items ends the file.
            const std::vector<uint8_t> bytes = test::ReadFileBytes(file);
            ASSERT_GE(bytes.size(), 32u);
            EXPECT_EQ(std::string(bytes.end() - 32, bytes.end() - 24), "APETAGEX");
            EXPECT_EQ(bytes[bytes.size() - 16], 0); // item count
            continue;
        }
        TAPEtag tag;
        ASSERT_TRUE(tag.ReadTag(file));
        EXPECT_TRUE(tag.Exists());
        EXPECT_EQ(tag.Items().size(), c.tagged ? 7u : 0u);
        EXPECT_EQ(tag.Title(), c.tagged ? "Title" : "");
        EXPECT_EQ(tag.Track(), c.tagged ? 7 : 0);
        EXPECT_EQ(tag.Genre(), c.tagged ? "Blues" : "");
    }
}

} // namespace
} // namespace quillon
