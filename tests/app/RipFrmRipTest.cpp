#include "WindowTestSupport.h"
#include "app/OperationProgressFrm.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

Settings RipSettings(const std::string& folder) {
    Settings settings;
    settings.Set("FilePath", folder + "/");
    settings.Set("RipToFormat", "WAV");
    settings.Set("OutputFileNameFormat", "<Track Number>-<Title>");
    settings.Set("InformWhenDone", "1");
    return settings;
}

// RIP writes each ticked track under the pattern's name into the "Rip to:" folder, the Status
// column following each track to "Complete"; a folder that cannot be made fails every ticked
// track with the reason in the status bar and no claim of success.
TEST(RipFrmRipTest, RipsTheTickedTracksIntoTheRipFolder) {
    TempDir dir;
    const std::string sheet =
        WriteDiscImage(dir.Path().string(), "three", {{75}, {150}, {90}}).sheet;
    WriteFileBytes(dir.File("file"), {'x'});
    const struct {
        const char* name;
        std::string folder;
        std::vector<std::string> files;
        QStringList statuses;
        QString message;
    } cases[] = {
        {"into a new folder",
         dir.File("rips/new"),
         {"01-Intro.WAV", "03-Track 3.WAV"},
         {"Complete", "not ripped", "Complete"},
         "All Done: Operation complete successful"},
        {"into a folder that cannot be made",
         dir.File("file/sub"),
         {},
         {"Failed", "not ripped", "Failed"},
         "Rip: Some tracks could not be ripped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageLog messages;
        WindowUnderTest w(RipSettings(c.folder));
        w.UseImage(sheet);
        w.List().topLevelItem(0)->setText(TRipFrm::colTitle, "Intro");
        w.List().topLevelItem(1)->setCheckState(TRipFrm::colTrack, Qt::Unchecked);

        w.window.RipButton();

        EXPECT_FALSE(w.window.Ripping());
        EXPECT_EQ(FolderNames(c.folder), c.files);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(w.Cell(row, TRipFrm::colStatus), c.statuses[row]) << row;
        }
        EXPECT_EQ(messages.Shown(), QStringList{c.message});
        EXPECT_EQ(w.window.StatusText(0).isEmpty(), c.statuses[0] != "Failed");
        EXPECT_TRUE(w.window.centralWidget()->isEnabled());
        for (const auto* progress : w.window.findChildren<TOperationProgressFrm*>()) {
            EXPECT_FALSE(progress->isVisible());
        }
        if (!c.files.empty()) {
            EXPECT_EQ(std::filesystem::file_size(c.folder + "/" + c.files[0]), 44u + 75 * 2352);
        }
    }
}

// Cancel in the progress window, or closing the main window, during the second of three
// tracks: the rip stops, the second track leaves no file under its name, the third stays
// "not ripped". Closing then closes the window and saves the settings, without a message.
TEST(RipFrmRipTest, CancelOrCloseDuringARipStopsItCleanly) {
    TempDir dir;
    // The second track is long enough (4 minutes) to be stopped half-way.
    const std::string sheet =
        WriteDiscImage(dir.Path().string(), "long", {{75}, {75 * 240}, {75}}).sheet;
    const struct {
        const char* name;
        bool close;
    } cases[] = {{"Cancel", false}, {"close", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.File(std::string("rips-") + c.name);
        MessageLog messages;
        WindowUnderTest w(RipSettings(folder));
        w.UseImage(sheet);
        bool acted = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (acted || !w.Cell(1, TRipFrm::colStatus).endsWith("% Done")) {
                return;
            }
            acted = true;
            if (c.close) {
                w.window.close();
            } else {
                auto* progress = w.window.findChild<TOperationProgressFrm*>();
                ASSERT_NE(progress, nullptr);
                EXPECT_TRUE(progress->isVisible());
                EXPECT_EQ(progress->Caption().toStdString(),
                          "Track 2: " + folder + "/02-Track 2.WAV");
                QTest::mouseClick(progress->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
            }
        });
        watch.start(1);

        w.window.RipButton();

        EXPECT_TRUE(acted);
        EXPECT_EQ(w.Cell(0, TRipFrm::colStatus), "Complete");
        EXPECT_EQ(w.Cell(1, TRipFrm::colStatus), "Stopped");
        EXPECT_EQ(w.Cell(2, TRipFrm::colStatus), "not ripped");
        EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"01-Track 1.WAV"});
        EXPECT_EQ(w.window.isVisible(), !c.close);
        EXPECT_EQ(messages.Shown(),
                  c.close ? QStringList{} : QStringList{"All Done: Operation complete successful"});
        if (c.close) {
            EXPECT_EQ(SettingsStore::Load().Text("FilePath"), folder + "/");
        }
    }
}

} // namespace
} // namespace quillon::test
