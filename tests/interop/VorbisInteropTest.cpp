#include "codecs/VorbisIn.h"
#include "codecs/VorbisOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

namespace quillon {
namespace {

using test::Quote;

class VorbisInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("oggenc") || !test::HaveProgram("oggdec") ||
            !test::HaveProgram("ogginfo")) {
            GTEST_SKIP() << "vorbis-tools are not installed";
        }
    }

    test::TempDir dir;
};

TEST_F(VorbisInteropTest, OggdecDecodesOurFiles) {
    struct Case {
        int channels, sampleRate;
        TVorbisBitRate nominal;
    };
    const std::vector<Case> cases = {{2, 44100, TVorbisBitRate::brAutoSelect},
                                     {1, 22050, TVorbisBitRate::brAutoSelect},
                                     {2, 48000, TVorbisBitRate::br128}};
    constexpr int64_t kFrames = 100003;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        const std::string file = dir.File("ours.ogg");
        TVorbisOut sink;
        sink.SetDesiredNominalBitrate(c.nominal);
        sink.SetComments({"TITLE=Tone \xE6\x97\xA5\xF0\x9F\x8E\xB5", "ARTIST=Quillon"});
        sink.SetFileName(file);
        test::PcmMemorySource source(c.sampleRate, 16, c.channels,
                                     test::TonePcm(c.sampleRate, 16, c.channels, kFrames));
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
        const std::string raw = dir.File("oggdec.raw");
        ASSERT_EQ(test::Shell("oggdec -Q -R -o " + Quote(raw) + " " + Quote(file)), 0);
        EXPECT_EQ(test::ReadFileBytes(raw).size(), static_cast<size_t>(kFrames * 2 * c.channels));
        const std::string info = test::ShellOutput("vorbiscomment -R -l " + Quote(file));
        EXPECT_NE(info.find("TITLE=Tone \xE6\x97\xA5\xF0\x9F\x8E\xB5\n"), std::string::npos);
        EXPECT_NE(info.find("ARTIST=Quillon"), std::string::npos);
    }
}

TEST_F(VorbisInteropTest, OggencFilesDecodeToTheLengthOgginfoReports) {
    struct Case {
        int channels, sampleRate;
        int64_t frames;
        const char* options;
    };
    const std::vector<Case> cases = {{2, 44100, 123457, "-q 3"},
                                     {1, 44100, 54321, "-q 0"},
                                     {2, 32000, 70001, "-b 128 --managed"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string raw = dir.File("in.raw");
        const std::string file = dir.File("oggenc.ogg");
        test::WriteFileBytes(raw, test::TonePcm(c.sampleRate, 16, c.channels, c.frames));
        ASSERT_EQ(test::Shell("oggenc -Q -r -B 16 -C " + std::to_string(c.channels) + " -R " +
                              std::to_string(c.sampleRate) + " " + c.options + " -o " +
                              Quote(file) + " " + Quote(raw)),
                  0);
        // ogginfo gives the playing time to the millisecond.
        const std::string info = test::ShellOutput("ogginfo " + Quote(file));
        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, std::regex(R"(Playback length: (\d+)m:([\d.]+)s)")));
        const double seconds = std::stod(m[1]) * 60 + std::stod(m[2]);
        TVorbisIn in;
        in.SetFileName(file);
        const auto pcm = test::ReadAll(in, 5000);
        const double samples = static_cast<double>(pcm.size()) / (2 * c.channels);
        EXPECT_EQ(in.TotalSamples(), c.frames);
        EXPECT_NEAR(samples, seconds * c.sampleRate, c.sampleRate / 1000.0 + 1);
    }
}

} // namespace
} // namespace quillon
