#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// Runs the command-line front end with a private settings folder.
class ConvertCommandTest : public ::testing::Test {
protected:
    int Quillon(const std::string& args, std::string* output = nullptr) {
        const std::string command = "XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                                    Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " " + args +
                                    " 2>&1";
        if (output != nullptr) {
            *output = ShellOutput(command + "; echo \"exit=$?\"");
            const auto at = output->rfind("exit=");
            return std::stoi(output->substr(at + 5));
        }
        return Shell(command + " >/dev/null");
    }

    std::string MakeWav(const std::string& name, int channels = 2) {
        const std::string file = dir.File(name);
        WriteFileBytes(file,
                       PcmWavBytes(22050, 16, channels, AsBytes(Tone16(22050, channels, 22050))));
        return file;
    }

    std::string OutSettings() {
        return "--set RipToFormat=WAV --set " + Quote("ConvFilePath=" + dir.File("out")) +
               " --set " + Quote("OutputFileNameFormat=<Track Number>");
    }

    TempDir dir;
};

TEST_F(ConvertCommandTest, ConvertsToPcmAndImaWav) {
    const std::string input = MakeWav("in.wav");
    std::string output;
    ASSERT_EQ(0, Quillon("convert " + Quote(input) + " " + OutSettings(), &output)) << output;
    EXPECT_EQ(ReadFileBytes(input), ReadFileBytes(dir.File("out/01.WAV")));
    EXPECT_NE(std::string::npos, output.find("in.wav: done")) << output;

    ASSERT_EQ(0, Quillon("convert " + Quote(input) + " " + OutSettings() +
                             " --wav-type ima --block-size 1024",
                         &output))
        << output;
    const auto ima = ReadFileBytes(dir.File("out/01.WAV"));
    ASSERT_GT(ima.size(), 60u);
    EXPECT_EQ(0x11, ima[20]) << "IMA ADPCM format tag";
    EXPECT_EQ(1024, ima[32] | ima[33] << 8) << "block align";
}

TEST_F(ConvertCommandTest, ReportsBadArgumentsAndFailedFiles) {
    const std::string input = MakeWav("in.wav");
    std::string output;
    EXPECT_EQ(0, Quillon("convert --help", &output));
    EXPECT_NE(std::string::npos, output.find("Usage: quillon convert")) << output;
    EXPECT_EQ(2, Quillon("convert " + Quote(input) + " --set NoSuch=1", &output));
    EXPECT_NE(std::string::npos, output.find("unknown setting")) << output;
    EXPECT_EQ(2, Quillon("convert " + Quote(input) + " --set RipToFormat=AAC", &output));
    EXPECT_EQ(2, Quillon("convert " + Quote(input) + " --block-size 510", &output));
    EXPECT_EQ(2, Quillon("convert", &output));
    EXPECT_EQ(2, Quillon("nosuchcommand", &output));

    const std::string broken = dir.File("broken.wav");
    WriteFileBytes(broken, {'R', 'I', 'F', 'F'});
    EXPECT_EQ(
        1, Quillon("convert " + Quote(broken) + " " + Quote(input) + " " + OutSettings(), &output));
    EXPECT_NE(std::string::npos, output.find("broken.wav: ")) << output;
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/02.WAV"))) << "the batch goes on";
}

TEST_F(ConvertCommandTest, WritesThePlaylistTheSettingsAskFor) {
    const std::string input = MakeWav("in.wav", 1);
    ASSERT_EQ(0,
              Quillon("convert " + Quote(input) + " " + OutSettings() + " --set SavePlayList=2"));
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
        found = found || entry.path().extension() == ".pls";
    }
    EXPECT_TRUE(found);
}

} // namespace
} // namespace quillon::test
