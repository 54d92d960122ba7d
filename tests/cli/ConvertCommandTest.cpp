#include "fixtures/Fixtures.h"

#include <filesystem>
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
    EXPECT_NE(std::string::npos, output.find("in.wav -> " + dir.File("out") + "/01.WAV\n"))
        << output;

    ASSERT_EQ(0, Quillon("convert " + Quote(input) + " " + OutSettings() +
                             " --wav-type ima --block-size 1024",
                         &output))
        << output;
    const auto ima = ReadFileBytes(dir.File("out/01.WAV"));
    ASSERT_GT(ima.size(), 60u);
    EXPECT_EQ(0x11, ima[20]) << "IMA ADPCM format tag";
    EXPECT_EQ(1024, ima[32] | ima[33] << 8) << "block align";
}

// A file that fails is reported without an output name, keeps its position's number, and
// the batch goes on; the summary counts each kind of outcome.
TEST_F(ConvertCommandTest, ReportsFailedAndSkippedFilesAndSumsUp) {
    const std::string input = MakeWav("in.wav");
    std::string output;
    EXPECT_EQ(0, Quillon("convert --help", &output));
    EXPECT_NE(std::string::npos, output.find("Usage: quillon convert")) << output;

    const std::string broken = dir.File("broken.wav");
    WriteFileBytes(broken, {'R', 'I', 'F', 'F'});
    const std::string files = Quote(broken) + " " + Quote(input);
    EXPECT_EQ(1, Quillon("convert " + files + " " + OutSettings(), &output));
    EXPECT_NE(std::string::npos, output.find("quillon convert: " + broken + ": ")) << output;
    EXPECT_EQ(std::string::npos, output.find("01.WAV")) << "a failed file names no output";
    EXPECT_NE(std::string::npos, output.find("in.wav -> " + dir.File("out/02.WAV"))) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/01.WAV")));
    EXPECT_NE(std::string::npos, output.find("\n1 converted, 1 failed, 0 skipped in 0:0"))
        << output;

    // --no-clobber keeps what exists; without it, outputs are replaced.
    WriteFileBytes(dir.File("out/02.WAV"), {'k', 'e', 'e', 'p'});
    EXPECT_EQ(0, Quillon("convert -n " + Quote(input) + " " + Quote(input) + " " + OutSettings(),
                         &output));
    EXPECT_EQ((std::vector<uint8_t>{'k', 'e', 'e', 'p'}), ReadFileBytes(dir.File("out/02.WAV")));
    EXPECT_NE(std::string::npos,
              output.find("in.wav: skipped, " + dir.File("out/02.WAV") + " exists\n"))
        << output;
    EXPECT_NE(std::string::npos, output.find("1 converted, 0 failed, 1 skipped in ")) << output;
    EXPECT_EQ(0, Quillon("convert -q " + Quote(input) + " " + Quote(input) + " " + OutSettings(),
                         &output));
    EXPECT_EQ("exit=0\n", output) << "--quiet prints errors only";
    EXPECT_EQ(ReadFileBytes(input), ReadFileBytes(dir.File("out/02.WAV")));
}

// An input that passes the checks but cannot be read (here a file whose every read is an
// I/O error) fails alone; an empty output folder, or none for want of a home folder, is refused
// before anything is written.
TEST_F(ConvertCommandTest, InputAndFolderFailuresStayContained) {
    const std::string input = MakeWav("in.wav");
    const std::string failing = dir.File("failing.ogg");
    std::filesystem::create_symlink("/proc/self/mem", failing);
    std::string output;
    EXPECT_EQ(1, Quillon("convert " + Quote(failing) + " " + Quote(input) + " " + OutSettings(),
                         &output));
    EXPECT_NE(std::string::npos, output.find("quillon convert: " + failing + ": ")) << output;
    EXPECT_NE(std::string::npos, output.find("in.wav -> " + dir.File("out/02.WAV"))) << output;

    for (const std::string folder : {"", " "}) {
        EXPECT_EQ(2, Quillon("convert " + Quote(input) + " --set RipToFormat=WAV --set " +
                                 Quote("ConvFilePath=" + folder),
                             &output));
        EXPECT_NE(std::string::npos, output.find("ConvFilePath is empty")) << output;
    }
    EXPECT_FALSE(std::filesystem::exists("/01--.WAV"));
    const std::string withoutHome = ShellOutput(
        "env -u HOME XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
        Quote(std::string(QUILLON_BIN_DIR) + "/quillon") + " settings get ConvFilePath");
    EXPECT_NE(withoutHome.substr(0, 2), "//") << withoutHome;
    EXPECT_NE(withoutHome.find("/Music/"), std::string::npos) << withoutHome;
}

// -o names the output of a single input; its ending, or else RipToFormat, is the format.
TEST_F(ConvertCommandTest, WritesTheNamedOutput) {
    const std::string input = MakeWav("in.wav");
    const struct {
        std::string name;
        std::string settings;
        std::vector<uint8_t> magic;
    } cases[] = {
        {"sub/named.wav", "", {'R', 'I', 'F', 'F'}},
        {"named.FLAC", "--set RipToFormat=WAV", {'f', 'L', 'a', 'C'}},
        {"noending", "--set RipToFormat=OGG", {'O', 'g', 'g', 'S'}},
        {"-dash.wav", "", {'R', 'I', 'F', 'F'}},
    };
    for (const auto& c : cases) {
        std::string output;
        const std::string target = dir.File(c.name);
        ASSERT_EQ(0,
                  Quillon("convert " + c.settings + " -o " + Quote(target) + " -- " + Quote(input),
                          &output))
            << c.name << "\n"
            << output;
        const auto bytes = ReadFileBytes(target);
        ASSERT_GE(bytes.size(), 4u) << c.name;
        EXPECT_EQ(c.magic, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4)) << c.name;
    }
}

// The playlist lists the files that were written, not the ones that failed.
TEST_F(ConvertCommandTest, WritesThePlaylistOfTheConvertedFiles) {
    const std::string input = MakeWav("in.wav", 1);
    WriteFileBytes(dir.File("broken.wav"), {'R', 'I', 'F', 'F'});
    ASSERT_EQ(1, Quillon("convert " + Quote(dir.File("broken.wav")) + " " + Quote(input) + " " +
                         OutSettings() + " --set SavePlayList=PLS"));
    std::string playlist;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
        if (entry.path().extension() == ".pls") {
            const auto bytes = ReadFileBytes(entry.path().string());
            playlist.assign(bytes.begin(), bytes.end());
        }
    }
    EXPECT_NE(std::string::npos, playlist.find("NumberOfEntries=1")) << playlist;
    EXPECT_NE(std::string::npos, playlist.find("02.WAV")) << playlist;
    EXPECT_EQ(std::string::npos, playlist.find("01.WAV")) << playlist;
}

} // namespace
} // namespace quillon::test
