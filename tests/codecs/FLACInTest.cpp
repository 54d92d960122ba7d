#include "codecs/FLACIn.h"

#include "codecs/FLACOut.h"
#include "core/PcmException.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>
#include <random>

namespace quillon {
namespace {

using test::PcmMemorySource;
using test::TempDir;

constexpr int64_t kFrames = 5 * 4608 + 1000;

// A 16-bit stereo FLAC file made by the sink, and its samples.
class FLACInTest : public ::testing::Test {
protected:
    void SetUp() override {
        pcm = test::TonePcm(44100, 16, 2, kFrames, 0.8);
        TFLACOut sink;
        sink.SetCompressionLevel(5);
        sink.SetFileName(file);
        PcmMemorySource source(44100, 16, 2, pcm);
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
    }

    std::vector<uint8_t> Slice(int64_t fromFrame, int64_t toFrame) const {
        return {pcm.begin() + fromFrame * 4, pcm.begin() + toFrame * 4};
    }

    // Reads the file as it is now, reporting a failure as its message.
    std::string ReadOutcome(std::vector<uint8_t>& out) {
        TFLACIn in;
        in.SetFileName(file);
        return test::ReadAllOrError(in, out, 5000);
    }

    TempDir dir;
    std::string file = dir.File("in.flac");
    std::vector<uint8_t> pcm;
};

TEST_F(FLACInTest, RangesStartAndEndAtTheRequestedSamples) {
    struct Case {
        int64_t start, end;
    };
    const std::vector<Case> cases = {{0, -1},    {1, -1},        {4607, 4700},
                                     {4608, -1}, {10000, 20000}, {kFrames - 1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " .. " << c.end);
        TFLACIn in;
        in.SetFileName(file);
        in.SetStartSample(c.start);
        in.SetEndSample(c.end);
        const int64_t end = c.end == -1 ? kFrames : c.end;
        const auto data = test::ReadAll(in, 5000);
        EXPECT_EQ(in.Size(), (end - c.start) * 4);
        EXPECT_TRUE(data == Slice(c.start, end));
    }
}

TEST_F(FLACInTest, SeekDuringReadingResumesAtTheSample) {
    TFLACIn in;
    in.SetFileName(file);
    in.Init();
    std::vector<uint8_t> block(1000);
    ASSERT_EQ(in.ReadBlock(block.data(), 1000), 1000);
    ASSERT_TRUE(in.SeekSample(12345));
    EXPECT_EQ(in.Position(), 12345 * 4);
    block.resize(400);
    ASSERT_EQ(in.ReadBlock(block.data(), 400), 400);
    EXPECT_TRUE(block == std::vector<uint8_t>(pcm.begin() + 12345 * 4, pcm.begin() + 12445 * 4));
    in.Flush();
}

TEST_F(FLACInTest, LoopStartsAgainAndTheEndOtherwiseStaysTheEnd) {
    TFLACIn in;
    in.SetFileName(file);
    in.SetStartSample(100);
    in.SetEndSample(600);
    in.SetLoop(true);
    in.Init();
    std::vector<uint8_t> all;
    std::vector<uint8_t> block(300);
    while (all.size() < 3 * 2000) {
        const int n = in.ReadBlock(block.data(), 300);
        ASSERT_GT(n, 0);
        all.insert(all.end(), block.begin(), block.begin() + n);
    }
    in.Flush();
    for (int round = 0; round < 3; ++round) {
        EXPECT_TRUE(std::vector<uint8_t>(all.begin() + round * 2000,
                                         all.begin() + (round + 1) * 2000) == Slice(100, 600));
    }
    in.SetLoop(false);
    in.Init();
    while (in.ReadBlock(block.data(), 300) > 0) {
    }
    EXPECT_EQ(in.ReadBlock(block.data(), 300), 0);
    in.Flush();
}

TEST_F(FLACInTest, MisuseGetsTheComponentsMessages) {
    TFLACIn in;
    std::vector<uint8_t> block(16);
    EXPECT_THROW(in.ReadBlock(block.data(), 16), EPcmException);
    try {
        in.OpenFile();
    } catch (const EPcmException& e) {
        EXPECT_STREQ(e.what(), "File name is not assigned");
    }
    in.SetFileName(dir.File("missing.flac"));
    EXPECT_ANY_THROW(in.OpenFile());
    // A failed open counts nothing, so the next open tries again.
    EXPECT_EQ(in.OpenCount(), 0);
    in.SetFileName(file);
    EXPECT_EQ(in.GetChannels(), 2);
}

TEST_F(FLACInTest, TruncatedOrDamagedFilesEndCleanlyOrFailWithAMessage) {
    const auto original = test::ReadFileBytes(file);
    std::mt19937 random(7);
    for (int trial = 0; trial < 24; ++trial) {
        SCOPED_TRACE(trial);
        auto damaged = original;
        const size_t at = 100 + random() % (damaged.size() - 200);
        if (trial % 2 == 0) {
            damaged.resize(at);
        } else {
            for (size_t i = at; i < std::min(damaged.size(), at + 1 + random() % 300); ++i) {
                damaged[i] = static_cast<uint8_t>(random());
            }
        }
        test::WriteFileBytes(file, damaged);
        std::vector<uint8_t> out;
        const std::string error = ReadOutcome(out);
        EXPECT_TRUE(error == "" || error == "Sinc lost or corrupt data" ||
                    error == "Error reading FLAC file")
            << error;
        EXPECT_LE(out.size(), pcm.size());
        if (trial % 2 == 0 && error.empty()) {
            // What a truncated file delivers is the start of the audio, unchanged.
            EXPECT_TRUE(std::equal(out.begin(), out.end(), pcm.begin()));
        }
    }
    test::WriteFileBytes(file, std::vector<uint8_t>(5000, 0x5A));
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadOutcome(out), "Error reading FLAC file");
}

} // namespace
} // namespace quillon
