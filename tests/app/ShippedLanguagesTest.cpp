// The shipped language files against the windows. ENG.ini is written from the windows
// themselves; after a window gains, loses or renames a control, regenerate it with
//
//   QUILLON_WRITE_LANGUAGE=data/Languages/ENG.ini build/bin/app_tests
//   --gtest_filter='ShippedLanguagesTest.*'
//
// and translate the new keys in every other file of data/Languages.
#include "app/FrmConverter.h"
#include "app/LanguageFiles.h"
#include "app/OptionsFrm.h"
#include "app/RipFrm.h"
#include "app/TagEditorFrm.h"
#include "fixtures/Fixtures.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QStringConverter>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace quillon::test {
namespace {

const QString kLanguages = QUILLON_SOURCE_DIR "/data/Languages";

// The windows whose texts language files carry, in the order the program creates them.
struct Windows {
    TRipFrm main;
    TOptionsFrm options;
    TFrmConverter converter{&options};
    TTagEditorFrm tagEditor;

    QList<QWidget*> All() { return {&main, &options, &converter, &tagEditor}; }
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShippedLanguagesTest : public testing::Test {
protected:
    void SetUp() override {
        const QByteArray target = qgetenv("QUILLON_WRITE_LANGUAGE");
        if (!target.isEmpty()) {
            ASSERT_TRUE(WriteLanguage(QString::fromLocal8Bit(target), windows_.All()));
        }
        ASSERT_TRUE(WriteLanguage(QString::fromStdString(current_), windows_.All()));
    }

    // The sections and keys of the windows as they are now.
    std::vector<std::pair<std::string, std::vector<std::string>>> Keys() {
        std::vector<std::pair<std::string, std::vector<std::string>>> keys;
        const IniFile file(current_);
        for (QWidget* window : windows_.All()) {
            const std::string section = window->objectName().toStdString();
            keys.emplace_back(section, file.ReadSection(section));
        }
        return keys;
    }

    TempDir dir_;
    const std::string current_ = dir_.File("current.ini");
    Windows windows_;
};

TEST_F(ShippedLanguagesTest, EnglishCoversEveryControlOfTheWindows) {
    const IniFile english((kLanguages + "/ENG.ini").toStdString());
    for (const auto& [section, keys] : Keys()) {
        for (const std::string& key : keys) {
            EXPECT_NE(english.ReadString(section, key, "\x1f"), "\x1f")
                << "ENG.ini lacks [" << section << "] " << key;
        }
    }
}

// Every translation has every key of ENG.ini, is UTF-8, and keeps the hints and mnemonics
// that the English texts have.
TEST_F(ShippedLanguagesTest, TranslationsHaveEveryKeyOfEnglish) {
    const IniFile english((kLanguages + "/ENG.ini").toStdString());
    const QStringList files = QDir(kLanguages).entryList({"*.ini"}, QDir::Files, QDir::Name);
    EXPECT_GE(files.size(), 3);
    for (const QString& name : files) {
        const std::string path = (kLanguages + "/" + name).toStdString();
        const std::string bytes = Read(path);
        auto decode = QStringDecoder(QStringConverter::Utf8);
        (void)QString(decode(QByteArray::fromStdString(bytes)));
        EXPECT_FALSE(decode.hasError()) << name.toStdString() << " is not UTF-8";

        const IniFile translation(path);
        for (const auto& [section, keys] : Keys()) {
            for (const std::string& key : english.ReadSection(section)) {
                const QString source = QString::fromStdString(english.ReadString(section, key, ""));
                const std::string value = translation.ReadString(section, key, "\x1f");
                ASSERT_NE(value, "\x1f")
                    << name.toStdString() << " lacks [" << section << "] " << key;
                const QString text = QString::fromStdString(value);
                EXPECT_EQ(source.contains("||"), text.contains("||"))
                    << name.toStdString() << " [" << section << "] " << key << ": the hint";
                EXPECT_EQ(source.contains('&'), text.contains('&'))
                    << name.toStdString() << " [" << section << "] " << key << ": the mnemonic";
            }
        }
    }
}

} // namespace
} // namespace quillon::test
