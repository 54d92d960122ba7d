// Writes the seed corpus of every fuzz target into <folder>/<target>/: small valid files of
// each format made by the test fixture generators and by the project's own encoders.
#include "codecs/FLACOut.h"
#include "codecs/MACOut.h"
#include "codecs/VorbisOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/DriveReplyFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "fixtures/TagBFixtures.h"
#include "fixtures/WavFixtures.h"
#include "workflow/Settings.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace quillon::fuzz {
namespace {

using test::Bytes;
using test::Concat;
using Corpus = std::map<std::string, std::vector<Bytes>>;

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, stereo (417-byte frames) and MPEG 2 Layer III,
// 32 kbit/s, 22050 Hz, mono.
constexpr uint32_t kMpeg1Header = 0xFFFB9000;
constexpr uint32_t kMpeg2Header = 0xFFF340C0;

// The chunk list of the codec tests' RIFF builder.
using Chunks = std::vector<test::Chunk>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes XingFrames() {
    Bytes frames = test::MpegFrames(kMpeg1Header, 417, 12);
    std::fill(frames.begin() + 4, frames.begin() + 417, 0);
    std::memcpy(frames.data() + 36, "Xing", 4);
    test::PutBE32At(frames, 40, 0x0F);
    test::PutBE32At(frames, 44, 12);
    test::PutBE32At(frames, 48, 12 * 417);
    std::memcpy(frames.data() + 156, "LAME3.100", 9);
    return frames;
}

std::vector<Bytes> Mpeg() {
    return {test::MpegFrames(kMpeg1Header, 417, 8), test::MpegFrames(kMpeg2Header, 104, 8),
            XingFrames()};
}

std::vector<Bytes> Id3v1() {
    const Bytes audio = test::MpegFrames(kMpeg1Header, 417, 2);
    return {Concat({audio, test::Id3v1Record("Title", "Comment", 0, 7, 17)}),
            Concat({audio, test::Id3v1Record("A long title of thirty letters",
                                             "A comment that "
                                             "fills the slot",
                                             'x', 'y', 255)})};
}

std::vector<Bytes> Id3v2() {
    const Bytes audio = test::MpegFrames(kMpeg1Header, 417, 2);
    const std::string latin = std::string(1, '\0');
    const std::string utf16 = std::string("\x01\xFF\xFE", 3);
    const Bytes v23 = test::Id3v23Tag(
        {test::Id3v23Frame("TIT2", latin + "Title"), test::Id3v23Frame("TPE1", latin + "Artist"),
         test::Id3v23Frame("TRCK", latin + "3/12"), test::Id3v23Frame("TCON", latin + "(17)Rock"),
         test::Id3v23Frame("COMM", latin + "eng" + latin + "Comment"),
         test::Id3v23Frame("USLT", latin + "eng" + latin + "Lyrics"),
         test::Id3v23Frame("WXXX", latin + latin + "http://example.org"),
         test::Id3v23Frame("TALB", utf16 + std::string("A\0l\0\0\0", 6)),
         test::Id3v23Frame("APIC", latin + "image/png" + latin + "\x03" + latin + "PNG")},
        64);
    const Bytes v24 = test::Id3v2Tag(4, Concat({test::Id3v24Frame("TIT2", "\x03Title"),
                                                test::Id3v24Frame("TDRC", "\x03"
                                                                          "2024"),
                                                test::Id3v24Frame("TXXX",
                                                                  "\x03"
                                                                  "KEY\0value",
                                                                  0x0002),
                                                test::Id3v24Frame("TPE1",
                                                                  "\x03"
                                                                  "Artist",
                                                                  0x0001)}));
    const Bytes v22 = test::Id3v2Tag(
        2, Concat({test::Id3v22Frame("TT2", latin + "Title"), test::Id3v22Frame("TP1", "\0Artist"),
                   test::Id3v22Frame("COM", latin + "eng" + latin + "Comment")}));
    return {Concat({v23, audio}), Concat({v24, audio}), Concat({v22, audio})};
}

std::vector<Bytes> Ape() {
    const Bytes items = Concat({test::ApeItem("Title", "Title"), test::ApeItem("Artist", "Artist"),
                                test::ApeItem("Track", "3"), test::ApeItem("Cover Art", "xyz")});
    const auto size = static_cast<uint32_t>(items.size() + 32);
    const Bytes audio(600, 0x11);
    const Bytes header = test::ApeFooter(2000, size, 4, 0xA0000000);
    return {Concat({audio, items, test::ApeFooter(1000, size, 4)}),
            Concat({audio, header, items, test::ApeFooter(2000, size, 4, 0x80000000),
                    test::Id3v1Record("Title", "", 0, 1, 1)})};
}

std::vector<Bytes> Wave() {
    const std::vector<uint8_t> pcm = test::TonePcm(8000, 16, 2, 800);
    const Bytes adpcmData(512 * 3, 0x37);
    return {
        test::PcmWavBytes(8000, 16, 2, pcm),
        test::PcmWavBytes(8000, 8, 1, test::TonePcm(8000, 8, 1, 500)),
        test::RiffWave(Chunks{{"JUNK", Bytes(40, 0)},
                              {"fmt ", test::FormatData(1, 2, 8000, 4, 16)},
                              {"LIST", Text("INFOINAM\x06\0\0\0Title\0")},
                              {"data", pcm}}),
        test::RiffWave(
            Chunks{{"fmt ", test::FormatData(0x11, 1, 8000, 256, 4, test::Le16Bytes({505}))},
                   {"fact", {0xF9, 0x05, 0, 0}},
                   {"data", adpcmData}}),
        test::RiffWave(Chunks{{"fmt ", test::FormatData(2, 2, 8000, 512, 4, test::MsExtra(500))},
                              {"data", adpcmData}}),
        test::RiffWave(Chunks{{"fmt ", test::FormatData(0x55, 2, 44100, 1, 0, Bytes(12, 0))},
                              {"data", test::MpegFrames(kMpeg1Header, 417, 4)}}),
    };
}

// Sheets naming the fuzz target's data file "image.bin" of 20 sectors (after a first line that
// picks the kind).
std::vector<Bytes> DiscSheets() {
    return {Text("cue\nFILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                 "  TRACK 02 AUDIO\n    PREGAP 00:00:10\n    INDEX 00 00:00:08\n"
                 "    INDEX 01 00:00:10\n"),
            Text("cue\nREM x\nFILE \"image.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                 "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:05\n"),
            Text("toc\nCD_DA\n\nTRACK AUDIO\nSWAP\nFILE \"image.bin\" 0 00:00:10\n\n"
                 "TRACK AUDIO\nFILE \"image.bin\" 00:00:10 00:00:10\nSTART 00:00:02\n"),
            Text("toc\nCD_ROM\nCD_TEXT { LANGUAGE 0 { TITLE \"t\" } }\nTRACK MODE1_RAW\n"
                 "DATAFILE \"image.bin\" #0 00:00:05\nTRACK AUDIO\nAUDIOFILE \"image.bin\" "
                 "#11760 0\n")};
}

std::vector<Bytes> Wma() {
    return {test::AsfHeader(
        {test::AsfFileProperties(64000), test::AsfAudioStream(2, 44100, 16000),
         test::AsfContentDescription(u"Title", u"Artist", u"Copyright", u"Comment"),
         test::AsfExtendedContent({{u"WM/AlbumTitle", 0, test::Utf16Bytes(u"Album")},
                                   {u"WM/TrackNumber", 3, {2, 0, 0, 0}},
                                   {u"WM/Genre", 0, test::Utf16Bytes(u"Rock")},
                                   {u"WM/Year", 0, test::Utf16Bytes(u"2024")}})})};
}

std::vector<Bytes> OggTags() {
    test::OggSpec spec;
    spec.comments = {"TITLE=Title", "ARTIST=Artist", "TRACKNUMBER=3", "DATE=2024"};
    spec.audioPages = 2;
    spec.audioPageSize = 300;
    test::OggSpec tagged = spec;
    tagged.setupOnOwnPage = true;
    tagged.prefix = test::Id3v2Padding(20);
    return {test::OggVorbisBytes(spec), test::OggVorbisBytes(tagged)};
}

std::vector<Bytes> CommentBlocks() {
    const Bytes packet = test::VorbisCommentPacket(
        "vendor", {"TITLE=Title", "ARTIST=Artist", "ALBUM=Album", "GENRE=Rock", "X=\xC3\xA9"});
    return {Bytes(packet.begin() + 7, packet.end() - 1)};
}

// A short tone encoded by one of the project's sinks into a file, read back as bytes.
template <typename Sink> Bytes Encoded(const std::string& folder, const std::string& name) {
    const std::string file = folder + "/" + name;
    Sink sink;
    sink.SetComments({"TITLE=Title", "ARTIST=Artist"});
    sink.SetFileName(file);
    test::PcmMemorySource source(8000, 16, 2, test::TonePcm(8000, 16, 2, 6000));
    const test::RunResult result = test::RunToEnd(sink, source);
    if (!result.error.empty()) {
        std::cerr << name << ": " << result.error << "\n";
        return {};
    }
    Bytes bytes = test::ReadFileBytes(file);
    std::filesystem::remove(file);
    return bytes;
}

// Short .ape files of the library's own encoder: each sample width, both channel counts, the
// four levels, and a file of no frames.
std::vector<Bytes> ApeFiles(const std::string& folder) {
    const struct {
        int bits, channels, level, frames;
    } kinds[] = {{16, 2, 1000, 6000}, {8, 1, 2000, 3000}, {24, 2, 3000, 2000}, {16, 1, 4000, 0}};
    std::vector<Bytes> files;
    for (const auto& k : kinds) {
        const std::string file = folder + "/seed.ape";
        TMACOut sink;
        sink.SetFileName(file);
        sink.SetCompressionLevel(k.level);
        sink.SetId3TagTitle("Title");
        test::PcmMemorySource source(8000, k.bits, k.channels,
                                     test::TonePcm(8000, k.bits, k.channels, k.frames));
        const test::RunResult result = test::RunToEnd(sink, source);
        if (!result.error.empty()) {
            std::cerr << "seed.ape: " << result.error << "\n";
            return {};
        }
        files.push_back(test::ReadFileBytes(file));
        std::filesystem::remove(file);
    }
    return files;
}

// INQUIRY and READ TOC replies of a drive: an audio disc, one with a data track first, an empty
// drive's cleared 804-byte buffer.
std::vector<Bytes> DriveReplies() {
    return {test::InquiryReplyBytes("VENDOR", "CD-ROM DRIVE", "1.00", "firmware"),
            test::TocReplyBytes(
                1, 3, {{0x10, 0, 2, 0}, {0x10, 3, 1, 2}, {0x10, 7, 0, 0}, {0x10, 9, 30, 74}}),
            test::TocReplyBytes(1, 2, {{0x14, 0, 2, 0}, {0x10, 20, 0, 0}, {0x10, 30, 0, 0}}),
            Bytes(804, 0)};
}

std::vector<Bytes> Settings() {
    std::vector<Bytes> out;
    for (const SettingDefinition& definition : SettingsTable()) {
        out.push_back(Text(std::string(definition.name) + "=" + definition.defaultValue));
    }
    return out;
}

// A profile as the program ships them, and the same in UTF-16 with a byte-order mark.
std::vector<Bytes> WmaProfiles() {
    const std::string text =
        "<profile version=\"589824\" name=\"Seed\"><streamconfig majortype=\"{73647561-0000-0010-"
        "8000-00AA00389B71}\" bitrate=\"128000\"><wmmediatype subtype=\"{00000161-0000-0010-8000-"
        "00AA00389B71}\"><waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" "
        "nAvgBytesPerSec=\"16000\" nBlockAlign=\"743\" wBitsPerSample=\"16\"/></wmmediatype>"
        "</streamconfig></profile>";
    Bytes utf16 = {0xFF, 0xFE};
    for (const char c : text) {
        utf16.push_back(static_cast<uint8_t>(c));
        utf16.push_back(0);
    }
    return {Bytes(text.begin(), text.end()), utf16};
}

std::vector<Bytes> Ini() {
    return {Text("Main\n[Main]\nTitle=Quillon\nKey = value \n\n[Other]\n; note\nA=1\n"),
            Text("Strings\r\n[Strings]\r\n1=One\r\n[strings]\r\n2=Two\r\n")};
}

// SongInformation inputs: one byte that picks the ending, then the file.
std::vector<Bytes> WithEnding(uint8_t ending, const std::vector<Bytes>& files) {
    std::vector<Bytes> out;
    for (const Bytes& file : files) {
        out.push_back(Concat({{ending}, file}));
    }
    return out;
}

// Database replies, each after the byte that picks the server type and the match: an exact
// match, a list, an entry, a site list.
std::vector<Bytes> CddbReplies() {
    const std::string entry = "# xmcd\r\n# Revision: 3\r\nDISCID=0a000703\r\n"
                              "DTITLE=Some Artist / Split\r\nDTITLE= Title\r\nDYEAR=1999\r\n"
                              "DGENRE=Jazz\r\nTTITLE0=One\\nTwo\r\nTTITLE12=Thirteen\r\n"
                              "EXTD=Notes\\t\r\nEXTT0=More\r\nPLAYORDER=\r\n";
    return {Text("\x01"
                 "200 rock 0c01a202 Artist / Album\r\n"),
            Text("\x04"
                 "211 close matches\r\nrock 0a0b0c0d A / B\r\njazz 11223344 C / D\r\n.\r\n"),
            Text("\x01"
                 "210 jazz 0a000703 entry follows\r\n" +
                 entry + ".\r\n"),
            Text("\x01"
                 "210 sites follow\nhost http 80 /~cddb/cddb.cgi N1 W2 A place\n"
                 "other cddbp 8880 N3 W4 Elsewhere\n.\n"),
            Text("\x02"
                 "201 banner\r\n200 hello\r\n201 proto\r\n230 bye\r\n")};
}

} // namespace

int WriteSeeds(const std::string& folder) {
    std::filesystem::create_directories(folder);
    const Bytes flac = Encoded<TFLACOut>(folder, "seed.flac");
    const Bytes ogg = Encoded<TVorbisOut>(folder, "seed.ogg");
    const std::vector<Bytes> ape = ApeFiles(folder);
    if (flac.empty() || ogg.empty() || ape.empty()) {
        return 1;
    }
    std::vector<Bytes> oggFiles = OggTags();
    oggFiles.push_back(ogg);
    Corpus corpus = {
        {"ID3v1Fuzz", Id3v1()},
        {"ID3v2Fuzz", Id3v2()},
        {"APEtagFuzz", Ape()},
        {"FLACfileFuzz", {flac}},
        {"OggVorbisFuzz", oggFiles},
        {"MPEGaudioFuzz", Mpeg()},
        {"WAVfileFuzz", Wave()},
        {"WMAfileFuzz", Wma()},
        {"VorbisCommentBlockFuzz", CommentBlocks()},
        {"WaveInFuzz", Wave()},
        {"FLACInFuzz", {flac}},
        {"ApeDecodeFuzz", ape},
        {"VorbisInFuzz", {ogg}},
        {"IniFileFuzz", Ini()},
        {"WMAProfileFuzz", WmaProfiles()},
        {"SettingsFuzz", Settings()},
        {"DriveRepliesFuzz", DriveReplies()},
        {"DiscImageFuzz", DiscSheets()},
        {"CddbReplyFuzz", CddbReplies()},
    };
    // The endings in the order SongInformationFuzz picks them.
    const std::vector<std::vector<Bytes>> byEnding = {Id3v2(), oggFiles, {flac}, Ape(),
                                                      Wave(),  Wma(),    Mpeg()};
    for (size_t i = 0; i < byEnding.size(); ++i) {
        for (Bytes& seed : WithEnding(static_cast<uint8_t>(i), byEnding[i])) {
            corpus["SongInformationFuzz"].push_back(std::move(seed));
        }
    }
    // The settings' dictionary: their names and the entries of their lists.
    std::ofstream dictionary(folder + "/settings.dict");
    for (const SettingDefinition& definition : SettingsTable()) {
        dictionary << '"' << definition.name << "=\"\n";
        for (const std::string& value : ValidValues(definition)) {
            dictionary << '"' << value << "\"\n";
        }
    }
    for (const auto& [target, seeds] : corpus) {
        const std::string targetFolder = folder + "/" + target;
        std::filesystem::create_directories(targetFolder);
        for (size_t i = 0; i < seeds.size(); ++i) {
            test::WriteFileBytes(targetFolder + "/seed" + std::to_string(i), seeds[i]);
        }
    }
    return 0;
}

} // namespace quillon::fuzz

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds FOLDER\n";
        return 2;
    }
    return quillon::fuzz::WriteSeeds(argv[1]);
}
