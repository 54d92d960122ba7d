// The CD source over stand-in libraries: a drive without a disc, an unreadable table of
// contents, failing reads and a library without entry points, which disc images cannot show.

#include "CDInTestSupport.h"
#include "cd/CDIn.h"
#include "cd/CDRipLibrary.h"
#include "fake/FakeCdRip.h"
#include "platform/IniFile.h"

#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::MessageOf;

// The fake library's own controls, reached through the copy the CD source loaded.
struct FakeControls {
    decltype(&FakeCdRip_Configure) Configure = nullptr;
    decltype(&FakeCdRip_OpenRips) OpenRips = nullptr;
    decltype(&FakeCdRip_ActiveDrive) ActiveDrive = nullptr;

    // Empty when the library loaded is another one.
    explicit FakeControls(const std::string& library = QUILLON_FakeCdRip) {
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (library != QUILLON_FakeCdRip || handle == nullptr) {
            EXPECT_EQ(library, QUILLON_BareCdRip);
            if (handle != nullptr) {
                dlclose(handle);
            }
            return;
        }
        Configure = reinterpret_cast<decltype(Configure)>(dlsym(handle, "FakeCdRip_Configure"));
        OpenRips = reinterpret_cast<decltype(OpenRips)>(dlsym(handle, "FakeCdRip_OpenRips"));
        ActiveDrive =
            reinterpret_cast<decltype(ActiveDrive)>(dlsym(handle, "FakeCdRip_ActiveDrive"));
        dlclose(handle);
    }
};

constexpr uint8_t kAudio = 0x10;
constexpr uint8_t kData = 0x14;

// Two audio tracks of 300 and 200 sectors starting at sector 0.
FakeCdRipDisc TwoTracks() {
    FakeCdRipDisc disc{};
    disc.Drives = 2;
    disc.Entries = 2;
    disc.Toc[0] = {0, kAudio, 1};
    disc.Toc[1] = {300, kAudio, 2};
    disc.Toc[2] = {500, kData, 0xAA};
    disc.ChunkSectors = 75;
    return disc;
}

TEST(CDInFakeDriveTest, DrivesWithoutADiscOrTableOfContentsRefuseToRip) {
    struct Case {
        const char* name;
        const char* library;
        int mediaState;
        int tocResult;
        TCDDriveStatus status;
        TCDDiscKind kind;
        int trackCount;
        const char* initMessage;
    };
    const std::vector<Case> cases = {
        {"no disc", QUILLON_FakeCdRip, 1, 0, dsNotReady, dkNoDisc, 2, "The drive is not ready"},
        {"no table of contents", QUILLON_FakeCdRip, 0, 1, dsReady, dkUnknown, -1,
         "The start track out of range"},
        {"no entry points", QUILLON_BareCdRip, 0, 0, dsNotReady, dkUnknown, -1,
         "The drive is not ready"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CdRipLibraryScope scope(c.library);
        TCDIn cd;
        FakeControls fake(c.library);
        if (fake.Configure) {
            FakeCdRipDisc disc = TwoTracks();
            disc.MediaState = c.mediaState;
            disc.TocResult = c.tocResult;
            fake.Configure(&disc);
        }
        cd.SetStartTrack(1);
        cd.SetEndTrack(1);
        EXPECT_EQ(cd.DriveStatus(), c.status);
        EXPECT_EQ(cd.DiscKind(), c.kind);
        EXPECT_EQ(cd.TrackCount(), c.trackCount);
        if (c.trackCount < 0) {
            EXPECT_EQ(cd.LeadOutSector(), -1);
            EXPECT_EQ(cd.RangeSize(), -1);
            EXPECT_EQ(MessageOf([&] { cd.TrackInfo(1); }), "Track out of range.");
        }
        EXPECT_EQ(MessageOf([&] { cd.Init(); }), c.initMessage);
        EXPECT_FALSE(cd.Busy());
        if (fake.OpenRips) {
            EXPECT_EQ(fake.OpenRips(), 0);
        } else {
            EXPECT_EQ(cd.DriveCount(), 0);
            EXPECT_EQ(cd.DriveName(), "");
            EXPECT_EQ(MessageOf([&] {
                          cd.Eject();
                          cd.CloseTray();
                      }),
                      "(none)");
        }
    }
}

TEST(CDInFakeDriveTest, ReadsThatFailOrStopEarlyFailTheRip) {
    struct Case {
        int failingChunk;
        int endAfterChunk;
        const char* message;
    };
    // Track 2 starts at sector 300; a chunk is 75 sectors.
    const std::vector<Case> cases = {
        {1, 0, "The disc could not be read at sector 300"},
        {2, 0, "The disc could not be read at sector 375"},
        {0, 2, "The disc could not be read at sector 450"},
        {0, 0, "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::CdRipLibraryScope scope(QUILLON_FakeCdRip);
        TCDIn cd;
        FakeControls fake;
        FakeCdRipDisc disc = TwoTracks();
        disc.FailingChunk = c.failingChunk;
        disc.EndAfterChunk = c.endAfterChunk;
        fake.Configure(&disc);
        cd.SetStartTrack(2);
        cd.SetEndTrack(2);
        cd.Init();
        std::vector<uint8_t> block(TCDIn::kRipBufferSize);
        int64_t total = 0;
        EXPECT_EQ(MessageOf([&] {
                      while (const int n = cd.ReadBlock(block.data(), 10000)) {
                          total += n;
                      }
                  }),
                  c.message);
        if (c.failingChunk == 0 && c.endAfterChunk == 0) {
            EXPECT_EQ(total, 200 * 2352);
            EXPECT_EQ(cd.Position(), cd.Size());
        }
        cd.Reset();
        EXPECT_FALSE(cd.Busy());
        EXPECT_EQ(fake.OpenRips(), 0);
    }
}

TEST(CDInFakeDriveTest, ChunksLimitBlocksAndTheRipKeepsItsDrive) {
    test::CdRipLibraryScope scope(QUILLON_FakeCdRip);
    TCDIn cd;
    FakeControls fake;
    FakeCdRipDisc disc = TwoTracks();
    disc.ChunkSectors = 10;
    fake.Configure(&disc);

    // A name that fills the whole field is cut at 255 characters.
    EXPECT_EQ(cd.DriveName(), std::string(255, 'n'));
    cd.SetCurrentDrive(1);
    cd.SetCurrentDrive(2);
    EXPECT_EQ(cd.CurrentDrive(), 1);

    cd.SetStartTrack(1);
    cd.SetEndTrack(1);
    cd.SetStartPosition({1, {0, 2, 0}});
    cd.Init();
    EXPECT_EQ(fake.ActiveDrive(), 1);
    EXPECT_EQ(cd.Size(), (300 - 150) * 2352);
    // A query made during the rip neither moves the rip's drive nor gives it up.
    cd.SetCurrentDrive(0);
    EXPECT_EQ(cd.TrackCount(), 2);
    EXPECT_EQ(cd.DiscKind(), dkAudio);
    EXPECT_EQ(fake.ActiveDrive(), 1);

    // The library lowered the chunk to 10 sectors: no block is larger, and every sector is the
    // one asked for.
    std::vector<uint8_t> block(4 * TCDIn::kRipBufferSize);
    int32_t sector = 150;
    while (const int n = cd.ReadBlock(block.data(), static_cast<int>(block.size()))) {
        ASSERT_EQ(n, 10 * 2352);
        for (int s = 0; s < 10; ++s, ++sector) {
            ASSERT_EQ(block[static_cast<size_t>(s) * 2352], sector & 0xFF);
        }
    }
    EXPECT_EQ(sector, 300);
    cd.Flush();
    EXPECT_EQ(cd.Size(), 0);
    EXPECT_EQ(MessageOf([&] { cd.ReadBlock(block.data(), 1); }), "The Stream is not opened");

    // A start past the end of the range holds nothing and opens no rip.
    cd.SetStartPosition({1, {0, 5, 0}});
    EXPECT_EQ(cd.RangeSize(), 0);
    cd.Init();
    EXPECT_EQ(cd.Size(), 0);
    EXPECT_EQ(fake.OpenRips(), 0);
    EXPECT_EQ(cd.ReadBlock(block.data(), 100), 0);
    cd.Flush();
}

TEST(CDInFakeDriveTest, SettingsFileKeepsTheUsersParanoiaMode) {
    struct Case {
        const char* name;
        std::string before;
        std::vector<std::string> keys;
        const char* paranoia;
    };
    const std::vector<Case> cases = {
        {"no file", "", {"nActive", "nParanoiaMode"}, "1"},
        {"the user's file",
         "[CD-ROM]\nnActive=2\nnParanoiaMode=0\nnReadSpeed=8\n",
         {"nActive", "nParanoiaMode", "nReadSpeed"},
         "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CdRipLibraryScope scope(QUILLON_FakeCdRip);
        const std::string fileName = scope.ConfigHome() + "/Tovalen/cdr.ini";
        ASSERT_EQ(CDRipLibrary::IniFileName(), fileName);
        if (!c.before.empty()) {
            std::filesystem::create_directories(scope.ConfigHome() + "/Tovalen");
            test::WriteFileBytes(fileName, std::vector<uint8_t>(c.before.begin(), c.before.end()));
        }
        TCDIn cd;
        const IniFile ini(fileName);
        EXPECT_EQ(ini.ReadSection("CD-ROM"), c.keys);
        EXPECT_EQ(ini.ReadString("CD-ROM", "nActive", ""), "0");
        EXPECT_EQ(ini.ReadString("CD-ROM", "nParanoiaMode", ""), c.paranoia);
    }
}

} // namespace
} // namespace quillon
