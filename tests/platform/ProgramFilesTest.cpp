#include "platform/ProgramFiles.h"

#include "fixtures/Fixtures.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// The build tree keeps everything beside the programs; the installed tree splits it up and
// each program finds it relative to its own folder.
TEST(ProgramFilesTest, FindsFilesBesideTheProgramThenInTheInstalledLayout) {
    TempDir dir;
    const std::string root = dir.Path().string();
    for (const char* path :
         {"build/bin/quillon-workflow", "build/bin/Languages/", "inst/bin/quillon",
          "inst/lib/quillon/quillon-workflow", "inst/lib/quillon/libMACDll.so",
          "inst/share/quillon/Languages/", "elsewhere/tool"}) {
        const std::filesystem::path file = dir.Path() / path;
        std::filesystem::create_directories(file.parent_path());
        if (file.filename().empty()) {
            continue;
        }
        WriteFileBytes(file.string(), {'x'});
    }
    struct Case {
        const char* programDir;
        const char* name;
        ProgramFileKind kind;
        const char* expected;
    };
    constexpr auto P = ProgramFileKind::Private;
    constexpr auto D = ProgramFileKind::Data;
    for (const Case& c : {
             Case{"build/bin", "quillon-workflow", P, "build/bin/quillon-workflow"},
             Case{"build/bin", "Languages", D, "build/bin/Languages"},
             Case{"inst/bin", "quillon-workflow", P, "inst/lib/quillon/quillon-workflow"},
             Case{"inst/bin", "Languages", D, "inst/share/quillon/Languages"},
             Case{"inst/lib/quillon", "libMACDll.so", P, "inst/lib/quillon/libMACDll.so"},
             Case{"inst/lib/quillon", "Languages", D, "inst/share/quillon/Languages"},
             Case{"inst/bin", "Profiles", D, "inst/bin/Profiles"}, // nowhere: named beside
             Case{"inst/bin", "libcdrip.so", P, "inst/bin/libcdrip.so"},
             Case{"elsewhere", "quillon-workflow", P, "elsewhere/quillon-workflow"},
         }) {
        EXPECT_EQ(root + "/" + c.expected, ProgramFile(c.name, c.kind, root + "/" + c.programDir))
            << c.programDir << " " << c.name;
    }
}

} // namespace
} // namespace quillon::test
