#include "tags/SongInformation.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "fixtures/TagBFixtures.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/OggVorbis.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Bytes;
using test::Concat;

constexpr uint32_t kMp3Header = 0xFFFB9000; // MPEG 1 Layer III, 128 kbit/s, 44100 Hz, stereo

class SongInformationTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& bytes) {
        const std::string file = dir_.File(name);
        test::WriteFileBytes(file, bytes);
        return file;
    }
    static Bytes Audio() { return test::MpegFrames(kMp3Header, 417, 200); }
    test::TempDir dir_;
};

TEST_F(SongInformationTest, Mp3WithId3v1Only) {
    const auto info = ReadSongInformation(
        Put("a.mp3", Concat({Audio(), test::Id3v1Record("One", "Note", 0, 0, 17)})));
    EXPECT_EQ(info.Exists, "");
    EXPECT_EQ(info.Version, "");
    EXPECT_EQ(info.Title, "One");
    EXPECT_EQ(info.Comment, "Note");
    EXPECT_EQ(info.Track, "0");
    EXPECT_EQ(info.Genre, "Rock");
    EXPECT_EQ(info.Composer, "");
}

TEST_F(SongInformationTest, Mp3Id3v2FirstThenId3v1ForEmptyFields) {
    const Bytes tag = test::Id3v23Tag({
        test::Id3v23Frame("TIT2", std::string("\x01\xFF\xFE"
                                              "W\0i\0d\0e\0",
                                              11)),
        test::Id3v23Frame("TPE1", std::string("\0Artist2", 8)),
        test::Id3v23Frame("TRCK", std::string("\0"
                                              "5/9",
                                              4)),
        test::Id3v23Frame("TCOM", std::string("\0Comp", 5)),
    });
    const auto info = ReadSongInformation(
        Put("b.mp3", Concat({tag, Audio(), test::Id3v1Record("Old", "", 0, 3, 255)})));
    EXPECT_EQ(info.Exists, "Yes");
    EXPECT_EQ(info.Version, "2.3");
    EXPECT_EQ(info.Title, "Wide");
    EXPECT_EQ(info.Artist, "Artist2");
    EXPECT_EQ(info.Track, "5");
    EXPECT_EQ(info.Composer, "Comp");
    EXPECT_EQ(info.Album, "");
    EXPECT_EQ(info.Genre, "");
}

TEST_F(SongInformationTest, Mp3StreamFacts) {
    const Bytes audio = Audio();
    const auto info = ReadSongInformation(Put("c.mp3", audio));
    const MPEGInfo& m = info.MPEG;
    EXPECT_EQ(m.ValidMPEG, "Yes");
    EXPECT_EQ(m.FileSize, std::to_string(audio.size()) + " bytes");
    EXPECT_EQ(m.MPEGType, "MPEG 1 Layer III");
    EXPECT_EQ(m.BitRate, "128 kbit/s CBR");
    EXPECT_EQ(m.SampleRate, "44100 hz");
    EXPECT_EQ(m.ChannelMode, "Stereo");
    EXPECT_EQ(m.FirstFrameAt, "0 bytes");
    EXPECT_EQ(m.TotalFrames, "200");
    EXPECT_EQ(m.CRCProtection, "No");
    EXPECT_EQ(m.Copyright, "No");
    EXPECT_EQ(m.Original, "No");
    EXPECT_EQ(m.Emphasis, "None");
    EXPECT_DOUBLE_EQ(m.Duration, audio.size() * 8.0 / 128 / 1000);

    const auto junk = ReadSongInformation(
        Put("junk.mp3", Concat({test::Id3v23Tag({test::Id3v23Frame("TIT2", std::string("\0T", 2))}),
                                Bytes(4000, 0x11), test::Id3v1Record("V1", "", 0, 0, 0)})));
    EXPECT_EQ(junk.MPEG.ValidMPEG, "No");
    EXPECT_EQ(junk.Title, "T");
    EXPECT_EQ(junk.Genre, "Blues");
}

TEST_F(SongInformationTest, TheExtensionChoosesTheExaminer) {
    const Bytes wav = test::PcmWavBytes(8000, 8, 1, Bytes(8000));
    struct Case {
        std::string name;
        Bytes bytes;
        std::string title, validMpeg, sampleRate;
    };
    const std::vector<Case> cases = {
        {"song.flac", wav, "song.flac", "", ""},
        {"song.wav", wav, "", "Yes", "8000 hz"},
        {"song.WAV", wav, "", "Yes", "8000 hz"},
        {"song.mp3", wav, "", "No", ""},
        {"song.Mp3", wav, "", "No", ""},
        {"song.xy3", wav, "song.xy3", "", ""},
        {"photo.jpg", wav, "photo.jpg", "", ""},
        {"data", wav, "data", "", ""},
        {"song.wav.bak", wav, "song.wav.bak", "", ""},
        {"song.wma", wav, "", "", ""},
        {"caf\xC3\xA9.flac", wav, "caf\xC3\xA9.flac", "", ""},
    };
    for (const auto& c : cases) {
        const auto info = ReadSongInformation(Put(c.name, c.bytes));
        EXPECT_EQ(info.Title, c.title) << c.name;
        EXPECT_EQ(info.MPEG.ValidMPEG, c.validMpeg) << c.name;
        EXPECT_EQ(info.MPEG.SampleRate, c.sampleRate) << c.name;
    }
    const auto wavInfo = ReadSongInformation(dir_.File("song.wav"));
    EXPECT_EQ(wavInfo.MPEG.ChannelMode, "Mono");
    EXPECT_EQ(wavInfo.MPEG.FileSize, "8044 bytes");
    EXPECT_DOUBLE_EQ(wavInfo.MPEG.Duration, 1.0);

    const auto missing = ReadSongInformation(dir_.File("missing.flac"));
    EXPECT_EQ(missing.Title, "");
    EXPECT_EQ(ReadSongInformation(dir_.File("missing.ogg")).Title, "");
}

TEST_F(SongInformationTest, OggAndWmaRecords) {
    test::OggSpec spec;
    spec.comments = {"TITLE=T", "ARTIST=A", "DATE=1990", "TRACKNUMBER=4"};
    spec.audioPages = 4;
    const auto ogg = ReadSongInformation(Put("s.OGG", test::OggVorbisBytes(spec)));
    EXPECT_EQ(ogg.Title, "T");
    EXPECT_EQ(ogg.Year, "1990");
    EXPECT_EQ(ogg.Track, "4");
    EXPECT_EQ(ogg.Exists, "");
    EXPECT_EQ(ogg.MPEG.SampleRate, "44100 hz");
    EXPECT_EQ(ogg.MPEG.ChannelMode, "Stereo");
    EXPECT_DOUBLE_EQ(ogg.MPEG.Duration, 4.0);
    TOggVorbis examiner;
    ASSERT_TRUE(examiner.ReadInfo(dir_.File("s.OGG")));
    EXPECT_EQ(ogg.MPEG.BitRate, std::to_string(examiner.BitRate()) + " kbit, nominal 128");

    Bytes wma =
        test::AsfHeader({test::AsfFileProperties(64000), test::AsfAudioStream(1, 22050, 8000),
                         test::AsfContentDescription(u"Caf\u00E9 \u20AC", u"", u"", u""),
                         test::AsfExtendedContent({{u"WM/TrackNumber", 3, {2, 0, 0, 0}}})});
    wma.resize(8000, 0);
    const auto info = ReadSongInformation(Put("s.wma", wma));
    EXPECT_EQ(info.Exists, "Yes");
    EXPECT_EQ(info.Title, "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(info.Track, "2");
    EXPECT_EQ(info.MPEG.BitRate, "64 kbit");
    EXPECT_EQ(info.MPEG.SampleRate, "22050 hz");
    EXPECT_EQ(info.MPEG.FileSize, "8000 bytes");
    EXPECT_DOUBLE_EQ(info.MPEG.Duration, 1.0);
}

TEST_F(SongInformationTest, ApeVersionShowsThousands) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        const auto tag = [](uint32_t version) {
            const Bytes item = test::ApeItem("Title", "Name");
            return Concat({Bytes(200, 1), item,
                           test::ApeFooter(version, static_cast<uint32_t>(item.size() + 32), 1)});
        };
        const auto v2 = ReadSongInformation(Put("a.ape", tag(2000)));
        EXPECT_EQ(v2.Exists, "Yes");
        EXPECT_EQ(v2.Version, "2,000");
        EXPECT_EQ(v2.Title, "Name");
        EXPECT_EQ(ReadSongInformation(Put("b.ape", tag(1000))).Version, "1,000");
        EXPECT_EQ(ReadSongInformation(Put("c.ape", Bytes(300, 1))).Exists, "No");
    }
    ::unsetenv("LC_ALL");
}

TEST_F(SongInformationTest, WritesTheFormatOfTheExtension) {
    SongInformation info;
    info.Title = "Title";
    info.Artist = "Artist";
    info.Track = "7a";
    info.Year = "2020";
    info.Genre = "jazz";
    info.Composer = "Comp";
    const std::string mp3 = Put("w.mp3", Concat({Audio(), test::Id3v1Record("x", "", 0, 9, 1)}));
    ASSERT_TRUE(WriteSongInformation(info, mp3));
    TID3v2 v2;
    ASSERT_TRUE(v2.ReadTag(mp3));
    EXPECT_EQ(v2.Title(), "Title");
    EXPECT_EQ(v2.Composer(), "Comp");
    EXPECT_EQ(v2.Track(), 0);
    TID3v1 v1;
    ASSERT_TRUE(v1.ReadTag(mp3));
    EXPECT_EQ(v1.Track(), 0);
    EXPECT_EQ(v1.Genre(), "Jazz");

    info.Track = "12";
    test::OggSpec spec;
    spec.comments = {"PERFORMER=p"};
    const std::string ogg = Put("w.ogg", test::OggVorbisBytes(spec));
    ASSERT_TRUE(WriteSongInformation(info, ogg));
    const auto back = ReadSongInformation(ogg);
    EXPECT_EQ(back.Artist, "Artist");
    EXPECT_EQ(back.Year, "2020");
    EXPECT_EQ(back.Track, "12");

    const std::string ape = Put("w.Ape", Bytes(300, 1));
    ASSERT_TRUE(WriteSongInformation(info, ape));
    EXPECT_EQ(ReadSongInformation(ape).Track, "12");
}

TEST_F(SongInformationTest, WriteFailures) {
    const std::string wav = Put("song.wav", test::PcmWavBytes(8000, 8, 1, Bytes(10)));
    try {
        WriteSongInformation({}, wav);
        FAIL() << "no exception";
    } catch (const EUnsupportedTagFormat& e) {
        EXPECT_STREQ(e.what(), "Not valid MP3 file");
    }
    EXPECT_THROW(WriteSongInformation({}, Put("song.m4a", Bytes(10))), EUnsupportedTagFormat);

    const Bytes tiny = {1, 2, 3, 4, 5};
    const std::string mp3 = Put("tiny.mp3", tiny);
    SongInformation info;
    info.Title = "x";
    EXPECT_FALSE(WriteSongInformation(info, mp3));
    EXPECT_EQ(test::ReadFileBytes(mp3), tiny);
    EXPECT_FALSE(WriteSongInformation(info, Put("bad.ogg", Bytes(500, 2))));
}

} // namespace
} // namespace quillon
