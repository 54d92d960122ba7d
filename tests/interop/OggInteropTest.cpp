#include "fixtures/Fixtures.h"
#include "fixtures/TagBFixtures.h"
#include "fixtures/TagBPeers.h"
#include "fixtures/VorbisPeers.h"
#include "interop/VorbisCommentRoundTrip.h"
#include "tags/OggPage.h"
#include "tags/OggVorbis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <tag.h>
#include <vorbisfile.h>
#include <xiphcomment.h>

namespace quillon {
namespace {

using test::Python;
using test::Quote;
using test::Shell;

std::string Quillon() {
    const char* dir = std::getenv("QUILLON_BIN_DIR");
    return std::string(dir != nullptr ? dir : QUILLON_BIN_DIR) + "/quillon";
}

// An Ogg Vorbis file made by oggenc, shared by the tests of this file.
class OggInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("oggenc") || !test::HaveProgram("ffmpeg")) {
            GTEST_SKIP() << "oggenc or ffmpeg not installed";
        }
        const std::string wav = dir_.File("tone.wav");
        test::WriteFileBytes(
            wav, test::PcmWavBytes(44100, 16, 2, test::AsBytes(test::Tone16(44100, 2, 44100 * 8))));
        master_ = dir_.File("master.ogg");
        ASSERT_EQ(Shell("oggenc -Q -q 4 -t 'Master Title' -a 'Master Artist' -l Album -N 3 "
                        "-d 2003 -G Rock -c 'COMMENT=first' -o " +
                        Quote(master_) + " " + Quote(wav)),
                  0);
    }
    std::string Copy(const std::string& name) {
        const std::string file = dir_.File(name);
        std::filesystem::copy_file(master_, file,
                                   std::filesystem::copy_options::overwrite_existing);
        return file;
    }
    // Checks every page's CRC and sequence number with ogginfo when present, else with our
    // own parser.
    static void ExpectCleanStream(const std::string& file) {
        EXPECT_FALSE(test::ParseOggPages(test::ReadFileBytes(file)).empty()) << file;
        if (test::HaveProgram("ogginfo")) {
            const std::string out = test::ShellOutput("ogginfo " + Quote(file) + " 2>&1");
            EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
            EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
        }
    }
    test::TempDir dir_;
    std::string master_;
};

TEST_F(OggInteropTest, ReadsWhatOggencWrote) {
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadInfo(master_));
    EXPECT_EQ(ogg.Title(), "Master Title");
    EXPECT_EQ(ogg.Artist(), "Master Artist");
    EXPECT_EQ(ogg.Album(), "Album");
    EXPECT_EQ(ogg.Track(), 3);
    EXPECT_EQ(ogg.Date(), "2003");
    EXPECT_EQ(ogg.Genre(), "Rock");
    EXPECT_EQ(ogg.Comment(), "first");
    EXPECT_NE(ogg.Vendor().find("Xiph.Org"), std::string::npos);
    EXPECT_EQ(ogg.ChannelModeID(), 2);
    EXPECT_EQ(ogg.SampleRate(), 44100u);
    EXPECT_TRUE(ogg.Valid());
    const double duration = test::FfprobeNumber(master_, "format", "duration");
    EXPECT_NEAR(ogg.Duration(), duration, duration * 0.01);
    const double bitRate = test::FfprobeNumber(master_, "format", "bit_rate") / 1000;
    EXPECT_NEAR(ogg.BitRate(), bitRate, bitRate * 0.01 + 0.5);
}

TEST_F(OggInteropTest, PageCrcsOfOggencMatch) {
    const auto bytes = test::ReadFileBytes(master_);
    const auto pages = test::ParseOggPages(bytes);
    ASSERT_GT(pages.size(), 3u);
    for (const auto& page : pages) {
        std::vector<uint8_t> copy(
            bytes.begin() + static_cast<long>(page.offset),
            bytes.begin() +
                static_cast<long>(page.offset + 27 + page.lacing.size() + page.body.size()));
        const uint32_t stored =
            copy[22] | copy[23] << 8 | copy[24] << 16 | static_cast<uint32_t>(copy[25]) << 24;
        std::fill(copy.begin() + 22, copy.begin() + 26, 0);
        EXPECT_EQ(OggCrc(copy.data(), copy.size()), stored);
    }
}

TEST_F(OggInteropTest, ReadsWhatMutagenAndVorbiscommentWrote) {
    const std::string file = Copy("mutagen.ogg");
    Python("from mutagen.oggvorbis import OggVorbis\n"
           "f = OggVorbis('" +
           file +
           "')\n"
           "f.delete()\n"
           "f['performer'] = 'P\\u00e9rformer'\n"
           "f['Description'] = 'described'\n"
           "f['tracknumber'] = '7/12'\n"
           "f['title'] = ['a', 'b']\n"
           "f.save()\n");
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadInfo(file));
    EXPECT_EQ(ogg.Artist(), "P\xC3\xA9rformer");
    EXPECT_EQ(ogg.Comment(), "described");
    EXPECT_EQ(ogg.Track(), 7);
    EXPECT_EQ(ogg.Title(), "b"); // the later of two values

    if (test::HaveProgram("vorbiscomment")) {
        const std::string vc = Copy("vc.ogg");
        ASSERT_EQ(Shell("vorbiscomment -w -t 'ARTIST=VC Artist' -t 'genre=Jazz' " + Quote(vc)), 0);
        ASSERT_TRUE(ogg.ReadInfo(vc));
        EXPECT_EQ(ogg.Artist(), "VC Artist");
        EXPECT_EQ(ogg.Genre(), "Jazz");
        EXPECT_EQ(ogg.Title(), "");
    }
    if (test::HaveProgram("kid3-cli")) {
        const std::string kid = Copy("kid3.ogg");
        ASSERT_EQ(Shell("kid3-cli -c \"set title 'Kid \xC3\x9C"
                        "ber'\" -c 'set tracknumber 5' " +
                        Quote(kid) + " >/dev/null"),
                  0);
        ASSERT_TRUE(ogg.ReadInfo(kid));
        EXPECT_EQ(ogg.Title(), "Kid \xC3\x9C"
                               "ber");
        EXPECT_EQ(ogg.Track(), 5);
        EXPECT_EQ(ogg.Artist(), "Master Artist");
    }
}

TEST_F(OggInteropTest, WrittenCommentsReadBackIdenticallyByPeers) {
    for (const bool picture : {false, true}) {
        const std::string file = Copy(picture ? "picture.ogg" : "plain.ogg");
        if (picture) {
            // A 300 KB picture makes the comment header span several pages.
            Python("import base64, os\n"
                   "from mutagen.oggvorbis import OggVorbis\n"
                   "from mutagen.flac import Picture\n"
                   "p = Picture(); p.type = 3; p.mime = 'image/png'; p.data = os.urandom(300000)\n"
                   "f = OggVorbis('" +
                   file +
                   "')\n"
                   "f['metadata_block_picture'] = [base64.b64encode(p.write()).decode()]\n"
                   "f.save()\n");
        }
        const std::string audioBefore = test::DecodedMd5(file);
        TOggVorbis ogg;
        ASSERT_TRUE(ogg.ReadInfo(file));
        ogg.SetTitle("Caf\xC3\xA9 Song");
        ogg.SetArtist("Art");
        ogg.SetAlbum("");
        ogg.SetTrack(11);
        ogg.SetDate("1999");
        ogg.SetGenre("Pop");
        ogg.SetComment("c=1");
        ASSERT_TRUE(ogg.WriteTag(file)) << picture;
        ExpectCleanStream(file);
        EXPECT_EQ(test::DecodedMd5(file), audioBefore);

        const std::string seen =
            Python("from mutagen.oggvorbis import OggVorbis\n"
                   "f = OggVorbis('" +
                   file +
                   "')\n"
                   "print(sorted((k, v) for k, vs in f.tags.as_dict().items() for v in vs\n"
                   "             if k != 'metadata_block_picture'))\n"
                   "print(len(f.get('metadata_block_picture', [])))\n");
        EXPECT_EQ(seen,
                  "[('artist', 'Art'), ('comment', 'c=1'), ('date', '1999'), "
                  "('genre', 'Pop'), ('title', 'Caf\xC3\xA9 Song'), ('tracknumber', '11')]\n" +
                      std::string(picture ? "1\n" : "0\n"))
            << seen;

        TagLib::Ogg::Vorbis::File peer(file.c_str());
        ASSERT_TRUE(peer.isValid());
        EXPECT_EQ(peer.tag()->title().to8Bit(true), "Caf\xC3\xA9 Song");
        EXPECT_EQ(peer.tag()->artist().to8Bit(true), "Art");
        EXPECT_EQ(peer.tag()->track(), 11u);
        EXPECT_EQ(peer.tag()->year(), 1999u);
        EXPECT_EQ(peer.tag()->comment().to8Bit(true), "c=1");
        EXPECT_EQ(peer.tag()->pictureList().isEmpty(), !picture);
        EXPECT_NEAR(peer.audioProperties()->lengthInMilliseconds(), 8000, 50);
    }
}

TEST_F(OggInteropTest, IsFoundBehindAnId3v2Tag) {
    const std::string file = dir_.File("id3.ogg");
    auto bytes = test::Id3v2Padding(1000);
    const auto ogg = test::ReadFileBytes(master_);
    bytes.insert(bytes.end(), ogg.begin(), ogg.end());
    test::WriteFileBytes(file, bytes);
    TOggVorbis info;
    ASSERT_TRUE(info.ReadInfo(file));
    EXPECT_EQ(info.ID3v2Size(), 1010);
    EXPECT_EQ(info.Title(), "Master Title");
    info.SetTitle("After");
    ASSERT_TRUE(info.WriteTag(file));
    const auto after = test::ReadFileBytes(file);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 1010, after.begin()));
    const std::string stripped = dir_.File("stripped.ogg");
    test::WriteFileBytes(stripped, {after.begin() + 1010, after.end()});
    ExpectCleanStream(stripped);
}

TEST_F(OggInteropTest, ScriptsRoundTripWithPeers) {
    const std::string untagged = Copy("untagged.ogg");
    test::MutagenWriteComments(untagged, {});
    test::ExpectScriptsRoundTripWithPeers(untagged, dir_);
}

// quillon tag on files that mutagen, vorbiscomment and kid3-cli wrote, with a picture, replay
// gain and MusicBrainz comments and two artists: only DATE changes, in its place; the vendor,
// every other comment and every other packet stay as they were.
TEST_F(OggInteropTest, TagCommandKeepsWhatItDoesNotEdit) {
    const std::string mutagen = Copy("mutagen.ogg");
    Python("import base64, os\n"
           "from mutagen.oggvorbis import OggVorbis\n"
           "from mutagen.flac import Picture\n"
           "p = Picture(); p.type = 3; p.mime = 'image/png'; p.data = os.urandom(100000)\n"
           "f = OggVorbis('" +
           mutagen +
           "')\n"
           "f['metadata_block_picture'] = [base64.b64encode(p.write()).decode()]\n"
           "f['REPLAYGAIN_TRACK_GAIN'] = '-6.20 dB'\n"
           "f['MUSICBRAINZ_TRACKID'] = '9a1c8f4e-0d7b-4d6e-9f8a-2b3c4d5e6f70'\n"
           "f['artist'] = ['One', 'Two']\n"
           "f.save()\n");
    const std::string longTitle = Copy("long.ogg");
    // mutagen puts a comment header this long on a page of its own.
    Python("from mutagen.oggvorbis import OggVorbis\n"
           "f = OggVorbis('" +
           longTitle +
           "')\n"
           "f['title'] = 'x' * 3000\n"
           "f.save()\n");
    std::vector<std::string> files = {mutagen, longTitle};
    if (test::HaveProgram("vorbiscomment")) {
        const std::string vc = Copy("vc.ogg");
        ASSERT_EQ(Shell("vorbiscomment -a -t 'REPLAYGAIN_ALBUM_PEAK=0.98' -t "
                        "'MUSICBRAINZ_ALBUMID=0f1e2d3c-4b5a-6978-8695-a4b3c2d1e0f9' -t "
                        "'METADATA_BLOCK_PICTURE=AAAAAwAAAAlpbWFnZS9wbmc=' " +
                        Quote(vc)),
                  0);
        files.push_back(vc);
    }
    if (test::HaveProgram("kid3-cli")) {
        const std::string kid = dir_.File("kid3.ogg");
        std::filesystem::copy_file(mutagen, kid);
        test::Kid3Set(kid, {{"title", "Kid"}});
        files.push_back(kid);
    }
    for (const std::string& file : files) {
        const auto before = test::ReadFileBytes(file);
        std::vector<std::string> expected = test::MutagenComments(file);
        const auto date = std::find_if(expected.begin(), expected.end(), [](const auto& c) {
            return c.rfind("DATE=", 0) == 0 || c.rfind("date=", 0) == 0;
        });
        ASSERT_NE(date, expected.end()) << file;
        *date = date->substr(0, 5) + "1999"; // the name as written

        ASSERT_EQ(Shell(Quillon() + " tag --year 1999 " + Quote(file)), 0) << file;
        EXPECT_EQ(test::MutagenComments(file), expected) << file;
        ExpectCleanStream(file);
        const auto oldPackets = test::OggPackets(test::ParseOggPages(before));
        const auto newPackets = test::OggPackets(test::ParseOggPages(test::ReadFileBytes(file)));
        ASSERT_EQ(newPackets.size(), oldPackets.size()) << file;
        EXPECT_TRUE(newPackets[0] == oldPackets[0]) << file;
        EXPECT_TRUE(std::equal(oldPackets.begin() + 2, oldPackets.end(), newPackets.begin() + 2))
            << file;
    }
}

} // namespace
} // namespace quillon
