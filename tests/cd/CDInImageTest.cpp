// The CD source over the real CD ripping library, reading disc images made for each test.

#include "CDInTestSupport.h"
#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cd/CDRipLibrary.h"
#include "fixtures/DiscImages.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::ImageTrack;
using test::MessageOf;

// Adds the image and makes it the source's current drive.
void UseImage(TCDIn& cd, const test::GeneratedImage& image) {
    std::string problem;
    ASSERT_TRUE(AddDiscImage(image.sheet, problem)) << problem;
    const std::vector<std::string> images = AddedDiscImages();
    const auto it = std::find(images.begin(), images.end(), image.sheet);
    ASSERT_NE(it, images.end());
    const int physical = cd.DriveCount() - static_cast<int>(images.size());
    cd.SetCurrentDrive(physical + static_cast<int>(it - images.begin()));
    ASSERT_EQ(cd.DriveName(), image.sheet);
}

std::vector<uint8_t> ReadAll(TCDIn& cd) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> block(3 * TCDIn::kRipBufferSize);
    while (const int n = cd.ReadBlock(block.data(), static_cast<int>(block.size()))) {
        EXPECT_LE(n, TCDIn::kRipBufferSize);
        out.insert(out.end(), block.begin(), block.begin() + n);
    }
    return out;
}

TEST(CDInImageTest, RipsExactlyTheSectorsOfTheRange) {
    struct Case {
        const char* name;
        int startTrack;
        int endTrack;
        TCDTime startTime;
    };
    // The first track is long enough to start 1:30:00 into it.
    const std::vector<ImageTrack> tracks = {{6800, true}, {160, true}, {120, true}};
    const std::vector<Case> cases = {
        {"last track to the lead-out", 3, 3, {}},
        {"from 1:30:00 into a track", 1, 1, {1, 30, 0}},
        {"two tracks", 2, 3, {}},
    };
    for (const test::SheetKind kind : {test::SheetKind::Cue, test::SheetKind::Toc}) {
        test::CdRipLibraryScope scope;
        test::TempDir dir;
        const auto image = test::WriteDiscImage(dir.Path().string(), "disc", tracks, kind);
        TCDIn cd;
        UseImage(cd, image);
        EXPECT_EQ(cd.TrackCount(), 3);
        EXPECT_EQ(cd.LeadOutSector(), image.leadOut);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) +
                         (kind == test::SheetKind::Cue ? " (CUE)" : " (TOC)"));
            cd.SetStartTrack(c.startTrack);
            cd.SetEndTrack(c.endTrack);
            cd.SetStartPosition({c.startTrack, c.startTime});
            std::vector<uint8_t> expected;
            for (int n = c.startTrack; n <= c.endTrack; ++n) {
                const auto bytes = image.TrackBytes(n);
                expected.insert(expected.end(), bytes.begin(), bytes.end());
            }
            expected.erase(expected.begin(),
                           expected.begin() + SectorsOf(c.startTime) * kCDSectorBytes);
            EXPECT_EQ(cd.RangeSize(), static_cast<int64_t>(expected.size()));
            cd.Init();
            EXPECT_EQ(cd.Size(), static_cast<int64_t>(expected.size()));
            const std::vector<uint8_t> ripped = ReadAll(cd);
            EXPECT_TRUE(ripped == expected)
                << ripped.size() << " bytes, " << expected.size() << " expected";
            EXPECT_EQ(cd.Position(), cd.Size());
            cd.Flush();
        }
    }
}

TEST(CDInImageTest, DescribesDiscsAndRefusesRangesOutsideThem) {
    struct Case {
        const char* name;
        std::vector<ImageTrack> tracks;
        TCDDiscKind kind;
        int startTrack;
        int endTrack;
        const char* initMessage;
    };
    const std::vector<Case> cases = {
        {"audio", {{90, true}, {80, true}}, dkAudio, 2, 2, "(none)"},
        {"audio, audio, data",
         {{90, true}, {80, true}, {100, false}},
         dkMixed,
         3,
         3,
         "Trying to rip a data track"},
        {"data only", {{100, false}}, dkData, 1, 1, "Trying to rip a data track"},
        {"start track 0", {{90, true}}, dkAudio, 0, 1, "The start track out of range"},
        {"start past the last track", {{90, true}}, dkAudio, 2, 2, "The start track out of range"},
        {"end past the lead-out",
         {{90, true}, {80, true}},
         dkAudio,
         1,
         3,
         "The end track out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CdRipLibraryScope scope;
        test::TempDir dir;
        const auto image = test::WriteDiscImage(dir.Path().string(), "disc", c.tracks);
        TCDIn cd;
        UseImage(cd, image);
        EXPECT_EQ(cd.DriveStatus(), dsReady);
        EXPECT_EQ(cd.DiscKind(), c.kind);
        const int count = static_cast<int>(c.tracks.size());
        ASSERT_EQ(cd.TrackCount(), count);
        for (int n = 1; n <= count; ++n) {
            const TCDTrackInfo info = cd.TrackInfo(n);
            const ImageTrack& track = c.tracks[static_cast<size_t>(n - 1)];
            EXPECT_EQ(SectorsOf(info.Length), track.sectors) << "track " << n;
            EXPECT_EQ(info.TrackType, track.audio ? ttAudio : ttData) << "track " << n;
        }
        EXPECT_EQ(MessageOf([&] { cd.TrackInfo(0); }), "Track out of range.");
        EXPECT_EQ(MessageOf([&] { cd.TrackInfo(count + 1); }), "Track out of range.");
        cd.SetStartTrack(c.startTrack);
        cd.SetEndTrack(c.endTrack);
        EXPECT_EQ(MessageOf([&] { cd.Init(); }), c.initMessage);
        EXPECT_EQ(cd.Busy(), std::string(c.initMessage) == "(none)");
        cd.Reset();
    }
}

TEST(CDInImageTest, RefusesChangesWhileRipping) {
    test::CdRipLibraryScope scope;
    EXPECT_EQ(CDRipLibrary::LoadFailureMessage(), "libcdrip.so could not be loaded.");
    test::TempDir dir;
    const auto image = test::WriteDiscImage(dir.Path().string(), "disc", {{300, true}});
    TCDIn cd;
    EXPECT_EQ(CDRipLibrary::ResolvedCount(), 42u);
    UseImage(cd, image);
    const int drive = cd.CurrentDrive();
    cd.SetCurrentDrive(cd.DriveCount());
    cd.SetCurrentDrive(-1);
    EXPECT_EQ(cd.CurrentDrive(), drive);

    cd.SetStartTrack(1);
    cd.SetEndTrack(1);
    cd.Init();
    const std::vector<std::pair<const char*, std::function<void()>>> refused = {
        {"Init", [&] { cd.Init(); }},
        {"StartTrack", [&] { cd.SetStartTrack(1); }},
        {"EndTrack", [&] { cd.SetEndTrack(1); }},
        {"StartPosition",
         [&] {
             cd.SetStartPosition({1, {}});
         }},
        {"Eject", [&] { cd.Eject(); }},
    };
    for (const auto& [name, action] : refused) {
        EXPECT_EQ(MessageOf(action), "The component is buisy") << name;
    }
    // The drive stays usable for queries, and the rip is not disturbed by them.
    EXPECT_EQ(MessageOf([&] { cd.CloseTray(); }), "(none)");
    EXPECT_EQ(cd.TrackCount(), 1);
    EXPECT_EQ(cd.RangeSize(), cd.Size());
    EXPECT_EQ(ReadAll(cd), image.TrackBytes(1));
    cd.Flush();
    EXPECT_FALSE(cd.Busy());
    EXPECT_EQ(MessageOf([&] { cd.Eject(); }), "(none)");
}

TEST(CDInImageTest, AddsImagesOnceAndRefusesWhatCannotBeRead) {
    test::CdRipLibraryScope scope;
    test::TempDir dir;
    const auto image = test::WriteDiscImage(dir.Path().string(), "disc", {{100, true}});
    std::string problem;
    ASSERT_TRUE(AddDiscImage(image.sheet, problem)) << problem;
    const size_t added = AddedDiscImages().size();
    ASSERT_TRUE(AddDiscImage(image.sheet, problem));
    EXPECT_EQ(AddedDiscImages().size(), added);

    EXPECT_FALSE(AddDiscImage(dir.File("missing.cue"), problem));
    EXPECT_NE(problem.find("missing.cue"), std::string::npos) << problem;
    EXPECT_EQ(AddedDiscImages().size(), added);

    // A library loaded again is handed the images added before.
    TCDIn cd;
    const int drives = cd.DriveCount();
    CDRipLibrary::Unload();
    TCDIn again;
    EXPECT_EQ(again.DriveCount(), drives);
    EXPECT_EQ(AddedDiscImages().back(), image.sheet);
}

TEST(CDInImageTest, WithoutTheLibraryNothingIsMadeOrAdded) {
    test::CdRipLibraryScope scope("libquillon-missing-cdrip.so");
    EXPECT_EQ(MessageOf([] { TCDIn cd; }), "libquillon-missing-cdrip.so could not be loaded.");
    test::TempDir dir;
    const auto image = test::WriteDiscImage(dir.Path().string(), "disc", {{100, true}});
    std::string problem;
    EXPECT_FALSE(AddDiscImage(image.sheet, problem));
    EXPECT_EQ(problem, "libquillon-missing-cdrip.so could not be loaded.");
}

} // namespace
} // namespace quillon
