#include "app/CdPreview.h"

#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cd/CDRipLibrary.h"
#include "dsp/AudioOut.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace quillon {
namespace {

using test::TempDir;

constexpr int64_t kBytesPerSecond = 176400;

// Track 1 lasts 1.6 s, so that its rounded playing time (2 s) passes its whole seconds (1 s);
// track 4 is long enough to seek to 2:05 in.
const std::vector<test::ImageTrack> kTracks = {{120}, {80}, {90}, {127 * 75 + 40}};

// The preview group over a generated disc image, playing into a capture file instead of the
// sound card.
class CdPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            oldConfig_ = old;
        }
        // The CD ripping library keeps its settings there.
        setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        image_ = test::WriteDiscImage(disc_.Path().string(), "disc", kTracks);
        std::string problem;
        ASSERT_TRUE(AddDiscImage(image_.sheet, problem)) << problem;
        cdIn_ = std::make_unique<TCDIn>();
        const std::vector<std::string> images = AddedDiscImages();
        const auto at = std::find(images.begin(), images.end(), image_.sheet);
        cdIn_->SetCurrentDrive(cdIn_->DriveCount() - static_cast<int>(images.size()) +
                               static_cast<int>(at - images.begin()));
        for (size_t n = 1; n <= kTracks.size(); ++n) {
            list_.addTopLevelItem(new QTreeWidgetItem({QString("[%1]").arg(n)}));
        }
        preview_ = std::make_unique<TCdPreview>(*cdIn_, list_);
        status_ = std::make_unique<QSignalSpy>(preview_.get(), &TCdPreview::StatusChanged);
        CaptureTo(captured_);
    }

    void TearDown() override {
        status_.reset();
        preview_.reset();
        cdIn_.reset();
        CDRipLibrary::Unload();
        if (oldConfig_) {
            setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    // Sends the preview's default device to a file (set only while the sink is idle).
    void CaptureTo(const std::string& file) {
        preview_->AudioOut().SetDeviceConfiguration(
            "pcm.default { type file slave.pcm { type null } file \"" + file +
            "\" format \"raw\" }");
    }

    template <typename T> T* Child(const char* name) {
        T* child = preview_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    void Click(const char* name) { Child<QToolButton>(name)->click(); }

    // The null device plays faster than real time: a whole track is soon played out.
    bool WaitUntilIdle() {
        return QTest::qWaitFor([&] { return preview_->AudioOut().Status() == osIdle; }, 30000);
    }

    std::string LastStatus() const {
        return status_->isEmpty() ? "" : status_->last().at(0).toString().toStdString();
    }

    TempDir config_, disc_, out_;
    std::optional<std::string> oldConfig_;
    test::GeneratedImage image_;
    std::unique_ptr<TCDIn> cdIn_;
    QTreeWidget list_;
    std::unique_ptr<TCdPreview> preview_;
    std::unique_ptr<QSignalSpy> status_;
    std::string captured_ = out_.File("played.raw");
};

TEST_F(CdPreviewTest, StartsStoppedWithNamedButtonsThatAreNeverEmpty) {
    const struct {
        const char* name;
        const char* accessibleName;
        bool enabled;
    } buttons[] = {
        {"btnPrev", "Previous", true}, {"btnPlay", "Play", true}, {"btnPause", "Pause", false},
        {"btnStop", "Stop", false},    {"btnNext", "Next", true},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = Child<QToolButton>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isEnabled(), b.enabled);
        EXPECT_EQ(
            QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name).toStdString(),
            b.accessibleName);
        EXPECT_TRUE(button->toolButtonStyle() != Qt::ToolButtonIconOnly ||
                    !button->icon().pixmap(QSize(16, 16)).isNull());
        EXPECT_TRUE(button->text().contains('&')) << "a mnemonic";
    }
    EXPECT_EQ(preview_->title().toStdString(), "CD Preview");
    EXPECT_EQ(Child<QLabel>("lblClock")->text().toStdString(), "00:00");
    EXPECT_TRUE(Child<QLabel>("lblClock")->isHidden());
    EXPECT_TRUE(Child<QSlider>("TrackBar1")->isHidden());
    EXPECT_EQ(Child<QTimer>("Timer2")->interval(), 1000);
    EXPECT_FALSE(Child<QTimer>("Timer2")->isActive());
}

// Each command plays the track it should, from where it should: the captured bytes are the
// image's bytes of that track from that position to its end.
TEST_F(CdPreviewTest, PlaysTheChosenTrackFromTheChosenPosition) {
    enum Command { Play, Next, Previous, Seek };
    const struct {
        const char* what;
        int selected; // row selected before the command, -1 for none
        Command command;
        int row;     // row selected after it
        int seconds; // where the playback starts
        const char* clockAtStart;
        const char* clockAtEnd; // after a tick that finds the track played out
    } cases[] = {
        {"play without a selected row", -1, Play, 0, 0, "01 - 00:00", "01 - 00:01"},
        {"next on the last row", 3, Next, 0, 0, "01 - 00:00", "01 - 00:01"},
        {"previous on the first row", 0, Previous, 3, 0, "04 - 00:00", "04 - 02:07"},
        {"previous without a selected row", -1, Previous, 3, 0, "04 - 00:00", "04 - 02:07"},
        {"seek to 2:05", 3, Seek, 3, 125, "04 - 02:05", "04 - 02:07"},
    };
    auto* clock = Child<QLabel>("lblClock");
    auto* slider = Child<QSlider>("TrackBar1");
    auto* timer = Child<QTimer>("Timer2");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list_.setCurrentItem(c.selected < 0 ? nullptr : list_.topLevelItem(c.selected));
        switch (c.command) {
        case Play:
            preview_->Play();
            break;
        case Next:
            Click("btnNext");
            break;
        case Previous:
            Click("btnPrev");
            break;
        case Seek:
            preview_->Play();
            slider->setSliderDown(true);
            EXPECT_FALSE(timer->isActive()) << "the clock no longer follows the playback";
            slider->setSliderPosition(c.seconds);
            EXPECT_EQ(clock->text().toStdString(), "02:05");
            slider->setSliderDown(false);
            break;
        }
        EXPECT_EQ(list_.indexOfTopLevelItem(list_.currentItem()), c.row);
        EXPECT_EQ(clock->text().toStdString(), c.clockAtStart);
        EXPECT_EQ(LastStatus(), "Preview Playing");
        EXPECT_FALSE(clock->isHidden());
        EXPECT_FALSE(slider->isHidden());
        EXPECT_TRUE(Child<QToolButton>("btnStop")->isEnabled());
        EXPECT_EQ(slider->maximum(), kTracks[static_cast<size_t>(c.row)].sectors * 2352 /
                                         static_cast<int>(kBytesPerSecond));
        ASSERT_TRUE(WaitUntilIdle());
        const std::vector<uint8_t> track = image_.TrackBytes(c.row + 1);
        const std::vector<uint8_t> expected(track.begin() + c.seconds * kBytesPerSecond,
                                            track.end());
        EXPECT_TRUE(test::ReadFileBytes(captured_) == expected);
        // A played-out track leaves the controls as they are; the clock stops at its length.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !timer->isActive(); }, 3000));
        EXPECT_EQ(clock->text().toStdString(), c.clockAtEnd);
        EXPECT_TRUE(Child<QToolButton>("btnStop")->isEnabled());
    }
}

TEST_F(CdPreviewTest, PausesResumesAndStopsWhilePaused) {
    auto* pause = Child<QToolButton>("btnPause");
    list_.setCurrentItem(list_.topLevelItem(3));
    preview_->Play();
    // Past the first read of the disc, which may be slow, so that the pass under way when the
    // pause comes ends soon; after it nothing more is read.
    ASSERT_TRUE(QTest::qWaitFor([&] { return cdIn_->Position() > 0; }, 10000));
    pause->click();
    EXPECT_EQ(preview_->AudioOut().Status(), osPaused);
    int64_t pausedAt = -1;
    for (int i = 0; i < 20 && cdIn_->Position() != pausedAt; ++i) {
        pausedAt = cdIn_->Position();
        QTest::qWait(500);
    }
    QTest::qWait(500);
    EXPECT_EQ(cdIn_->Position(), pausedAt) << "nothing is read while paused";
    pause->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return cdIn_->Position() > pausedAt; }, 5000));
    pause->click();
    ASSERT_EQ(preview_->AudioOut().Status(), osPaused);

    Click("btnStop");
    EXPECT_EQ(preview_->AudioOut().Status(), osIdle);
    EXPECT_FALSE(cdIn_->Busy());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_FALSE(Child<QToolButton>("btnStop")->isEnabled());
    EXPECT_TRUE(Child<QLabel>("lblClock")->isHidden());
    EXPECT_TRUE(Child<QSlider>("TrackBar1")->isHidden());
    EXPECT_FALSE(Child<QTimer>("Timer2")->isActive());
    EXPECT_EQ(LastStatus(), "Preview Stopped");

    // Closing the window while paused ends the worker and releases the disc.
    preview_->Play();
    pause->click();
    status_.reset();
    preview_.reset();
    EXPECT_FALSE(cdIn_->Busy());
}

TEST_F(CdPreviewTest, ReportsADeviceThatCannotPlayAndShowsItStopped) {
    preview_->AudioOut().SetDeviceConfiguration("pcm.default { type hw card 97 }");
    QSignalSpy failed(preview_.get(), &TCdPreview::Failed);
    preview_->Play();
    ASSERT_TRUE(failed.wait(5000));
    EXPECT_FALSE(failed.first().at(0).toString().isEmpty());
    EXPECT_EQ(LastStatus(), "Preview Stopped");
    EXPECT_FALSE(Child<QToolButton>("btnStop")->isEnabled());
    EXPECT_FALSE(Child<QTimer>("Timer2")->isActive());
    EXPECT_FALSE(cdIn_->Busy());
}

} // namespace
} // namespace quillon
