#include "codecs/MACIn.h"
#include "codecs/MacLibrary.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace quillon {
namespace {

using test::Quote;
using test::Shell;

// Monkey's Audio files made by the peer encoder, read through the APE source and compared with
// what FFmpeg decodes; files of ours read back by the peers.
class ApeCodecInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"jmac", "ffmpeg"}) {
            if (!test::HaveProgram(tool)) {
                GTEST_SKIP() << tool << " not installed";
            }
        }
    }

    // A WAV file of a loud tone and the .ape file the peer makes of it.
    std::string PeerApe(const std::string& name, int level, int rate, int bits, int channels,
                        const std::vector<uint8_t>& pcm) {
        const std::string wav = dir.File(name + ".wav");
        const std::string ape = dir.File(name + ".ape");
        test::WriteFileBytes(wav, test::PcmWavBytes(rate, bits, channels, pcm));
        EXPECT_EQ(Shell("jmac c" + std::to_string(level) + " " + Quote(wav) + " " + Quote(ape) +
                        " >/dev/null 2>&1"),
                  0);
        return ape;
    }

    // FFmpeg's decoding with the frame checksums checked, in the file's own sample format.
    std::vector<uint8_t> FfmpegPcm(const std::string& ape, int bits) {
        const std::string raw = ape + ".raw";
        const std::string format = bits == 8    ? "-f u8"
                                   : bits == 16 ? "-f s16le"
                                                : "-c:a pcm_s24le -f s24le";
        EXPECT_EQ(Shell("ffmpeg -v error -y -err_detect crccheck+explode -i " + Quote(ape) + " " +
                        format + " " + Quote(raw)),
                  0);
        return test::ReadFileBytes(raw);
    }

    test::TempDir dir;
};

TEST_F(ApeCodecInteropTest, PeerFilesOfEveryLevelDecodeAsFfmpegDecodesThemAlsoAfterASeek) {
    // Every level at 16-bit stereo; the other widths and mono at some.
    const struct {
        int rate, bits, channels, level;
    } cases[] = {{44100, 16, 2, 1000}, {44100, 16, 2, 2000}, {44100, 16, 2, 3000},
                 {44100, 16, 2, 4000}, {44100, 16, 2, 5000}, {22050, 8, 1, 1000},
                 {22050, 8, 1, 4000},  {48000, 24, 2, 2000}, {48000, 24, 2, 5000},
                 {44100, 24, 1, 3000}, {44100, 16, 1, 2000}};
    const int64_t frames = 160001; // three frames at the lower levels
    for (const auto& f : cases) {
        const std::vector<uint8_t> pcm = test::TonePcm(f.rate, f.bits, f.channels, frames, 0.9);
        const int frameBytes = f.bits / 8 * f.channels;
        const std::string name = std::to_string(f.bits) + "-" + std::to_string(f.channels) + "-" +
                                 std::to_string(f.level);
        SCOPED_TRACE(name);
        const std::string ape = PeerApe(name, f.level, f.rate, f.bits, f.channels, pcm);
        const std::vector<uint8_t> reference = FfmpegPcm(ape, f.bits);
        ASSERT_TRUE(reference == pcm);

        TMACIn source;
        source.SetFileName(ape);
        EXPECT_EQ(source.GetBitsPerSample(), f.bits);
        EXPECT_EQ(source.GetChannels(), f.channels);
        EXPECT_TRUE(test::ReadAll(source, 4099) == reference);

        // Back from the middle of the second frame to the first, then on into the third.
        source.Init();
        std::vector<uint8_t> head(100000 * frameBytes);
        int got = 0;
        while (got < static_cast<int>(head.size())) {
            const int n = source.ReadBlock(head.data() + got, static_cast<int>(head.size()) - got);
            ASSERT_GT(n, 0);
            got += n;
        }
        for (const int64_t target : {int64_t{70001}, int64_t{150000}}) {
            ASSERT_TRUE(source.SeekSample(target));
            std::vector<uint8_t> rest(4000 * frameBytes);
            got = 0;
            for (int n = 1; n > 0 && got < static_cast<int>(rest.size()); got += n) {
                n = source.ReadBlock(rest.data() + got, static_cast<int>(rest.size()) - got);
            }
            rest.resize(static_cast<size_t>(got));
            const auto from = reference.begin() + target * frameBytes;
            const std::vector<uint8_t> expected(
                from, from + std::min<int64_t>(4000, frames - target) * frameBytes);
            EXPECT_TRUE(rest == expected) << target;
        }
        source.Flush();
    }
}

TEST_F(ApeCodecInteropTest, DamagedFilesRaiseTheLibraryText) {
    const std::vector<uint8_t> pcm = test::TonePcm(44100, 16, 2, 200000, 0.9);
    const std::vector<uint8_t> good = test::ReadFileBytes(PeerApe("good", 2000, 44100, 16, 2, pcm));
    const auto garbled = [&] {
        std::vector<uint8_t> bytes = good;
        for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) {
            bytes[i] ^= 0x5A;
        }
        return bytes;
    };
    // Frames claimed far longer than any level writes (the header follows a 52-byte descriptor).
    const auto oversized = [&](size_t field) {
        std::vector<uint8_t> bytes = good;
        bytes[52 + field + 3] = 0x20;
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    } cases[] = {
        {"huge frames", oversized(4), "MACDll error: invalid input file"},
        {"huge last frame", oversized(8), "MACDll error: invalid input file"},
        {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + good.size() * 3 / 5),
         "MACDll error: invalid input file"},
        {"garbled", garbled(), "MACDll error: decompressing frame"},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 60),
         "MACDll error: invalid input file"},
        {"no frames left", std::vector<uint8_t>(good.begin(), good.begin() + 300),
         "MACDll error: invalid input file"},
        {"not ape", std::vector<uint8_t>(1000, 'M'), "MACDll error: invalid input file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.File(std::string(c.name) + ".ape");
        test::WriteFileBytes(file, c.bytes);
        TMACIn source;
        source.SetFileName(file);
        std::string error = "(none)";
        try {
            test::ReadAll(source);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
    }
}

// The tag of a library call, as the tag layer and mutagen read it; the audio is left alone.
TEST_F(ApeCodecInteropTest, TaggedFilesReadBackInTheTagLayerAndMutagen) {
    const std::vector<uint8_t> pcm = test::TonePcm(44100, 16, 2, 50000, 0.5);
    const std::string ape = PeerApe("tagged", 2000, 44100, 16, 2, pcm);
    const MacEntries& mac = MacLibrary::Require();
    ASSERT_EQ(mac.TagFileSimple(ape.c_str(), "Old", "Old", "Old", "Old", "Old", "1900", "1", 1, 0),
              0);
    ASSERT_EQ(mac.TagFileSimple(ape.c_str(), "Artist", "Album", "Title \xC3\xA9t\xC3\xA9",
                                "Comment", "Blues", "1999", "7/12", 1, 0),
              0);
    EXPECT_TRUE(FfmpegPcm(ape, 16) == pcm);

    TAPEtag tag;
    ASSERT_TRUE(tag.ReadTag(ape));
    const std::map<std::string, std::string> expected = {
        {"Artist", "Artist"},   {"Album", "Album"}, {"Title", "Title \xC3\xA9t\xC3\xA9"},
        {"Comment", "Comment"}, {"Genre", "Blues"}, {"Year", "1999"},
        {"Track", "7"}};
    EXPECT_EQ(tag.Items().size(), expected.size());
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Title(), "Title \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(tag.Comment(), "Comment");
    EXPECT_EQ(tag.Genre(), "Blues");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Track(), 7);
    if (test::HaveMutagen()) {
        const std::string script = "import sys\n"
                                   "from mutagen.apev2 import APEv2\n"
                                   "for key, value in APEv2(sys.argv[1]).items():\n"
                                   "    print('%s=%s' % (key, '|'.join(value)))\n";
        std::map<std::string, std::string> seen;
        std::istringstream lines(test::RunPython(script, Quote(ape)));
        for (std::string line; std::getline(lines, line);) {
            const size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << line;
            seen[line.substr(0, eq)] = line.substr(eq + 1);
        }
        EXPECT_EQ(seen, expected);
    }

    // The ID3v1 choice puts a tag of that kind at the end instead.
    ASSERT_EQ(
        mac.TagFileSimple(ape.c_str(), "Artist", "Album", "Title", "", "Blues", "1999", "7", 1, 1),
        0);
    TID3v1 v1;
    ASSERT_TRUE(v1.ReadTag(ape));
    EXPECT_TRUE(v1.Exists());
    EXPECT_EQ(v1.Title(), "Title");
    EXPECT_EQ(v1.Track(), 7);
    EXPECT_EQ(v1.Genre(), "Blues");
}

// WAV to APE to WAV through the command line gives the same bytes back; FFmpeg decodes the
// APE file to the same samples.
TEST_F(ApeCodecInteropTest, ConvertingToApeAndBackGivesTheSameWavFile) {
    const struct {
        int bits;
        const char* level;
    } cases[] = {{16, "0"}, {16, "3"}, {24, "1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, level position " + c.level);
        const std::vector<uint8_t> pcm = test::TonePcm(44100, c.bits, 2, 123457, 0.7);
        const std::vector<uint8_t> wavBytes = test::PcmWavBytes(44100, c.bits, 2, pcm);
        const std::string wav = dir.File("in.wav");
        const std::string ape = dir.File("mid.ape");
        const std::string back = dir.File("back.wav");
        test::WriteFileBytes(wav, wavBytes);
        const std::string quillon = "XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                                    Quote(std::string(QUILLON_BIN_DIR) + "/quillon") +
                                    " convert -q ";
        ASSERT_EQ(Shell(quillon + "--set APECompressionLevel=" + c.level + " -o " + Quote(ape) +
                        " " + Quote(wav)),
                  0);
        EXPECT_TRUE(FfmpegPcm(ape, c.bits) == pcm);
        ASSERT_EQ(Shell(quillon + "-o " + Quote(back) + " " + Quote(ape)), 0);
        EXPECT_TRUE(test::ReadFileBytes(back) == wavBytes);
    }
}

} // namespace
} // namespace quillon
