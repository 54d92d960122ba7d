#include "codecs/FLACOut.h"

#include "codecs/FLACIn.h"
#include "core/PcmException.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::PcmMemorySource;
using test::TempDir;

class FLACOutTest : public ::testing::Test {
protected:
    test::RunResult Encode(TFLACOut& sink, TPcmInput& source) {
        sink.SetFileName(file);
        return test::RunToEnd(sink, source);
    }

    TempDir dir;
    std::string file = dir.File("out.flac");
};

TEST(FLACOutSetters, LevelIsCappedAndStereoOptionsPullEachOther) {
    TFLACOut sink;
    sink.SetCompressionLevel(12);
    EXPECT_EQ(sink.CompressionLevel(), 8);
    sink.SetCompressionLevel(-1);
    EXPECT_EQ(sink.CompressionLevel(), -1);

    sink.SetEnableMidSideStereo(false);
    sink.SetEnableLooseMidSideStereo(true);
    EXPECT_TRUE(sink.EnableMidSideStereo());
    sink.SetEnableMidSideStereo(false);
    sink.SetBestModelSearch(true);
    EXPECT_TRUE(sink.EnableMidSideStereo());
    EXPECT_FALSE(sink.EnableLooseMidSideStereo());
    sink.SetEnableLooseMidSideStereo(false);
    EXPECT_TRUE(sink.EnableMidSideStereo());
}

TEST_F(FLACOutTest, EncodesLosslesslyForEveryWidthLevelAndBlockLayout) {
    struct Case {
        int bits, channels, level, blockSize;
        bool sizeKnown;
    };
    const std::vector<Case> cases = {
        {16, 2, -1, 4096, true}, {16, 2, 5, 1001, true}, {16, 1, 8, 777, false},
        {8, 1, -1, 999, true},   {8, 2, 0, 4096, true},
    };
    constexpr int64_t kFrames = 3 * 4608 + 123;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.bits << " bits, " << c.channels << " channels, level " << c.level);
        const auto pcm = test::TonePcm(44100, c.bits, c.channels, kFrames, 0.9);
        TFLACOut sink;
        sink.SetCompressionLevel(c.level);
        sink.SetVerify(true);
        PcmMemorySource source(44100, c.bits, c.channels, pcm, c.blockSize, c.sizeKnown);
        ASSERT_EQ(Encode(sink, source).error, "");
        TFLACIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.GetBitsPerSample(), c.bits);
        EXPECT_EQ(in.GetChannels(), c.channels);
        EXPECT_EQ(in.GetSampleRate(), 44100);
        EXPECT_TRUE(test::ReadAll(in, 5000) == pcm);
    }
}

TEST_F(FLACOutTest, PrecisionIsLoweredToFitTheSampleWidth) {
    struct Case {
        int bits;
        uint16_t given, expected;
    };
    for (const Case& c : {Case{16, 20, 15}, Case{24, 10, 7}, Case{8, 12, 12}}) {
        TFLACOut sink;
        sink.SetQLPCoeffPrecision(c.given);
        sink.SetMaxLPCOrder(8);
        PcmMemorySource source(44100, c.bits, 2, test::TonePcm(44100, c.bits, 2, 5000));
        ASSERT_EQ(Encode(sink, source).error, "");
        EXPECT_EQ(sink.QLPCoeffPrecision(), c.expected);
    }
}

TEST_F(FLACOutTest, StreamsBeyondWhatTheSourceReadsAreWrittenButNotValid) {
    struct Case {
        int bits, channels;
    };
    for (const Case& c : {Case{24, 2}, Case{16, 6}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
        TFLACOut sink;
        PcmMemorySource source(48000, c.bits, c.channels,
                               test::TonePcm(48000, c.bits, c.channels, 10000));
        ASSERT_EQ(Encode(sink, source).error, "");
        TFLACIn in;
        in.SetFileName(file);
        in.OpenFile();
        EXPECT_FALSE(in.Valid());
        in.CloseFile();
        try {
            in.Init();
            ADD_FAILURE() << "Init accepted an invalid stream";
        } catch (const EPcmException& e) {
            EXPECT_STREQ(e.what(), "Error reading FLAC file");
        }
        EXPECT_FALSE(in.Busy());
        EXPECT_EQ(in.OpenCount(), 0);
    }
}

TEST_F(FLACOutTest, FailuresKeepTheFileThatWasThere) {
    test::WriteFileBytes(file, {1, 2, 3});
    TFLACOut sink;
    // Block sizes below 16 are not valid FLAC.
    sink.SetBlockSize(8);
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 1000));
    EXPECT_EQ(Encode(sink, source).error, "Failed to initialize FLAC encoder.");
    EXPECT_FALSE(source.Busy());
    EXPECT_EQ(test::ReadFileBytes(file), (std::vector<uint8_t>{1, 2, 3}));

    TFLACOut unnamed;
    EXPECT_EQ(test::RunToEnd(unnamed, source).error, "File name is not assigned.");
}

} // namespace
} // namespace quillon
