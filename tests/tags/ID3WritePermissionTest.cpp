#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/SongInformation.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {
namespace {

// Files the user may not write are refused by every tag writer and left exactly as they were,
// permissions included: the writers never change a file's permissions to get their way.
TEST(ID3WritePermissionTest, WritersRefuseReadOnlyFiles) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write read-only files";
    }
    test::TempDir dir;
    const std::string file = dir.File("ro.mp3");
    const test::Bytes content =
        test::Concat({test::MpegFrames(0xFFFB9000, 417, 3), test::Id3v1Record("t", "", 0, 0, 0)});
    test::WriteFileBytes(file, content);
    ::chmod(file.c_str(), 0444);

    TID3v1 v1;
    v1.SetTitle("new");
    TID3v2 v2;
    v2.SetTitle("new");
    TAPEtag ape;
    ape.SetTitle("new");
    EXPECT_FALSE(v1.WriteTag(file));
    EXPECT_FALSE(v1.RemoveTag(file));
    EXPECT_FALSE(v2.WriteTag(file));
    EXPECT_FALSE(ape.WriteTag(file));
    EXPECT_FALSE(ape.RemoveTag(file));

    EXPECT_EQ(test::ReadFileBytes(file), content);
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

// When the new file cannot be made (a read-only folder) or written in full (the disk refuses
// data), saving both ID3 tags fails as one, with a reason, and neither tag changes.
TEST(ID3WritePermissionTest, BothId3TagsStayWhenTheRebuildFails) {
    test::TempDir dir;
    const std::string folder = dir.File("ro");
    std::filesystem::create_directory(folder);
    const std::string file = folder + "/f.mp3";
    const test::Bytes content = test::Concat(
        {test::Id3v23Tag({test::Id3v23Frame("TIT2", std::string(1, '\0') + "old")}),
         test::MpegFrames(0xFFFB9000, 417, 30), test::Id3v1Record("old", "", 0, 0, 0)});
    for (const bool readOnlyFolder : {true, false}) {
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "file size limit");
        if (readOnlyFolder && ::geteuid() == 0) {
            continue; // the superuser may write read-only folders
        }
        test::WriteFileBytes(file, content);
        SongInformation info = ReadSongInformation(file);
        info.Title = "new";
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);
        if (readOnlyFolder) {
            ::chmod(folder.c_str(), 0555);
        } else {
            struct rlimit small = old;
            small.rlim_cur = content.size() / 2;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        const bool written = WriteSongInformation(info, file);
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, previous);
        ::chmod(folder.c_str(), 0755);
        EXPECT_FALSE(written);
        EXPECT_FALSE(WriteSongInformationError().empty());
        EXPECT_EQ(test::ReadFileBytes(file), content);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

} // namespace
} // namespace quillon
