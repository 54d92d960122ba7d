#pragma once

#include "fixtures/Fixtures.h"
#include "fixtures/VorbisPeers.h"
#include "tags/SongInformation.h"

#include <algorithm>
#include <fileref.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <tpropertymap.h>

namespace quillon::test {

// Texts of several scripts through the file-info record into an Ogg Vorbis or FLAC file and
// out of it: what we write, mutagen, the Xiph tools, TagLib and kid3-cli read as written, and
// what each of them writes, we read. untagged is a file without comments; copies of it are
// made in dir.
inline void ExpectScriptsRoundTripWithPeers(const std::string& untagged, const TempDir& dir) {
    const auto& texts = ScriptTexts();
    const std::string extension = std::filesystem::path(untagged).extension().string();
    const CommentPairs fields = {{"TITLE", texts[0]},   {"ARTIST", texts[1]}, {"ALBUM", texts[2]},
                                 {"COMMENT", texts[3]}, {"GENRE", texts[4]},  {"DATE", "1999"},
                                 {"TRACKNUMBER", "7"}};
    const auto copy = [&](const std::string& name) {
        const std::string file = dir.File(name + extension);
        std::filesystem::copy_file(untagged, file,
                                   std::filesystem::copy_options::overwrite_existing);
        return file;
    };
    const auto expectRecord = [&](const SongInformation& info, const std::string& who) {
        EXPECT_EQ(info.Title, texts[0]) << who;
        EXPECT_EQ(info.Artist, texts[1]) << who;
        EXPECT_EQ(info.Album, texts[2]) << who;
        EXPECT_EQ(info.Comment, texts[3]) << who;
        EXPECT_EQ(info.Genre, texts[4]) << who;
        EXPECT_EQ(info.Year, "1999") << who;
        EXPECT_EQ(info.Track, "7") << who;
    };

    // Written by us.
    const std::string ours = copy("ours");
    SongInformation info;
    info.Title = texts[0];
    info.Artist = texts[1];
    info.Album = texts[2];
    info.Comment = texts[3];
    info.Genre = texts[4];
    info.Year = "1999";
    info.Track = "7";
    ASSERT_TRUE(WriteSongInformation(info, ours));
    expectRecord(ReadSongInformation(ours), "ourselves");
    std::vector<std::string> written;
    for (const auto& [name, value] : fields) {
        written.push_back(name + "=" + value);
    }
    std::sort(written.begin(), written.end());
    auto mutagen = MutagenComments(ours);
    ASSERT_FALSE(mutagen.empty());
    mutagen.pop_back(); // the vendor
    std::sort(mutagen.begin(), mutagen.end());
    EXPECT_EQ(mutagen, written) << "mutagen";
    auto xiph = XiphToolComments(ours);
    std::sort(xiph.begin(), xiph.end());
    EXPECT_EQ(xiph, written) << "vorbiscomment/metaflac";
    TagLib::FileRef taglib(ours.c_str());
    ASSERT_FALSE(taglib.isNull());
    const TagLib::PropertyMap properties = taglib.file()->properties();
    for (const auto& [name, value] : fields) {
        const auto found = properties.find(TagLib::String(name, TagLib::String::UTF8));
        ASSERT_NE(found, properties.end()) << name;
        EXPECT_EQ(found->second.toString().to8Bit(true), value) << "TagLib " << name;
    }
    if (HaveProgram("kid3-cli")) {
        const char* kid3Names[] = {"title", "artist", "album", "comment", "genre"};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(Kid3Get(ours, kid3Names[i]), texts[i]) << "kid3-cli " << kid3Names[i];
        }
    }

    // Written by the peers.
    const std::string byMutagen = copy("mutagen");
    MutagenWriteComments(byMutagen, fields);
    expectRecord(ReadSongInformation(byMutagen), "mutagen");
    const std::string byXiph = copy("xiph");
    XiphToolWriteComments(byXiph, fields);
    expectRecord(ReadSongInformation(byXiph), "vorbiscomment/metaflac");
    const std::string byTaglib = copy("taglib");
    {
        TagLib::FileRef file(byTaglib.c_str());
        TagLib::PropertyMap map;
        for (const auto& [name, value] : fields) {
            map.insert(TagLib::String(name, TagLib::String::UTF8),
                       TagLib::StringList(TagLib::String(value, TagLib::String::UTF8)));
        }
        file.file()->setProperties(map);
        ASSERT_TRUE(file.save());
    }
    expectRecord(ReadSongInformation(byTaglib), "TagLib");
    if (HaveProgram("kid3-cli")) {
        const std::string byKid3 = copy("kid3");
        Kid3Set(byKid3, {{"title", texts[0]},
                         {"artist", texts[1]},
                         {"album", texts[2]},
                         {"comment", texts[3]},
                         {"genre", texts[4]},
                         {"date", "1999"},
                         {"tracknumber", "7"}});
        expectRecord(ReadSongInformation(byKid3), "kid3-cli");
    }
}

} // namespace quillon::test
