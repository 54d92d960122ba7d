#include "fixtures/Fixtures.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// Runs a copy of the front end and returns its exit status, with its output in `output`.
int RunProgram(const std::string& program, const std::string& args, std::string& output) {
    output = ShellOutput(Quote(program) + " " + args + " 2>&1; echo \"exit=$?\"");
    return std::stoi(output.substr(output.rfind("exit=") + 5));
}

TEST(FrontEndTest, ListsItsOwnAndTheHandedOverCommands) {
    std::string output;
    ASSERT_EQ(0, RunProgram(std::string(QUILLON_BIN_DIR) + "/quillon", "--help", output));
    const auto convert = output.find("  convert ");
    const auto info = output.find("  info ");
    const auto tag = output.find("  tag ");
    ASSERT_NE(std::string::npos, convert) << output;
    ASSERT_NE(std::string::npos, info) << output;
    ASSERT_NE(std::string::npos, tag) << output;
    EXPECT_TRUE(convert < info && info < tag) << output;
}

// Without the workflow program beside it, the front end still runs its own commands and names
// the missing program for the others.
TEST(FrontEndTest, WithoutTheWorkflowProgramRunsItsOwnCommandsAndSaysWhatIsMissing) {
    TempDir dir;
    const std::string alone = dir.File("quillon");
    std::filesystem::copy_file(std::string(QUILLON_BIN_DIR) + "/quillon", alone);
    const std::string wav = dir.File("tone.wav");
    WriteFileBytes(wav, PcmWavBytes(8000, 16, 1, AsBytes(Tone16(8000, 1, 8000))));

    std::string output;
    EXPECT_EQ(0, RunProgram(alone, "info " + Quote(wav), output)) << output;
    EXPECT_NE(std::string::npos, output.find("MPEG.SampleRate: 8000 hz")) << output;

    EXPECT_EQ(127, RunProgram(alone, "convert " + Quote(wav), output));
    EXPECT_NE(std::string::npos,
              output.find("quillon: cannot start " + dir.File("quillon-workflow") +
                          ": No such file or directory"))
        << output;
    EXPECT_EQ(2, RunProgram(alone, "nosuchcommand", output));
}

} // namespace
} // namespace quillon::test
