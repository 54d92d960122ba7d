#include "codecs/WMAOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagAPeers.h"
#include "fixtures/TagBPeers.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// The attributes of a WMA file as mutagen lists them, one "name=value" line each, sorted.
std::string MutagenAttributes(const std::string& file) {
    return test::RunPython("import sys, mutagen.asf\n"
                           "f = mutagen.asf.ASF(sys.argv[1])\n"
                           "lines = [k + '=' + str(v) for k, vs in f.tags.items() for v in vs]\n"
                           "sys.stdout.buffer.write('\\n'.join(sorted(lines)).encode())\n",
                           test::Quote(file));
}

// Our WMA files as the peers read them: each non-empty tag once under its attribute name, and
// the stream in the profile's format whatever the input's, as long as the input.
TEST(WmaOutInteropTest, PeersReadTagsAndStream) {
    if (!test::HaveProgram("ffprobe") || !test::HaveMutagen()) {
        GTEST_SKIP() << "ffprobe or mutagen missing";
    }
    struct Case {
        const char* profile;
        int rate, bits, channels;
        double seconds;
        std::vector<std::string> tags; // album, year, genre, artist, comment, title
        std::string attributes;        // as MutagenAttributes prints them
        std::string ffprobeTitle, ffprobeArtist;
        int outRate, outChannels, bitRate;
    };
    const std::vector<Case> cases = {
        {"WMA 128 kbps stereo",
         44100,
         16,
         2,
         10,
         {"Alb\xC3\xBCm", "1999", "Rock", "\xC3\x84rtist", "A comment",
          "T\xC3\xADtle \xE2\x82\xAC"},
         "Author=\xC3\x84rtist\nDescription=A comment\nTitle=T\xC3\xADtle \xE2\x82\xAC\n"
         "WM/AlbumTitle=Alb\xC3\xBCm\nWM/Genre=Rock\nWM/Year=1999",
         "T\xC3\xADtle \xE2\x82\xAC",
         "\xC3\x84rtist",
         44100,
         2,
         128000},
        // Resampled and upmixed to the profile's format.
        {"WMA 64 kbps stereo",
         22050,
         16,
         1,
         3,
         {"", "2001", "", "", "", "Only"},
         "Title=Only\nWM/Year=2001",
         "Only",
         "",
         44100,
         2,
         64000},
        {"WMA 48 kbps mono", 44100, 8, 2, 2, {"", "", "", "", "", ""}, "", "", "", 44100, 1, 48000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        test::TempDir dir;
        const std::string file = dir.File("out.wma");
        TWMA_Out sink;
        sink.SetFileName(file);
        sink.SetProfileFile(std::string(QUILLON_BIN_DIR) + "/Profiles/" + c.profile + ".prx");
        sink.SetId3TagAlbum(c.tags[0]);
        sink.SetId3TagYear(c.tags[1]);
        sink.SetId3TagGenre(c.tags[2]);
        sink.SetId3TagArtist(c.tags[3]);
        sink.SetId3TagComment(c.tags[4]);
        sink.SetId3TagTitle(c.tags[5]);
        test::PcmMemorySource source(
            c.rate, c.bits, c.channels,
            test::TonePcm(c.rate, c.bits, c.channels, static_cast<int64_t>(c.seconds * c.rate)));
        const test::RunResult result = test::RunToEnd(sink, source);
        ASSERT_TRUE(result.done) << result.error;

        EXPECT_EQ(MutagenAttributes(file), c.attributes);
        EXPECT_EQ(test::Chomp(test::ShellOutput(
                      "ffprobe -v error -show_entries format_tags=title -of csv=p=0 " +
                      test::Quote(file))),
                  c.ffprobeTitle);
        EXPECT_EQ(test::Chomp(test::ShellOutput(
                      "ffprobe -v error -show_entries format_tags=artist -of csv=p=0 " +
                      test::Quote(file))),
                  c.ffprobeArtist);
        EXPECT_EQ(test::ShellOutput("ffprobe -v error -select_streams a:0 -show_entries "
                                    "stream=codec_name -of csv=p=0 " +
                                    test::Quote(file)),
                  "wmav2\n");
        EXPECT_EQ(test::FfprobeNumber(file, "stream", "sample_rate"), c.outRate);
        EXPECT_EQ(test::FfprobeNumber(file, "stream", "channels"), c.outChannels);
        EXPECT_EQ(test::FfprobeNumber(file, "stream", "bit_rate"), c.bitRate);
        EXPECT_NEAR(test::FfprobeNumber(file, "format", "duration"), c.seconds, 0.1);
        // The whole file decodes.
        EXPECT_EQ(test::Shell("ffmpeg -v error -xerror -i " + test::Quote(file) + " -f null -"), 0);
    }
}

} // namespace
} // namespace quillon
