#include "codecs/MP3Out.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "workflow/SinkSetup.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace quillon {
namespace {

using test::Quote;

// What mutagen reads from an MP3 file, one "key=value" line each.
constexpr const char* kMutagenScript = R"(
import sys
from mutagen.mp3 import MP3
from mutagen.id3 import ID3
f = MP3(sys.argv[1])
print("length=%.6f" % f.info.length)
print("bitrate=%d" % f.info.bitrate)
print("sample_rate=%d" % f.info.sample_rate)
print("mode=%d" % f.info.mode)
print("channels=%d" % f.info.channels)
t = ID3(sys.argv[1])
print("version=%d.%d" % t.version[:2])
for key in ("TIT2", "TPE1", "TALB", "TDRC", "TRCK", "TCON"):
    print("%s=%s" % (key, t[key].text[0] if key in t else ""))
comments = t.getall("COMM")
print("COMM=%s" % (comments[0].text[0] if comments else ""))
)";

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

class Mp3OutInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffprobe") || test::Shell("/usr/bin/python3 -c 'import mutagen'")) {
            GTEST_SKIP() << "ffprobe or mutagen is not installed";
        }
        test::WriteFileBytes(
            script, std::vector<uint8_t>(kMutagenScript, kMutagenScript + strlen(kMutagenScript)));
    }

    std::map<std::string, std::string> Mutagen(const std::string& file) {
        return KeyValues(
            test::ShellOutput("/usr/bin/python3 " + Quote(script) + " " + Quote(file)));
    }

    // The playing time ffprobe gives: the stream's duration less the encoder delay that its
    // start time skips.
    double FfprobeDuration(const std::string& file) {
        const auto values =
            KeyValues(test::ShellOutput("ffprobe -v error -select_streams a:0 -show_entries "
                                        "stream=duration,start_time -of default=nw=1 " +
                                        Quote(file)));
        return std::stod(values.at("duration")) - std::stod(values.at("start_time"));
    }

    test::TempDir dir;
    std::string script = dir.File("read_mp3.py");
};

TEST_F(Mp3OutInteropTest, DurationRateAndModeAreWhatPeersRead) {
    struct Case {
        const char* name;
        int channels, inputRate;
        std::function<void(TMP3Out&)> configure;
        int bitrate, sampleRate, mode; // mutagen: 0 stereo, 1 joint, 2 dual, 3 mono
    };
    const std::vector<Case> cases = {
        {"128 CBR", 2, 44100, [](TMP3Out&) {}, 128000, 44100, 0},
        {"192 joint 48k", 2, 48000,
         [](TMP3Out& s) {
             s.SetBitRate(TMP3BitRate::br192);
             s.SetMode(TMP3Mode::JOINT_STEREO);
         },
         192000, 48000, 1},
        {"mono 32k", 1, 44100,
         [](TMP3Out& s) {
             s.SetMode(TMP3Mode::MONO);
             s.SetBitRate(TMP3BitRate::br64);
             s.SetSampleRate(TMP3SampleRate::sr32kHz);
         },
         64000, 32000, 3},
        {"VBR with header", 2, 44100,
         [](TMP3Out& s) {
             s.SetEnableVBR(true);
             s.SetWriteVBRHeader(true);
             s.SetVBRQuality(TMP3Quality::ql2);
         },
         0, 44100, 0},
    };
    constexpr double kSeconds = 7.3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.File("out.mp3");
        TMP3Out sink;
        c.configure(sink);
        sink.SetFileName(file);
        const auto frames = static_cast<int64_t>(kSeconds * c.inputRate);
        test::PcmMemorySource source(c.inputRate, 16, c.channels,
                                     test::TonePcm(c.inputRate, 16, c.channels, frames));
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
        const auto info = Mutagen(file);
        const double frame = 1152.0 / c.sampleRate;
        EXPECT_NEAR(std::stod(info.at("length")), kSeconds, frame);
        EXPECT_NEAR(FfprobeDuration(file), kSeconds, frame);
        if (c.bitrate != 0) {
            EXPECT_NEAR(std::stoi(info.at("bitrate")), c.bitrate, c.bitrate / 100);
        }
        EXPECT_EQ(std::stoi(info.at("sample_rate")), c.sampleRate);
        EXPECT_EQ(std::stoi(info.at("mode")), c.mode);
    }
}

// A converted or ripped file gets an ID3v2.3 tag with the full texts in front of its audio,
// and its Info frame (exact length) still follows that tag.
TEST_F(Mp3OutInteropTest, TheSinkSetUpForConversionsWritesFullTextsAndAnExactLength) {
    const std::string file = dir.File("tagged.mp3");
    SinkRequest request;
    request.format = "MP3";
    request.fileName = file;
    request.tags = {"\u30cf\u30c3\u30d4\u30fc\u30fb\u30dc\u30fc\u30a4\u30ba",
                    "\u0391\u03ba\u03bf\u03c5\u03b1",
                    "Aquarium \u00e9t\u00e9",
                    "1997",
                    "Dance",
                    "\u0417\u0430\u043c\u0435\u0442\u043a\u0430 \U0001F3B5"};
    request.trackNumber = 3;
    const Settings settings;
    std::unique_ptr<TPcmFileOut> sink = MakeSink(request, settings);
    ASSERT_NE(sink, nullptr);
    constexpr double kSeconds = 2.5;
    test::PcmMemorySource source(
        44100, 16, 2, test::TonePcm(44100, 16, 2, static_cast<int64_t>(kSeconds * 44100)));
    ASSERT_EQ(test::RunToEnd(*sink, source).error, "");
    const auto tags = Mutagen(file);
    EXPECT_EQ(tags.at("version"), "2.3");
    EXPECT_EQ(tags.at("TIT2"), request.tags.Title);
    EXPECT_EQ(tags.at("TPE1"), request.tags.Artist);
    EXPECT_EQ(tags.at("TALB"), request.tags.Album);
    EXPECT_EQ(tags.at("TDRC"), "1997");
    EXPECT_EQ(tags.at("TRCK"), "3");
    EXPECT_EQ(tags.at("COMM"), request.tags.Comment);
    EXPECT_EQ(tags.at("TCON"), "Dance");
    EXPECT_NEAR(std::stod(tags.at("length")), kSeconds, 1.0 / 44100 + 1e-6);
    EXPECT_NEAR(FfprobeDuration(file), kSeconds, 1152.0 / 44100);
    // LAME's ID3v1 record keeps what Latin-1 holds of the texts.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(file);
    const std::string v1(bytes.end() - 128, bytes.end());
    EXPECT_EQ(v1.substr(0, 3), "TAG");
    EXPECT_EQ(v1.substr(63, 12), "Aquarium \xE9t\xE9");
}

} // namespace
} // namespace quillon
