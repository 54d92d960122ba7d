#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <filesystem>
#include <gtest/gtest.h>
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

} // namespace
} // namespace quillon
