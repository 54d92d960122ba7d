#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"

#include <apetag.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mpegfile.h>
#include <sstream>

namespace quillon {
namespace {

using test::HaveProgram;
using test::Quote;
using test::Shell;

using ApeInteropTest = test::LameMp3Test;

// The APE items as mutagen sees them, "key=value" per line, values in UTF-8 with the parts
// of a list value joined by "|".
std::map<std::string, std::string> MutagenItems(const std::string& file) {
    const std::string script = R"(import sys
from mutagen.apev2 import APEv2
tag = APEv2(sys.argv[1])
for key, value in tag.items():
    print("%s=%s" % (key, "|".join(value)))
)";
    std::map<std::string, std::string> items;
    std::istringstream lines(test::RunPython(script, Quote(file)));
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            items[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return items;
}

TEST_F(ApeInteropTest, OurTagsReadBackIdenticallyInMutagenAndTagLib) {
    // ASCII texts give a version 1000 tag (each value ends in a zero byte, which mutagen takes
    // for an empty second value); texts of any script give a version 2000 tag.
    const std::map<std::string, std::string> ascii = {
        {"Title", "Title"},       {"Artist", "Artist"},
        {"Album", "Album"},       {"Track", "12"},
        {"Year", "2004"},         {"Genre", "Blues"},
        {"Comment", "A comment"}, {"Copyright", "2024 Someone"}};
    const std::map<std::string, std::string> scripts = {
        {"Title", "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C"},
        {"Artist", "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1"},
        {"Album", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"},
        {"Track", "12"},
        {"Year", "2004"},
        {"Genre", "M\xC3\xBAsica"},
        {"Comment", "\xF0\x9F\x98\x80 " + std::string(3000, 'c')},
        {"Copyright", "\xC2\xA9 2024"}};
    for (const auto* expected : {&ascii, &scripts}) {
        const std::string file = Copy("ours.mp3");
        TID3v1 v1;
        v1.SetTitle("dropped");
        ASSERT_TRUE(v1.WriteTag(file));
        TAPEtag tag;
        const auto text = [&](const char* key) { return expected->at(key); };
        tag.SetTitle(text("Title"));
        tag.SetArtist(text("Artist"));
        tag.SetAlbum(text("Album"));
        tag.SetTrack(12);
        tag.SetYear(text("Year"));
        tag.SetGenre(text("Genre"));
        tag.SetComment(text("Comment"));
        tag.SetCopyright(text("Copyright"));
        ASSERT_TRUE(tag.WriteTag(file));
        const bool version1000 = expected == &ascii;

        if (test::HaveMutagen()) {
            std::map<std::string, std::string> seen = MutagenItems(file);
            for (auto& [key, value] : seen) {
                if (version1000) {
                    EXPECT_EQ(value.substr(value.size() - 1), "|") << key;
                    value.pop_back();
                }
            }
            EXPECT_EQ(seen, *expected);
        } else {
            ADD_FAILURE() << "python3-mutagen not installed";
        }

        TagLib::MPEG::File peer(file.c_str());
        ASSERT_TRUE(peer.isValid());
        EXPECT_FALSE(peer.hasID3v1Tag());
        ASSERT_TRUE(peer.hasAPETag());
        const TagLib::APE::ItemListMap& items = peer.APETag()->itemListMap();
        EXPECT_EQ(items.size(), expected->size());
        for (const auto& [key, value] : *expected) {
            const auto item = items.find(TagLib::String(key).upper());
            ASSERT_NE(item, items.end()) << key;
            EXPECT_EQ(item->second.toString().to8Bit(true), value) << key;
        }
        // The audio stays byte for byte in front of the tag.
        const auto master = test::ReadFileBytes(master_);
        const auto bytes = test::ReadFileBytes(file);
        ASSERT_GT(bytes.size(), master.size());
        EXPECT_TRUE(std::equal(master.begin(), master.end(), bytes.begin()));
    }
}

TEST_F(ApeInteropTest, Version2000TagsOfMutagenAreRead) {
    if (!test::HaveMutagen()) {
        GTEST_SKIP() << "python3-mutagen not installed";
    }
    const std::string file = Copy("mutagen.mp3");
    const std::string script = R"py(import sys
from mutagen.apev2 import APEv2
tag = APEv2()
tag["TITLE"] = "Caf\u00e9 \u20ac"
tag["artist"] = "Artist"
tag["Track"] = "5/10"
tag["Cover Art (Front)"] = b"x" * 4000
tag["Comment"] = "c" * 600
tag["Year"] = "1977"
tag.save(sys.argv[1])
)py";
    test::RunPython(script, Quote(file));

    TAPEtag tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 2000);
    EXPECT_EQ(tag.Title(), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Track(), 5);
    EXPECT_EQ(tag.Year(), "1977");
    EXPECT_EQ(tag.Comment(), std::string(600, 'c'));

    // A rewrite keeps the items it does not edit: the picture, and "5/10" as written.
    tag.SetYear("1999");
    tag.SetTrack(5);
    ASSERT_TRUE(tag.WriteTag(file));
    const std::string check = R"py(import sys
from mutagen.apev2 import APEv2
tag = APEv2(sys.argv[1])
print(tag["Cover Art (Front)"].value == b"x" * 4000, tag["Track"], tag["Year"], tag["TITLE"])
)py";
    EXPECT_EQ(test::RunPython(check, Quote(file)), "True 5/10 1999 Caf\xC3\xA9 \xE2\x82\xAC\n");

    // Removing takes the header, the items and the footer.
    ASSERT_TRUE(tag.RemoveTag(file));
    EXPECT_EQ(test::ReadFileBytes(file), test::ReadFileBytes(master_));
}

TEST_F(ApeInteropTest, Version2000TagsOfTagLibAreRead) {
    const std::string file = Copy("taglib.mp3");
    TID3v1 v1;
    v1.SetTitle("behind");
    ASSERT_TRUE(v1.WriteTag(file));
    {
        TagLib::MPEG::File peer(file.c_str());
        TagLib::APE::Tag* ape = peer.APETag(true);
        ape->setTitle(TagLib::String("\xC3\x9C"
                                     "ber",
                                     TagLib::String::UTF8));
        ape->setAlbum("Album");
        ape->setTrack(3);
        ape->setGenre("Folk");
        ASSERT_TRUE(peer.save(TagLib::MPEG::File::APE, TagLib::File::StripNone));
    }
    TAPEtag tag;
    ASSERT_TRUE(tag.ReadTag(file));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 2000);
    EXPECT_EQ(tag.Title(), "\xC3\x9C"
                           "ber");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Track(), 3);
    EXPECT_EQ(tag.Genre(), "Folk");
    TID3v1 behind;
    ASSERT_TRUE(behind.ReadTag(file));
    EXPECT_EQ(behind.Title(), "behind");

    // Removing takes the header, the items, the footer and the ID3v1 tag.
    ASSERT_TRUE(tag.RemoveTag(file));
    EXPECT_EQ(test::ReadFileBytes(file), test::ReadFileBytes(master_));
}

} // namespace
} // namespace quillon
