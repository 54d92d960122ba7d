#include "codecs/VorbisOut.h"

#include "codecs/VorbisIn.h"
#include "core/PcmException.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using B = TVorbisBitRate;
using test::PcmMemorySource;
using test::TempDir;

// A source that fails after delivering some audio.
class FailingSource : public PcmMemorySource {
public:
    using PcmMemorySource::PcmMemorySource;
    int ReadBlock(void* buffer, int size) override {
        if (Position() > 20000) {
            throw EPcmException("source failed");
        }
        return PcmMemorySource::ReadBlock(buffer, size);
    }
};

// RMS of channel 0 over the middle half of the signal.
double MiddleRms(const std::vector<int16_t>& samples, int channels) {
    const size_t frames = samples.size() / channels;
    double sum = 0;
    for (size_t i = frames / 4; i < frames * 3 / 4; ++i) {
        sum += static_cast<double>(samples[i * channels]) * samples[i * channels];
    }
    return std::sqrt(sum / static_cast<double>(frames / 2));
}

class VorbisOutTest : public ::testing::Test {
protected:
    test::RunResult Encode(TVorbisOut& sink, TPcmInput& source) {
        sink.SetFileName(file);
        return test::RunToEnd(sink, source);
    }

    TempDir dir;
    std::string file = dir.File("out.ogg");
};

TEST(VorbisOutSetters, BitRateRulesKeepMinimumNominalAndMaximumInOrder) {
    struct Step {
        char which; // 'n'ominal, 'x' maximum, 'm'inimum
        B value;
        B nominal, maximum, minimum;
    };
    const std::vector<Step> steps = {
        {'x', B::br192, B::brAutoSelect, B::brAutoSelect, B::brAutoSelect}, // no nominal yet
        {'m', B::br64, B::brAutoSelect, B::brAutoSelect, B::brAutoSelect},  // above nominal
        {'n', B::br128, B::br128, B::br128, B::brAutoSelect},
        {'x', B::br96, B::br128, B::br128, B::brAutoSelect}, // below nominal: ignored
        {'x', B::br192, B::br128, B::br192, B::brAutoSelect},
        {'m', B::br160, B::br128, B::br192, B::brAutoSelect}, // above nominal: ignored
        {'m', B::br64, B::br128, B::br192, B::br64},
        {'n', B::br56, B::br56, B::br192, B::br56},   // minimum pulled down
        {'n', B::br224, B::br224, B::br224, B::br56}, // maximum pulled up
        {'x', B::brAutoSelect, B::br224, B::brAutoSelect, B::br56},
        {'n', B::brAutoSelect, B::brAutoSelect, B::brAutoSelect, B::brAutoSelect},
    };
    TVorbisOut sink;
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        const Step& s = steps[i];
        if (s.which == 'n') {
            sink.SetDesiredNominalBitrate(s.value);
        } else if (s.which == 'x') {
            sink.SetDesiredMaximumBitrate(s.value);
        } else {
            sink.SetMinimumBitrate(s.value);
        }
        EXPECT_EQ(sink.DesiredNominalBitrate(), s.nominal);
        EXPECT_EQ(sink.DesiredMaximumBitrate(), s.maximum);
        EXPECT_EQ(sink.MinimumBitrate(), s.minimum);
    }
}

TEST_F(VorbisOutTest, ManagedBitRatesReachTheStreamHeader) {
    struct Case {
        B nominal, maximum, minimum;
        long upper, nominalRate, lower;
    };
    const std::vector<Case> cases = {
        {B::br128, B::brAutoSelect, B::brAutoSelect, 128000, 128000, 128000},
        {B::br128, B::br192, B::br64, 192000, 128000, 64000},
        {B::br56, B::brAutoSelect, B::brAutoSelect, 46000, 46000, 46000},
    };
    for (const Case& c : cases) {
        TVorbisOut sink;
        sink.SetDesiredNominalBitrate(c.nominal);
        sink.SetDesiredMaximumBitrate(c.maximum);
        sink.SetMinimumBitrate(c.minimum);
        PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 44100));
        ASSERT_EQ(Encode(sink, source).error, "");
        TVorbisIn in;
        in.SetFileName(file);
        in.OpenFile();
        EXPECT_EQ(in.BitrateUpper(), c.upper);
        EXPECT_EQ(in.BitrateNominal(), c.nominalRate);
        EXPECT_EQ(in.BitrateLower(), c.lower);
        in.CloseFile();
    }
}

TEST_F(VorbisOutTest, EveryInputWidthAndChannelCountDecodesToTheSameSignal) {
    struct Case {
        int bits, channels, blockSize;
    };
    const std::vector<Case> cases = {{16, 2, 4096}, {16, 1, 1001}, {8, 1, 777},
                                     {8, 2, 3001},  {24, 2, 1001}, {16, 3, 4096}};
    constexpr int64_t kFrames = 44100;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
        TVorbisOut sink;
        sink.SetCompression(0.5f);
        PcmMemorySource source(44100, c.bits, c.channels,
                               test::TonePcm(44100, c.bits, c.channels, kFrames), c.blockSize);
        ASSERT_EQ(Encode(sink, source).error, "");
        TVorbisIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.GetChannels(), c.channels);
        EXPECT_EQ(in.GetBitsPerSample(), 16);
        const auto decoded = test::AsSamples16(test::ReadAll(in, 5000));
        ASSERT_EQ(decoded.size(), static_cast<size_t>(kFrames * c.channels));
        // The tone is at half of full scale: RMS 0.5 / sqrt(2) of 32768.
        const double rms = MiddleRms(decoded, c.channels);
        EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0) * 32768, 600);
    }
}

TEST_F(VorbisOutTest, CommentsAreWrittenAndConsumedByTheRun) {
    TVorbisOut sink;
    sink.SetComments(
        {"TITLE=Happy Boys Girls", "ARTIST=Aqua", "ARTIST=Other", "no separator", "COMMENT=a=b"});
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 4410));
    ASSERT_EQ(Encode(sink, source).error, "");
    EXPECT_TRUE(sink.Comments().empty());
    TVorbisIn in;
    in.SetFileName(file);
    in.OpenFile();
    EXPECT_EQ(in.Comments(), (std::vector<std::string>{"TITLE=Happy Boys Girls", "ARTIST=Aqua",
                                                       "ARTIST=Other", "COMMENT=a=b"}));
    in.CloseFile();
}

TEST_F(VorbisOutTest, AppendAddsALogicalStreamAndAFailedAppendLeavesTheFileAsItWas) {
    {
        TVorbisOut sink;
        PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 10000));
        ASSERT_EQ(Encode(sink, source).error, "");
    }
    const auto first = test::ReadFileBytes(file);
    {
        TVorbisOut sink;
        sink.SetFileMode(foAppend);
        sink.SetSerial(7);
        FailingSource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 30000));
        EXPECT_EQ(Encode(sink, source).error, "source failed");
        EXPECT_EQ(test::ReadFileBytes(file), first);
    }
    TVorbisOut sink;
    sink.SetFileMode(foAppend);
    sink.SetSerial(7);
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 5000));
    ASSERT_EQ(Encode(sink, source).error, "");
    TVorbisIn in;
    in.SetFileName(file);
    in.OpenFile();
    EXPECT_EQ(in.TotalSamples(), 15000);
    in.CloseFile();
}

TEST_F(VorbisOutTest, MissingFileNameIsReported) {
    TVorbisOut sink;
    sink.SetComments({"TITLE=x"});
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 100));
    EXPECT_EQ(test::RunToEnd(sink, source).error, "File name is not assigned.");
}

} // namespace
} // namespace quillon
