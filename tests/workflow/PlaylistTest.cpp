#include "workflow/Playlist.h"

#include "fixtures/Fixtures.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

std::string ReadText(const std::string& fileName) {
    const auto bytes = ReadFileBytes(fileName);
    return {bytes.begin(), bytes.end()};
}

TEST(PlaylistTest, M3UListsEntriesWithCrLf) {
    TempDir dir;
    TPlaylist playlist;
    playlist.Add("/m/01-A-X.MP3", "A-X", 205);
    playlist.Add("/m/02-B-Y.MP3", "B-Y", 240);
    playlist.Add("/M/01-a-x.mp3", "dup", 1);
    const std::string name = dir.File("list.m3u");
    EXPECT_TRUE(playlist.SaveM3U(name));
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:205,A-X\r\n/m/01-A-X.MP3\r\n#EXTINF:240,B-Y\r\n/m/02-B-Y.MP3\r\n",
              ReadText(name));

    TPlaylist empty;
    empty.SaveM3U(name);
    EXPECT_EQ("#EXTM3U\r\n", ReadText(name));

    // A line break in a title or name cannot add an entry of its own.
    TPlaylist hostile;
    hostile.Add("/m/a\r\n/etc/passwd.MP3", "x\n/etc/shadow", 1);
    hostile.SaveM3U(name);
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:1,x-/etc/shadow\r\n/m/a--/etc/passwd.MP3\r\n", ReadText(name));
}

TEST(PlaylistTest, PLSNamesAndUpdatesInPlace) {
    TempDir dir;
    TPlaylist five;
    for (int i = 1; i <= 5; ++i) {
        five.Add("/m/" + std::to_string(i) + ".OGG", "T" + std::to_string(i), i * 10);
    }
    five.SavePLS(dir.File("list.Pls"));
    EXPECT_TRUE(std::filesystem::exists(dir.File("list.Pls")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("list.Pls.pls")));

    TPlaylist two;
    two.Add("/m/a.OGG", "A", 1);
    two.Add("/m/b.OGG", "B", 2);
    two.SavePLS(dir.File("list.Pls"));
    IniFile ini(dir.File("list.Pls"));
    EXPECT_EQ("2", ini.ReadString("playlist", "NumberOfEntries", ""));
    EXPECT_EQ("/m/b.OGG", ini.ReadString("playlist", "File2", ""));
    EXPECT_EQ("/m/3.OGG", ini.ReadString("playlist", "File3", "")) << "older entries stay";
    EXPECT_EQ("50", ini.ReadString("playlist", "Length5", ""));

    TPlaylist empty;
    empty.SavePLS(dir.File("list.txt"));
    EXPECT_EQ("[playlist]\nNumberOfEntries=0\n", ReadText(dir.File("list.txt.pls")));
}

TEST(PlaylistTest, SaveFailuresAreSwallowed) {
    TPlaylist playlist;
    playlist.Add("/m/a.OGG", "A", 1);
    EXPECT_TRUE(playlist.SaveM3U("/nonexistent-folder/x.m3u"));
    EXPECT_TRUE(playlist.SavePLS("/nonexistent-folder/x.pls"));
}

TEST(PlaylistTest, FileNameUsesTheShortDateWithoutSlashes) {
    const std::string name = PlaylistFileName("/out", plM3U);
    EXPECT_EQ(0u, name.rfind("/out/PlayList-", 0));
    EXPECT_EQ(".m3u", name.substr(name.size() - 4));
    EXPECT_EQ(std::string::npos, name.find('/', 5)) << name;
    EXPECT_EQ(".pls", PlaylistFileName("/out", plPLS).substr(name.size() - 4));
}

} // namespace
} // namespace quillon::test
