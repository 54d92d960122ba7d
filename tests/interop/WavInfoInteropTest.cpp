#include "fixtures/Fixtures.h"
#include "fixtures/TagBPeers.h"
#include "tags/WAVfile.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;

// WAV files as ffmpeg writes them: plain PCM, PCM with a LIST chunk of texts before the audio,
// IMA ADPCM with a fact chunk, and six channels in an extensible header.
TEST(WavInfoInteropTest, FfmpegFilesAgreeWithFfprobe) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    test::TempDir dir;
    struct Case {
        std::string name, options;
        uint16_t format;
        bool counted; // a fact chunk gives the sample count
    };
    const std::vector<Case> cases = {
        {"pcm.wav", "-ac 2 -c:a pcm_s16le", 1, false},
        {"list.wav", "-ac 1 -c:a pcm_s16le -metadata title=Listed -metadata artist=A", 1, false},
        {"u8.wav", "-ac 2 -ar 22050 -c:a pcm_u8", 1, false},
        {"ima.wav", "-ac 2 -c:a adpcm_ima_wav", 0x11, true},
        {"six.wav", "-ac 6 -c:a pcm_s16le", 0xFFFE, false},
    };
    for (const auto& c : cases) {
        const std::string file = dir.File(c.name);
        ASSERT_EQ(test::Shell("ffmpeg -v error -f lavfi -i sine=f=440:d=7 " + c.options + " " +
                              Quote(file)),
                  0);
        TWAVfile wav;
        ASSERT_TRUE(wav.ReadInfo(file)) << c.name;
        EXPECT_TRUE(wav.Valid()) << c.name;
        EXPECT_EQ(wav.FormatID(), c.format) << c.name;
        EXPECT_EQ(wav.SampleRate(), test::FfprobeNumber(file, "stream", "sample_rate")) << c.name;
        EXPECT_EQ(wav.ChannelNumber(), test::FfprobeNumber(file, "stream", "channels")) << c.name;
        EXPECT_EQ(wav.SampleNumber() > 0, c.counted) << c.name;
        const double duration = test::FfprobeNumber(file, "format", "duration");
        EXPECT_NEAR(wav.Duration(), duration, duration * 0.01) << c.name;
        // The header ends where the audio bytes begin: they fill the rest of the file.
        const auto bytes = test::ReadFileBytes(file);
        const size_t header = wav.HeaderSize();
        ASSERT_LE(header, bytes.size());
        EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(header) - 8,
                              bytes.begin() + static_cast<long>(header) - 4),
                  "data")
            << c.name;
    }
}

} // namespace
} // namespace quillon
