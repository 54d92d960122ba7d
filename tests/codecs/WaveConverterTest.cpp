#include "codecs/WaveConverter.h"

#include "codecs/WaveIn.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>
#include <random>

namespace quillon {
namespace {

using test::FormatData;
using test::RiffWave;

// MPEG-1 Layer III frames, 128 kbit/s, 44.1 kHz, stereo, whose side information is all
// zero: each decodes to 1152 frames of silence.
std::vector<uint8_t> SilentMpegFrames(int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) {
        const uint8_t header[] = {0xFF, 0xFB, 0x90, 0x64};
        out.insert(out.end(), header, header + 4);
        out.resize(out.size() + 413, 0);
    }
    return out;
}

std::vector<uint8_t> MpegWave(const std::vector<uint8_t>& frames, uint32_t byteRate = 16000) {
    std::vector<uint8_t> format = FormatData(0x55, 2, 44100, 1, 0, std::vector<uint8_t>(12, 0));
    for (int i = 0; i < 4; ++i) {
        format[8 + i] = static_cast<uint8_t>(byteRate >> (8 * i));
    }
    return RiffWave({{"fmt ", format}, {"fact", {0, 0, 0, 0}}, {"data", frames}});
}

MemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
    MemoryStream stream;
    stream.Write(bytes.data(), bytes.size());
    stream.SetPosition(0);
    return stream;
}

TEST(WaveConverterTest, LoadsFormatAndDataOnlyFromRiffWave) {
    TWaveConverter converter;
    EXPECT_LE(converter.MaxFormatSize, 129u);
    MemoryStream notWave = StreamOf(test::PcmWavBytes(8000, 16, 1, {1, 2}));
    notWave.Memory()[8] = 'w'; // identifiers are compared exactly here
    converter.LoadWaveFromStream(notWave);
    EXPECT_EQ(converter.Size(), 0);
    EXPECT_EQ(converter.SourceFormat.wFormatTag, 0);

    MemoryStream empty = StreamOf(test::PcmWavBytes(8000, 16, 1, {}));
    converter.LoadWaveFromStream(empty);
    EXPECT_EQ(converter.Size(), 0);
    EXPECT_EQ(converter.SourceFormat.wFormatTag, 1);
    EXPECT_EQ(converter.SourceFormat.cbSize, 0);

    MemoryStream pcm = StreamOf(test::PcmWavBytes(8000, 16, 1, {1, 2, 3, 4}));
    converter.LoadWaveFromStream(pcm);
    EXPECT_EQ(converter.Data(), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(converter.Position(), 0);
}

TEST(WaveConverterTest, AFormatRecordLongerThanOursKeepsItsStart) {
    std::vector<uint8_t> extra(300, 0xAB);
    MemoryStream stream =
        StreamOf(RiffWave({{"fmt ", FormatData(0x55, 2, 44100, 1, 0, extra)}, {"data", {9, 9}}}));
    TWaveConverter converter;
    converter.LoadWaveFromStream(stream);
    EXPECT_EQ(converter.SourceFormat.wFormatTag, 0x55);
    EXPECT_EQ(converter.SourceFormat.cbSize, 111);
    EXPECT_EQ(converter.Data(), (std::vector<uint8_t>{9, 9}));
}

TEST(WaveConverterTest, ConvertsMpegDataToPcmAndSavesTheNewFormat) {
    // A byte rate far above the real one makes the first size estimate too small.
    for (const uint32_t byteRate : {16000u, 1000000000u}) {
        MemoryStream stream = StreamOf(MpegWave(SilentMpegFrames(20), byteRate));
        TWaveConverter converter;
        converter.LoadWaveFromStream(stream);
        converter.TargetFormat.wFormatTag = WAVE_FORMAT_PCM;
        ASSERT_EQ(acmFormatSuggest(nullptr, &converter.SourceFormat, &converter.TargetFormat,
                                   sizeof(TWaveFormatEx), ACM_FORMATSUGGESTF_WFORMATTAG),
                  0u);
        ASSERT_EQ(converter.Convert(), 0u);
        EXPECT_EQ(converter.Size(), 20 * 1152 * 4);
        EXPECT_TRUE(std::all_of(converter.Data().begin(), converter.Data().end(),
                                [](uint8_t b) { return b == 0; }));
        MemoryStream saved;
        ASSERT_EQ(converter.SaveWaveToStream(saved), 0u);
        std::vector<uint8_t> pcm(20 * 1152 * 4, 0);
        EXPECT_EQ(saved.Data(), test::PcmWavBytes(44100, 16, 2, pcm));
    }
}

TEST(WaveConverterTest, RefusesWhatTheManagerCannotConvert) {
    MemoryStream stream = StreamOf(test::PcmWavBytes(8000, 16, 1, {1, 2, 3, 4}));
    TWaveConverter converter;
    converter.LoadWaveFromStream(stream);
    converter.TargetFormat.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &converter.SourceFormat, &converter.TargetFormat,
                               sizeof(TWaveFormatEx), ACM_FORMATSUGGESTF_WFORMATTAG),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(converter.Convert(), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(converter.Data(), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(WaveConverterTest, NoiseInPlaceOfMpegDataConvertsSafely) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> noise(5000 + round * 37);
        for (auto& b : noise) {
            b = static_cast<uint8_t>(random());
        }
        if (round % 2 == 0) {
            // Frame headers among the noise reach the decoder.
            const auto frames = SilentMpegFrames(3);
            std::copy(frames.begin(), frames.begin() + 4, noise.begin() + 100);
            std::copy(frames.begin(), frames.begin() + 4, noise.begin() + 517);
        }
        MemoryStream stream = StreamOf(MpegWave(noise));
        TWaveConverter converter;
        converter.LoadWaveFromStream(stream);
        converter.TargetFormat.wFormatTag = WAVE_FORMAT_PCM;
        acmFormatSuggest(nullptr, &converter.SourceFormat, &converter.TargetFormat,
                         sizeof(TWaveFormatEx), ACM_FORMATSUGGESTF_WFORMATTAG);
        if (converter.Convert() == 0) {
            EXPECT_EQ(converter.Size() % 4, 0);
        }
    }
}

TEST(WaveConverterTest, TheReaderDecodesMpegWaveWhenItOpens) {
    MemoryStream stream = StreamOf(MpegWave(SilentMpegFrames(20)));
    TWaveIn in;
    in.SetStream(&stream);
    EXPECT_EQ(in.GetChannels(), 2);
    EXPECT_EQ(in.GetSampleRate(), 44100);
    EXPECT_EQ(in.GetBitsPerSample(), 16);
    in.SetStartSample(1152);
    EXPECT_EQ(test::ReadAll(in), std::vector<uint8_t>(19 * 1152 * 4, 0));
    EXPECT_TRUE(in.Valid());
    EXPECT_EQ(in.WavType(), wtACM);
    EXPECT_EQ(in.GetStream(), &stream);
    EXPECT_EQ(stream.Position(), 0);

    std::vector<uint8_t> threeChannels = MpegWave(SilentMpegFrames(2));
    threeChannels[22] = 3;
    MemoryStream refused = StreamOf(threeChannels);
    TWaveIn bad;
    bad.SetStream(&refused);
    EXPECT_TRUE(test::ReadAll(bad).empty());
    EXPECT_FALSE(bad.Valid());
}

} // namespace
} // namespace quillon
