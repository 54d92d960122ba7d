#include "tags/ID3v2.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/ID3v1.h"
#include "tags/SongInformation.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

namespace quillon {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Concat;
using test::Id3v23Frame;
using test::ReadFileBytes;
using test::WriteFileBytes;

const Bytes kAudio = test::MpegFrames(0xFFFB9000, 417, 3);

TID3v2 ReadBack(const std::string& file) {
    TID3v2 tag;
    EXPECT_TRUE(tag.ReadTag(file));
    return tag;
}

TEST(ID3v2Test, ReadsTheThirteenFramesOfAVersion23Tag) {
    test::TempDir dir;
    const std::string file = dir.File("f.mp3");
    const std::string z(1, '\0');
    const Bytes tag = test::Id3v23Tag(
        {Id3v23Frame("TIT2", z + "Title"), Id3v23Frame("TPE1", z + "Artist" + z),
         Id3v23Frame("TALB", z + "Album"), Id3v23Frame("TRCK", z + "3/12"),
         Id3v23Frame("TYER", z + "2001"), Id3v23Frame("TCON", z + "(13)Pop"),
         Id3v23Frame("COMM", z + "eng" + "desc" + z + "hello"), Id3v23Frame("TCOM", z + "Comp"),
         Id3v23Frame("TXXX", z + "other" + z + "skipped"), Id3v23Frame("TENC", z + "Enc"),
         Id3v23Frame("TCOP", z + "(C)"), Id3v23Frame("TLAN", z + "eng"),
         Id3v23Frame("WXXX", z + "home" + z + "http://x.invalid/"),
         Id3v23Frame("USLT", z + "eng" + z + "la la")},
        64);
    WriteFileBytes(file, Concat({tag, kAudio}));
    const TID3v2 t = ReadBack(file);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.VersionID(), 3);
    EXPECT_EQ(t.Size(), static_cast<int32_t>(tag.size()));
    EXPECT_EQ(t.Title(), "Title");
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 3);
    EXPECT_EQ(t.Year(), "2001");
    EXPECT_EQ(t.Genre(), "Pop");
    EXPECT_EQ(t.Comment(), "hello");
    EXPECT_EQ(t.Composer(), "Comp");
    EXPECT_EQ(t.Encoder(), "Enc");
    EXPECT_EQ(t.Copyright(), "(C)");
    EXPECT_EQ(t.Language(), "eng");
    EXPECT_EQ(t.Link(), "http://x.invalid/");
    EXPECT_EQ(t.Lyrics(), "la la");
}

TEST(ID3v2Test, DerivesTrackAndGenreFromTheirTexts) {
    const struct {
        const char* id;
        const char* text;
        int track;
        const char* genre;
    } cases[] = {
        {"TRCK", "3/12", 3, ""},   {"TRCK", "x", 0, ""},
        {"TRCK", "300", 44, ""},   {"TRCK", "07", 7, ""},
        {"TCON", "(13)", 0, ""},   {"TCON", "(13)Pop", 0, "Pop"},
        {"TCON", "Pop", 0, "Pop"}, {"TCON", "(1)(2)Rock", 0, "Rock"},
    };
    test::TempDir dir;
    const std::string file = dir.File("t.mp3");
    for (const auto& c : cases) {
        WriteFileBytes(
            file,
            Concat({test::Id3v23Tag({Id3v23Frame(c.id, std::string(1, '\0') + c.text)}), kAudio}));
        const TID3v2 t = ReadBack(file);
        EXPECT_EQ(t.Track(), c.track) << c.text;
        EXPECT_EQ(t.Genre(), c.genre) << c.text;
    }
}

TEST(ID3v2Test, LongFramesAreReadWholeAndTheScanGoesOn) {
    test::TempDir dir;
    const std::string file = dir.File("long.mp3");
    const std::string lyrics = std::string(1, '\0') + "eng" + '\0' + std::string(6000, 'l');
    WriteFileBytes(file,
                   Concat({test::Id3v23Tag({Id3v23Frame("USLT", lyrics),
                                            Id3v23Frame("TIT2", std::string(1, '\0') + "After")}),
                           kAudio}));
    const TID3v2 t = ReadBack(file);
    EXPECT_EQ(t.Lyrics(), std::string(6000, 'l'));
    EXPECT_EQ(t.Title(), "After");
}

const std::string kZ(1, '\0');
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x8E\xB5";
const std::string kGreek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1";

// UTF-16 bytes of a UTF-8 text (ASCII and Greek only), optionally behind a byte-order mark.
std::string Utf16(const std::string& utf8, bool bigEndian, bool bom) {
    std::string out = bom ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (size_t i = 0; i < utf8.size(); ++i) {
        auto unit = static_cast<uint16_t>(static_cast<uint8_t>(utf8[i]));
        if (unit >= 0xC0) {
            unit = static_cast<uint16_t>(((unit & 0x1F) << 6) | (utf8[++i] & 0x3F));
        }
        const char hi = static_cast<char>(unit >> 8);
        const char lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

TEST(ID3v2Test, ReadsEveryVersionAndEncoding) {
    const struct {
        const char* name;
        uint8_t version;
        Bytes frame;
        std::string title;
    } cases[] = {
        {"2.2 Latin-1", 2, test::Id3v22Frame("TT2", kZ + "Caf\xE9"), "Caf\xC3\xA9"},
        {"2.2 UTF-16", 2, test::Id3v22Frame("TT2", "\x01" + Utf16(kGreek, false, true)), kGreek},
        {"2.3 UTF-16 big-endian mark", 3, Id3v23Frame("TIT2", "\x01" + Utf16(kGreek, true, true)),
         kGreek},
        {"2.3 UTF-16 terminated", 3,
         Id3v23Frame("TIT2", "\x01" + Utf16(kGreek, false, true) + kZ + kZ), kGreek},
        {"2.4 UTF-16BE", 4, test::Id3v24Frame("TIT2", "\x02" + Utf16(kGreek, true, false)), kGreek},
        {"2.4 UTF-8", 4, test::Id3v24Frame("TIT2", "\x03" + kJapanese), kJapanese},
        {"2.4 list", 4,
         test::Id3v24Frame("TIT2", "\x03"
                                   "A" +
                                       kZ + "B"),
         "A/B"},
    };
    test::TempDir dir;
    const std::string file = dir.File("enc.mp3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes tag = test::Id3v2Tag(c.version, c.frame);
        WriteFileBytes(file, Concat({tag, kAudio}));
        const TID3v2 t = ReadBack(file);
        EXPECT_EQ(t.VersionID(), c.version);
        EXPECT_EQ(t.Size(), static_cast<int32_t>(tag.size()));
        EXPECT_EQ(t.Title(), c.title);
    }
}

// Frame data of a compressed version 2.3 frame: decompressed size, then zlib data.
Bytes Compressed(const std::string& content) {
    uLongf size = compressBound(content.size());
    Bytes packed(size);
    compress(packed.data(), &size, reinterpret_cast<const Bytef*>(content.data()), content.size());
    packed.resize(size);
    Bytes data(4);
    test::PutBE32At(data, 0, static_cast<uint32_t>(content.size()));
    test::Append(data, packed);
    return data;
}

// Frames the named fields do not touch stay byte for byte, compressed and encrypted ones
// included; a tag-level unsynchronisation is undone.
TEST(ID3v2Test, RetaggingKeepsEveryOtherFrameByteForByte) {
    Bytes compressedTitle = BytesOf("TIT2");
    const Bytes packed = Compressed(kZ + "Packed title");
    test::Append(compressedTitle,
                 Concat({{0, 0, 0, static_cast<uint8_t>(packed.size())}, {0, 0x80}, packed}));
    Bytes encrypted = BytesOf("PRIV");
    test::Append(encrypted, {0, 0, 0, 4, 0, 0x40, 0x80, 0xFF, 0x00, 0xE1});
    // A later recording time than the year; it goes when the year is edited.
    const Bytes tdrc = Id3v23Frame("TDRC", kZ + "2001-05-06");
    const std::vector<Bytes> frames = {
        compressedTitle,
        Id3v23Frame("APIC", kZ + "image/png" + kZ + "\x03" + "cover" + kZ + "\x89PNG\xFF\xE0"),
        Id3v23Frame("TXXX", kZ + "REPLAYGAIN_TRACK_GAIN" + kZ + "-6.5 dB"),
        Id3v23Frame("COMM", "\x01"
                            "deu" +
                                Utf16("", false, true) + kZ + kZ + Utf16("Kommentar", false, true)),
        Id3v23Frame("USLT", kZ + "eng" + kZ + std::string(3000, 'w')),
        Id3v23Frame("UFID", "http://id.invalid" + kZ + "1234"),
        Id3v23Frame("RVA2", "track" + kZ + "\x01\xFF\x00\x00"),
        Id3v23Frame("TYER", kZ + "2001"),
        encrypted,
        tdrc,
    };
    test::TempDir dir;
    const std::string file = dir.File("keep.mp3");
    const Bytes v1 = test::Id3v1Record("old", "", 0, 0, 0);
    for (const bool unsynchronised : {false, true}) {
        SCOPED_TRACE(unsynchronised ? "unsynchronised" : "plain");
        Bytes body;
        for (const Bytes& frame : frames) {
            test::Append(body, frame);
        }
        Bytes stored;
        for (size_t i = 0; i < body.size(); ++i) {
            stored.push_back(body[i]);
            if (unsynchronised && body[i] == 0xFF &&
                (i + 1 == body.size() || body[i + 1] >= 0xE0 || body[i + 1] == 0)) {
                stored.push_back(0);
            }
        }
        WriteFileBytes(file,
                       Concat({test::Id3v2Tag(3, stored, unsynchronised ? 0x80 : 0), kAudio, v1}));
        const TID3v2 before = ReadBack(file);
        EXPECT_EQ(before.Title(), "Packed title");
        EXPECT_EQ(before.Comment(), "Kommentar");
        EXPECT_EQ(before.Lyrics(), std::string(3000, 'w'));

        SongInformation info = ReadSongInformation(file);
        info.Year = "1999";
        ASSERT_TRUE(WriteSongInformation(info, file)) << WriteSongInformationError();
        const Bytes written = ReadFileBytes(file);
        const auto bodyStart = written.begin() + 10;
        const Bytes expected =
            Concat({Bytes(body.begin(),
                          body.end() - static_cast<ptrdiff_t>(tdrc.size() + encrypted.size() + 15)),
                    Id3v23Frame("TYER", kZ + "1999"), encrypted});
        EXPECT_EQ(Bytes(bodyStart, bodyStart + static_cast<ptrdiff_t>(expected.size())), expected);
        const Bytes tdrcId = BytesOf("TDRC");
        EXPECT_EQ(std::search(written.begin(), written.end(), tdrcId.begin(), tdrcId.end()),
                  written.end());
        EXPECT_EQ(
            Bytes(written.end() - static_cast<ptrdiff_t>(kAudio.size() + 128), written.end() - 128),
            kAudio);
        TID3v1 tail;
        ASSERT_TRUE(tail.ReadTag(file));
        EXPECT_EQ(tail.Title(), "Packed title");
        EXPECT_EQ(tail.Year(), "1999");
    }
}

// A version 2.4 or 2.2 tag is rewritten as version 2.3 with its frames converted.
TEST(ID3v2Test, OtherVersionsAreRewrittenAsVersion23) {
    const std::string picture = "\xFF\xD8\xFF\xE0 jpeg";
    const Bytes v24 = test::Id3v2Tag(
        4, Concat({test::Id3v24Frame("TIT2", "\x03" + kJapanese),
                   test::Id3v24Frame("TPE1", "\x03"
                                             "A" +
                                                 kZ + "B"),
                   test::Id3v24Frame("TALB", kZ + "Album"), test::Id3v24Frame("TRCK", kZ + "3/12"),
                   test::Id3v24Frame("TDRC", kZ + "2004-05-06T07:08"),
                   test::Id3v24Frame("TSOT", "\x03" + kGreek),
                   test::Id3v24Frame("APIC", "\x03"
                                             "image/jpeg" +
                                                 kZ + "\x03" + kGreek + kZ + picture),
                   test::Id3v24Frame("RVA2", "track" + kZ + "\x01\xFF\x00\x00")}));
    const Bytes v22 = test::Id3v2Tag(
        2, Concat({test::Id3v22Frame("TT2", "\x03" + kJapanese),
                   test::Id3v22Frame("TP1", "\x03"
                                            "A/B"),
                   test::Id3v22Frame("TAL", kZ + "Album"), test::Id3v22Frame("TRK", kZ + "3/12"),
                   test::Id3v22Frame("TYE", kZ + "2004"),
                   test::Id3v22Frame("PIC", kZ + "JPG\x03" + kZ + picture)}));
    test::TempDir dir;
    const std::string file = dir.File("old.mp3");
    for (const Bytes& tag : {v24, v22}) {
        SCOPED_TRACE(static_cast<int>(tag[3]));
        WriteFileBytes(file, Concat({tag, kAudio}));
        SongInformation info = ReadSongInformation(file);
        EXPECT_EQ(info.Version, "2." + std::to_string(tag[3]));
        info.Year = "1999";
        ASSERT_TRUE(WriteSongInformation(info, file)) << WriteSongInformationError();
        const TID3v2 t = ReadBack(file);
        EXPECT_EQ(t.VersionID(), 3);
        EXPECT_EQ(t.Title(), kJapanese);
        EXPECT_EQ(t.Artist(), "A/B");
        EXPECT_EQ(t.Album(), "Album");
        EXPECT_EQ(t.Track(), 3);
        EXPECT_EQ(t.Year(), "1999");
        bool sawPicture = false;
        for (const TID3v2Frame& frame : t.Frames()) {
            EXPECT_NE(frame.ID, "TDRC");
            if (!frame.Data.empty() && !Id3Layout(frame.ID).empty()) {
                EXPECT_LE(frame.Data[0], 1) << frame.ID;
            }
            if (frame.ID == "APIC") {
                sawPicture = true;
                EXPECT_TRUE(std::equal(picture.rbegin(), picture.rend(), frame.Data.rbegin(),
                                       [](char a, uint8_t b) { return uint8_t(a) == b; }));
            }
            if (frame.ID == "RVA2") {
                EXPECT_EQ(frame.Data, BytesOf("track" + kZ + "\x01\xFF\x00\x00"));
            }
        }
        EXPECT_TRUE(sawPicture);
    }
}

// Writes that would lose data are refused with a reason, and the file stays as it was.
TEST(ID3v2Test, WritesThatWouldLoseDataAreRefused) {
    const Bytes frame = Id3v23Frame("TIT2", kZ + "Title");
    const Bytes audioInside =
        Concat({test::Id3v2Header(3, static_cast<uint32_t>(frame.size() + kAudio.size())), frame,
                kAudio, kAudio});
    const struct {
        const char* name;
        Bytes content;
    } cases[] = {
        {"audio inside the stated size", audioInside},
        {"2.2 frame without a 2.3 equivalent",
         Concat({test::Id3v2Tag(2, test::Id3v22Frame("CRM", "owner" + kZ + "x")), kAudio})},
        {"encrypted 2.4 frame",
         Concat({test::Id3v2Tag(4, test::Id3v24Frame("TIT2", "\x01secret", 0x0004)), kAudio})},
    };
    test::TempDir dir;
    const std::string file = dir.File("refused.mp3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(file, c.content);
        SongInformation info = ReadSongInformation(file);
        info.Year = "1999";
        EXPECT_FALSE(WriteSongInformation(info, file));
        EXPECT_FALSE(WriteSongInformationError().empty());
        EXPECT_EQ(ReadFileBytes(file), c.content);
    }
}

TEST(ID3v2Test, LongTextsInAnyScriptSurviveARetag) {
    test::TempDir dir;
    const std::string file = dir.File("texts.mp3");
    WriteFileBytes(file, kAudio);
    std::string longGreek;
    while (longGreek.size() < 6000) {
        longGreek += kGreek + " ";
    }
    SongInformation info;
    info.Title = kJapanese;
    info.Artist = "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9";
    info.Album = "Caf\xC3\xA9";
    info.Comment = std::string(3000, 'c');
    info.Lyrics = TrimBlanks(longGreek);
    ASSERT_TRUE(WriteSongInformation(info, file));
    SongInformation again = ReadSongInformation(file);
    again.Year = "1999";
    ASSERT_TRUE(WriteSongInformation(again, file));
    const SongInformation read = ReadSongInformation(file);
    EXPECT_EQ(read.Title, info.Title);
    EXPECT_EQ(read.Artist, info.Artist);
    EXPECT_EQ(read.Album, info.Album);
    EXPECT_EQ(read.Comment, info.Comment);
    EXPECT_EQ(read.Lyrics, info.Lyrics);
    EXPECT_EQ(read.Year, "1999");
    TID3v1 v1;
    ASSERT_TRUE(v1.ReadTag(file));
    EXPECT_EQ(v1.Title(), "??? ?");
    EXPECT_EQ(v1.Album(), "Caf\xC3\xA9");
}

TEST(ID3v2Test, AStatedLengthBeyondTheFileGivesSizeZero) {
    test::TempDir dir;
    const std::string file = dir.File("big.mp3");
    WriteFileBytes(file, Concat({test::Id3v2Header(3, 100000),
                                 Id3v23Frame("TIT2", std::string(1, '\0') + "T")}));
    const TID3v2 t = ReadBack(file);
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.Size(), 0);
    EXPECT_EQ(t.Title(), "");
}

TEST(ID3v2Test, WritesTheExactBytesOfATitleOnlyTag) {
    test::TempDir dir;
    const std::string file = dir.File("abc.mp3");
    WriteFileBytes(file, kAudio);
    TID3v2 tag;
    tag.SetTitle("  abc ");
    ASSERT_TRUE(tag.WriteTag(file));
    const Bytes expected = Concat({BytesOf("ID3"),
                                   {3, 0, 0, 0, 0, 0, 14},
                                   BytesOf("TIT2"),
                                   {0, 0, 0, 4, 0, 0, 0},
                                   BytesOf("abc"),
                                   kAudio});
    EXPECT_EQ(ReadFileBytes(file), expected);

    TID3v2 empty;
    ASSERT_TRUE(empty.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), Concat({BytesOf("ID3"), {3, 0, 0, 0, 0, 0, 0}, kAudio}));
}

TEST(ID3v2Test, RoundTripsEveryFieldAndKeepsAudioAndId3v1) {
    test::TempDir dir;
    const std::string file = dir.File("rt.mp3");
    const Bytes tail = test::Id3v1Record("v1", "", 0, 0, 0);
    const Bytes old = test::Id3v23Tag({Id3v23Frame("APIC", std::string(3000, 'p'))}, 500);
    WriteFileBytes(file, Concat({old, kAudio, tail}));
    ::chmod(file.c_str(), 0640);

    TID3v2 tag;
    tag.SetTitle("Title");
    tag.SetArtist("Art\xC3\xA9st");
    tag.SetAlbum("Album");
    tag.SetTrack(9);
    tag.SetYear("1999");
    tag.SetGenre("Rock");
    tag.SetComment("Comment");
    tag.SetComposer("Composer");
    tag.SetEncoder("Encoder");
    tag.SetCopyright("Copyright");
    tag.SetLanguage("deu");
    tag.SetLink("http://link.invalid/");
    tag.SetLyrics("Lyrics");
    ASSERT_TRUE(tag.WriteTag(file));

    const Bytes bytes = ReadFileBytes(file);
    const Bytes built = tag.BuildTag();
    EXPECT_EQ(bytes, Concat({built, kAudio, tail}));
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const TID3v2 t = ReadBack(file);
    EXPECT_EQ(t.Size(), static_cast<int32_t>(built.size()));
    EXPECT_EQ(t.Title(), "Title");
    EXPECT_EQ(t.Artist(), "Art\xC3\xA9st");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Track(), 9);
    EXPECT_EQ(t.Year(), "1999");
    EXPECT_EQ(t.Genre(), "Rock");
    EXPECT_EQ(t.Comment(), "Comment");
    EXPECT_EQ(t.Composer(), "Composer");
    EXPECT_EQ(t.Encoder(), "Encoder");
    EXPECT_EQ(t.Copyright(), "Copyright");
    EXPECT_EQ(t.Language(), "deu");
    EXPECT_EQ(t.Link(), "http://link.invalid/");
    EXPECT_EQ(t.Lyrics(), "Lyrics");
}

TEST(ID3v2Test, ShortOrMissingFilesAreRefusedUntouched) {
    test::TempDir dir;
    const std::string file = dir.File("short.mp3");
    const Bytes content = BytesOf("ID3\x03");
    WriteFileBytes(file, content);
    TID3v2 tag;
    tag.SetTitle("x");
    EXPECT_FALSE(tag.ReadTag(file));
    EXPECT_FALSE(tag.Exists());
    EXPECT_FALSE(tag.WriteTag(file));
    EXPECT_EQ(ReadFileBytes(file), content);
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    EXPECT_FALSE(tag.WriteTag(dir.File("missing.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mp3")));
}

} // namespace
} // namespace quillon
