#include "codecs/WMAOut.h"

#include "codecs/WMAProfile.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::TempDir;

const std::string kProfiles = std::string(QUILLON_BIN_DIR) + "/Profiles";

std::string Profile(const std::string& name) {
    return kProfiles + "/" + name + ".prx";
}

// The shipped profiles are what the options list shows: position 9, the setting's default,
// must be the 128 kbit/s stereo profile, and every profile must be usable.
TEST(WmaProfileTest, ShippedProfilesInNameOrder) {
    const std::vector<std::string> names = WmaProfileNames(kProfiles);
    ASSERT_GE(names.size(), 10u);
    EXPECT_EQ(names[0], "WMA 32 kbps mono");
    EXPECT_EQ(names[9], "WMA 128 kbps stereo");
    EXPECT_EQ(WmaProfileFile(kProfiles, 9), Profile("WMA 128 kbps stereo"));
    EXPECT_EQ(WmaProfileFile(kProfiles, static_cast<int>(names.size())), kProfiles + "/.prx");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto text = ReadWmaProfileText(Profile(name));
        ASSERT_TRUE(text);
        const auto format = ParseWmaProfile(*text);
        ASSERT_TRUE(format);
        EXPECT_EQ(format->sampleRate, 44100);
        EXPECT_EQ(format->channels, name.ends_with("mono") ? 1 : 2);
        EXPECT_EQ(format->bitRate, std::stoi(name.substr(4)) * 1000);
    }
}

TEST(WmaProfileTest, ParsesTheWaveFormatOrRefuses) {
    struct Case {
        std::string text;
        bool usable;
        int rate, channels, bitRate;
    };
    const std::vector<Case> cases = {
        {"<profile><WaveFormatEx nChannels='1' nSamplesPerSec = \"22050\" "
         "nAvgBytesPerSec=\"4000\"/></profile>",
         true, 22050, 1, 32000},
        {"<waveformatex nChannels=\"2\" nSamplesPerSec=\"44100\">", false, 0, 0, 0},
        {"<waveformatex nChannels=\"6\" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"16000\">", false,
         0, 0, 0},
        {"<waveformatex nChannels=\"2\" nSamplesPerSec=\"44x\" nAvgBytesPerSec=\"16000\">", false,
         0, 0, 0},
        {"<waveformatex nChannels=\"2\" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"16000", false, 0,
         0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto format = ParseWmaProfile(c.text);
        ASSERT_EQ(format.has_value(), c.usable);
        if (format) {
            EXPECT_EQ(format->sampleRate, c.rate);
            EXPECT_EQ(format->channels, c.channels);
            EXPECT_EQ(format->bitRate, c.bitRate);
        }
    }
}

class WMAOutTest : public ::testing::Test {
protected:
    test::RunResult Encode(TWMA_Out& sink, int rate, int bits, int channels, double seconds) {
        sink.SetFileName(file);
        sink.OnLog = [this](const std::string& line) { log += line; };
        sink.OnWriteSample = [this](int64_t time, int bytes) {
            times.push_back(time);
            sizes.push_back(bytes);
        };
        test::PcmMemorySource source(
            rate, bits, channels,
            test::TonePcm(rate, bits, channels, static_cast<int64_t>(seconds * rate)), 1 << 20);
        return test::RunToEnd(sink, source);
    }

    TempDir dir;
    std::string file = dir.File("out.wma");
    std::string log;
    std::vector<int64_t> times;
    std::vector<int> sizes;
};

// One pass reads one second at 44100 Hz (never more than 176400 bytes) and counts its sample
// time as 16-bit stereo at 44100 Hz, whatever the input is.
TEST_F(WMAOutTest, BlocksAndSampleTimes) {
    struct Case {
        int rate, bits, channels;
        double seconds;
        std::vector<int64_t> times;
        std::vector<int> sizes;
    };
    const std::vector<Case> cases = {
        {44100,
         16,
         2,
         10,
         {0, 10'000'000, 20'000'000, 30'000'000, 40'000'000, 50'000'000, 60'000'000, 70'000'000,
          80'000'000, 90'000'000},
         std::vector<int>(10, 176400)},
        {44100, 24, 2, 1, {0, 10'000'000}, {176400, 88200}},
        {48000, 32, 2, 0.5, {0, 10'000'000}, {176400, 15600}},
        {22050, 16, 1, 3, {0, 5'000'000}, {88200, 44100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits");
        times.clear();
        sizes.clear();
        log.clear();
        TWMA_Out sink;
        sink.SetProfileFile(Profile("WMA 128 kbps stereo"));
        const test::RunResult result = Encode(sink, c.rate, c.bits, c.channels, c.seconds);
        ASSERT_TRUE(result.done) << result.error;
        EXPECT_EQ(times, c.times);
        EXPECT_EQ(sizes, c.sizes);
        EXPECT_EQ(log, "Creating the Writer...\r\nRecompression finished.\r\n");
        EXPECT_TRUE(std::filesystem::is_regular_file(file));
    }
}

// A run whose profile gives no format fails with a clear message and leaves no file; only the
// first 3000 bytes of a profile count.
TEST_F(WMAOutTest, ProfilesThatGiveNoFormatFailTheRun) {
    const std::string format = "<waveformatex nChannels=\"2\" nSamplesPerSec=\"44100\" "
                               "nAvgBytesPerSec=\"16000\" nBlockAlign=\"743\"/>";
    const std::string padding = "<!--" + std::string(3000, '-') + "-->";
    struct Case {
        const char* name;
        std::string content; // empty: no file
        std::string error;   // empty: the run succeeds
    };
    const std::vector<Case> cases = {
        {"missing", "", "could not be read"},
        {"beyond the first 3000 bytes", "<profile>" + padding + format + "</profile>",
         "holds no usable audio format"},
        {"long, format in the first 3000 bytes", "<profile>" + format + padding + "</profile>", ""},
        {"not a profile", "RIFF", "holds no usable audio format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        std::filesystem::remove(file);
        const std::string profile = dir.File("p.prx");
        std::filesystem::remove(profile);
        if (!c.content.empty()) {
            test::WriteFileBytes(profile, {c.content.begin(), c.content.end()});
        }
        TWMA_Out sink;
        sink.SetProfileFile(profile);
        const test::RunResult result = Encode(sink, 44100, 16, 2, 0.5);
        if (c.error.empty()) {
            EXPECT_TRUE(result.done) << result.error;
            EXPECT_TRUE(std::filesystem::is_regular_file(file));
            continue;
        }
        EXPECT_FALSE(result.done);
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(profile), std::string::npos) << result.error;
        EXPECT_EQ(log, "Creating the Writer...\r\nCould not create the Writer for file " + file +
                           " (hr=" + (c.content.empty() ? "0xfffffffe" : "0xbebbb1b7") + ").\r\n");
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_EQ(dir.Count(), c.content.empty() ? 0 : 1);
    }
}

} // namespace
} // namespace quillon
