#include "app/RipFrm.h"

#include "WindowTestSupport.h"
#include "app/AboutFrm.h"
#include "app/WindowGeometry.h"
#include "cd/CDRipLibrary.h"
#include "cd/fake/FakeCdRip.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"
#include "platform/DynamicLibrary.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// Each caption is "[n] - m:ss" with the minutes unpadded; every row starts ticked, titled
// "Track n" and "not ripped", and the hidden track selector lists the same captions.
TEST(RipFrmTest, ListsTheTracksOfADiscImageWithTheirCaptions) {
    TempDir dir;
    WindowUnderTest w;
    EXPECT_EQ(w.window.windowTitle(), "Quillon Rip PRO");
    EXPECT_FALSE(w.window.windowIcon().pixmap(32).isNull());
    // Tracks 3 and 7 last 4 min 5 s and 10 min 12 s.
    w.UseImage(WriteSparseImage(dir.Path().string(), "long",
                                {150, 75, 245 * 75, 75, 75 * 9 + 74, 75, 612 * 75}));
    const QStringList captions{"[1] - 0:02", "[2] - 0:01", "[3] - 4:05", "[4] - 0:01",
                               "[5] - 0:09", "[6] - 0:01", "[7] - 10:12"};
    QTreeWidget& list = w.List();
    ASSERT_EQ(list.columnCount(), 8);
    EXPECT_EQ(list.headerItem()->text(TRipFrm::colComment), "Comment");
    ASSERT_EQ(w.window.RowCount(), captions.size());
    auto* selector = w.window.findChild<QComboBox*>("ComboBox2");
    ASSERT_EQ(selector->count(), captions.size());
    EXPECT_FALSE(selector->isVisible());
    for (int i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(w.Cell(i, TRipFrm::colTrack), captions[i]);
        EXPECT_EQ(selector->itemText(i), captions[i]);
        EXPECT_EQ(w.Cell(i, TRipFrm::colTitle), QString("Track %1").arg(i + 1));
        EXPECT_EQ(w.Cell(i, TRipFrm::colStatus), "not ripped");
        EXPECT_TRUE(w.Ticked(i));
    }
    EXPECT_EQ(w.window.StatusText(3), "Audio Disc");
    EXPECT_EQ(w.window.CurrentTrack(), 1);
    selector->setCurrentIndex(4);
    EXPECT_EQ(w.window.CurrentTrack(), 5);
}

// The kinds of disc that images cannot show come from the CD tests' stand-in library. Only an
// audio disc can be listed, tagged, ripped and looked up.
TEST(RipFrmTest, OnlyAnAudioDiscCanBeRipped) {
    void* fake = dlopen(QUILLON_FakeCdRip, RTLD_NOW);
    ASSERT_NE(fake, nullptr);
    const auto configure =
        reinterpret_cast<void (*)(const FakeCdRipDisc*)>(dlsym(fake, "FakeCdRip_Configure"));
    ASSERT_NE(configure, nullptr);
    CDRipLibrary::Unload();
    LibraryNames::Override(LibraryId::CdRip, QUILLON_FakeCdRip);
    {
        WindowUnderTest w;
        constexpr uint8_t audio = 0x10;
        constexpr uint8_t data = 0x14;
        const struct {
            const char* status;
            int mediaState, tocResult;
            std::vector<uint8_t> tracks;
            bool usable;
        } cases[] = {
            {"Audio Disc", 0, 0, {audio, audio}, true}, {"No Disc", 1, 0, {audio, audio}, false},
            {"Mixed Data", 0, 0, {audio, data}, false}, {"Data Disk", 0, 0, {data}, false},
            {"Unknown", 0, 1, {audio}, false},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.status);
            FakeCdRipDisc disc{};
            disc.Drives = 1;
            disc.MediaState = c.mediaState;
            disc.TocResult = c.tocResult;
            disc.Entries = static_cast<int>(c.tracks.size());
            for (size_t i = 0; i <= c.tracks.size(); ++i) {
                disc.Toc[i] = {static_cast<int32_t>(i * 300),
                               i < c.tracks.size() ? c.tracks[i] : data,
                               static_cast<uint8_t>(i < c.tracks.size() ? i + 1 : 0xAA)};
            }
            disc.ChunkSectors = 75;
            configure(&disc);
            w.window.RefreshTrackList();
            EXPECT_EQ(w.window.StatusText(3), c.status);
            EXPECT_EQ(w.List().isEnabled(), c.usable);
            EXPECT_EQ(w.window.findChild<QGroupBox*>("GroupBox1")->isEnabled(), c.usable);
            for (const char* action : {"btnRip", "mnuRip", "btnFreeDB"}) {
                EXPECT_EQ(w.window.findChild<QAction*>(action)->isEnabled(), c.usable) << action;
            }
        }
    }
    CDRipLibrary::Unload();
    LibraryNames::ClearOverrides();
    dlclose(fake);
}

// The "Track" header ticks and unticks every row, its image telling which; the menu's
// selection commands, Space on a row, the tag panel's "+" and the tag column headers.
TEST(RipFrmTest, TicksRowsAndCopiesTagsBetweenPanelAndRows) {
    TempDir dir;
    WindowUnderTest w;
    w.UseImage(WriteDiscImage(dir.Path().string(), "three", {{75}, {75}, {75}}).sheet);
    QTreeWidget& list = w.List();
    QHeaderView* header = list.header();
    const auto clickHeader = [&](int column) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
    };
    const auto ticks = [&] {
        return QString("%1%2%3").arg(w.Ticked(0)).arg(w.Ticked(1)).arg(w.Ticked(2));
    };
    const auto menu = [&](const char* name) { w.window.findChild<QAction*>(name)->trigger(); };

    const struct {
        const char* step;
        std::function<void()> act;
        const char* ticks;
        int image;
    } steps[] = {
        {"start", [] {}, "111", 12},
        {"Track header", [&] { clickHeader(TRipFrm::colTrack); }, "000", 11},
        {"Track header again", [&] { clickHeader(TRipFrm::colTrack); }, "111", 12},
        {"Select None", [&] { menu("mnuSelectNone"); }, "000", 11},
        {"Space on row 2",
         [&] {
             list.setCurrentItem(list.topLevelItem(1), TRipFrm::colArtist);
             QTest::keyClick(&list, Qt::Key_Space);
         },
         "010", 11},
        {"Invert Selection", [&] { menu("mnuInvertSelection"); }, "101", 11},
        {"Select All", [&] { menu("mnuSelectAll"); }, "111", 12},
        {"Space again", [&] { QTest::keyClick(&list, Qt::Key_Space); }, "101", 12},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(ticks(), s.ticks) << s.step;
        EXPECT_EQ(w.window.TrackHeaderImage(), s.image) << s.step;
    }

    auto* title = w.window.findChild<QLineEdit*>("Edit1");
    auto* artist = w.window.findChild<QLineEdit*>("Edit2");
    auto* genre = w.window.findChild<QComboBox*>("ComboBox5");
    auto* plus = w.window.findChild<QPushButton*>("SpeedButton2");
    EXPECT_EQ(genre->count(), 148);
    EXPECT_EQ(genre->currentIndex(), -1);
    // "+" without a selected row changes nothing.
    list.clearSelection();
    title->setText("Lost");
    QTest::mouseClick(plus, Qt::LeftButton);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(w.Cell(row, TRipFrm::colTitle), QString("Track %1").arg(row + 1));
    }
    // A selected row fills the panel (the genre found without regard to case); "+" copies the
    // panel back into it.
    list.topLevelItem(2)->setText(TRipFrm::colGenre, "rock");
    list.topLevelItem(2)->setSelected(true);
    EXPECT_EQ(title->text(), "Track 3");
    EXPECT_EQ(genre->currentText(), "Rock");
    title->setText("Finale");
    artist->setText("Ensemble");
    QTest::mouseClick(plus, Qt::LeftButton);
    EXPECT_EQ(w.Cell(2, TRipFrm::colTitle), "Finale");
    EXPECT_EQ(w.Cell(2, TRipFrm::colArtist), "Ensemble");
    EXPECT_EQ(w.Cell(2, TRipFrm::colGenre), "Rock");
    // The Artist header gives every row the panel's artist; Title leaves the rows alone.
    clickHeader(TRipFrm::colArtist);
    clickHeader(TRipFrm::colTitle);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(w.Cell(row, TRipFrm::colArtist), "Ensemble");
    }
    EXPECT_EQ(w.Cell(0, TRipFrm::colTitle), "Track 1");
}

// A saved place is kept only where it lies wholly on a present screen; otherwise, and for a
// window never moved, the window is centred on the primary screen, no larger than it.
TEST(RipFrmTest, RestoresTheWindowOnlyWhereItFits) {
    const QRect design(244, 118, 541, 511);
    const QList<QRect> screens{{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    const struct {
        const char* name;
        QRect saved;
        QRect expected;
    } cases[] = {
        {"on the primary screen", {100, 50, 800, 600}, {100, 50, 800, 600}},
        {"on the second screen", {2000, 100, 700, 500}, {2000, 100, 700, 500}},
        {"never moved", design, {689, 264, 541, 511}},
        {"on a screen that is gone", {4000, 100, 700, 500}, {610, 270, 700, 500}},
        {"across two screens", {1800, 100, 700, 500}, {610, 270, 700, 500}},
        {"larger than the screen", {0, 0, 3000, 2000}, {0, 0, 1920, 1040}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FittedGeometry(c.saved, design, screens), c.expected) << c.name;
    }
}

// The about window shows the program's picture, name and version, and closes when clicked.
TEST(RipFrmTest, AboutWindowShowsTheProgramAndClosesOnAClick) {
    WindowUnderTest w;
    w.window.findChild<QAction*>("btnAbout")->trigger();
    auto* about = w.window.findChild<TAboutFrm*>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->Animating()) << "no animation offscreen";
    QStringList texts;
    for (const QLabel* label : about->findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    EXPECT_TRUE(texts.contains("Quillon Rip"));
    EXPECT_TRUE(texts.contains(QString("Version ") + QUILLON_VERSION));
    EXPECT_TRUE(texts.contains(QString("Home page: ") + kHomePage));
    const QLabel* picture = about->findChild<QLabel*>("Image1");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
    QPointer<TAboutFrm> guard(about);
    QTest::mouseClick(about, Qt::LeftButton);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 1000)) << "freed on closing";
}

} // namespace
} // namespace quillon::test
