#include "WindowTestSupport.h"
#include "fixtures/CddbServerProcess.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// FreeDB looks the disc up on the server of the options: an entry fills the rows and the tag
// panel; no match and a failing server leave them as they were, each with its message. The
// hidden log keeps every line of the exchange. A lookup overtaken by a new listing of the drive
// ends silently, so that its entry never names rows of another disc.
TEST(RipFrmLookupTest, LooksTheDiscUpAndFillsTheRows) {
    TempDir dir;
    // The two tracks of the server's entry rock/06000502.
    const std::string sheet = WriteDiscImage(dir.Path().string(), "rock", {{150}, {225}}).sheet;
    const struct {
        const char* name;
        QStringList switches;
        QString message;
        QStringList titles;
        QString artist;
        bool refresh = false;
    } cases[] = {
        {"entry",
         {},
         "Complete: Operation complete successful",
         {"First Song", "Second Song"},
         "Test Artist"},
        {"no match",
         {"--query-code", "202"},
         "Complete: Can't find CD info",
         {"Track 1", "Track 2"},
         ""},
        {"server error",
         {"--http-status", "500"},
         "Error: Error ocured",
         {"Track 1", "Track 2"},
         ""},
        {"refresh during the lookup", {}, "", {"Track 1", "Track 2"}, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CddbServerProcess server(c.switches);
        Settings settings;
        settings.Set("FreeDBServer", server.Address("http"));
        MessageLog messages;
        WindowUnderTest w(settings);
        w.UseImage(sheet);

        w.window.findChild<QAction*>("btnFreeDB")->trigger();
        if (c.refresh) {
            w.window.findChild<QAction*>("btnRefresh")->trigger();
        }
        const bool shown =
            QTest::qWaitFor([&] { return !messages.Shown().isEmpty(); }, c.refresh ? 1500 : 30000);

        EXPECT_EQ(shown, !c.refresh);
        EXPECT_EQ(messages.Shown(), c.refresh ? QStringList{} : QStringList{c.message});
        for (int row = 0; row < 2; ++row) {
            EXPECT_EQ(w.Cell(row, TRipFrm::colTitle), c.titles[row]);
            EXPECT_EQ(w.Cell(row, TRipFrm::colArtist), c.artist);
        }
        EXPECT_EQ(w.window.findChild<QLineEdit*>("Edit2")->text(), c.artist);
        const QString log = w.window.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
        EXPECT_TRUE(c.refresh || log.contains("cddb query 06000502 2 150 300 7") ||
                    log.contains("cddb+query+06000502+2+150+300+7"))
            << log.toStdString();
        if (c.titles[0] == "First Song") {
            EXPECT_EQ(w.Cell(1, TRipFrm::colAlbum), "Two Track Album");
            EXPECT_EQ(w.Cell(1, TRipFrm::colYear), "2001");
            EXPECT_EQ(w.Cell(1, TRipFrm::colGenre), "Rock");
            EXPECT_EQ(w.window.findChild<QLineEdit*>("Edit3")->text(), "Two Track Album");
            EXPECT_EQ(w.window.findChild<QComboBox*>("ComboBox5")->currentText(), "Rock");
            EXPECT_TRUE(log.contains("DTITLE=Test Artist / Two Track Album"));
        }
    }
}

} // namespace
} // namespace quillon::test
