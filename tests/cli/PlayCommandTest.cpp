#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// Plays through an ALSA configuration of its own, whose default device writes what it plays
// to a file, so that no sound card is needed.
class PlayCommandTest : public ::testing::Test {
protected:
    int Quillon(const std::string& args, std::string& output, const std::string& device) {
        WriteText(dir.File("asound.conf"), device);
        const std::string command = "ALSA_CONFIG_PATH=" + Quote(dir.File("asound.conf")) +
                                    " XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                                    Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " " + args +
                                    " 2>&1";
        output = ShellOutput(command + "; echo \"exit=$?\"");
        const auto at = output.rfind("exit=");
        const int status = std::stoi(output.substr(at + 5));
        output.erase(at);
        return status;
    }

    static void WriteText(const std::string& file, const std::string& text) {
        WriteFileBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
    }

    std::string Capture() const {
        return "pcm.!default { type file slave.pcm { type null } file \"" + played +
               "\" format \"raw\" }\n";
    }

    TempDir dir;
    std::string played = dir.File("played.raw");
};

TEST_F(PlayCommandTest, PlaysFilesAndDiscTracksAsTheyAre) {
    const auto image = WriteDiscImage(dir.Path().string(), "disc", {{150}, {200}});
    const std::vector<uint8_t> stereo = AsBytes(Tone16(44100, 2, 44100 * 2 + 300));
    const std::vector<uint8_t> mono8 = Tone8(22050, 1, 30000);
    WriteFileBytes(dir.File("stereo.wav"), PcmWavBytes(44100, 16, 2, stereo));
    WriteFileBytes(dir.File("mono8.WAV"), PcmWavBytes(22050, 8, 1, mono8));
    const struct {
        std::string args;
        std::vector<uint8_t> sound;
        std::string clock; // the last line of the clock
    } cases[] = {
        {Quote(dir.File("stereo.wav")), stereo, "0:02 / 0:02"},
        {Quote(dir.File("mono8.WAV")), mono8, "0:01 / 0:01"},
        {"--drive " + Quote(image.sheet) + " --track 2", image.TrackBytes(2), "0:02 / 0:02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::filesystem::remove(played);
        std::string output;
        ASSERT_EQ(0, Quillon("play " + c.args, output, Capture())) << output;
        EXPECT_TRUE(ReadFileBytes(played) == c.sound) << ReadFileBytes(played).size();
        EXPECT_NE(std::string::npos, output.find("Playing ")) << output;
        EXPECT_NE(std::string::npos, output.find(c.clock + "\n")) << output;
    }
}

TEST_F(PlayCommandTest, RefusesWhatItCannotPlay) {
    WriteFileBytes(dir.File("a.wav"), PcmWavBytes(44100, 16, 2, AsBytes(Tone16(44100, 2, 100))));
    WriteFileBytes(dir.File("a.txt"), {'x'});
    const auto image = WriteDiscImage(dir.Path().string(), "disc", {{150}});
    const struct {
        std::string args, device;
        int status;
        std::string message;
    } cases[] = {
        {Quote(dir.File("a.wav")), "pcm.other { type null }\n", 1,
         "a.wav: Cannot open the playback device \"default\""},
        {Quote(dir.File("a.txt")), Capture(), 1, "a.txt: not a supported audio file"},
        {"--drive " + Quote(image.sheet) + " --track 2", Capture(), 1, "there is no track 2"},
        {"", Capture(), 2, "no file given"},
        {"--track 1 " + Quote(dir.File("a.wav")), Capture(), 2, "without --drive and --track"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string output;
        EXPECT_EQ(c.status, Quillon("play " + c.args, output, c.device)) << output;
        EXPECT_NE(std::string::npos, output.find(c.message)) << output;
    }
}

} // namespace
} // namespace quillon::test
