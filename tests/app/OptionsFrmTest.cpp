#include "app/OptionsFrm.h"

#include "app/LanguageFiles.h"
#include "fixtures/Fixtures.h"
#include "workflow/Settings.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// A window over a private settings store, with the shipped WMA profiles.
class OptionsFrmTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.Path().string()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(config_.Path().string()));
        window_.FillWmaProfiles(QUILLON_SOURCE_DIR "/data/Profiles");
    }

    // The window loaded from a store that holds only these values.
    Settings LoadFromStore(const std::vector<std::pair<std::string, std::string>>& values) {
        QSettings("Tovalen", "QuillonRip").clear();
        EXPECT_TRUE(SettingsStore::Store(values));
        window_.LoadSettings(SettingsStore::Load());
        return window_.Snapshot();
    }

    template <typename Widget> Widget* Control(const char* name) {
        auto* widget = window_.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    TempDir config_;
    TOptionsFrm window_;
};

bool HasControl(const SettingDefinition& definition) {
    const std::string name = definition.name;
    return name != "Language" && name != "Left" && name != "Top" && name != "Width" &&
           name != "Height" && name != "CDDBUserEmail";
}

TEST_F(OptionsFrmTest, FreshStoreGivesTheDefaultsAndSavingWritesEveryValue) {
    const Settings snapshot = LoadFromStore({});
    const Settings defaults;
    for (const SettingDefinition& definition : SettingsTable()) {
        EXPECT_EQ(snapshot.Raw(definition.name), defaults.Raw(definition.name)) << definition.name;
    }
    EXPECT_EQ(window_.FormatText(), "MP3");
    EXPECT_TRUE(Control<QCheckBox>("CheckBox3")->isChecked()) << "Original";
    EXPECT_EQ(Control<QComboBox>("ComboBox9")->currentText(), "WMA 128 kbps stereo");
    EXPECT_EQ(Control<QComboBox>("ComboBox14")->currentText(), "gnudb.gnudb.org");

    SettingsStore::Save(window_.Snapshot());
    QSettings store("Tovalen", "QuillonRip");
    store.beginGroup("Main");
    for (const SettingDefinition& definition : SettingsTable()) {
        EXPECT_TRUE(store.contains(definition.name)) << definition.name;
    }
}

// Every value of the table, stored unlike its default, reaches its control and comes back;
// list texts are matched in any letter case and saved as the list spells them.
TEST_F(OptionsFrmTest, LoadsAndSavesEveryValueOfTheTable) {
    std::vector<std::pair<std::string, std::string>> stored = {
        {"CDDBUserEmail", "ann@example.org"}};
    Settings expected;
    expected.Set("CDDBUserEmail", "ann@example.org");
    for (const SettingDefinition& definition : SettingsTable()) {
        if (!HasControl(definition)) {
            continue;
        }
        const std::string name = definition.name;
        std::string value;
        std::string saved;
        switch (definition.kind) {
        case SettingKind::Boolean:
            value = saved = definition.defaultValue == "0" ? "1" : "0";
            break;
        case SettingKind::Integer:
            value = saved = "42";
            break;
        case SettingKind::Text:
            value = saved = "/tmp/Rips ä/" + name + "/";
            break;
        case SettingKind::ListText:
            saved = definition.entries.front() == definition.defaultValue
                        ? definition.entries.back()
                        : definition.entries.front();
            value = QString::fromStdString(saved).toLower().toStdString();
            break;
        case SettingKind::ListPos:
            value = saved =
                definition.entries.empty() ? "11" : std::to_string(definition.entries.size() - 1);
            break;
        case SettingKind::Server:
            value = saved = "cddb.example.org:8880";
            break;
        }
        stored.emplace_back(name, value);
        expected.Set(name, saved);
    }

    const Settings snapshot = LoadFromStore(stored);
    SettingsStore::Save(snapshot);
    const Settings reloaded = SettingsStore::Load();
    for (const SettingDefinition& definition : SettingsTable()) {
        EXPECT_EQ(snapshot.Raw(definition.name), expected.Raw(definition.name)) << definition.name;
        EXPECT_EQ(reloaded.Raw(definition.name), expected.Raw(definition.name)) << definition.name;
    }
    EXPECT_EQ(Control<QComboBox>("ComboBox14")->currentText(), "cddb.example.org:8880");
    EXPECT_EQ(Control<QComboBox>("ComboBox9")->currentText(), "WMA 192 kbps stereo");
}

TEST_F(OptionsFrmTest, StoredValuesOutsideTheirControlsLeaveThemUnselected) {
    const struct {
        const char* name;
        const char* stored;
        const char* snapshot;
    } cases[] = {
        {"Mode", "Quadro", ""},                             // a text in no entry
        {"RipToFormat", "AAC", ""},                         // no format at all
        {"OutputFileNameFormat", "<Album>", ""},            // names then use the title
        {"Original", "0", "0"},                             // unticks "Original"
        {"Original", "x", "1"},                             // not a number: the default
        {"WMABitrate", "12", "-1"},                         // beyond the 12 profiles
        {"DesiredNominalBitrate", "16", "-1"},              // beyond the list
        {"APECompressionLevel", "-3", "-1"},                // before it
        {"FreeDBServer", "DE.FREEDB.ORG", "de.freedb.org"}, // as the list spells it
        {"FreeDBServer", "not a server", ""},               // neither an entry nor HOST:PORT
        {"OGGCompressionLevel", "5", "10"},                 // kept within the spin box's range
        {"OGGCompressionLevel", "loud", "75"},              // not a number: the default
    };
    for (const auto& c : cases) {
        QSignalSpy formatChanged(&window_, &TOptionsFrm::FormatChanged);
        const Settings snapshot = LoadFromStore({{c.name, c.stored}});
        EXPECT_EQ(snapshot.Raw(c.name), c.snapshot) << c.name << "=" << c.stored;
        ASSERT_EQ(formatChanged.count(), 1) << "loading runs the format list's handler";
        EXPECT_EQ(formatChanged.at(0).at(0).toString(), window_.FormatText());
    }
    LoadFromStore({{"RipToFormat", "AAC"}});
    EXPECT_EQ(Control<QComboBox>("ComboBox1")->currentIndex(), -1);
    EXPECT_EQ(window_.FormatText(), "");
}

// The example follows the pattern list only: loading settings, another folder or another
// format leave it until the pattern changes.
TEST_F(OptionsFrmTest, ExampleFollowsThePatternList) {
    auto* example = Control<QLineEdit>("Edit3");
    auto* patterns = Control<QComboBox>("ComboBox15");
    auto* formats = Control<QComboBox>("ComboBox1");
    const QString initial = example->text();
    EXPECT_EQ(initial.toStdString(), Settings().Text("FilePath") + "/01-Aqua-Happy Boys Girls.MP3");

    LoadFromStore({{"FilePath", "/srv/rips/"}, {"OutputFileNameFormat", "<Title>"}});
    EXPECT_EQ(example->text(), initial) << "loading does not refresh it";

    QSignalSpy formatChanged(&window_, &TOptionsFrm::FormatChanged);
    const struct {
        QComboBox* list;
        Qt::Key key;
        const char* example;
    } steps[] = {
        {patterns, Qt::Key_Down, "/srv/rips//01-Happy Boys Girls.MP3"},
        {formats, Qt::Key_Down, "/srv/rips//01-Happy Boys Girls.MP3"},
        {patterns, Qt::Key_Down, "/srv/rips//Aqua-Happy Boys Girls.WMA"},
        {patterns, Qt::Key_Up, "/srv/rips//01-Happy Boys Girls.WMA"},
    };
    for (const auto& step : steps) {
        QTest::keyClick(step.list, step.key);
        EXPECT_EQ(example->text(), step.example);
    }
    ASSERT_EQ(formatChanged.count(), 1);
    EXPECT_EQ(formatChanged.at(0).at(0).toString(), "WMA");
}

// The pages in order, each control named and announced, and nothing clipped on any page, in
// English and in the shipped translations.
TEST_F(OptionsFrmTest, PagesHoldNamedControlsThatFit) {
    EXPECT_EQ(window_.windowTitle(), "Options");
    EXPECT_GE(window_.width(), 353);
    EXPECT_GE(window_.height(), 409);
    auto* pages = Control<QTabWidget>("PageControl1");
    const QStringList captions = {"Common", "MP3", "WMA", "Ogg", "APE", "FreeDB", "File"};
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), captions[i]);
        EXPECT_EQ(pages->widget(i)->objectName(), QString("TabSheet%1").arg(i + 1));
    }
    window_.show();
    for (const char* language : {"", "DEU", "FRA"}) {
        if (*language != 0) {
            const std::string copy = config_.File(std::string(language) + ".ini");
            ASSERT_TRUE(
                QFile::copy(QUILLON_SOURCE_DIR "/data/Languages/" + QString(language) + ".ini",
                            QString::fromStdString(copy)));
            LoadLanguage(QString::fromStdString(copy), {&window_});
        }
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            EXPECT_LE(pages->tabBar()->tabRect(i).right(), pages->tabBar()->width()) << language;
            for (QWidget* control : pages->widget(i)->findChildren<QWidget*>()) {
                // The parts of a list or spin box are announced with it.
                if (control->objectName().startsWith("qt_") || !control->isVisibleTo(pages) ||
                    qobject_cast<QComboBox*>(control->parentWidget()) != nullptr) {
                    continue;
                }
                const std::string name = control->objectName().toStdString();
                EXPECT_FALSE(name.empty()) << control->metaObject()->className();
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
                ASSERT_NE(accessible, nullptr);
                EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << name;
                EXPECT_GE(control->width(), control->minimumSizeHint().width())
                    << name << " is clipped in " << language;
            }
        }
    }
}

} // namespace
} // namespace quillon::test
