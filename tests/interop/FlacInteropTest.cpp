#include "codecs/FLACIn.h"
#include "codecs/FLACOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;

class FlacInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("flac")) {
            GTEST_SKIP() << "flac is not installed";
        }
    }

    // Raw PCM as flac decodes it: 8-bit unsigned, 16-bit signed, little-endian.
    std::vector<uint8_t> FlacDecode(const std::string& file, int bits) {
        const std::string raw = dir.File("flac.raw");
        EXPECT_EQ(test::Shell("flac -s -d -f --force-raw-format --endian=little --sign=" +
                              std::string(bits == 8 ? "unsigned" : "signed") + " -o " + Quote(raw) +
                              " " + Quote(file)),
                  0);
        return test::ReadFileBytes(raw);
    }

    std::string FlacEncode(const std::vector<uint8_t>& pcm, int bits, int channels, int level) {
        const std::string raw = dir.File("in.raw");
        const std::string file = dir.File("flac-" + std::to_string(level) + ".flac");
        test::WriteFileBytes(raw, pcm);
        EXPECT_EQ(test::Shell("flac -s -f -" + std::to_string(level) +
                              " --force-raw-format --endian=little --sign=" +
                              std::string(bits == 8 ? "unsigned" : "signed") + " --channels=" +
                              std::to_string(channels) + " --bps=" + std::to_string(bits) +
                              " --sample-rate=44100 -o " + Quote(file) + " " + Quote(raw)),
                  0);
        return file;
    }

    test::TempDir dir;
};

struct Format {
    int bits, channels;
};
const Format kFormats[] = {{16, 2}, {16, 1}, {8, 1}, {8, 2}};

TEST_F(FlacInteropTest, OurFilesPassFlacsTestAndDecodeToTheInput) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(testing::Message() << f.bits << " bits, " << f.channels << " channels");
        const auto pcm = test::TonePcm(44100, f.bits, f.channels, 3 * 44100 + 17, 0.9);
        const std::string file = dir.File("ours.flac");
        TFLACOut sink;
        sink.SetCompressionLevel(5);
        sink.SetFileName(file);
        test::PcmMemorySource source(44100, f.bits, f.channels, pcm, 1001);
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
        EXPECT_EQ(test::Shell("flac -s -t " + Quote(file)), 0);
        EXPECT_TRUE(FlacDecode(file, f.bits) == pcm);
    }
}

TEST_F(FlacInteropTest, FlacsFilesDecodeAsFlacDecodesThemAlsoAfterASeek) {
    for (const Format& f : kFormats) {
        for (int level : {0, 5, 8}) {
            SCOPED_TRACE(testing::Message()
                         << f.bits << " bits, " << f.channels << " channels, level " << level);
            const int frameBytes = f.bits / 8 * f.channels;
            const auto pcm = test::TonePcm(44100, f.bits, f.channels, 2 * 44100 + 333, 0.7);
            const std::string file = FlacEncode(pcm, f.bits, f.channels, level);
            const auto reference = FlacDecode(file, f.bits);
            ASSERT_EQ(reference, pcm);
            TFLACIn in;
            in.SetFileName(file);
            EXPECT_TRUE(test::ReadAll(in, 5000) == reference);
            for (int64_t start : {1, 1151, 4096, 50000, 2 * 44100 + 300}) {
                in.SetStartSample(start);
                const auto tail = test::ReadAll(in, 3333);
                EXPECT_TRUE(tail == std::vector<uint8_t>(reference.begin() + start * frameBytes,
                                                         reference.end()))
                    << "from " << start;
            }
        }
    }
}

} // namespace
} // namespace quillon
