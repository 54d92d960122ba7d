#include "platform/IniFile.h"

#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

std::string ReadText(const std::string& fileName) {
    const auto bytes = ReadFileBytes(fileName);
    return {bytes.begin(), bytes.end()};
}

TEST(IniFileTest, CreatesOnFirstWriteAndReadsWithoutRegardToCase) {
    TempDir dir;
    IniFile ini(dir.File("a.ini"));
    EXPECT_EQ("dflt", ini.ReadString("Main", "Key", "dflt")) << "missing file";
    EXPECT_TRUE(ini.WriteString("Main", "Key", "v1"));
    EXPECT_EQ("v1", ini.ReadString("MAIN", "kEY", ""));
    EXPECT_EQ("[Main]\nKey=v1\n", ReadText(ini.FileName()));
}

TEST(IniFileTest, UpdatesInPlaceKeepingEverythingElse) {
    TempDir dir;
    const std::string name = dir.File("b.ini");
    WriteFileBytes(name, {});
    {
        const std::string text = "; comment\r\n[One]\r\nA=1\r\nB=2\r\n\r\n[Two]\r\nA=x\r\n";
        WriteFileBytes(name, {text.begin(), text.end()});
    }
    IniFile ini(name);
    ini.WriteString("one", "b", "20");
    ini.WriteString("One", "C", "3");
    ini.WriteString("Three", "Z", "9");
    EXPECT_EQ("; comment\n[One]\nA=1\nb=20\nC=3\n\n[Two]\nA=x\n[Three]\nZ=9\n", ReadText(name));
    EXPECT_EQ("x", ini.ReadString("two", "a", ""));
    EXPECT_EQ((std::vector<std::string>{"A", "b", "C"}), ini.ReadSection("ONE"));
    EXPECT_EQ(
        (std::vector<std::pair<std::string, std::string>>{{"A", "1"}, {"b", "20"}, {"C", "3"}}),
        ini.ReadSectionValues("ONE"));
}

TEST(IniFileTest, WriteFailureIsReportedAndHarmless) {
    IniFile ini("/nonexistent-folder/c.ini");
    EXPECT_FALSE(ini.WriteString("S", "K", "V"));
}

} // namespace
} // namespace quillon::test
