#include "app/LanguageFiles.h"

#include "fixtures/Fixtures.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <fstream>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

template <typename Object> Object* Named(Object* object, const char* name) {
    object->setObjectName(name);
    return object;
}

// A window with one component of each kind a language file addresses, and a window inside
// it whose components are its own.
class TestFrm : public QMainWindow {
public:
    TestFrm() {
        setObjectName("TestFrm");
        setWindowTitle("Test window");
        QMenu* file = Named(menuBar()->addMenu("&File"), "mnuFile");
        exit = Named(file->addAction("E&xit"), "mnuExit");
        exit->setStatusTip("Leave the program");
        rip = Named(new QAction("RIP", this), "btnRip");
        rip->setToolTip("Rip the ticked tracks");
        addToolBar("Tools")->addAction(rip);

        auto* central = new QWidget(this);
        auto* layout = new QVBoxLayout(central);
        button = Named(new QPushButton("&Go", central), "Button1");
        button->setToolTip("Go on");
        label = Named(new QLabel("&Name:", central), "Label1");
        edit = Named(new QLineEdit("typed", central), "Edit1");
        label->setBuddy(edit);
        edit->setAccessibleName("Name");
        radios = Named(new QGroupBox("Speed", central), "RadioGroup1");
        auto* radioLayout = new QVBoxLayout(radios);
        for (const char* item : {"Slow", "Fast"}) {
            radioLayout->addWidget(new QRadioButton(item, radios));
        }
        tabs = new QTabWidget(central);
        tabs->addTab(Named(new QWidget, "TabSheet1"), "Common");
        list = Named(new QTreeWidget(central), "ListView1");
        list->setHeaderLabels({"Track", "Title", "Status"});
        for (QWidget* widget : {static_cast<QWidget*>(button), static_cast<QWidget*>(label),
                                static_cast<QWidget*>(edit), static_cast<QWidget*>(radios),
                                static_cast<QWidget*>(tabs), static_cast<QWidget*>(list)}) {
            layout->addWidget(widget);
        }
        setCentralWidget(central);
        panel = Named(new QLabel("Audio Disc", statusBar()), "StatusBar1Panel0");
        statusBar()->addWidget(panel);

        inner = Named(new QDialog(this), "InnerFrm");
        innerButton = Named(new QPushButton("Inner", inner), "Button1");
    }

    QAction* exit;
    QAction* rip;
    QPushButton* button;
    QLabel* label;
    QLineEdit* edit;
    QGroupBox* radios;
    QTabWidget* tabs;
    QTreeWidget* list;
    QLabel* panel;
    QDialog* inner;
    QPushButton* innerButton;
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A value with "||" sets a caption and a hint; without it, or with nothing after it, the hint
// is emptied; only the first "||" splits.
TEST(LanguageFilesTest, CaptionsAndHints) {
    const struct {
        const char* value;
        const char* caption;
        const char* hint;
    } cases[] = {
        {"Rippen||Markierte Titel rippen", "Rippen", "Markierte Titel rippen"},
        {"Rippen", "Rippen", ""},
        {"Rippen||", "Rippen", ""},
        {"Rippen||x", "Rippen", "x"},
        {"||Nur Hinweis", "", "Nur Hinweis"},
        {"A||B||C", "A", "B||C"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        TestFrm window;
        const std::string path = dir.File("DEU.ini");
        WriteText(path, std::string("[TestFrm]\nbtnRip=") + c.value + "\nButton1=" + c.value +
                            "\nLabel1=" + c.value + "\n");
        LoadLanguage(QString::fromStdString(path), {&window});
        EXPECT_EQ(window.rip->text(), c.caption) << c.value;
        EXPECT_EQ(window.rip->statusTip(), c.hint) << c.value;
        EXPECT_EQ(window.rip->toolTip(), *c.hint != 0 ? c.hint : c.caption)
            << "an empty hint shows the caption, as Qt does";
        EXPECT_EQ(window.button->text(), c.caption) << c.value;
        EXPECT_EQ(window.button->toolTip(), c.hint) << c.value;
        EXPECT_EQ(window.label->text(), c.caption) << c.value;
        EXPECT_EQ(window.label->toolTip(), c.hint) << c.value;
    }
}

TEST(LanguageFilesTest, TranslatesEveryKindAndWritesTheCaption) {
    TempDir dir;
    const std::string path = dir.File("DEU.ini");
    WriteText(path,
              "; comment\n[testfrm]\nmnuFile=&Datei\nMNUEXIT=&Beenden\n"
              "Label1=Tit&el:\nStatusBar1Panel0=Keine CD\nRadioGroup1=Tempo\nRadioGroup11=Schnell\n"
              "TabSheet1=Allgemein\nListView12=Zustand\nEdit1=not a text field's\n"
              "InnerFrm=Innen\n[InnerFrm]\nButton1=Innen\n");
    TestFrm window;
    LoadLanguage(QString::fromStdString(path), {&window});

    EXPECT_EQ(window.menuBar()->actions().front()->text(), "&Datei");
    EXPECT_EQ(window.exit->text(), "&Beenden");
    EXPECT_EQ(window.exit->statusTip(), "") << "a value without \"||\" empties the hint";
    EXPECT_EQ(window.button->text(), "&Go") << "a missing key keeps the caption";
    EXPECT_EQ(window.button->toolTip(), "Go on") << "and the hint";
    EXPECT_EQ(window.label->text(), "Tit&el:");
    EXPECT_EQ(window.edit->accessibleName(), "Titel") << "the field follows its label";
    EXPECT_EQ(window.panel->text(), "Audio Disc") << "status bar panels are not captions";
    EXPECT_EQ(window.edit->text(), "typed");
    EXPECT_EQ(window.radios->title(), "Tempo");
    const auto items = window.radios->findChildren<QRadioButton*>();
    EXPECT_EQ(items[0]->text(), "Slow");
    EXPECT_EQ(items[1]->text(), "Schnell");
    EXPECT_EQ(window.tabs->tabText(0), "Allgemein");
    EXPECT_EQ(window.list->headerItem()->text(1), "Title");
    EXPECT_EQ(window.list->headerItem()->text(2), "Zustand");
    EXPECT_EQ(window.windowTitle(), "Test window") << "captions are not translated";
    EXPECT_EQ(window.innerButton->text(), "Inner") << "a window inside is not a component";

    const IniFile file(path);
    EXPECT_EQ(file.ReadString("TestFrm", "TestFrm", ""), "Test window");
    EXPECT_EQ(file.ReadSection("testfrm").size(), 11u) << "the caption joins the section";
}

TEST(LanguageFilesTest, MissingFileKeepsTheTextsAndIsCreated) {
    TempDir dir;
    TestFrm window;
    const std::string path = dir.File("FRA.ini");
    LoadLanguage(QString::fromStdString(path), {&window, nullptr});
    EXPECT_EQ(window.exit->text(), "E&xit");
    EXPECT_EQ(window.exit->statusTip(), "Leave the program");
    EXPECT_EQ(window.rip->toolTip(), "Rip the ticked tracks");
    EXPECT_EQ(window.list->headerItem()->text(2), "Status");
    EXPECT_EQ(IniFile(path).ReadString("TestFrm", "TestFrm", ""), "Test window");

    LoadLanguage(QString::fromStdString(dir.File("missing/FRA.ini")), {&window});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("missing"))));
    EXPECT_EQ(window.button->text(), "&Go");
}

// The menu reads in name order above what it held; "English.ini" gives "Eng", whose file is
// "Eng.ini". Only "*.ini" files count, and a missing folder gives no entries.
TEST(LanguageFilesTest, LanguageMenuListsTheFiles) {
    TempDir dir;
    for (const char* name : {"fra.ini", "English.ini", "DEU.ini", "EN.ini", "notes.txt", "X.INI"}) {
        WriteText(dir.File(name), "");
    }
    QMenu menu;
    menu.addAction("Other");
    const QList<QAction*> entries =
        FillLanguageMenu(menu, QString::fromStdString(dir.Path().string()));
    QStringList names;
    for (QAction* entry : entries) {
        names << LanguageName(*entry);
        EXPECT_TRUE(entry->isCheckable());
        EXPECT_TRUE(entry->objectName().isEmpty()) << "entries are not translated";
    }
    EXPECT_EQ(names, QStringList({"DEU", "EN", "Eng", "fra"}));
    ASSERT_EQ(menu.actions().size(), 5);
    EXPECT_EQ(menu.actions().mid(0, 4), entries);
    entries[1]->trigger();
    entries[2]->trigger();
    EXPECT_FALSE(entries[1]->isChecked()) << "one group";
    EXPECT_TRUE(entries[2]->isChecked());

    QAction marked("A&&B&C");
    EXPECT_EQ(LanguageName(marked), "A&BC");

    QMenu empty;
    EXPECT_TRUE(FillLanguageMenu(empty, QString::fromStdString(dir.File("none"))).isEmpty());
}

} // namespace
} // namespace quillon::test
