#include "fixtures/Fixtures.h"
#include "fixtures/TagBPeers.h"
#include "platform/CodePage.h"
#include "tags/WMAfile.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Quote;

class WmaInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg not installed";
        }
    }
    std::string Make(const std::string& name, const std::string& options) {
        const std::string file = dir_.File(name);
        EXPECT_EQ(test::Shell("ffmpeg -v error -f lavfi -i sine=f=440:d=10 -c:a wmav2 " + options +
                              " " + Quote(file)),
                  0);
        return file;
    }
    static std::string Text(const std::u16string& text) {
        return Utf8FromUtf16(text);
    }
    test::TempDir dir_;
};

TEST_F(WmaInteropTest, FfmpegFileWithAttributes) {
    const std::string file =
        Make("a.wma", "-ac 2 -b:a 128k -metadata title='T\xC3\xADtle' -metadata artist=Artist "
                      "-metadata album=Album -metadata genre=Rock "
                      "-metadata track=6");
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadInfo(file));
    ASSERT_TRUE(wma.Valid());
    EXPECT_EQ(Text(wma.Title()), "T\xC3\xADtle");
    EXPECT_EQ(Text(wma.Artist()), "Artist");
    EXPECT_EQ(Text(wma.Album()), "Album");
    EXPECT_EQ(Text(wma.Genre()), "Rock");
    EXPECT_EQ(wma.Track(), 6u);
    EXPECT_EQ(wma.ChannelModeID(), 2);
    EXPECT_EQ(wma.SampleRate(), test::FfprobeNumber(file, "stream", "sample_rate"));
    const double bitRate = test::FfprobeNumber(file, "stream", "bit_rate");
    EXPECT_NEAR(wma.BitRate(), bitRate / 1000, 1);
    // The duration is the documented estimate from the file size and the maximum bit rate,
    // which counts the container's overhead too: within 10% of the real duration.
    EXPECT_DOUBLE_EQ(wma.Duration(), wma.FileSize() * 8.0 / bitRate);
    const double duration = test::FfprobeNumber(file, "format", "duration");
    EXPECT_NEAR(wma.Duration(), duration, duration * 0.1);
}

TEST_F(WmaInteropTest, AttributesWrittenByMutagen) {
    const std::string file = Make("m.wma", "-ac 1 -b:a 64k");
    test::Python("from mutagen.asf import ASF, ASFDWordAttribute\n"
                 "f = ASF('" +
                 file +
                 "')\n"
                 "f['Title'] = 'Plain'\n"
                 "f['WM/Title'] = 'Extended'\n"
                 "f['WM/AlbumTitle'] = 'Alb'\n"
                 "f['WM/TrackNumber'] = [ASFDWordAttribute(9)]\n"
                 "f['WM/Year'] = '1987'\n"
                 "f['WM/Genre'] = 'Jazz'\n"
                 "f['WM/Lyrics'] = 'Words'\n"
                 "f.save()\n");
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadInfo(file));
    ASSERT_TRUE(wma.Valid());
    EXPECT_EQ(wma.ChannelMode(), "Mono");
    EXPECT_EQ(Text(wma.Album()), "Alb");
    EXPECT_EQ(wma.Track(), 9u);
    EXPECT_EQ(Text(wma.Year()), "1987");
    EXPECT_EQ(Text(wma.Genre()), "Jazz");
    EXPECT_EQ(Text(wma.Lyrics()), "Words");
    EXPECT_FALSE(wma.Title().empty());
}

} // namespace
} // namespace quillon
