#include "app/FrmConverter.h"

#include "WindowTestSupport.h"
#include "app/TagEditorFrm.h"
#include "app/TrackList.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

using Col = TTrackList::Column;

// The converter window with its options window holding the test's settings, shown offscreen.
struct ConverterUnderTest {
    explicit ConverterUnderTest(const Settings& settings = Settings()) {
        options.LoadSettings(settings);
        window.show();
    }

    // Adds the paths, by a drop on the window or as "Open Files" does, and waits for the rows.
    void Add(const QStringList& paths, bool drop) {
        if (drop) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& path : paths) {
                urls.append(QUrl::fromLocalFile(path));
            }
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&window, &enter);
            EXPECT_TRUE(enter.isAccepted());
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&window, &dropped);
        } else {
            window.AddFiles(paths);
        }
        EXPECT_TRUE(window.Loading());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Loading(); }, 20000));
    }
    QString Cell(int row, int column) {
        const QTreeWidgetItem* item = window.List().topLevelItem(row);
        return item ? item->text(column) : "(no row)";
    }
    QStringList Column(int column) {
        QStringList cells;
        for (int row = 0; row < window.RowCount(); ++row) {
            cells.append(Cell(row, column));
        }
        return cells;
    }
    bool Ticked(int row) {
        const QTreeWidgetItem* item = window.List().topLevelItem(row);
        return item && item->checkState(Col::colTrack) == Qt::Checked;
    }
    template <typename T> T& Child(const char* name) {
        T* child = window.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return *child;
    }

    TOptionsFrm options;
    TFrmConverter window{&options};
};

Settings ConvertSettings(const std::string& folder, const std::string& format) {
    Settings settings;
    settings.Set("ConvFilePath", folder + "/");
    settings.Set("RipToFormat", format);
    settings.Set("OutputFileNameFormat", "<Track Number>-<Title>");
    settings.Set("InformWhenDone", "1");
    settings.Set("SavePlayList", "0");
    return settings;
}

void WriteWav(const std::string& file, int bits, int channels, int64_t frames, int rate = 8000) {
    WriteFileBytes(file, PcmWavBytes(rate, bits, channels,
                                     bits == 8 ? Tone8(rate, channels, frames)
                                               : AsBytes(Tone16(rate, channels, frames))));
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (std::filesystem::exists(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The window's fixed parts, then files dropped or opened step by step: only the six audio
// extensions in any case are listed, each file once, folders with their audio files in
// natural order; each row ticked, "not converted", with the file's tags and its duration as
// a time.
TEST(FrmConverterTest, ListsEachAudioFileOnceWithItsTagsAndDuration) {
    TempDir dir;
    ConverterUnderTest c;
    EXPECT_EQ(c.window.windowTitle(), "Quillon Audio Converter");
    EXPECT_EQ(c.window.objectName(), "FrmConverter");
    QStringList actions;
    for (const QAction* action : c.Child<QToolBar>("ToolBar1").actions()) {
        actions.append(action->text() + " " + action->shortcut().toString() +
                       (action->isEnabled() ? "" : " (off)"));
    }
    EXPECT_EQ(actions, QStringList({"&Open Files Ctrl+O", "&Convert Ctrl+R", "&Stop Esc (off)",
                                    "O&ptions Ctrl+,"}));
    QTreeWidget& list = c.window.List();
    EXPECT_EQ(list.accessibleName(), "Files");
    QStringList columns;
    for (int i = 0; i < list.columnCount(); ++i) {
        columns.append(list.headerItem()->text(i));
    }
    EXPECT_EQ(columns, QStringList({"Track", "Title", "Status", "Artist", "Album", "Year", "Genre",
                                    "Comment", "Duration"}));
    EXPECT_EQ(c.Child<QStatusBar>("StatusBar1").findChildren<QLabel*>().size(), 3);

    WriteWav(dir.File("long.wav"), 8, 1, 8000 * 205);
    WriteWav(dir.File("tone.wav"), 16, 2, 16000);
    ASSERT_EQ(Shell("lame --quiet -b 64 --tt Song --ta Band --tl Disc --ty 1999 " +
                    Quote(dir.File("tone.wav")) + " " + Quote(dir.File("song.mp3"))),
              0);
    WriteFileBytes(dir.File("notes.txt"), {'x'});
    std::filesystem::create_directories(dir.File("more/deeper"));
    for (const char* name : {"more/10.wav", "more/2.WAV", "more/deeper/1.Wav", "more/x.txt"}) {
        WriteWav(dir.File(name), 16, 1, 800);
    }

    const struct {
        const char* name;
        bool drop;
        QStringList paths;
        QStringList files;
    } steps[] = {
        {"a text file and an MP3 dropped",
         true,
         {Q(dir.File("notes.txt")), Q(dir.File("song.mp3"))},
         {"song.mp3"}},
        {"the MP3 again and a WAV opened",
         false,
         {Q(dir.File("song.mp3")), Q(dir.File("long.wav")), Q(dir.File("./long.wav"))},
         {"song.mp3", "long.wav"}},
        {"a folder dropped",
         true,
         {Q(dir.File("more"))},
         {"song.mp3", "long.wav", "more/2.WAV", "more/10.wav", "more/deeper/1.Wav"}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        c.Add(s.paths, s.drop);
        QStringList files;
        for (const QString& path : c.Column(Col::colTrack)) {
            files.append(QDir(Q(dir.Path().string())).relativeFilePath(path));
        }
        EXPECT_EQ(files, s.files);
        for (int row = 0; row < c.window.RowCount(); ++row) {
            EXPECT_TRUE(c.Ticked(row));
            EXPECT_EQ(c.Cell(row, Col::colStatus), "not converted");
        }
    }
    EXPECT_EQ(c.Cell(0, Col::colTitle), "Song");
    EXPECT_EQ(c.Cell(0, Col::colArtist), "Band");
    EXPECT_EQ(c.Cell(0, Col::colYear), "1999");
    EXPECT_EQ(c.Cell(0, Col::colDuration), "00:00:02");
    EXPECT_EQ(c.Cell(1, Col::colDuration), "00:03:25");
    EXPECT_EQ(c.Cell(2, Col::colDuration), "00:00:00");
}

// The "Track" header, Space, a selected row filling the tag panel, "+", the tag column headers
// and Delete, step by step; a deleted file may be added again.
TEST(FrmConverterTest, TicksCopiesTagsAndDeletesRows) {
    TempDir dir;
    ConverterUnderTest c;
    QStringList paths;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        WriteWav(dir.File(name), 16, 1, 800);
        paths.append(Q(dir.File(name)));
    }
    c.Add(paths, false);
    QTreeWidget& list = c.window.List();
    QHeaderView* header = list.header();
    const auto clickHeader = [&](int column) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
    };
    auto& title = c.Child<QLineEdit>("Edit1");
    auto& artist = c.Child<QLineEdit>("Edit2");
    auto& genre = c.Child<QComboBox>("ComboBox5");
    const auto select = [&](std::initializer_list<int> rows) {
        list.clearSelection();
        for (const int row : rows) {
            list.topLevelItem(row)->setSelected(true);
        }
    };
    const auto state = [&] {
        QString text;
        for (int row = 0; row < c.window.RowCount(); ++row) {
            text += QString("%1:%2:%3 ")
                        .arg(c.Ticked(row))
                        .arg(c.Cell(row, Col::colTitle), c.Cell(row, Col::colArtist));
        }
        return text + QString("| %1 %2 %3").arg(title.text(), artist.text(), genre.currentText());
    };

    const struct {
        const char* step;
        std::function<void()> act;
        const char* state;
        int image;
    } steps[] = {
        {"start", [] {}, "1:: 1:: 1:: |   ", 12},
        {"Track header", [&] { clickHeader(Col::colTrack); }, "0:: 0:: 0:: |   ", 11},
        {"Space on row 2",
         [&] {
             list.setCurrentItem(list.topLevelItem(1), Col::colArtist);
             QTest::keyClick(&list, Qt::Key_Space);
         },
         "0:: 1:: 0:: |   ", 11},
        {"Track header again", [&] { clickHeader(Col::colTrack); }, "1:: 1:: 1:: |   ", 12},
        {"row 3 chosen, the panel edited, +",
         [&] {
             list.topLevelItem(2)->setText(Col::colGenre, "jazz");
             select({2});
             title.setText("Tune");
             artist.setText("Player");
             QTest::mouseClick(&c.Child<QPushButton>("SpeedButton2"), Qt::LeftButton);
         },
         "1:: 1:: 1:Tune:Player | Tune Player Jazz", 12},
        {"Artist header, then Title and Duration headers",
         [&] {
             clickHeader(Col::colArtist);
             clickHeader(Col::colTitle);
             clickHeader(Col::colDuration);
         },
         "1::Player 1::Player 1:Tune:Player | Tune Player Jazz", 12},
        {"Delete on rows 1 and 3",
         [&] {
             select({0, 2});
             QTest::keyClick(&list, Qt::Key_Delete);
         },
         "1::Player |   ", 12},
        {"the deleted files added again", [&] { c.Add(paths, true); }, "1::Player 1:: 1:: |   ",
         12},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(state(), s.state) << s.step;
        EXPECT_EQ(c.window.TrackHeaderImage(), s.image) << s.step;
    }
    EXPECT_EQ(c.Column(Col::colTrack), QStringList({paths[1], paths[0], paths[2]}));
}

// Convert writes the ticked rows with the tags as edited in the list, a mono 8-bit file
// becomes stereo 16-bit, and a file whose output cannot be written fails in its row and the
// status bar while the next one is converted.
TEST(FrmConverterTest, ConvertsTheTickedRowsWithTheirTags) {
    ASSERT_TRUE(HaveMutagen());
    TempDir dir;
    WriteWav(dir.File("a.wav"), 16, 2, 8000);
    WriteWav(dir.File("b.wav"), 16, 2, 8000);
    WriteWav(dir.File("mono8.wav"), 8, 1, 8000);
    const std::string out = dir.File("out");
    std::filesystem::create_directories(out + "/01-Blocked.WAV");
    const struct {
        const char* name;
        std::string format;
        QStringList files;
        std::function<void(ConverterUnderTest&)> edit;
        QStringList statuses;
        std::vector<std::string> outputs;
        QString message;
    } cases[] = {
        {"edited tags to MP3, the unticked row left",
         "MP3",
         {Q(dir.File("a.wav")), Q(dir.File("b.wav"))},
         [](ConverterUnderTest& c) {
             c.window.List().topLevelItem(0)->setSelected(true);
             c.Child<QLineEdit>("Edit1").setText("Über Title");
             c.Child<QLineEdit>("Edit2").setText("Ärtist");
             c.Child<QComboBox>("ComboBox5").setCurrentText("Jazz");
             QTest::mouseClick(&c.Child<QPushButton>("SpeedButton2"), Qt::LeftButton);
             c.window.List().topLevelItem(1)->setCheckState(Col::colTrack, Qt::Unchecked);
         },
         {"Complete", "not converted"},
         {"01-Über Title.MP3"},
         "All Done: Operation complete successful"},
        {"mono 8-bit to WAV",
         "WAV",
         {Q(dir.File("mono8.wav"))},
         [](ConverterUnderTest& c) {
             c.window.List().topLevelItem(0)->setText(Col::colTitle, "Mono");
         },
         {"Complete"},
         {"01-Mono.WAV"},
         "All Done: Operation complete successful"},
        {"an output that cannot be written",
         "WAV",
         {Q(dir.File("a.wav")), Q(dir.File("b.wav"))},
         [](ConverterUnderTest& c) {
             c.window.List().topLevelItem(0)->setText(Col::colTitle, "Blocked");
             c.window.List().topLevelItem(1)->setText(Col::colTitle, "Free");
         },
         {"Failed: ", "Complete"},
         {"02-Free.WAV"},
         "Convert: Some files could not be converted."},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        MessageLog messages;
        ConverterUnderTest c(ConvertSettings(out, k.format));
        c.Add(k.files, false);
        k.edit(c);
        const std::vector<std::string> before = Names(out);

        c.window.ConvertButton();

        EXPECT_FALSE(c.window.Converting());
        QStringList statuses = c.Column(Col::colStatus);
        if (statuses.front().startsWith("Failed: ")) {
            EXPECT_EQ(c.window.StatusText(0), statuses.front().mid(8));
            EXPECT_FALSE(c.window.StatusText(0).isEmpty());
            statuses.front() = "Failed: ";
        }
        EXPECT_EQ(statuses, k.statuses);
        std::vector<std::string> made;
        for (const std::string& name : Names(out)) {
            if (std::find(before.begin(), before.end(), name) == before.end()) {
                made.push_back(name);
            }
        }
        EXPECT_EQ(made, k.outputs);
        EXPECT_EQ(messages.Shown(), QStringList{k.message});
        EXPECT_TRUE(c.window.List().isEnabled());
        const std::string output = out + "/" + k.outputs.front();
        if (k.format == "MP3") {
            EXPECT_EQ(RunPython("import sys, mutagen\n"
                                "t = mutagen.File(sys.argv[1], easy=True)\n"
                                "print(t['title'][0], t['artist'][0], t['genre'][0], sep='|')\n",
                                Quote(output)),
                      "Über Title|Ärtist|Jazz\n");
        } else if (k.outputs.front() == "01-Mono.WAV") {
            const std::vector<uint8_t> bytes = ReadFileBytes(output);
            ASSERT_GE(bytes.size(), 44u);
            EXPECT_EQ(bytes[22], 2) << "channels";
            EXPECT_EQ(bytes[34], 16) << "bits per sample";
            EXPECT_EQ(bytes.size(), 44u + 8000 * 4);
        }
        std::filesystem::remove(output);
    }
}

// Stop, or closing the window, while the first of two files is converted: its output is
// discarded, it shows "Stopped" and the second row keeps "not converted".
TEST(FrmConverterTest, StopOrCloseDuringARunDiscardsTheCurrentFile) {
    TempDir dir;
    WriteWav(dir.File("long.wav"), 16, 2, 44100 * 60, 44100);
    WriteWav(dir.File("short.wav"), 16, 2, 800);
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "Stop");
        const std::string out = dir.File(close ? "closed" : "stopped");
        MessageLog messages;
        ConverterUnderTest c(ConvertSettings(out, "MP3"));
        c.Add({Q(dir.File("long.wav")), Q(dir.File("short.wav"))}, false);
        bool acted = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (acted || !c.Cell(0, Col::colStatus).endsWith("% Done")) {
                return;
            }
            acted = true;
            EXPECT_TRUE(c.Child<QAction>("btnStop").isEnabled());
            EXPECT_FALSE(c.Child<QAction>("btnConvert").isEnabled());
            if (close) {
                c.window.close();
            } else {
                c.Child<QAction>("btnStop").trigger();
            }
        });
        watch.start(1);

        c.window.ConvertButton();

        EXPECT_TRUE(acted);
        EXPECT_EQ(c.Column(Col::colStatus), QStringList({"Stopped", "not converted"}));
        EXPECT_EQ(Names(out), std::vector<std::string>{});
        EXPECT_EQ(c.window.isVisible(), !close);
        EXPECT_FALSE(c.Child<QAction>("btnStop").isEnabled());
        EXPECT_EQ(messages.Shown(),
                  close ? QStringList{} : QStringList{"All Done: Operation complete successful"});
    }
}

// The main window's "Files Converter..." and "Tag Editor..." show their windows.
TEST(FrmConverterTest, MainWindowShowsTheConverterAndTheTagEditor) {
    TOptionsFrm options;
    TRipFrm main;
    TFrmConverter converter(&options);
    TTagEditorFrm tagEditor;
    main.SetWindows(&options, &converter, &tagEditor);
    main.show();
    const struct {
        const char* entry;
        QWidget* window;
    } cases[] = {{"mnuConverter", &converter}, {"mnuTagEditor", &tagEditor}};
    for (const auto& c : cases) {
        EXPECT_FALSE(c.window->isVisible()) << c.entry;
        main.findChild<QAction*>(c.entry)->trigger();
        EXPECT_TRUE(c.window->isVisible()) << c.entry;
    }
}

} // namespace
} // namespace quillon::test
