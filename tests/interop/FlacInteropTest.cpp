#include "codecs/FLACIn.h"
#include "codecs/FLACOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagBPeers.h"
#include "fixtures/VorbisPeers.h"
#include "interop/VorbisCommentRoundTrip.h"
#include "tags/FLACfile.h"
#include "tags/SongInformation.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;

std::string Quillon() {
    const char* dir = std::getenv("QUILLON_BIN_DIR");
    return std::string(dir != nullptr ? dir : QUILLON_BIN_DIR) + "/quillon";
}

class FlacInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("flac")) {
            GTEST_SKIP() << "flac is not installed";
        }
    }

    // Raw PCM as flac decodes it: 8-bit unsigned, 16-bit signed, little-endian.
    std::vector<uint8_t> FlacDecode(const std::string& file, int bits) {
        const std::string raw = dir.File("flac.raw");
        EXPECT_EQ(test::Shell("flac -s -d -f --force-raw-format --endian=little --sign=" +
                              std::string(bits == 8 ? "unsigned" : "signed") + " -o " + Quote(raw) +
                              " " + Quote(file)),
                  0);
        return test::ReadFileBytes(raw);
    }

    std::string FlacEncode(const std::vector<uint8_t>& pcm, int bits, int channels, int level) {
        const std::string raw = dir.File("in.raw");
        const std::string file = dir.File("flac-" + std::to_string(level) + ".flac");
        test::WriteFileBytes(raw, pcm);
        EXPECT_EQ(test::Shell("flac -s -f -" + std::to_string(level) +
                              " --force-raw-format --endian=little --sign=" +
                              std::string(bits == 8 ? "unsigned" : "signed") + " --channels=" +
                              std::to_string(channels) + " --bps=" + std::to_string(bits) +
                              " --sample-rate=44100 -o " + Quote(file) + " " + Quote(raw)),
                  0);
        return file;
    }

    test::TempDir dir;
};

struct Format {
    int bits, channels;
};
const Format kFormats[] = {{16, 2}, {16, 1}, {8, 1}, {8, 2}};

TEST_F(FlacInteropTest, OurFilesPassFlacsTestAndDecodeToTheInput) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(testing::Message() << f.bits << " bits, " << f.channels << " channels");
        const auto pcm = test::TonePcm(44100, f.bits, f.channels, 3 * 44100 + 17, 0.9);
        const std::string file = dir.File("ours.flac");
        TFLACOut sink;
        sink.SetCompressionLevel(5);
        sink.SetFileName(file);
        test::PcmMemorySource source(44100, f.bits, f.channels, pcm, 1001);
        ASSERT_EQ(test::RunToEnd(sink, source).error, "");
        EXPECT_EQ(test::Shell("flac -s -t " + Quote(file)), 0);
        EXPECT_TRUE(FlacDecode(file, f.bits) == pcm);
    }
}

TEST_F(FlacInteropTest, FlacsFilesDecodeAsFlacDecodesThemAlsoAfterASeek) {
    for (const Format& f : kFormats) {
        for (int level : {0, 5, 8}) {
            SCOPED_TRACE(testing::Message()
                         << f.bits << " bits, " << f.channels << " channels, level " << level);
            const int frameBytes = f.bits / 8 * f.channels;
            const auto pcm = test::TonePcm(44100, f.bits, f.channels, 2 * 44100 + 333, 0.7);
            const std::string file = FlacEncode(pcm, f.bits, f.channels, level);
            const auto reference = FlacDecode(file, f.bits);
            ASSERT_EQ(reference, pcm);
            TFLACIn in;
            in.SetFileName(file);
            EXPECT_TRUE(test::ReadAll(in, 5000) == reference);
            for (int64_t start : {1, 1151, 4096, 50000, 2 * 44100 + 300}) {
                in.SetStartSample(start);
                const auto tail = test::ReadAll(in, 3333);
                EXPECT_TRUE(tail == std::vector<uint8_t>(reference.begin() + start * frameBytes,
                                                         reference.end()))
                    << "from " << start;
            }
        }
    }
}

// Our sink's tags, in every script, as metaflac and mutagen read them; the file passes
// flac's test and re-tags without moving its audio (the padding takes the change).
TEST_F(FlacInteropTest, OurFilesCarryTheTagsAndPaddingForEdits) {
    const auto& texts = test::ScriptTexts();
    const std::string file = dir.File("tagged.flac");
    TFLACOut sink;
    sink.SetFileName(file);
    sink.SetComments(
        {"TITLE=" + texts[3], "ARTIST=" + texts[4], "ALBUM=" + texts[1], "DATE=", "TRACKNUMBER=2"});
    test::PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 44100), 4096);
    ASSERT_EQ(test::RunToEnd(sink, source).error, "");
    EXPECT_TRUE(sink.Comments().empty());
    EXPECT_EQ(test::Shell("flac -s -t " + Quote(file)), 0);
    EXPECT_EQ(test::XiphToolComments(file),
              (std::vector<std::string>{"TITLE=" + texts[3], "ARTIST=" + texts[4],
                                        "ALBUM=" + texts[1], "TRACKNUMBER=2"}));
    const SongInformation info = ReadSongInformation(file);
    EXPECT_EQ(info.Title, texts[3]);
    EXPECT_EQ(info.Track, "2");
    EXPECT_EQ(info.MPEG.SampleRate, "44100 hz");
    EXPECT_EQ(info.MPEG.ChannelMode, "Stereo");
    EXPECT_DOUBLE_EQ(info.MPEG.Duration, 1.0);

    TFLACfile before;
    ASSERT_TRUE(before.ReadInfo(file));
    SongInformation edit = info;
    edit.Comment = texts[0];
    ASSERT_TRUE(WriteSongInformation(edit, file));
    TFLACfile after;
    ASSERT_TRUE(after.ReadInfo(file));
    EXPECT_EQ(after.AudioOffset(), before.AudioOffset());
    EXPECT_EQ(test::Shell("flac -s -t " + Quote(file)), 0);
    EXPECT_EQ(ReadSongInformation(file).Comment, texts[0]);

    // A conversion takes the tags along, in place of the file name as title.
    ASSERT_EQ(test::Shell("XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " + Quillon() +
                          " convert " + Quote(file) + " --set RipToFormat=FLAC --set " +
                          Quote("ConvFilePath=" + dir.File("out")) + " --set " +
                          Quote("OutputFileNameFormat=<Track Number>") + " >/dev/null 2>&1"),
              0);
    const std::string converted = dir.File("out/01.FLAC");
    ASSERT_TRUE(std::filesystem::exists(converted));
    EXPECT_EQ(
        test::MutagenComments(converted),
        (std::vector<std::string>{"TITLE=" + texts[3], "ARTIST=" + texts[4], "ALBUM=" + texts[1],
                                  "COMMENT=" + texts[0], "vendor=" + after.Vendor()}));
}

TEST_F(FlacInteropTest, ScriptsRoundTripWithPeers) {
    const std::string untagged = FlacEncode(test::TonePcm(44100, 16, 2, 44100, 0.5), 16, 2, 5);
    ASSERT_EQ(test::Shell("metaflac --remove-all-tags " + Quote(untagged)), 0);
    test::ExpectScriptsRoundTripWithPeers(untagged, dir);
}

// quillon tag on files that metaflac, mutagen and kid3-cli wrote, with a picture block, replay
// gain and MusicBrainz comments, two artists and a seek table: only DATE changes; the vendor,
// every comment and every other block stay byte for byte, and the audio decodes as before.
TEST_F(FlacInteropTest, TagCommandKeepsWhatItDoesNotEdit) {
    const auto pcm = test::TonePcm(44100, 16, 2, 3 * 44100, 0.6);
    const std::string master = FlacEncode(pcm, 16, 2, 5);
    const std::string png = dir.File("cover.png");
    test::WriteFileBytes(png, std::vector<uint8_t>(5000, 0x42));
    const auto copy = [&](const std::string& name) {
        const std::string file = dir.File(name);
        std::filesystem::copy_file(master, file);
        return file;
    };
    const std::string metaflac = copy("metaflac.flac");
    ASSERT_EQ(test::Shell("metaflac --add-replay-gain --set-tag=ARTIST=One --set-tag=ARTIST=Two "
                          "--set-tag=DATE=2001 "
                          "--set-tag=MUSICBRAINZ_TRACKID=9a1c8f4e-0d7b-4d6e-9f8a-2b3c4d5e6f70 "
                          "--import-picture-from=" +
                          Quote("3|image/png|front|16x16x24|" + png) + " " + Quote(metaflac)),
              0);
    const std::string mutagen = copy("mutagen.flac");
    test::Python("import os\n"
                 "from mutagen.flac import FLAC, Picture\n"
                 "f = FLAC('" +
                 mutagen +
                 "')\n"
                 "p = Picture(); p.type = 3; p.mime = 'image/jpeg'; p.data = os.urandom(70000)\n"
                 "f.add_picture(p)\n"
                 "f['REPLAYGAIN_TRACK_GAIN'] = '-6.20 dB'\n"
                 "f['MUSICBRAINZ_ALBUMID'] = '0f1e2d3c-4b5a-6978-8695-a4b3c2d1e0f9'\n"
                 "f['title'] = 'x' * 3000\n"
                 "f.save()\n");
    std::vector<std::string> files = {metaflac, mutagen};
    if (test::HaveProgram("kid3-cli")) {
        const std::string kid = dir.File("kid3.flac");
        std::filesystem::copy_file(metaflac, kid);
        test::Kid3Set(kid, {{"title", "Kid"}});
        files.push_back(kid);
    }
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const auto before = test::ReadFileBytes(file);
        TFLACfile old;
        ASSERT_TRUE(old.ReadInfo(file));
        std::vector<std::string> expected = test::MutagenComments(file);
        const auto date = std::find_if(expected.begin(), expected.end(), [](const auto& c) {
            return c.rfind("DATE=", 0) == 0 || c.rfind("date=", 0) == 0;
        });
        if (date != expected.end()) {
            *date = date->substr(0, 5) + "1999";
        } else {
            expected.insert(expected.end() - 1, "DATE=1999");
        }

        ASSERT_EQ(test::Shell(Quillon() + " tag --year 1999 " + Quote(file)), 0);
        EXPECT_EQ(test::MutagenComments(file), expected);
        EXPECT_EQ(test::Shell("flac -s -t " + Quote(file)), 0);
        EXPECT_TRUE(FlacDecode(file, 16) == pcm);
        const auto after = test::ReadFileBytes(file);
        TFLACfile now;
        ASSERT_TRUE(now.ReadInfo(file));
        // Every block but the comments and the padding, byte for byte and in order.
        const auto others = [](const TFLACfile& f, const std::vector<uint8_t>& bytes) {
            std::vector<std::vector<uint8_t>> out;
            for (const auto& b : f.Blocks()) {
                if (b.type != TFLACfile::kVorbisComment && b.type != TFLACfile::kPadding) {
                    out.emplace_back(bytes.begin() + b.position + 4,
                                     bytes.begin() + b.position + 4 + b.size);
                    out.back().push_back(b.type);
                }
            }
            return out;
        };
        EXPECT_TRUE(others(now, after) == others(old, before));
        EXPECT_GE(others(old, before).size(), 2u); // the stream information and the picture
        EXPECT_TRUE(std::equal(before.begin() + old.AudioOffset(), before.end(),
                               after.begin() + now.AudioOffset(), after.end()));
    }
}

} // namespace
} // namespace quillon
