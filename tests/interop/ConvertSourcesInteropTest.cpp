#include "codecs/CodecLibraries.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "workflow/ConvertEngine.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace quillon {
namespace {

using test::Quote;
using test::Shell;
using test::ShellOutput;

constexpr int kRate = 44100;

// One value ffprobe gives for the first audio stream ("channels", "sample_rate", ...).
std::string ProbeValue(const std::string& file, const std::string& entry) {
    std::string value =
        ShellOutput("ffprobe -v error -select_streams a:0 -show_entries stream=" + entry +
                    " -of default=nw=1:nk=1 " + Quote(file));
    while (!value.empty() && value.back() == '\n') {
        value.pop_back();
    }
    return value;
}

// The sample frames ffmpeg decodes from a file.
int64_t DecodedFrames(const std::string& file) {
    const std::string bytes =
        ShellOutput("ffmpeg -v error -i " + Quote(file) + " -f s16le - | wc -c");
    const int channels = std::stoi(ProbeValue(file, "channels"));
    return std::stoll(bytes) / (2 * channels);
}

// Interleaved 16-bit samples that ffmpeg decodes from a file.
std::vector<int16_t> DecodedSamples(const std::string& file) {
    const std::string raw = ShellOutput("ffmpeg -v error -i " + Quote(file) + " -f s16le -");
    return test::AsSamples16(std::vector<uint8_t>(raw.begin(), raw.end()));
}

class ConvertSourcesInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "ffprobe", "lame"}) {
            if (!test::HaveProgram(tool)) {
                GTEST_SKIP() << tool << " makes and reads the files";
            }
        }
        LoadCodecLibraries();
        test::WriteFileBytes(
            tone, test::PcmWavBytes(kRate, 16, 2, test::TonePcm(kRate, 16, 2, 163170, 0.5)));
        settings.Set("ConvFilePath", dir.Path().string());
    }

    // Encodes the tone with ffmpeg into a file of that name.
    std::string Encode(const std::string& name, const std::string& options) {
        const std::string file = dir.File(name);
        EXPECT_EQ(Shell("ffmpeg -v error -y -i " + Quote(tone) + " " + options + " " + Quote(file)),
                  0);
        return file;
    }

    // Converts one file into output in the format of its extension; the failure's message, or
    // "" when the file converted.
    std::string Convert(const std::string& input, const std::string& output,
                        const std::string& format) {
        settings.Set("RipToFormat", format);
        std::vector<ConvertRow> rows(1);
        rows[0].FileName = input;
        rows[0].OutputFileName = output;
        std::string message;
        engine.OnFileFailed = [&](int, const std::string& m) { message = m; };
        const ConvertSummary summary = engine.Convert(rows, settings);
        if (message.empty() && summary.converted != 1) {
            message = "not converted";
        }
        return message;
    }

    test::TempDir dir;
    std::string tone = dir.File("tone.wav");
    Settings settings;
    TConvertEngine engine;
};

// Every kind of input the converter takes reaches a WAV and a FLAC output with the samples
// that ffmpeg decodes from it, give or take the codec's delay. Files of other kinds named .wma
// go to FFmpeg by that name, which then reads what they hold; WAV files that the WAV reader
// does not decode go to FFmpeg by themselves.
TEST_F(ConvertSourcesInteropTest, EveryInputReachesWavAndFlacWithItsSamples) {
    ASSERT_EQ(Shell("lame --quiet -b 128 " + Quote(tone) + " " + Quote(dir.File("in.mp3"))), 0);
    test::WriteFileBytes(dir.File("plain24.wav"),
                         test::PcmWavBytes(kRate, 24, 2, test::TonePcm(kRate, 24, 2, 50000)));
    struct Case {
        std::string name;
        std::string file;
        int64_t tolerance; // sample frames
        int channels, rate;
    };
    const std::vector<Case> cases = {
        {"MP3 (lame)", dir.File("in.mp3"), 2 * 1152, 2, kRate},
        {"WMA", Encode("in.wma", "-c:a wmav2 -b:a 128k"), 2 * 2048, 2, kRate},
        {"M4A named .wma", Encode("aac.wma", "-f mp4 -c:a aac -b:a 128k"), 2 * 1024, 2, kRate},
        {"Opus named .wma", Encode("opus.wma", "-f ogg -c:a libopus -b:a 96k"), 960, 2, 48000},
        {"24-bit extensible WAV", Encode("ext24.wav", "-c:a pcm_s24le"), 0, 2, kRate},
        {"24-bit plain WAV", dir.File("plain24.wav"), 0, 2, kRate},
        {"float WAV", Encode("float.wav", "-c:a pcm_f32le"), 0, 2, kRate},
        {"6-channel WAV", Encode("six.wav", "-af 'pan=5.1|c0=c0|c1=c1|c2=c0|c3=c1|c4=c0|c5=c1'"), 0,
         6, kRate},
    };
    for (const Case& c : cases) {
        const int64_t expected = DecodedFrames(c.file);
        ASSERT_GT(expected, kRate) << c.name;
        for (const std::string format : {"WAV", "FLAC"}) {
            SCOPED_TRACE(c.name + " -> " + format);
            const std::string output = c.file + "." + format;
            ASSERT_EQ(Convert(c.file, output, format), "");
            EXPECT_EQ(ProbeValue(output, "channels"), std::to_string(c.channels));
            EXPECT_EQ(ProbeValue(output, "sample_rate"), std::to_string(c.rate));
            const int64_t frames = DecodedFrames(output);
            EXPECT_LE(std::abs(frames - expected), c.tolerance) << frames << " vs " << expected;
        }
    }
}

// An 8-bit mono file is widened to 16 bits and then spread over both channels: the MP3 is
// stereo with the same tone on both sides, and as long as the input.
TEST_F(ConvertSourcesInteropTest, EightBitMonoBecomesSixteenBitStereo) {
    const std::string input = dir.File("mono8.wav");
    constexpr int64_t kFrames = 3 * kRate;
    test::WriteFileBytes(input, test::PcmWavBytes(kRate, 8, 1, test::Tone8(kRate, 1, kFrames)));
    const std::string output = dir.File("mono8.mp3");
    ASSERT_EQ(Convert(input, output, "MP3"), "");
    EXPECT_EQ(ProbeValue(output, "channels"), "2");
    const std::vector<int16_t> samples = DecodedSamples(output);
    EXPECT_LE(std::abs(static_cast<int64_t>(samples.size() / 2) - kFrames), 2 * 1152);
    int peak = 0;
    int sideways = 0;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        sideways = std::max(sideways, std::abs(samples[i] - samples[i + 1]));
    }
    // The 8-bit tone at 16 bits: well above the 8-bit range, well below full scale.
    EXPECT_GT(peak, 4000);
    EXPECT_LT(peak, 32000);
    EXPECT_LT(sideways, 400);
}

// Inputs the converter cannot take fail with a message of their own and leave no output: an
// unknown kind, a file the APE library refuses (with its text), and a file FFmpeg cannot open,
// whose failure comes from the sink with FFmpeg's text.
TEST_F(ConvertSourcesInteropTest, UnreadableInputsFailWithTheirReason) {
    const std::string text = dir.File("text.mp3");
    test::WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});
    std::string ffmpegText =
        ShellOutput("ffprobe -v error " + Quote(text) + " 2>&1 | tail -n 1 | sed 's|^.*: ||'");
    while (!ffmpegText.empty() && ffmpegText.back() == '\n') {
        ffmpegText.pop_back();
    }
    ASSERT_FALSE(ffmpegText.empty());
    test::WriteFileBytes(dir.File("a.ape"), {'M', 'A', 'C', ' '});
    const struct {
        std::string input, message;
    } cases[] = {
        {tone + ".aiff", "Unsupported audio format"},
        {dir.File("a.ape"), "MACDll error: invalid input file"},
        {text, ffmpegText},
    };
    std::filesystem::copy_file(tone, tone + ".aiff");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string output = dir.File("out.flac");
        EXPECT_EQ(Convert(c.input, output, "FLAC"), c.message);
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

} // namespace
} // namespace quillon
