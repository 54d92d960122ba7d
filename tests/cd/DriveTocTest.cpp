#include "cd/DriveToc.h"

#include "CDInTestSupport.h"
#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cd/ScsiDevice.h"
#include "fixtures/DiscImages.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

int32_t SectorOf(const TocEntry& entry) {
    return (entry.Minutes * 60 + entry.Seconds) * 75 + entry.Frames;
}

std::string Canonical(const std::string& fileName) {
    return std::filesystem::weakly_canonical(fileName).string();
}

TEST(DriveTocTest, ListsAddedImagesAfterThePhysicalDrivesAndReadsTheirTables) {
    CdRipLibraryScope library;
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<ImageTrack> tracks;
        SheetKind kind;
        std::string binName;
    } cases[] = {
        {"cue", {{300, true}, {451, true}, {75, true}}, SheetKind::Cue, ""},
        {"toc", {{150, true}, {600, true}}, SheetKind::Toc, ""},
        {"mixed", {{400, false}, {302, true}, {200, true}}, SheetKind::Cue, "data file.bin"},
    };
    std::vector<GeneratedImage> images;
    for (const Case& c : cases) {
        images.push_back(WriteDiscImage(dir.Path().string(), c.name, c.tracks, c.kind, c.binName));
        std::string problem;
        ASSERT_TRUE(AddDiscImage(images.back().sheet, problem)) << c.name << ": " << problem;
    }

    DriveToc drives;
    ASSERT_TRUE(drives.EnumerateDrives()) << drives.Problem();
    const DriveTable& table = drives.Table();
    ASSERT_GE(table.Count, std::size(cases));
    EXPECT_EQ(TCDIn().DriveCount(), table.Count) << "the CD source counts the same drives";
    // The images are the last drives, in the order they were added.
    const int firstImage = table.Count - static_cast<int>(std::size(cases));
    for (size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const int index = firstImage + static_cast<int>(i);
        const DriveRecord& drive = table.Drives[static_cast<size_t>(index)];
        EXPECT_TRUE(drive.IsImage);
        EXPECT_EQ(Canonical(images[i].sheet), Canonical(drive.Device));
        EXPECT_EQ("", drive.Description);

        DiscToc toc;
        EXPECT_FALSE(drives.ReadToc(index, toc)) << drives.Problem();
        EXPECT_EQ("", drives.Problem());
        EXPECT_EQ(index, table.CurrentDriveIndex);
        ASSERT_EQ(cases[i].tracks.size(), toc.NumTracks);
        for (size_t t = 0; t < cases[i].tracks.size(); ++t) {
            EXPECT_EQ(images[i].startSectors[t] + 150, SectorOf(toc.Tracks[t])) << "track " << t;
            EXPECT_EQ(cases[i].tracks[t].audio ? kTocAudio : 0u, toc.Tracks[t].IsAudio)
                << "track " << t;
        }
        EXPECT_EQ(images[i].leadOut + 150, SectorOf(toc.LeadOut));
        EXPECT_EQ(0u, toc.LeadOut.IsAudio);
    }

    // Failures: a position past the table, and an image whose data file has gone since.
    DiscToc toc;
    EXPECT_TRUE(drives.ReadToc(table.Count, toc));
    EXPECT_EQ(1, toc.NumTracks);
    EXPECT_EQ(0, SectorOf(toc.LeadOut));
    EXPECT_NE("", drives.Problem());
    std::filesystem::remove(images[0].bin);
    EXPECT_TRUE(drives.ReadToc(firstImage, toc));
    EXPECT_EQ(1, toc.NumTracks);
    EXPECT_EQ(0, SectorOf(toc.Tracks[0]));
    EXPECT_NE("", drives.Problem());
}

// Without a drive on the test machine, the device layer's refusals are what can be checked:
// each fails with the reason, naming the device, rather than reading zeros as a reply.
TEST(DriveTocTest, DeviceRefusalsAreFailuresWithReasons) {
    for (const std::string& path : {std::string("/dev/null"), std::string("/nonexistent/sr9")}) {
        SCOPED_TRACE(path);
        ScsiDevice device(path);
        std::array<uint8_t, 96> reply{};
        const uint8_t inquiry[6] = {0x12, 0, 0, 0, 96, 0};
        const ScsiResult read = device.Read(inquiry, reply, 1000);
        EXPECT_FALSE(read.Ok);
        EXPECT_NE(0, read.Error);
        EXPECT_NE(std::string::npos, read.Problem.find(path)) << read.Problem;
        const ScsiResult toc = device.ReadTocThroughIoctl(reply);
        EXPECT_FALSE(toc.Ok);
        EXPECT_NE(std::string::npos, toc.Problem.find(path)) << toc.Problem;
        uint8_t host = 9, target = 9, lun = 9;
        EXPECT_FALSE(device.Address(host, target, lun));
    }
    EXPECT_TRUE(InterfaceAvailable());
    EXPECT_EQ(-1, AspiHostAdapterCount());
}

} // namespace
} // namespace quillon::test
