#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "tags/MPEGaudio.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::HaveProgram;
using test::Quote;
using test::Shell;

struct Encoding {
    const char* name;
    const char* program;
    // The command; %in and %out stand for the WAV and the MPEG file.
    const char* command;
    int sampleRate;
    int channels;
    const char* version;
    const char* layer;
    bool vbr;
    int bitRate; // the table bit rate of a constant-rate stream, 0 for VBR
};

std::string Expand(std::string command, const std::string& in, const std::string& out) {
    command.replace(command.find("%in"), 3, Quote(in));
    command.replace(command.find("%out"), 4, Quote(out));
    return command;
}

// Audio bytes over the peer's duration, for comparing average bit rates.
double PeerBitRate(double duration, const TMPEGaudio& info) {
    const double audio = static_cast<double>(info.FileLength() - info.ID3v2().Size() -
                                             (info.ID3v1().Exists() ? 128 : 0));
    return audio * 8 / duration / 1000;
}

TEST(MpegInteropTest, DurationsAndBitRatesAgreeWithFfprobe) {
    if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg/ffprobe not installed";
    }
    const Encoding encodings[] = {
        {"lame CBR", "lame", "lame --quiet -b 128 %in %out", 44100, 2, "MPEG 1", "Layer III", false,
         128},
        {"lame CBR mono", "lame", "lame --quiet -b 64 -m m %in %out", 44100, 1, "MPEG 1",
         "Layer III", false, 64},
        {"lame VBR", "lame", "lame --quiet -V 2 %in %out", 44100, 2, "MPEG 1", "Layer III", true,
         0},
        {"lame VBR mono", "lame", "lame --quiet -V 5 -m m %in %out", 44100, 1, "MPEG 1",
         "Layer III", true, 0},
        {"lame ABR", "lame", "lame --quiet --abr 96 %in %out", 44100, 2, "MPEG 1", "Layer III",
         true, 0},
        {"lame MPEG 2 VBR", "lame", "lame --quiet -V 6 --resample 22.05 %in %out", 44100, 2,
         "MPEG 2", "Layer III", true, 0},
        {"lame MPEG 2.5 CBR", "lame", "lame --quiet -b 32 --resample 11.025 %in %out", 44100, 2,
         "MPEG 2.5", "Layer III", false, 32},
        {"ffmpeg VBR", "ffmpeg",
         "ffmpeg -v error -y -i %in -c:a libmp3lame -q:a 3 -metadata title=T %out", 44100, 2,
         "MPEG 1", "Layer III", true, 0},
        {"ffmpeg MPEG 2 CBR", "ffmpeg",
         "ffmpeg -v error -y -i %in -ar 22050 -c:a libmp3lame -b:a 64k %out", 44100, 2, "MPEG 2",
         "Layer III", false, 64},
        // At low rates the header frame needs a higher bit rate than the audio frames.
        {"ffmpeg MPEG 2 CBR 32 kbit/s", "ffmpeg",
         "ffmpeg -v error -y -i %in -ar 22050 -c:a libmp3lame -b:a 32k %out", 44100, 2, "MPEG 2",
         "Layer III", false, 32},
        {"ffmpeg MPEG 2.5 CBR 16 kbit/s", "ffmpeg",
         "ffmpeg -v error -y -i %in -ar 11025 -c:a libmp3lame -b:a 16k %out", 44100, 2, "MPEG 2.5",
         "Layer III", false, 16},
        {"ffmpeg Layer II", "ffmpeg", "ffmpeg -v error -y -i %in -c:a mp2 -b:a 192k -f mp2 %out",
         48000, 2, "MPEG 1", "Layer II", false, 192},
        {"ffmpeg MPEG 2 Layer II", "ffmpeg",
         "ffmpeg -v error -y -i %in -ar 22050 -c:a mp2 -b:a 64k -f mp2 %out", 44100, 2, "MPEG 2",
         "Layer II", false, 64},
    };
    test::TempDir dir;
    for (const Encoding& e : encodings) {
        if (!HaveProgram(e.program)) {
            ADD_FAILURE() << e.program << " not installed";
            continue;
        }
        const std::string wav = dir.File("in.wav");
        const std::string mp3 = dir.File("out.mp3");
        test::WriteTestWav(wav, e.sampleRate, e.channels, 30);
        ASSERT_EQ(Shell(Expand(e.command, wav, mp3)), 0) << e.name;
        const double peerDuration = test::ProbeDuration(mp3);
        ASSERT_GT(peerDuration, 0) << e.name;

        TMPEGaudio info;
        ASSERT_TRUE(info.ReadInfo(mp3)) << e.name;
        EXPECT_TRUE(info.Valid()) << e.name;
        EXPECT_EQ(info.Version(), e.version) << e.name;
        EXPECT_EQ(info.Layer(), e.layer) << e.name;
        EXPECT_EQ(info.VBR().Found, e.vbr) << e.name;
        EXPECT_NEAR(info.Duration(), peerDuration, peerDuration * 0.01)
            << e.name << ": ours " << info.Duration() << " s, ffprobe " << peerDuration;
        if (e.vbr) {
            const double peerRate = PeerBitRate(peerDuration, info);
            EXPECT_NEAR(info.BitRate(), peerRate, peerRate * 0.01 + 0.5)
                << e.name << ": ours " << info.BitRate() << " kbit/s, from the file " << peerRate;
        } else {
            EXPECT_EQ(info.BitRate(), e.bitRate) << e.name;
        }
        if (std::string(e.program) == "lame" && e.vbr) {
            EXPECT_EQ(info.Encoder().substr(0, 4), "LAME") << e.name;
        }
    }
}

} // namespace
} // namespace quillon
