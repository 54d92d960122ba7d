#include "codecs/WaveIn.h"

#include "codecs/Adpcm.h"
#include "core/PcmException.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Chunk;
using test::FormatData;
using test::Le16Bytes;
using test::MsExtra;
using test::RiffWave;

class WaveInTest : public ::testing::Test {
protected:
    TWaveIn& Open(const std::vector<uint8_t>& file) {
        test::WriteFileBytes(dir_.File("in.wav"), file);
        source_.SetFileName(dir_.File("in.wav"));
        return source_;
    }

    test::TempDir dir_;
    TWaveIn source_;
};

TEST_F(WaveInTest, FindsChunksAroundOtherChunksAndInLowerCase) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(8000, 2, 100));
    const Chunk list{"LIST", {'I', 'N', 'F', 'O', 'x'}};
    const Chunk format{"fmt ", FormatData(1, 2, 8000, 4, 16)};
    const std::vector<std::vector<Chunk>> layouts = {
        {list, format, {"data", pcm}},
        {format, list, {"data", pcm}},
        {{"fmt ", format.data}, {"data", pcm}, list},
    };
    for (const auto& layout : layouts) {
        std::vector<uint8_t> file = RiffWave(layout);
        EXPECT_EQ(test::ReadAll(Open(file)), pcm);
        EXPECT_TRUE(source_.Valid());
        EXPECT_EQ(source_.TotalSamples(), 100);
    }
    std::vector<uint8_t> lower = RiffWave({{"fmt ", format.data}, {"data", pcm}});
    for (size_t offset : {0, 8, 12, 36}) {
        for (size_t i = 0; i < 4; ++i) {
            lower[offset + i] = static_cast<uint8_t>(std::tolower(lower[offset + i]));
        }
    }
    EXPECT_EQ(test::ReadAll(Open(lower)), pcm);
}

TEST_F(WaveInTest, DeliversTheFormatAndTheSampleRange) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(22050, 2, 2000));
    Open(test::PcmWavBytes(22050, 16, 2, pcm));
    EXPECT_EQ(source_.GetSampleRate(), 22050);
    EXPECT_EQ(source_.GetChannels(), 2);
    EXPECT_EQ(source_.GetBitsPerSample(), 16);
    EXPECT_EQ(source_.OpenCount(), 0);

    source_.SetStartSample(100);
    source_.SetEndSample(1000);
    EXPECT_EQ(test::ReadAll(source_, 333),
              std::vector<uint8_t>(pcm.begin() + 400, pcm.begin() + 4000));
}

TEST_F(WaveInTest, LoopStartsAgainAtTheStartSample) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(8000, 1, 50));
    Open(test::PcmWavBytes(8000, 16, 1, pcm));
    source_.SetStartSample(10);
    source_.SetLoop(true);
    source_.Init();
    std::vector<uint8_t> out(300);
    size_t got = 0;
    while (got < out.size()) {
        const int n = source_.ReadBlock(out.data() + got, static_cast<int>(out.size() - got));
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    source_.Flush();
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], pcm[20 + i % 80]) << i;
    }
}

TEST_F(WaveInTest, LoopOverNothingEnds) {
    Open(test::PcmWavBytes(8000, 16, 1, {}));
    source_.SetLoop(true);
    EXPECT_TRUE(test::ReadAll(source_).empty());
}

TEST_F(WaveInTest, ReadBeforeInitIsRefused) {
    Open(test::PcmWavBytes(8000, 16, 1, {0, 0}));
    uint8_t buffer[4];
    try {
        source_.ReadBlock(buffer, 4);
        FAIL();
    } catch (const EPcmException& e) {
        EXPECT_STREQ(e.what(), "The Stream is not opened");
    }
}

TEST_F(WaveInTest, ImaBlocksDecodeToTheirFullLength) {
    struct Case {
        int channels;
        int blockAlign;
        int frames;
    };
    for (const Case c : {Case{1, 512, 1017}, Case{2, 1024, 1017}, Case{1, 256, 505}}) {
        const std::vector<int16_t> tone = test::Tone16(8000, c.channels, c.frames);
        std::vector<uint8_t> block(static_cast<size_t>(c.blockAlign));
        TImaChannel state[2];
        ImaEncodeBlock(tone.data(), c.channels, state, block.data(), c.blockAlign);
        const std::vector<uint8_t> file = RiffWave(
            {{"fmt ", FormatData(0x11, static_cast<uint16_t>(c.channels), 8000,
                                 static_cast<uint16_t>(c.blockAlign), 4, Le16Bytes({c.frames}))},
             {"fact", Le16Bytes({c.frames, 0})},
             {"data", block}});
        const std::vector<int16_t> out = test::AsSamples16(test::ReadAll(Open(file)));
        EXPECT_TRUE(source_.Valid());
        ASSERT_EQ(out.size(), tone.size());
        // The step size starts small and needs a few samples to catch up with the tone.
        for (size_t i = 64; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], tone[i], 2000) << i;
        }
    }
}

TEST_F(WaveInTest, ImaPredictorStopsAtMinus32767) {
    std::vector<uint8_t> block = Le16Bytes({-32760});
    block.push_back(88);
    block.push_back(0);
    block.resize(8, 0xFF); // every code pulls down by the largest step
    const std::vector<uint8_t> file =
        RiffWave({{"fmt ", FormatData(0x11, 1, 8000, 8, 4, Le16Bytes({9}))},
                  {"fact", Le16Bytes({9, 0})},
                  {"data", block}});
    const std::vector<int16_t> out = test::AsSamples16(test::ReadAll(Open(file)));
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[0], -32760);
    for (size_t i = 1; i < out.size(); ++i) {
        EXPECT_EQ(out[i], -32767);
    }
}

TEST_F(WaveInTest, ImaWithoutFactIsUnsupported) {
    const std::vector<uint8_t> file = RiffWave(
        {{"fmt ", FormatData(0x11, 1, 8000, 256, 4, Le16Bytes({505}))}, {"data", {1, 2, 3}}});
    EXPECT_TRUE(test::ReadAll(Open(file)).empty());
    EXPECT_FALSE(source_.Valid());
    EXPECT_EQ(source_.WavType(), wtUnsupported);
}

TEST_F(WaveInTest, MicrosoftAdpcmDecodesHeaderSamplesThenNibbles) {
    // Predictor 0 (256, 0), delta 16, sample1 100, sample2 50, codes 1 and 2.
    std::vector<uint8_t> block = {0};
    const auto fields = Le16Bytes({16, 100, 50});
    block.insert(block.end(), fields.begin(), fields.end());
    block.push_back(0x12);
    const std::vector<uint8_t> file = RiffWave({{"fmt ", FormatData(2, 1, 8000, 8, 4, MsExtra(4))},
                                                {"fact", Le16Bytes({4, 0})},
                                                {"data", block}});
    EXPECT_EQ(test::AsSamples16(test::ReadAll(Open(file))),
              (std::vector<int16_t>{50, 100, 116, 148}));
    EXPECT_TRUE(source_.Valid());
}

TEST_F(WaveInTest, MicrosoftAdpcmStereoSplitsNibblesBetweenChannels) {
    // Left: predictor 1 (512, -256), delta 20; right: predictor 2 (0, 0), delta 300.
    std::vector<uint8_t> block = {1, 2};
    const auto fields = Le16Bytes({20, 300, 10, -10, 0, 0});
    block.insert(block.end(), fields.begin(), fields.end());
    block.push_back(0x7F); // left +7, right -1
    const std::vector<uint8_t> file = RiffWave({{"fmt ", FormatData(2, 2, 8000, 15, 4, MsExtra(3))},
                                                {"fact", Le16Bytes({3, 0})},
                                                {"data", block}});
    // Left: (10 × 512 − 0 × 256) / 256 + 7 × 20 = 160. Right: 0 + (−1) × 300 = −300.
    EXPECT_EQ(test::AsSamples16(test::ReadAll(Open(file))),
              (std::vector<int16_t>{0, 0, 10, -10, 160, -300}));
}

TEST_F(WaveInTest, MicrosoftAdpcmPredictionTruncatesTowardZero) {
    // Predictor 3 (192, 64): (−1 × 192 + −2 × 64) / 256 = −1.25, truncated to −1; code 0.
    std::vector<uint8_t> block = {3};
    const auto fields = Le16Bytes({16, -1, -2});
    block.insert(block.end(), fields.begin(), fields.end());
    block.push_back(0x00);
    const std::vector<uint8_t> file = RiffWave({{"fmt ", FormatData(2, 1, 8000, 8, 4, MsExtra(4))},
                                                {"fact", Le16Bytes({4, 0})},
                                                {"data", block}});
    const std::vector<int16_t> out = test::AsSamples16(test::ReadAll(Open(file)));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[2], -1);
}

TEST_F(WaveInTest, AdpcmStopsAtTheFactCountAndTheDataChunk) {
    const std::vector<int16_t> tone = test::Tone16(8000, 1, 1017 * 2);
    std::vector<uint8_t> data(1024);
    TImaChannel state[2];
    ImaEncodeBlock(tone.data(), 1, state, data.data(), 512);
    ImaEncodeBlock(tone.data() + 1017, 1, state, data.data() + 512, 512);
    const auto fmt = FormatData(0x11, 1, 8000, 512, 4, Le16Bytes({1017}));
    // The fact count ends inside the second block: its padding is not delivered.
    EXPECT_EQ(test::ReadAll(Open(RiffWave({{"fmt ", fmt},
                                           {"fact", Le16Bytes({1500, 0})},
                                           {"data", data},
                                           {"LIST", {1, 2, 3, 4}}})))
                  .size(),
              3000u);
    // A fact count beyond the data: the chunk after the data is not decoded as audio.
    EXPECT_EQ(test::ReadAll(Open(RiffWave({{"fmt ", fmt},
                                           {"fact", Le16Bytes({9000, 0})},
                                           {"data", data},
                                           {"LIST", std::vector<uint8_t>(600)}})))
                  .size(),
              2u * 1017 * 2);
}

TEST_F(WaveInTest, AdpcmSeekDeliversTheWholeBlockOfTheStartSample) {
    const std::vector<int16_t> tone = test::Tone16(8000, 1, 1017 * 3);
    std::vector<uint8_t> data(512 * 3);
    TImaChannel state[2];
    for (int b = 0; b < 3; ++b) {
        ImaEncodeBlock(tone.data() + 1017 * b, 1, state, data.data() + 512 * b, 512);
    }
    Open(RiffWave({{"fmt ", FormatData(0x11, 1, 8000, 512, 4, Le16Bytes({1017}))},
                   {"fact", Le16Bytes({1017 * 3, 0})},
                   {"data", data}}));
    source_.SetStartSample(1500);
    const std::vector<int16_t> out = test::AsSamples16(test::ReadAll(source_));
    ASSERT_EQ(out.size(), 1017u * 3 - 1500);
    EXPECT_EQ(out[0], tone[1017]); // the second block's header sample
}

} // namespace
} // namespace quillon
