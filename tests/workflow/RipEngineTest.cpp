#include "workflow/RipEngine.h"

#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cd/CDRipLibrary.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"
#include "tags/MPEGaudio.h"
#include "tags/OggVorbis.h"
#include "workflow/DiscText.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

namespace quillon::test {
namespace {

TEST(DiscTextTest, CaptionsAndDiscKinds) {
    const struct {
        int track;
        TCDTime length;
        const char* caption;
    } captions[] = {
        {3, {4, 5, 0}, "[3] - 4:05"},      {7, {10, 12, 74}, "[7] - 10:12"},
        {1, {0, 0, 0}, "[1] - 0:00"},      {12, {0, 9, 3}, "[12] - 0:09"},
        {99, {79, 59, 0}, "[99] - 79:59"}, {2, {3, 10, 0}, "[2] - 3:10"},
    };
    for (const auto& c : captions) {
        EXPECT_EQ(c.caption, TrackCaption(c.track, c.length));
    }
    EXPECT_EQ(245, WholeSeconds({4, 5, 74}));
    const std::pair<TCDDiscKind, const char*> kinds[] = {{dkNoDisc, "No Disc"},
                                                         {dkAudio, "Audio Disc"},
                                                         {dkData, "Data Disk"},
                                                         {dkMixed, "Mixed Data"},
                                                         {dkUnknown, "Unknown"}};
    for (const auto& [kind, text] : kinds) {
        EXPECT_EQ(text, DiscKindText(kind));
    }
}

// Points the CD ripping library's settings file at a folder of the test's own for as long as it
// lives, so that the CD source made after it loads the library there.
class ConfigHome {
public:
    ConfigHome() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            old_ = old;
        }
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    }
    ~ConfigHome() {
        if (old_) {
            setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

private:
    TempDir dir_;
    std::optional<std::string> old_;
};

// Rips of disc images made for each test, through the CD ripping library beside the program.
class RipEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Set("FilePath", out.Path().string() + "/rips/");
        settings.Set("OutputFileNameFormat", "<Track Number>-<Title>");
        settings.Set("SavePlayList", "1");
    }

    // The library goes with each test, before the static objects it may use at exit.
    void TearDown() override {
        cdInOwner.reset();
        CDRipLibrary::Unload();
    }

    // Adds the image and makes it the source's current drive.
    void UseImage(const GeneratedImage& image) {
        std::string problem;
        ASSERT_TRUE(AddDiscImage(image.sheet, problem)) << problem;
        const std::vector<std::string> images = AddedDiscImages();
        const auto it = std::find(images.begin(), images.end(), image.sheet);
        ASSERT_NE(it, images.end());
        cdIn.SetCurrentDrive(cdIn.DriveCount() - static_cast<int>(images.size()) +
                             static_cast<int>(it - images.begin()));
    }

    std::string Folder() const { return out.Path().string() + "/rips"; }

    std::string Playlist() const {
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
            if (entry.path().extension() == ".m3u") {
                const auto bytes = ReadFileBytes(entry.path().string());
                return {bytes.begin(), bytes.end()};
            }
        }
        return "(none)";
    }

    ConfigHome config;
    TempDir disc, out;
    Settings settings;
    std::unique_ptr<TCDIn> cdInOwner = std::make_unique<TCDIn>();
    TCDIn& cdIn = *cdInOwner;
    TRipEngine engine;
};

// Each ticked track is ripped whole: WAV holds the track's bytes, FLAC decodes to them, MP3
// lasts as long within a frame. Unticked tracks are left alone; the playlist lists each
// ripped track with its length from the table of contents.
TEST_F(RipEngineTest, RipsTheTickedTracksWholeInEveryFormat) {
    const auto image = WriteDiscImage(disc.Path().string(), "disc", {{150}, {3 * 75 + 20}, {80}});
    UseImage(image);
    for (const std::string format : {"WAV", "FLAC", "MP3"}) {
        SCOPED_TRACE(format);
        std::filesystem::remove_all(Folder());
        settings.Set("RipToFormat", format);
        std::vector<RipRow> rows = MakeRipRows(cdIn.TrackCount());
        ASSERT_EQ(3u, rows.size());
        rows[1].Tags.Artist = "Art";
        rows[2].Checked = false;
        std::vector<int> started;
        engine.OnTrackStarted = [&](int track, const std::string&) { started.push_back(track); };
        const RipSummary summary = engine.Rip(cdIn, rows, settings);
        EXPECT_EQ(2, summary.ripped);
        EXPECT_EQ(0, summary.failed);
        EXPECT_EQ((std::vector<int>{1, 2}), started);
        EXPECT_EQ(kStatusComplete, rows[0].Status);
        EXPECT_EQ(kStatusNotRipped, rows[2].Status);
        for (int n : {1, 2}) {
            const std::string file =
                Folder() + "/0" + std::to_string(n) + "-Track " + std::to_string(n) + "." + format;
            const std::vector<uint8_t> expected = image.TrackBytes(n);
            if (format == "WAV") {
                const auto bytes = ReadFileBytes(file);
                ASSERT_EQ(expected.size() + 44, bytes.size());
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 44));
            } else if (format == "FLAC") {
                ASSERT_EQ(0, Shell("flac -s -d -f --force-raw-format --endian=little "
                                   "--sign=signed -o " +
                                   Quote(out.File("decoded.raw")) + " " + Quote(file)));
                EXPECT_TRUE(ReadFileBytes(out.File("decoded.raw")) == expected);
            } else {
                // The frames hold the track and the encoder's delay of 576 samples.
                TMPEGaudio mp3;
                ASSERT_TRUE(mp3.ReadInfo(file));
                const double samples = static_cast<double>(expected.size()) / 4 + 576;
                EXPECT_NEAR(std::ceil(samples / 1152), static_cast<double>(mp3.Frames()), 1);
            }
        }
        EXPECT_FALSE(std::filesystem::exists(Folder() + "/03-Track 3." + format));
        EXPECT_EQ("#EXTM3U\r\n#EXTINF:2,-Track 1\r\n" + Folder() + "/01-Track 1." + format +
                      "\r\n#EXTINF:3,Art-Track 2\r\n" + Folder() + "/02-Track 2." + format + "\r\n",
                  Playlist());
    }
}

// Stop from another thread, as from a window, during the second of three tracks: its file is
// discarded and an older file of its name stays, the third is untouched, and the playlist
// lists the first only.
TEST_F(RipEngineTest, StopDiscardsTheCurrentTrackAndEndsTheRip) {
    UseImage(WriteDiscImage(disc.Path().string(), "long", {{75}, {75 * 240}, {75}}));
    settings.Set("RipToFormat", "FLAC");
    std::filesystem::create_directories(Folder());
    const std::string older = Folder() + "/02-Track 2.FLAC";
    WriteFileBytes(older, {'o', 'l', 'd'});
    std::vector<RipRow> rows = MakeRipRows(cdIn.TrackCount());
    std::vector<int> done, stopped;
    engine.OnTrackDone = [&](int track) { done.push_back(track); };
    engine.OnTrackStopped = [&](int track) { stopped.push_back(track); };
    std::mutex mutex;
    std::condition_variable changed;
    bool underWay = false;
    engine.OnProgress = [&](int track, int percent) {
        if (track == 2 && percent >= 1) {
            std::lock_guard lock(mutex);
            underWay = true;
            changed.notify_all();
        }
    };
    std::thread window([&] {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return underWay; });
        EXPECT_EQ(2, engine.CurrentTrack());
        EXPECT_NE(nullptr, engine.CurrentSink());
        engine.Stop();
    });
    const RipSummary summary = engine.Rip(cdIn, rows, settings);
    window.join();

    EXPECT_TRUE(summary.stopped);
    EXPECT_TRUE(engine.StopRequested());
    EXPECT_EQ(std::vector<int>{1}, done);
    EXPECT_EQ(std::vector<int>{2}, stopped);
    EXPECT_EQ(kStatusComplete, rows[0].Status);
    EXPECT_EQ(kStatusStopped, rows[1].Status);
    EXPECT_EQ(kStatusNotRipped, rows[2].Status);
    EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), ReadFileBytes(older));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(3u, names.size()) << "nothing else, no temporary file";
    EXPECT_EQ("01-Track 1.FLAC", names[0]);
    EXPECT_EQ("02-Track 2.FLAC", names[1]);
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:1,-Track 1\r\n" + Folder() + "/01-Track 1.FLAC\r\n", Playlist());
}

// Two Ogg tracks get only their own comments; a data track among the ticked ones fails alone
// and the rip goes on with the next track without waiting for it.
TEST_F(RipEngineTest, OggTracksGetTheirOwnCommentsAndADataTrackFailsAlone) {
    UseImage(WriteDiscImage(disc.Path().string(), "mixed", {{75}, {75, false}, {90}}));
    settings.Set("RipToFormat", "OGG");
    std::vector<RipRow> rows = MakeRipRows(cdIn.TrackCount());
    rows[0].Tags = {"First", "A1", "Album", "2001", "Rock", "c1"};
    rows[2].Tags = {"Third", "A3", "", "", "", ""};
    std::vector<std::pair<int, std::string>> failures;
    engine.OnTrackFailed = [&](int track, const std::string& m) {
        failures.emplace_back(track, m);
    };
    const RipSummary summary = engine.Rip(cdIn, rows, settings);
    EXPECT_EQ(2, summary.ripped);
    EXPECT_EQ(1, summary.failed);
    ASSERT_EQ(1u, failures.size());
    EXPECT_EQ(2, failures[0].first);
    EXPECT_EQ("Trying to rip a data track", failures[0].second);
    EXPECT_EQ(kStatusFailed, rows[1].Status);
    EXPECT_FALSE(std::filesystem::exists(Folder() + "/02-Track 2.OGG"));

    const struct {
        std::string file;
        std::vector<std::string> comments;
    } expected[] = {
        {"/01-First.OGG",
         {"TITLE=First", "ARTIST=A1", "ALBUM=Album", "TRACKNUMBER=1", "DATE=2001", "COMMENT=c1",
          "GENRE=Rock"}},
        {"/03-Third.OGG", {"TITLE=Third", "ARTIST=A3", "TRACKNUMBER=3"}},
    };
    for (const auto& e : expected) {
        TOggVorbis ogg;
        ASSERT_TRUE(ogg.ReadInfo(Folder() + e.file)) << e.file;
        EXPECT_EQ(e.comments, ogg.Comments().Comments()) << e.file;
    }
}

} // namespace
} // namespace quillon::test
