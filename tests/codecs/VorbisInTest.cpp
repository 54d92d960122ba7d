#include "codecs/VorbisIn.h"

#include "codecs/VorbisOut.h"
#include "core/PcmException.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>
#include <random>

namespace quillon {
namespace {

using test::PcmMemorySource;
using test::TempDir;

constexpr int64_t kFrames = 2 * 44100;

class VorbisInTest : public ::testing::Test {
protected:
    void SetUp() override {
        TVorbisOut sink;
        sink.SetFileName(file);
        PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, kFrames));
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
        TVorbisIn in;
        in.SetFileName(file);
        decoded = test::ReadAll(in, 5000);
        ASSERT_EQ(decoded.size(), static_cast<size_t>(kFrames * 4));
    }

    std::string ReadOutcome(std::vector<uint8_t>& out) {
        TVorbisIn in;
        in.SetFileName(file);
        return test::ReadAllOrError(in, out, 5000);
    }

    TempDir dir;
    std::string file = dir.File("in.ogg");
    std::vector<uint8_t> decoded;
};

TEST_F(VorbisInTest, RangeIsCutToTheRequestedSamples) {
    TVorbisIn in;
    in.SetFileName(file);
    in.SetStartSample(10000);
    in.SetEndSample(30000);
    const auto data = test::ReadAll(in, 5000);
    EXPECT_EQ(in.Size(), 20000 * 4);
    ASSERT_EQ(data.size(), 20000u * 4);
    // Seeking is sample-exact: the same audio as in the continuous decode, give or take
    // rounding in the overlap of the first block.
    const auto got = test::AsSamples16(data);
    const auto want = test::AsSamples16(
        std::vector<uint8_t>(decoded.begin() + 10000 * 4, decoded.begin() + 30000 * 4));
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_NEAR(got[i], want[i], 2) << i;
    }
}

TEST_F(VorbisInTest, LoopDeliversTheRangeAgain) {
    TVorbisIn in;
    in.SetFileName(file);
    in.SetEndSample(3000);
    in.SetLoop(true);
    in.Init();
    std::vector<uint8_t> block(5000);
    size_t total = 0;
    for (int i = 0; i < 10; ++i) {
        const int n = in.ReadBlock(block.data(), 5000);
        ASSERT_GT(n, 0);
        total += static_cast<size_t>(n);
    }
    EXPECT_GT(total, 3000u * 4 * 2);
    in.Flush();
}

TEST_F(VorbisInTest, UnreadableFilesAreInvalidAndRefuseToStart) {
    TVorbisIn in;
    std::vector<uint8_t> block(16);
    try {
        in.ReadBlock(block.data(), 16);
        ADD_FAILURE();
    } catch (const EPcmException& e) {
        EXPECT_STREQ(e.what(), "The Stream is not opened");
    }
    for (const std::string& name : {dir.File("missing.ogg"), dir.File("noise.ogg")}) {
        test::WriteFileBytes(dir.File("noise.ogg"), std::vector<uint8_t>(3000, 0x33));
        in.SetFileName(name);
        in.OpenFile();
        EXPECT_FALSE(in.Valid());
        in.CloseFile();
        EXPECT_EQ(in.OpenCount(), 0);
        EXPECT_EQ(in.GetChannels(), 0);
        try {
            in.Init();
            ADD_FAILURE();
        } catch (const EPcmException& e) {
            EXPECT_STREQ(e.what(), "Error reading Ogg Vorbis file");
        }
        EXPECT_FALSE(in.Busy());
    }
}

TEST_F(VorbisInTest, TruncatedOrDamagedFilesEndWithoutHarm) {
    const auto original = test::ReadFileBytes(file);
    std::mt19937 random(11);
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        auto damaged = original;
        const size_t at = 50 + random() % (damaged.size() - 100);
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
        EXPECT_TRUE(error == "" || error == "Error reading Ogg Vorbis file") << error;
        EXPECT_LE(out.size(), decoded.size());
    }
}

} // namespace
} // namespace quillon
