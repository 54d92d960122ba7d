#include "codecs/DX9In.h"

#include "codecs/AudioReadError.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

extern "C" {
#include <libavutil/error.h>
}

namespace quillon {
namespace {

using test::Quote;
using test::TempDir;

constexpr int kRate = 44100;
constexpr int kSecondBytes = kRate * 4;

// 16-bit stereo tone of the given length as a WAV file in the folder; returns its PCM.
std::vector<uint8_t> WriteToneWav(const std::string& file, double seconds) {
    const auto frames = static_cast<int64_t>(std::llround(seconds * kRate));
    std::vector<uint8_t> pcm = test::TonePcm(kRate, 16, 2, frames, 0.5);
    test::WriteFileBytes(file, test::PcmWavBytes(kRate, 16, 2, pcm));
    return pcm;
}

// The key=value lines ffprobe prints for the first audio stream.
std::map<std::string, std::string> Probe(const std::string& file) {
    std::istringstream lines(test::ShellOutput(
        "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,duration "
        "-of default=nw=1 " +
        Quote(file)));
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(lines, line);) {
        if (const auto at = line.find('='); at != std::string::npos) {
            values[line.substr(0, at)] = line.substr(at + 1);
        }
    }
    return values;
}

class DX9InTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("ffprobe") ||
            !test::HaveProgram("lame")) {
            GTEST_SKIP() << "ffmpeg, ffprobe and lame make the files";
        }
        pcm = WriteToneWav(wav, 3.7);
    }

    // Encodes the tone with an ffmpeg encoder and its options.
    std::string Encode(const std::string& name, const std::string& options) {
        const std::string file = dir.File(name);
        EXPECT_EQ(
            test::Shell("ffmpeg -v error -y -i " + Quote(wav) + " " + options + " " + Quote(file)),
            0);
        return file;
    }

    TempDir dir;
    std::string wav = dir.File("tone.wav");
    std::vector<uint8_t> pcm;
};

TEST_F(DX9InTest, DecodesEveryFormatToTheLengthTheContainerStates) {
    struct Case {
        std::string name;
        std::string file;
        int rate;
        // Sample frames the decoded length may differ by (the codec's delay and padding);
        // 0 for lossless files, whose samples must come back exactly.
        int64_t tolerance;
    };
    ASSERT_EQ(test::Shell("lame --quiet -b 128 " + Quote(wav) + " " + Quote(dir.File("a.mp3"))), 0);
    const std::vector<Case> cases = {
        {"MP3 (lame)", dir.File("a.mp3"), kRate, 2 * 1152},
        {"Ogg Vorbis", Encode("a.ogg", "-c:a libvorbis -q:a 4"), kRate, 1024},
        {"FLAC", Encode("a.flac", "-c:a flac"), kRate, 0},
        {"M4A (AAC)", Encode("a.m4a", "-c:a aac -b:a 128k"), kRate, 1024},
        {"Opus", Encode("a.opus", "-c:a libopus -b:a 96k"), 48000, 960},
        {"24-bit WAV", Encode("a24.wav", "-c:a pcm_s24le"), kRate, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto probed = Probe(c.file);
        ASSERT_TRUE(probed.count("duration") && probed.count("sample_rate"));
        const int64_t expected = std::llround(std::stod(probed.at("duration")) * c.rate);
        TDX9In in;
        in.SetFileName(c.file);
        EXPECT_EQ(in.GetSampleRate(), c.rate);
        EXPECT_EQ(in.GetChannels(), 2);
        EXPECT_EQ(in.GetBitsPerSample(), 16);
        EXPECT_EQ(in.OpenCount(), 0);
        const std::vector<uint8_t> out = test::ReadAll(in, 5000);
        EXPECT_TRUE(in.Valid());
        EXPECT_EQ(out.size() % 4, 0u);
        const auto frames = static_cast<int64_t>(out.size() / 4);
        EXPECT_LE(std::abs(frames - expected), c.tolerance) << frames << " vs " << expected;
        if (c.tolerance == 0) {
            EXPECT_TRUE(out == pcm);
        }
    }
}

TEST_F(DX9InTest, SizeCountsWholeSecondsButReadingDeliversTheWholeStream) {
    struct Case {
        double seconds;
        int64_t size;
    };
    for (const Case& c :
         std::vector<Case>{{3.7, 3 * kSecondBytes}, {2.0, 2 * kSecondBytes}, {0.8, 0}}) {
        SCOPED_TRACE(c.seconds);
        const std::string file = dir.File("len.wav");
        const std::vector<uint8_t> tone = WriteToneWav(file, c.seconds);
        TDX9In in;
        in.SetFileName(file);
        in.OpenFile();
        EXPECT_EQ(in.Size(), c.size);
        EXPECT_EQ(in.TotalSamples(), c.size);
        EXPECT_EQ(in.GetTotalTime(), static_cast<int>(c.size / kSecondBytes));
        in.CloseFile();
        EXPECT_TRUE(test::ReadAll(in, 32768) == tone);
    }
}

TEST_F(DX9InTest, SeekSampleTakesAByteOffsetAtTheNextRefill) {
    struct Case {
        const char* what;
        int64_t seekTo;
        int readBefore; // bytes read before the seek is requested
        int64_t resumesAt;
    };
    const std::string flac = Encode("s.flac", "-c:a flac");
    const std::vector<Case> cases = {
        {"one second", kSecondBytes, 0, kSecondBytes},
        {"0 requests nothing", 0, TDX9In::kBufferSize, TDX9In::kBufferSize},
        {"beyond Size is clamped to Size", 1 << 30, 0, 3 * kSecondBytes},
        {"back to the start", 4, TDX9In::kBufferSize, 4},
    };
    for (const std::string& file : {wav, flac}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(file + ": " + c.what);
            TDX9In in;
            in.SetFileName(file);
            in.Init();
            std::vector<uint8_t> buffer(TDX9In::kBufferSize);
            int done = 0;
            while (done < c.readBefore) {
                done += in.ReadBlock(buffer.data(), c.readBefore - done);
            }
            in.SeekSample(c.seekTo);
            std::vector<uint8_t> out;
            while (const int n = in.ReadBlock(buffer.data(), 4000)) {
                out.insert(out.end(), buffer.begin(), buffer.begin() + n);
            }
            EXPECT_EQ(in.Position(), static_cast<int64_t>(pcm.size()));
            in.Flush();
            EXPECT_TRUE(std::equal(out.begin(), out.end(), pcm.begin() + c.resumesAt, pcm.end()));
            EXPECT_EQ(out.size(), pcm.size() - static_cast<size_t>(c.resumesAt));
        }
    }
}

TEST_F(DX9InTest, LoopStartsAgainAtTheBeginning) {
    TDX9In in;
    in.SetFileName(wav);
    in.SetLoop(true);
    in.Init();
    const size_t wanted = 2 * pcm.size() + 50000;
    std::vector<uint8_t> out, buffer(7000);
    while (out.size() < wanted) {
        const int n = in.ReadBlock(buffer.data(), 7000);
        ASSERT_GT(n, 0);
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    in.Flush();
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const size_t from = i * pcm.size();
        const size_t n = std::min(pcm.size(), out.size() - from);
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + static_cast<long>(n),
                               out.begin() + static_cast<long>(from)));
    }
}

// What ffprobe says of a file it cannot open: the text after "<file>: " on its last line.
std::string ProbeError(const std::string& file) {
    std::string out = test::ShellOutput("ffprobe -v error " + Quote(file) + " 2>&1");
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    const std::string last = out.substr(out.rfind('\n') + 1);
    return last.rfind(file + ": ", 0) == 0 ? last.substr(file.size() + 2) : "";
}

TEST_F(DX9InTest, FailuresCarryFFmpegsCodeAndText) {
    test::WriteFileBytes(dir.File("text.mp3"), {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});
    ASSERT_EQ(test::Shell("ffmpeg -v error -y -f lavfi -i color=c=red:s=8x8 -frames:v 1 " +
                          Quote(dir.File("image.png"))),
              0);
    struct Case {
        std::string file;
        // The code and text expected; for files that FFmpeg cannot open, an FFmpeg error
        // code and the text ffprobe reports.
        uint32_t code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {dir.File("missing.mp3"), static_cast<uint32_t>(AVERROR(ENOENT)),
         "No such file or directory"},
        {dir.File("text.mp3"), 0, ""},
        {dir.File("image.png"), kAudioReadNoStream,
         "No stream can be found with the specified attributes."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string expected = c.message.empty() ? ProbeError(c.file) : c.message;
        ASSERT_NE(expected, "");
        TDX9In in;
        in.SetFileName(c.file);
        try {
            in.OpenFile();
            ADD_FAILURE() << "opened";
        } catch (const EAudioReadError& e) {
            if (c.code != 0) {
                EXPECT_EQ(e.Code(), c.code);
            }
            EXPECT_LT(static_cast<int32_t>(e.Code()), 0);
            EXPECT_EQ(std::string(e.what()), expected);
        }
        EXPECT_EQ(in.OpenCount(), 0);
    }
}

TEST_F(DX9InTest, ReaderAndSourceRefuseMisuse) {
    EXPECT_EQ(DX9InStartupProblem(), "");
    EXPECT_EQ(AudioReadErrorText(0x80040404), "One or more media streams don't support seeking.");
    EXPECT_EQ(AudioReadErrorText(0x12345678), "Unrecognized error value.");

    TAudioFileReader reader(wav);
    EXPECT_EQ(reader.Duration(), 37'000'000);
    uint8_t byte = 0;
    try {
        reader.Read(&byte, 0);
        ADD_FAILURE() << "read";
    } catch (const EAudioReadError& e) {
        EXPECT_EQ(e.Code(), kAudioReadInvalidBufferSize);
        EXPECT_STREQ(e.what(), "Invalid buffer size.");
    }

    TDX9In in;
    in.SetFileName(wav);
    try {
        in.ReadBlock(&byte, 1);
        ADD_FAILURE() << "read before Init";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The Stream is not opened");
    }
    // Nested opens share the reader; only the last close releases it.
    in.OpenFile();
    in.OpenFile();
    in.CloseFile();
    EXPECT_EQ(in.OpenCount(), 1);
    EXPECT_EQ(in.GetSampleRate(), kRate);
    in.CloseFile();
    EXPECT_EQ(in.OpenCount(), 0);
}

} // namespace
} // namespace quillon
