#include "workflow/Settings.h"

#include "fixtures/Fixtures.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

TEST(SettingsTest, DefaultsAndFallbacks) {
    Settings s;
    EXPECT_EQ("MP3", s.ListText("RipToFormat"));
    EXPECT_EQ(14, s.ListPosition("CBRBitrate")) << "192";
    EXPECT_TRUE(s.Boolean("Original"));
    EXPECT_EQ(75, s.Integer("OGGCompressionLevel"));
    EXPECT_EQ(4, s.ListPosition("OutputFileNameFormat"));
    EXPECT_EQ('/', s.Text("ConvFilePath").back());
    EXPECT_EQ("gnudb.gnudb.org", s.ListText("FreeDBServer"));
    EXPECT_EQ(11u, FindSetting("FreeDBServer")->entries.size());
    EXPECT_EQ("anonymous@localhost", s.Text("CDDBUserEmail"));

    s.Set("Original", "0");
    EXPECT_FALSE(s.Boolean("Original"));
    s.Set("Original", "yes");
    EXPECT_TRUE(s.Boolean("Original")) << "not a number: the default";
    s.Set("Original", "7");
    EXPECT_TRUE(s.Boolean("Original"));
    s.Set("OGGCompressionLevel", "x");
    EXPECT_EQ(75, s.Integer("OGGCompressionLevel"));

    s.Set("RipToFormat", "flac");
    EXPECT_EQ("FLAC", s.ListText("RipToFormat")) << "matched without regard to case";
    s.Set("RipToFormat", "AAC");
    EXPECT_EQ(-1, s.ListPosition("RipToFormat"));
    EXPECT_EQ("", s.ListText("RipToFormat"));
    s.Set("SavePlayList", "3");
    EXPECT_EQ(-1, s.ListPosition("SavePlayList")) << "beyond the list";
    s.Set("SavePlayList", "2");
    EXPECT_EQ("PLS", s.ListText("SavePlayList"));
    s.Set("FreeDBServer", "cddb.example.org:8880");
    EXPECT_EQ("cddb.example.org:8880", s.ListText("FreeDBServer"));
    s.Set("FreeDBServer", "cddb.example.org");
    EXPECT_EQ("", s.ListText("FreeDBServer")) << "a server outside the list names its port";
    EXPECT_FALSE(s.Set("NoSuchValue", "1"));
}

TEST(SettingsTest, StoreKeepsEveryValueAsText) {
    TempDir dir;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path().string()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.Path().string()));

    Settings fresh = SettingsStore::Load();
    EXPECT_EQ("MP3", fresh.ListText("RipToFormat")) << "a fresh user gets the defaults";

    fresh.Set("RipToFormat", "OGG");
    fresh.Set("UseVBR", "1");
    SettingsStore::Save(fresh);
    const std::string conf = dir.File("Tovalen/QuillonRip.conf");
    ASSERT_TRUE(std::filesystem::exists(conf));
    QSettings raw(QString::fromStdString(conf), QSettings::IniFormat);
    EXPECT_EQ("OGG", raw.value("Main/RipToFormat").toString());
    EXPECT_EQ("1", raw.value("Main/UseVBR").toString());
    EXPECT_EQ("75", raw.value("Main/OGGCompressionLevel").toString());
    EXPECT_EQ(static_cast<int>(SettingsTable().size()), raw.allKeys().size());

    raw.setValue("Main/Original", "garbage");
    raw.sync();
    const Settings loaded = SettingsStore::Load();
    EXPECT_EQ("OGG", loaded.ListText("RipToFormat"));
    EXPECT_TRUE(loaded.Boolean("UseVBR"));
    EXPECT_TRUE(loaded.Boolean("Original"));
}

// A checked value is what the store restores to the same selection; anything else is refused.
TEST(SettingsTest, ChecksValuesByKind) {
    const struct {
        const char* name;
        const char* value;
        const char* stored; // nullptr: refused
    } cases[] = {
        {"RipToFormat", "flac", "FLAC"},
        {"RipToFormat", "AAC", nullptr},
        {"RipToFormat", "", nullptr},
        {"Mode", "joint stereo", "Joint Stereo"},
        {"SavePlayList", "2", "2"},
        {"SavePlayList", "m3u", "1"},
        {"SavePlayList", "3", nullptr},
        {"SavePlayList", "true", nullptr},
        {"WMABitrate", "40", "40"},
        {"WMABitrate", "-1", nullptr},
        {"UseVBR", "1", "1"},
        {"UseVBR", "yes", nullptr},
        {"UseVBR", "7", nullptr},
        {"OGGCompressionLevel", "+100", "100"},
        {"OGGCompressionLevel", "101", nullptr},
        {"Left", "-20", "-20"},
        {"Left", "2x", nullptr},
        {"ConvFilePath", "/any where/", "/any where/"},
        {"FreeDBServer", "GNUDB.gnudb.org", "gnudb.gnudb.org"},
        {"FreeDBServer", "127.0.0.1:8880", "127.0.0.1:8880"},
        {"FreeDBServer", "my-server.example_1.org:65535", "my-server.example_1.org:65535"},
        {"FreeDBServer", "cddb.example.org", nullptr},
        {"FreeDBServer", "host:0", nullptr},
        {"FreeDBServer", "host:65536", nullptr},
        {"FreeDBServer", "host:+80", nullptr},
        {"FreeDBServer", "host:", nullptr},
        {"FreeDBServer", ":80", nullptr},
        {"FreeDBServer", "bad host:80", nullptr},
        {"FreeDBServer", "host/path:80", nullptr},
        {"FreeDBServer", "-host:80", nullptr},
    };
    for (const auto& c : cases) {
        const SettingCheck check = CheckSettingValue(*FindSetting(c.name), c.value);
        if (c.stored == nullptr) {
            EXPECT_FALSE(check.value) << c.name << "=" << c.value;
            EXPECT_NE(std::string::npos, check.problem.find("valid values: ")) << check.problem;
            continue;
        }
        ASSERT_TRUE(check.value) << c.name << "=" << c.value << ": " << check.problem;
        EXPECT_EQ(c.stored, *check.value) << c.name << "=" << c.value;
    }
}

} // namespace
} // namespace quillon::test
