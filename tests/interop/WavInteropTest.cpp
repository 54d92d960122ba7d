#include "codecs/WaveIn.h"
#include "codecs/WaveOut.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;

class WavInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
    }

    // Interleaved 16-bit samples as ffmpeg decodes the file.
    std::vector<int16_t> FfmpegDecode(const std::string& file) {
        const std::string raw = dir_.File("ffmpeg.raw");
        EXPECT_EQ(test::Shell("ffmpeg -nostdin -hide_banner -loglevel error -i " + Quote(file) +
                              " -f s16le -c:a pcm_s16le -y " + Quote(raw)),
                  0);
        return test::AsSamples16(test::ReadFileBytes(raw));
    }

    // Makes a file from a generated tone with ffmpeg's own encoder.
    std::string FfmpegEncode(const std::string& name, const std::string& codecOptions, int channels,
                             int sampleRate, double seconds) {
        const std::string file = dir_.File(name);
        EXPECT_EQ(test::Shell("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
                              "'sine=frequency=440:beep_factor=3:sample_rate=" +
                              std::to_string(sampleRate) + ":duration=" + std::to_string(seconds) +
                              "' -ac " + std::to_string(channels) + " " + codecOptions + " -y " +
                              Quote(file)),
                  0);
        return file;
    }

    std::vector<int16_t> OurDecode(const std::string& file) {
        TWaveIn in;
        in.SetFileName(file);
        std::vector<int16_t> samples = test::AsSamples16(test::ReadAll(in));
        EXPECT_TRUE(in.Valid());
        return samples;
    }

    void Write(std::vector<uint8_t> pcm, int sampleRate, int channels, TWavType type,
               TFileOutputMode mode, uint16_t blockSize = 512) {
        test::MemoryPcmSource source(sampleRate, 16, channels, std::move(pcm));
        TWaveOut sink;
        sink.SetFileName(Name());
        sink.SetWavType(type);
        sink.SetBlockSize(blockSize);
        sink.SetFileMode(mode);
        sink.SetInput(&source);
        ASSERT_TRUE(test::RunSink(sink).done);
    }

    std::string Name() const { return dir_.File("out.wav"); }

    test::TempDir dir_;
};

// The peer's IMA decoder forms each difference as (2n + 1) × step / 8 where ours adds
// shifted steps; the roundings differ by a little and the gap wanders within a block.
constexpr int kImaRoundingSpread = 256;

// Largest difference over the samples both have.
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int largest = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        largest = std::max(largest, std::abs(a[i] - b[i]));
    }
    return largest;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += static_cast<double>(a[i]) * b[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

TEST_F(WavInteropTest, PcmWrittenFreshAndAppendedDecodesToTheSameSamples) {
    const std::vector<int16_t> first = test::Tone16(44100, 2, 30000);
    const std::vector<int16_t> second = test::Tone16(44100, 2, 12345, 0.3);
    Write(test::AsBytes(first), 44100, 2, wtPCM, foRewrite);
    EXPECT_EQ(FfmpegDecode(Name()), first);
    Write(test::AsBytes(second), 44100, 2, wtPCM, foAppend);
    std::vector<int16_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(FfmpegDecode(Name()), both);
}

TEST_F(WavInteropTest, ImaWrittenFreshAndAppendedDecodesAsWeDecodeIt) {
    struct Case {
        int channels;
        uint16_t blockSize;
    };
    for (const Case c : {Case{1, 512}, Case{2, 1024}, Case{2, 256}}) {
        const std::vector<int16_t> tone = test::Tone16(22050, c.channels, 20000);
        Write(test::AsBytes(tone), 22050, c.channels, wtDVIADPCM, foRewrite, c.blockSize);
        Write(test::AsBytes(tone), 22050, c.channels, wtDVIADPCM, foAppend, c.blockSize);
        const std::vector<int16_t> ours = OurDecode(Name());
        const std::vector<int16_t> theirs = FfmpegDecode(Name());
        // Both decoders run the same blocks; ffmpeg also delivers the padding of the last one.
        ASSERT_GE(theirs.size(), ours.size());
        ASSERT_LT(theirs.size() - ours.size(), static_cast<size_t>(c.blockSize) * 2);
        EXPECT_LE(MaxDifference(ours, theirs), kImaRoundingSpread);
        // The decoded audio follows the tone written.
        for (size_t i = 64 * c.channels; i < tone.size(); ++i) {
            ASSERT_NEAR(ours[i], tone[i], 2000) << i;
        }
    }
}

TEST_F(WavInteropTest, PeerImaAndMicrosoftAdpcmDecodeAsThePeerDecodesThem) {
    struct Case {
        const char* codec;
        int channels;
    };
    for (const Case c : {Case{"adpcm_ima_wav", 1}, Case{"adpcm_ima_wav", 2}, Case{"adpcm_ms", 1},
                         Case{"adpcm_ms", 2}}) {
        const std::string file = FfmpegEncode(std::string(c.codec) + ".wav",
                                              std::string("-c:a ") + c.codec, c.channels, 44100, 3);
        const std::vector<int16_t> ours = OurDecode(file);
        const std::vector<int16_t> theirs = FfmpegDecode(file);
        ASSERT_FALSE(ours.empty()) << c.codec;
        ASSERT_GE(theirs.size(), ours.size()) << c.codec;
        ASSERT_LE(theirs.size() - ours.size(), 2048u * c.channels) << c.codec;
        const bool ima = std::string(c.codec) == "adpcm_ima_wav";
        EXPECT_LE(MaxDifference(ours, theirs), ima ? kImaRoundingSpread : 0)
            << c.codec << " " << c.channels;
    }
}

TEST_F(WavInteropTest, MpegLayer3InWavDecodesLikeThePeer) {
    struct Case {
        int channels;
        int sampleRate;
        const char* bitRate;
    };
    for (const Case c : {Case{2, 44100, "128k"}, Case{1, 22050, "32k"}, Case{2, 48000, "320k"}}) {
        const std::string file =
            FfmpegEncode("mp3.wav", std::string("-c:a libmp3lame -b:a ") + c.bitRate + " -f wav",
                         c.channels, c.sampleRate, 4);
        TWaveIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.GetChannels(), c.channels);
        EXPECT_EQ(in.GetSampleRate(), c.sampleRate);
        EXPECT_EQ(in.GetBitsPerSample(), 16);
        EXPECT_EQ(in.GetTotalTime(), 4);
        const std::vector<int16_t> ours = OurDecode(file);
        const std::vector<int16_t> theirs = FfmpegDecode(file);
        const size_t frames = ours.size() / c.channels;
        const size_t peerFrames = theirs.size() / c.channels;
        EXPECT_LE(std::max(frames, peerFrames) - std::min(frames, peerFrames), 1152u);
        EXPECT_GT(Correlation(ours, theirs, std::min(ours.size(), theirs.size())), 0.99);
    }
}

TEST_F(WavInteropTest, MpegLayer3InWavRunsThroughTheWriter) {
    const std::string file =
        FfmpegEncode("mp3.wav", "-c:a libmp3lame -b:a 96k -f wav", 2, 44100, 2);
    TWaveIn in;
    in.SetFileName(file);
    TWaveOut sink;
    sink.SetFileName(Name());
    sink.SetInput(&in);
    ASSERT_TRUE(test::RunSink(sink).done);
    const std::vector<int16_t> written = FfmpegDecode(Name());
    const std::vector<int16_t> theirs = FfmpegDecode(file);
    EXPECT_GT(Correlation(written, theirs, std::min(written.size(), theirs.size())), 0.99);
}

} // namespace
} // namespace quillon
