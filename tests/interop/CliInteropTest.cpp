#include "fixtures/Fixtures.h"
#include "fixtures/TagBPeers.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;
using test::Shell;
using test::ShellOutput;

std::string Quillon() {
    const char* dir = std::getenv("QUILLON_BIN_DIR");
    return std::string(dir != nullptr ? dir : QUILLON_BIN_DIR) + "/quillon";
}

// Length of the ID3v2 tag at the start of the bytes (header included), 0 without one.
size_t Id3v2Length(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') {
        return 0;
    }
    return 10 + (static_cast<size_t>(bytes[6]) << 21 | static_cast<size_t>(bytes[7]) << 14 |
                 static_cast<size_t>(bytes[8]) << 7 | bytes[9]);
}

class CliInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "lame", "oggenc"}) {
            if (!test::HaveProgram(tool)) {
                GTEST_SKIP() << tool << " not installed";
            }
        }
        wav_ = dir_.File("tone.wav");
        test::WriteFileBytes(
            wav_,
            test::PcmWavBytes(44100, 16, 2, test::AsBytes(test::Tone16(44100, 2, 44100 * 4))));
    }
    test::TempDir dir_;
    std::string wav_;
};

TEST_F(CliInteropTest, TagKeepsTheAudioOfAnMp3WithOtherFrames) {
    const std::string mp3 = dir_.File("framed.mp3");
    ASSERT_EQ(Shell("lame --quiet -b 160 " + Quote(wav_) + " " + Quote(mp3)), 0);
    test::Python(
        "from mutagen.id3 import ID3, APIC, TXXX, TIT2\n"
        "t = ID3()\n"
        "t.add(APIC(encoding=0, mime='image/png', type=3, desc='', data=b'\\x89PNG' * 5000))\n"
        "t.add(TXXX(encoding=3, desc='key', text='value'))\n"
        "t.add(TIT2(encoding=3, text='Old'))\n"
        "t.save('" +
        mp3 + "', v2_version=3)\n");
    const auto before = test::ReadFileBytes(mp3);
    const std::string decodedBefore = test::DecodedMd5(mp3);
    ASSERT_FALSE(decodedBefore.empty());

    ASSERT_EQ(Shell(Quillon() + " tag " + Quote(mp3) +
                    " --title 'N\xC3\xA9w' --artist Band --track 4 "
                    "--genre Jazz --lyrics 'la la'"),
              0);
    const auto after = test::ReadFileBytes(mp3);
    const size_t oldTag = Id3v2Length(before);
    const size_t newTag = Id3v2Length(after);
    ASSERT_GT(oldTag, 0u);
    ASSERT_GT(newTag, 0u);
    ASSERT_EQ(after.size() - newTag - 128, before.size() - oldTag);
    EXPECT_TRUE(std::equal(before.begin() + static_cast<long>(oldTag), before.end(),
                           after.begin() + static_cast<long>(newTag)));
    EXPECT_EQ(test::DecodedMd5(mp3), decodedBefore);

    const std::string seen =
        test::Python("from mutagen.id3 import ID3\n"
                     "t = ID3('" +
                     mp3 +
                     "')\n"
                     "print(t.version, t['TIT2'].text[0], t['TPE1'].text[0], t['TRCK'].text[0], "
                     "t['TCON'].text[0], len(t.getall('APIC')))\n");
    EXPECT_EQ(seen, "(2, 3, 0) N\xC3\xA9w Band 4 Jazz 1\n") << "the picture is kept";
    const std::string v1 = test::Python("from mutagen.id3._id3v1 import find_id3v1\n"
                                        "f = open('" +
                                        mp3 +
                                        "', 'rb')\n"
                                        "print(find_id3v1(f)[0]['TIT2'])\n");
    EXPECT_EQ(v1, "N\xC3\xA9w\n");
}

TEST_F(CliInteropTest, TagWritesVorbisCommentsThatMutagenReads) {
    const std::string ogg = dir_.File("a.ogg");
    ASSERT_EQ(Shell("oggenc -Q -t Old -a Someone -o " + Quote(ogg) + " " + Quote(wav_)), 0);
    ASSERT_EQ(Shell(Quillon() + " tag " + Quote(ogg) + " --title New --year 2024"), 0);
    const std::string seen = test::Python("from mutagen.oggvorbis import OggVorbis\n"
                                          "f = OggVorbis('" +
                                          ogg +
                                          "')\n"
                                          "print(f['title'], f['artist'], f['date'])\n");
    EXPECT_EQ(seen, "['New'] ['Someone'] ['2024']\n");
}

TEST_F(CliInteropTest, TagRefusesOtherFormatsAndMissingFiles) {
    const auto before = test::ReadFileBytes(wav_);
    const std::string err = dir_.File("err.txt");
    EXPECT_NE(Shell(Quillon() + " tag " + Quote(wav_) + " --title x 2>" + Quote(err)), 0);
    EXPECT_NE(ShellOutput("cat " + Quote(err)).find(": not a tagged format"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(wav_), before);
    EXPECT_NE(
        Shell(Quillon() + " tag " + Quote(dir_.File("missing.mp3")) + " --title x 2>/dev/null"), 0);
    EXPECT_NE(Shell(Quillon() + " tag " + Quote(wav_) + " --bogus x 2>/dev/null"), 0);
}

TEST_F(CliInteropTest, InfoJsonParsesWithTheRecordKeys) {
    const std::string mp3 = dir_.File("a.mp3");
    const std::string ogg = dir_.File("a.ogg");
    const std::string wma = dir_.File("a.wma");
    ASSERT_EQ(Shell("lame --quiet --tt 'T\xC3\xADtle' " + Quote(wav_) + " " + Quote(mp3)), 0);
    ASSERT_EQ(Shell("oggenc -Q -o " + Quote(ogg) + " " + Quote(wav_)), 0);
    ASSERT_EQ(Shell("ffmpeg -v error -i " + Quote(wav_) + " -c:a wmav2 " + Quote(wma)), 0);
    const std::string out = dir_.File("out.json");
    EXPECT_NE(Shell(Quillon() + " info --json " + Quote(mp3) + " " + Quote(ogg) + " " + Quote(wma) +
                    " " + Quote(wav_) + " " + Quote(dir_.File("missing.wav")) + " >" + Quote(out) +
                    " 2>/dev/null"),
              0);
    const std::string checked = test::Python(
        "import json\n"
        "song = ['File', 'Exists', 'Version', 'Title', 'Artist', 'Album', 'Track', 'Year', "
        "'Genre', 'Comment', 'Composer', 'Encoder', 'Copyright', 'Language', 'Link', 'Lyrics', "
        "'MPEG']\n"
        "mpeg = ['FileSize', 'BitRate', 'SampleRate', 'ChannelMode', 'ValidMPEG', 'MPEGType', "
        "'FirstFrameAt', 'CRCProtection', 'TotalFrames', 'Copyright', 'Original', 'Emphasis', "
        "'Encoder', 'Duration']\n"
        "lines = open('" +
        out +
        "').read().splitlines()\n"
        "for line in lines:\n"
        "    r = json.loads(line)\n"
        "    assert sorted(r) == sorted(song), sorted(r)\n"
        "    assert sorted(r['MPEG']) == sorted(mpeg), sorted(r['MPEG'])\n"
        "    assert isinstance(r['MPEG']['Duration'], float) or isinstance(r['MPEG']['Duration'], "
        "int)\n"
        "    print(r['File'].rsplit('/', 1)[1], r['Title'], round(r['MPEG']['Duration']), "
        "r['MPEG']['SampleRate'])\n");
    EXPECT_EQ(checked, "a.mp3 T\xC3\xADtle 4 44100 hz\n"
                       "a.ogg  4 44100 hz\n"
                       "a.wma  4 44100 hz\n"
                       "tone.wav  4 44100 hz\n");
}

} // namespace
} // namespace quillon
