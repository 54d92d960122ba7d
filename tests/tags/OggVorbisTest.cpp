#include "tags/OggVorbis.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagBFixtures.h"
#include "platform/FileStream.h"
#include "platform/Stream.h"
#include "tags/OggPage.h"
#include "tags/SongInformation.h"

#include <climits>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillon {
namespace {

using test::OggSpec;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class OggVorbisTest : public ::testing::Test {
protected:
    std::string Write(const OggSpec& spec) {
        const std::string name = dir_.File("song.ogg");
        WriteFileBytes(name, test::OggVorbisBytes(spec));
        return name;
    }
    TOggVorbis Read(const OggSpec& spec) {
        TOggVorbis ogg;
        EXPECT_TRUE(ogg.ReadInfo(Write(spec)));
        return ogg;
    }
    TempDir dir_;
};

TEST_F(OggVorbisTest, ReadsStreamFactsAndComments) {
    OggSpec spec;
    spec.channels = 2;
    spec.sampleRate = 44100;
    spec.nominalBitRate = 112500; // rounds half to even: 112
    spec.vendor = "Xiph test";
    spec.comments = {"TITLE=Song", "ARTIST=Band", "ALBUM=Disc",   "TRACKNUMBER=3/12",
                     "DATE=2001",  "GENRE=Rock",  "COMMENT=Fine", "OTHER=x"};
    spec.audioPages = 5;
    spec.samplesPerPage = 44100 * 2;
    const TOggVorbis ogg = Read(spec);
    const auto size = static_cast<int64_t>(test::OggVorbisBytes(spec).size());
    EXPECT_EQ(ogg.FileSize(), size);
    EXPECT_EQ(ogg.ChannelModeID(), 2);
    EXPECT_EQ(ogg.ChannelMode(), "Stereo");
    EXPECT_EQ(ogg.SampleRate(), 44100u);
    EXPECT_EQ(ogg.BitRateNominal(), 112);
    EXPECT_EQ(ogg.Samples(), 44100 * 10);
    EXPECT_EQ(ogg.ID3v2Size(), 0);
    EXPECT_DOUBLE_EQ(ogg.Duration(), 10.0);
    EXPECT_EQ(ogg.BitRate(), static_cast<int>(std::nearbyint(size / 10.0 / 125)));
    EXPECT_TRUE(ogg.Valid());
    EXPECT_EQ(ogg.Vendor(), "Xiph test");
    EXPECT_EQ(ogg.Title(), "Song");
    EXPECT_EQ(ogg.Artist(), "Band");
    EXPECT_EQ(ogg.Album(), "Disc");
    EXPECT_EQ(ogg.Track(), 3);
    EXPECT_EQ(ogg.Date(), "2001");
    EXPECT_EQ(ogg.Genre(), "Rock");
    EXPECT_EQ(ogg.Comment(), "Fine");
}

TEST_F(OggVorbisTest, CommentRules) {
    struct Case {
        std::vector<std::string> comments;
        std::string title, artist, comment;
        uint16_t track;
    };
    const std::vector<Case> cases = {
        {{"TRACKNUMBER=abc"}, "", "", "", 0},
        {{"TRACKNUMBER=300"}, "", "", "", 44},
        {{"tracknumber= 7 "}, "", "", "", 7},
        {{"PERFORMER=Perf"}, "", "Perf", "", 0},
        {{"PERFORMER=Perf", "ARTIST=Art"}, "", "Art", "", 0},
        {{"DESCRIPTION=Desc"}, "", "", "Desc", 0},
        {{"Title=A", "title=B"}, "B", "", "", 0},
        {{"artist=x", "Artist=  y  "}, "", "y", "", 0},
        {{"TITLE=caf\xC3\xA9 \xCE\xB1\xF0\x9F\x8E\xB5"},
         "caf\xC3\xA9 \xCE\xB1\xF0\x9F\x8E\xB5",
         "",
         "",
         0},
        // Older writers stored Latin-1 bytes.
        {{"TITLE=caf\xE9"}, "caf\xC3\xA9", "", "", 0},
        {{"TITLE=ab\xC3x"}, "ab\xC3\x83x", "", "", 0},
        {{"TITLE=x=y"}, "x=y", "", "", 0},
        {{"=nothing", "TITLE"}, "", "", "", 0},
    };
    for (const auto& c : cases) {
        OggSpec spec;
        spec.comments = c.comments;
        const TOggVorbis ogg = Read(spec);
        EXPECT_EQ(ogg.Title(), c.title) << c.comments[0];
        EXPECT_EQ(ogg.Artist(), c.artist) << c.comments[0];
        EXPECT_EQ(ogg.Comment(), c.comment) << c.comments[0];
        EXPECT_EQ(ogg.Track(), c.track) << c.comments[0];
    }
}

TEST_F(OggVorbisTest, TextWithoutEqualsSignFillsAnEmptyVendor) {
    OggSpec spec;
    spec.vendor = "";
    spec.comments = {"loose text", "more"};
    EXPECT_EQ(Read(spec).Vendor(), "loose text");
}

TEST_F(OggVorbisTest, LongCommentIsReadWholeAndTheNextIsFound) {
    OggSpec spec;
    spec.comments = {"COMMENT=" + std::string(3000, 'c'), "TITLE=after"};
    const TOggVorbis ogg = Read(spec);
    EXPECT_EQ(ogg.Comment(), std::string(3000, 'c'));
    EXPECT_EQ(ogg.Title(), "after");
}

TEST_F(OggVorbisTest, CommentHeaderSpanningPagesIsReadWhole) {
    OggSpec spec;
    spec.comments = {"TITLE=first", "METADATA_BLOCK_PICTURE=" + std::string(150000, 'p'),
                     "ARTIST=behind the picture"};
    const TOggVorbis ogg = Read(spec);
    EXPECT_EQ(ogg.Title(), "first");
    EXPECT_EQ(ogg.Artist(), "behind the picture");
}

TEST_F(OggVorbisTest, PagesAreFoundBehindAnId3v2Tag) {
    for (const bool footer : {false, true}) {
        OggSpec spec;
        spec.prefix = test::Id3v2Padding(500, footer);
        spec.comments = {"TITLE=behind"};
        const TOggVorbis ogg = Read(spec);
        EXPECT_EQ(ogg.ID3v2Size(), footer ? 520 : 510);
        EXPECT_EQ(ogg.Title(), "behind");
        EXPECT_EQ(ogg.SampleRate(), 44100u);
    }
}

TEST_F(OggVorbisTest, DurationFromSamplesIgnoresTheChannelCount) {
    for (const uint8_t channels : {1, 2, 6}) {
        OggSpec spec;
        spec.channels = channels;
        spec.sampleRate = 48000;
        spec.audioPages = 1;
        spec.samplesPerPage = 480000;
        EXPECT_DOUBLE_EQ(Read(spec).Duration(), 10.0);
    }
}

TEST_F(OggVorbisTest, LastPageOutOfReachFallsBackToTheBitRateEstimate) {
    OggSpec spec;
    spec.audioPages = 1;
    spec.audioPageSize = 13000; // the last page starts more than 12,060 bytes before the end
    spec.nominalBitRate = 128000;
    const TOggVorbis ogg = Read(spec);
    EXPECT_EQ(ogg.Samples(), 0);
    EXPECT_DOUBLE_EQ(ogg.Duration(), static_cast<double>(ogg.FileSize()) / 128 / 2 / 125 * 2);
}

TEST_F(OggVorbisTest, ChannelModeTexts) {
    const std::vector<std::pair<uint8_t, std::string>> cases = {
        {0, "Unknown"}, {1, "Mono"},  {2, "Stereo"}, {3, "3Ch"},
        {4, "4Ch"},     {5, "5.1Ch"}, {6, "6Ch"},    {8, "8Ch"}};
    for (const auto& [channels, text] : cases) {
        OggSpec spec;
        spec.channels = channels;
        EXPECT_EQ(Read(spec).ChannelMode(), text);
    }
}

TEST_F(OggVorbisTest, NotVorbisGivesFalseAndClearedFields) {
    OggSpec spec;
    auto bytes = test::OggVorbisBytes(spec);
    const std::string name = dir_.File("x.ogg");
    TOggVorbis ogg;
    ogg.SetTitle("stale");

    WriteFileBytes(name, {'R', 'I', 'F', 'F'});
    EXPECT_FALSE(ogg.ReadInfo(name));
    EXPECT_EQ(ogg.Title(), "");

    bytes[28] = 'X'; // the identification header's packet type
    WriteFileBytes(name, bytes);
    EXPECT_FALSE(ogg.ReadInfo(name));
    EXPECT_EQ(ogg.SampleRate(), 0u);
}

TEST_F(OggVorbisTest, MissingFileRaisesTheOpenError) {
    TOggVorbis ogg;
    EXPECT_THROW(ogg.ReadInfo(dir_.File("missing.ogg")), EStreamError);
}

// Hostile files: lying counts and sizes must neither hang nor read astray, and writing them
// must leave them as they were.
TEST_F(OggVorbisTest, HostileFiles) {
    const auto withComment = [](std::vector<uint8_t> packet) {
        OggSpec spec;
        auto bytes = test::OggVorbisBytes(spec);
        // Replace the second page by one holding the given comment packet and the setup header.
        const auto pages = test::ParseOggPages(bytes);
        std::vector<uint8_t> setup(300, 0x5A);
        std::vector<uint8_t> lacing(packet.size() / 255, 255);
        lacing.push_back(static_cast<uint8_t>(packet.size() % 255));
        lacing.push_back(255);
        lacing.push_back(45);
        packet.insert(packet.end(), setup.begin(), setup.end());
        auto out = std::vector<uint8_t>(bytes.begin(), bytes.begin() + 58);
        const auto page = test::OggPageBytes(0, 0, spec.serial, 1, lacing, packet);
        out.insert(out.end(), page.begin(), page.end());
        out.insert(out.end(), bytes.begin() + static_cast<long>(pages[2].offset), bytes.end());
        return out;
    };
    const auto commentPacket = [](uint32_t vendorLength, uint32_t count,
                                  std::vector<uint32_t> lengths) {
        std::vector<uint8_t> p = {3, 'v', 'o', 'r', 'b', 'i', 's'};
        test::PutLE32(p, vendorLength);
        test::PutText(p, "v");
        test::PutLE32(p, count);
        for (const uint32_t length : lengths) {
            test::PutLE32(p, length);
            test::PutText(p, "TITLE=t");
        }
        p.push_back(1);
        return p;
    };
    const auto patched = [](size_t offset, std::vector<uint8_t> value) {
        auto bytes = test::OggVorbisBytes(OggSpec{});
        std::copy(value.begin(), value.end(), bytes.begin() + static_cast<long>(offset));
        const uint32_t crc = test::SlowOggCrc({bytes.begin(), bytes.begin() + 58});
        for (size_t i = 0; i < 4; ++i) {
            bytes[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
        }
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool result;
    };
    const std::vector<Case> cases = {
        {"comment count of 4 billion", withComment(commentPacket(1, 0xFFFFFFFF, {7})), true},
        {"vendor length of 4 GB", withComment(commentPacket(0xFFFFFFFF, 1, {7})), true},
        {"comment length of 4 GB", withComment(commentPacket(1, 2, {0xFFFFFFF0, 7})), true},
        {"zero sample rate", patched(28 + 12, {0, 0, 0, 0}), true},
        {"negative nominal bit rate", patched(28 + 20, {0xFF, 0xFF, 0xFF, 0xFF}), true},
        {"truncated second page",
         [] {
             auto b = test::OggVorbisBytes(OggSpec{});
             b.resize(58 + 40);
             return b;
         }(),
         true},
        {"second page without segments",
         [] {
             auto b = test::OggVorbisBytes(OggSpec{});
             b[58 + 26] = 0;
             return b;
         }(),
         true},
        {"cut after 85 bytes",
         [] {
             auto b = test::OggVorbisBytes(OggSpec{});
             b.resize(85);
             return b;
         }(),
         true},
        {"only a page signature", {'O', 'g', 'g', 'S'}, false},
        {"first page claims 255 segments",
         [] {
             auto b = test::OggVorbisBytes(OggSpec{});
             b[26] = 255;
             return b;
         }(),
         false},
        {"ID3v2 size beyond the file",
         [] {
             auto b = test::Id3v2Padding(0);
             b[6] = 0x7F;
             auto ogg = test::OggVorbisBytes(OggSpec{});
             b.insert(b.end(), ogg.begin(), ogg.end());
             return b;
         }(),
         false},
        {"endless empty continuation pages",
         [] {
             OggSpec spec;
             spec.audioPages = 0;
             auto b = test::OggVorbisBytes(spec);
             b.resize(58);
             const auto open =
                 test::OggPageBytes(0, 0, spec.serial, 1, {255}, std::vector<uint8_t>(255, 3));
             b.insert(b.end(), open.begin(), open.end());
             for (uint32_t i = 0; i < 20000; ++i) {
                 const auto page = test::OggPageBytes(1, 0, spec.serial, i + 2, {255},
                                                      std::vector<uint8_t>(255, 0));
                 b.insert(b.end(), page.begin(), page.end());
             }
             return b;
         }(),
         true},
    };
    for (const auto& c : cases) {
        const std::string name = dir_.File("hostile.ogg");
        WriteFileBytes(name, c.bytes);
        {
            // Shared reads serve small reads from memory, another path for empty reads.
            const SharedReadScope shared;
            TOggVorbis ogg;
            EXPECT_EQ(ogg.ReadInfo(name), c.result) << c.what;
        }
        TOggVorbis ogg;
        EXPECT_EQ(ogg.ReadInfo(name), c.result) << c.what;
        EXPECT_GE(ogg.Duration(), 0.0) << c.what;
        (void)ogg.Valid();
        ogg.SetTitle("x");
        const bool written = ogg.WriteTag(name);
        if (!written) {
            EXPECT_EQ(ReadFileBytes(name), c.bytes) << c.what;
        } else {
            EXPECT_FALSE(test::ParseOggPages(ReadFileBytes(name)).empty()) << c.what;
        }
    }
}

TEST_F(OggVorbisTest, ExtremeSampleRatesGiveBoundedFigures) {
    struct Case {
        const char* what;
        uint32_t sampleRate;
        uint64_t samplesPerPage;
        int bitRate;
        bool valid;
    };
    // A zero rate has no duration; one sample a page at the highest rate gives a bit rate
    // beyond int, which saturates.
    const Case cases[] = {{"zero sample rate", 0, 44100, 0, false},
                          {"one sample at 4 GHz", 0xFFFFFFFF, 1, INT_MAX, false}};
    for (const Case& c : cases) {
        OggSpec spec;
        spec.sampleRate = c.sampleRate;
        spec.samplesPerPage = c.samplesPerPage;
        const TOggVorbis ogg = Read(spec);
        if (c.sampleRate == 0) {
            EXPECT_EQ(ogg.Duration(), 0.0) << c.what;
        }
        EXPECT_EQ(ogg.BitRate(), c.bitRate) << c.what;
        EXPECT_EQ(ogg.Valid(), c.valid) << c.what;
    }
}

// ---- writing ----

class OggVorbisWriteTest : public OggVorbisTest {
protected:
    static void SetAll(TOggVorbis& ogg) {
        ogg.SetTitle("  New Title ");
        ogg.SetArtist("Art\xC3\xA9");
        ogg.SetAlbum("Alb");
        ogg.SetTrack(9);
        ogg.SetDate("1999");
        ogg.SetGenre("Jazz");
        ogg.SetComment("");
    }
    static std::vector<test::ParsedOggPage> Pages(const std::string& name) {
        auto pages = test::ParseOggPages(ReadFileBytes(name));
        EXPECT_FALSE(pages.empty()) << "not a clean page sequence";
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].sequence, i) << "page " << i;
        }
        return pages;
    }
};

TEST_F(OggVorbisWriteTest, RewritesOnlyTheSecondPageWhenTheHeaderFits) {
    OggSpec spec;
    spec.comments = {"PERFORMER=Perf", "DESCRIPTION=d", "X=y"};
    const std::string name = Write(spec);
    const auto before = Pages(name);

    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadInfo(name));
    EXPECT_EQ(ogg.Artist(), "Perf");
    SetAll(ogg);
    ASSERT_TRUE(ogg.WriteTag(name));

    const auto after = Pages(name);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0].body, before[0].body);
    EXPECT_EQ(after[1].headerType, before[1].headerType);
    EXPECT_EQ(after[1].granule, before[1].granule);
    EXPECT_EQ(after[1].serial, before[1].serial);
    const auto bytes = ReadFileBytes(name);
    const auto old = test::OggVorbisBytes(spec);
    for (size_t i = 2; i < after.size(); ++i) {
        EXPECT_TRUE(std::equal(old.begin() + static_cast<long>(before[i].offset), old.end(),
                               bytes.begin() + static_cast<long>(after[i].offset), bytes.end()));
    }
    const auto packets = test::OggPackets(after);
    // Names it does not edit stay; edited ones are appended; an emptied one goes.
    EXPECT_EQ(packets[1],
              test::VorbisCommentPacket(
                  "test vendor", {"PERFORMER=Perf", "X=y", "TITLE=New Title", "ARTIST=Art\xC3\xA9",
                                  "ALBUM=Alb", "TRACKNUMBER=9", "DATE=1999", "GENRE=Jazz"}));
    EXPECT_EQ(packets[2], test::OggPackets(before)[2]);

    TOggVorbis back;
    ASSERT_TRUE(back.ReadInfo(name));
    EXPECT_EQ(back.Title(), "New Title");
    EXPECT_EQ(back.Artist(), "Art\xC3\xA9");
    EXPECT_EQ(back.Track(), 9);
    EXPECT_EQ(back.Comment(), "");
    EXPECT_EQ(back.Vendor(), "test vendor");
}

TEST_F(OggVorbisWriteTest, RepaginatesAHeaderThatSpansPages) {
    for (const bool ownPage : {false, true}) {
        OggSpec spec;
        spec.setupOnOwnPage = ownPage;
        spec.setupSize = 70000; // the setup header needs two pages itself
        const std::string picture = "METADATA_BLOCK_PICTURE=" + std::string(20000, 'p');
        spec.comments = {"TITLE=t", "COMMENT=" + std::string(200000, 'c'), picture};
        const std::string name = Write(spec);
        const auto before = Pages(name);

        TOggVorbis ogg;
        ASSERT_TRUE(ogg.ReadInfo(name));
        SetAll(ogg);
        ASSERT_TRUE(ogg.WriteTag(name)) << ownPage;

        const auto after = Pages(name);
        ASSERT_LT(after.size(), before.size());
        const auto oldPackets = test::OggPackets(before);
        const auto newPackets = test::OggPackets(after);
        ASSERT_EQ(newPackets.size(), oldPackets.size());
        EXPECT_EQ(newPackets[0], oldPackets[0]);
        EXPECT_EQ(newPackets[1],
                  test::VorbisCommentPacket(
                      "test vendor", {"TITLE=New Title", picture, "ARTIST=Art\xC3\xA9", "ALBUM=Alb",
                                      "TRACKNUMBER=9", "DATE=1999", "GENRE=Jazz"}));
        EXPECT_EQ(newPackets[2], oldPackets[2]);
        for (size_t i = 3; i < oldPackets.size(); ++i) {
            EXPECT_EQ(newPackets[i], oldPackets[i]);
        }
        // The audio pages keep their granule positions and flags.
        const size_t shift = before.size() - after.size();
        for (size_t i = after.size() - 3; i < after.size(); ++i) {
            EXPECT_EQ(after[i].granule, before[i + shift].granule);
            EXPECT_EQ(after[i].headerType, before[i + shift].headerType);
            EXPECT_EQ(after[i].body, before[i + shift].body);
        }
        TOggVorbis back;
        ASSERT_TRUE(back.ReadInfo(name));
        EXPECT_EQ(back.Title(), "New Title");
        EXPECT_EQ(back.Genre(), "Jazz");
    }
}

TEST_F(OggVorbisWriteTest, RepaginatesWhenTheLacingValuesWouldNotFit) {
    OggSpec spec;
    spec.setupSize = 250 * 255; // page 2 holds 251 lacing values before the edit
    const std::string name = Write(spec);
    TOggVorbis ogg;
    ASSERT_TRUE(ogg.ReadInfo(name));
    ogg.SetComment(std::string(3000, 'c'));
    ASSERT_TRUE(ogg.WriteTag(name));
    const auto after = Pages(name);
    EXPECT_EQ(test::OggPackets(after)[2],
              test::OggPackets(test::ParseOggPages(test::OggVorbisBytes(spec)))[2]);
    TOggVorbis back;
    ASSERT_TRUE(back.ReadInfo(name));
    EXPECT_EQ(back.Comment(), std::string(3000, 'c'));
}

// Layouts and stream facts that once broke a write: a comment header alone on its page (as
// mutagen writes long ones), and last granule positions that make no sense. The comments must
// still read, and survive a re-tag through the file-info record.
TEST_F(OggVorbisWriteTest, OddLayoutsKeepTheirComments) {
    struct Case {
        const char* what;
        bool setupOnOwnPage;
        uint64_t samplesPerPage;
    };
    const Case cases[] = {{"comment header alone on its page", true, 44100},
                          {"granule 0x7FFF...", false, 0x7FFFFFFFFFFFFFFFu},
                          {"granule beyond 2^63", false, 0x5555555555555555u}};
    for (const Case& c : cases) {
        OggSpec spec;
        spec.setupOnOwnPage = c.setupOnOwnPage;
        spec.samplesPerPage = c.samplesPerPage;
        spec.comments = {"TITLE=" + std::string(3000, 't'), "ARTIST=A", "ARTIST=B",
                         "REPLAYGAIN_TRACK_GAIN=-3.1 dB"};
        const std::string name = Write(spec);
        SongInformation info = ReadSongInformation(name);
        EXPECT_EQ(info.Title, std::string(3000, 't')) << c.what;
        info.Year = "1999";
        ASSERT_TRUE(WriteSongInformation(info, name)) << c.what;
        EXPECT_FALSE(std::filesystem::exists(name + "~")) << c.what;
        const auto packets = test::OggPackets(Pages(name));
        EXPECT_EQ(packets[1],
                  test::VorbisCommentPacket(
                      "test vendor", {"TITLE=" + std::string(3000, 't'), "ARTIST=A", "ARTIST=B",
                                      "REPLAYGAIN_TRACK_GAIN=-3.1 dB", "DATE=1999"}))
            << c.what;
    }
}

TEST_F(OggVorbisWriteTest, FailuresLeaveTheFileUntouched) {
    OggSpec spec;
    const auto good = test::OggVorbisBytes(spec);
    const size_t page2 = 28 + 30;
    const size_t body2 = page2 + 27 + 3; // lacing: comment header, then the setup header
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"not ogg", std::vector<uint8_t>(100, 'x')},
        {"no comment header",
         [&] {
             auto b = good;
             b[body2] = 4;
             return b;
         }()},
        {"truncated in the second page",
         std::vector<uint8_t>(good.begin(), good.begin() + page2 + 60)},
        {"comment count beyond the packet",
         [&] {
             auto b = good;
             b[body2 + 22 + 3] = 0x40; // count of user comments
             return b;
         }()},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string name = dir_.File("bad.ogg");
        WriteFileBytes(name, bytes);
        TOggVorbis ogg;
        ogg.SetTitle("x");
        EXPECT_FALSE(ogg.WriteTag(name)) << what;
        EXPECT_EQ(ReadFileBytes(name), bytes) << what;
        EXPECT_FALSE(std::filesystem::exists(name + "~")) << what;
    }
    TOggVorbis ogg;
    EXPECT_FALSE(ogg.WriteTag(dir_.File("missing.ogg")));
}

TEST_F(OggVorbisWriteTest, KeepsAnId3v2TagAndThePermissions) {
    OggSpec spec;
    spec.prefix = test::Id3v2Padding(100);
    const std::string name = Write(spec);
    ::chmod(name.c_str(), 0640);
    TOggVorbis ogg;
    ogg.SetTitle("x");
    ASSERT_TRUE(ogg.WriteTag(name));
    const auto bytes = ReadFileBytes(name);
    EXPECT_TRUE(std::equal(spec.prefix.begin(), spec.prefix.end(), bytes.begin()));
    EXPECT_FALSE(test::ParseOggPages(bytes, spec.prefix.size()).empty());
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(OggPageTest, CrcMatchesTheBitwiseDefinition) {
    for (const size_t size : {0, 1, 27, 300, 5000}) {
        std::vector<uint8_t> page(size);
        for (size_t i = 0; i < size; ++i) {
            page[i] = static_cast<uint8_t>(i * 31 + 7);
        }
        if (size > 26) {
            std::fill(page.begin() + 22, page.begin() + 26, 0);
        }
        EXPECT_EQ(OggCrc(page.data(), page.size()), test::SlowOggCrc(page)) << size;
    }
}

} // namespace
} // namespace quillon
