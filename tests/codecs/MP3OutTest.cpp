#include "codecs/MP3Out.h"

#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::PcmMemorySource;
using test::TempDir;

// The header fields of one MPEG audio frame.
struct Frame {
    int bitrate = 0;
    int sampleRate = 0;
    int mode = 0;
    bool crc = false;
    bool copyright = false;
    bool original = false;
    size_t offset = 0;
    size_t length = 0;
};

// Walks the frames from the start of the file up to the ID3v1 tag.
std::vector<Frame> ParseFrames(const std::vector<uint8_t>& data) {
    static const int kBitrates1[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
    static const int kBitrates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRates[] = {44100, 48000, 32000};
    std::vector<Frame> frames;
    size_t pos = 0;
    while (pos + 4 <= data.size() && data[pos] == 0xFF && (data[pos + 1] & 0xE0) == 0xE0) {
        const int version = (data[pos + 1] >> 3) & 3; // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
        const int bitrateIndex = data[pos + 2] >> 4;
        const int rateIndex = (data[pos + 2] >> 2) & 3;
        if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 || version == 1) {
            break;
        }
        Frame f;
        f.offset = pos;
        f.crc = (data[pos + 1] & 1) == 0;
        f.bitrate = version == 3 ? kBitrates1[bitrateIndex] : kBitrates2[bitrateIndex];
        f.sampleRate = kRates[rateIndex] / (version == 3 ? 1 : version == 2 ? 2 : 4);
        f.mode = data[pos + 3] >> 6;
        f.copyright = (data[pos + 3] & 8) != 0;
        f.original = (data[pos + 3] & 4) != 0;
        const int padding = (data[pos + 2] >> 1) & 1;
        f.length =
            static_cast<size_t>((version == 3 ? 144 : 72) * f.bitrate * 1000 / f.sampleRate) +
            padding;
        frames.push_back(f);
        pos += f.length;
    }
    return frames;
}

// The frame count stored in the Info/Xing header of the first frame, or -1.
int64_t InfoFrameCount(const std::vector<uint8_t>& data, const Frame& first) {
    for (size_t i = first.offset + 4; i + 12 <= first.offset + first.length; ++i) {
        if (std::memcmp(&data[i], "Info", 4) == 0 || std::memcmp(&data[i], "Xing", 4) == 0) {
            if ((data[i + 7] & 1) == 0) {
                return -1;
            }
            return (int64_t{data[i + 8]} << 24) | (data[i + 9] << 16) | (data[i + 10] << 8) |
                   data[i + 11];
        }
    }
    return -1;
}

std::string Field(const std::vector<uint8_t>& tag, size_t offset, size_t length) {
    std::string text(reinterpret_cast<const char*>(&tag[offset]), length);
    return text.substr(0, text.find('\0'));
}

class MP3OutTest : public ::testing::Test {
protected:
    std::vector<uint8_t> Encode(TMP3Out& sink, PcmMemorySource& source) {
        sink.SetFileName(dir.File("out.mp3"));
        const test::RunResult run = test::RunToEnd(sink, source);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.error, "");
        return test::ReadFileBytes(dir.File("out.mp3"));
    }

    TempDir dir;
};

TEST_F(MP3OutTest, FrameHeadersFollowTheSettings) {
    struct Case {
        const char* name;
        std::function<void(TMP3Out&)> configure;
        int channels;
        int bitrate, sampleRate, mode;
        bool crc, copyright, original;
    };
    const std::vector<Case> cases = {
        {"defaults", [](TMP3Out&) {}, 2, 128, 44100, 0, false, false, true},
        {"bit rate 192", [](TMP3Out& s) { s.SetBitRate(TMP3BitRate::br192); }, 2, 192, 44100, 0,
         false, false, true},
        {"32 kHz", [](TMP3Out& s) { s.SetSampleRate(TMP3SampleRate::sr32kHz); }, 2, 128, 32000, 0,
         false, false, true},
        // 41000 Hz is no MPEG rate: the encoder settles on 44100.
        {"41 kHz", [](TMP3Out& s) { s.SetSampleRate(TMP3SampleRate::sr41kHz); }, 2, 128, 44100, 0,
         false, false, true},
        {"joint stereo", [](TMP3Out& s) { s.SetMode(TMP3Mode::JOINT_STEREO); }, 2, 128, 44100, 1,
         false, false, true},
        {"mono input", [](TMP3Out& s) { s.SetMode(TMP3Mode::MONO); }, 1, 128, 44100, 3, false,
         false, true},
        {"flags",
         [](TMP3Out& s) {
             s.SetCRC(true);
             s.SetCopyright(true);
             s.SetOriginal(false);
         },
         2, 128, 44100, 0, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMP3Out sink;
        c.configure(sink);
        PcmMemorySource source(44100, 16, c.channels, test::TonePcm(44100, 16, c.channels, 44100));
        const auto frames = ParseFrames(Encode(sink, source));
        ASSERT_GT(frames.size(), 20u);
        for (size_t i = 1; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].bitrate, c.bitrate);
            EXPECT_EQ(frames[i].sampleRate, c.sampleRate);
            EXPECT_EQ(frames[i].mode, c.mode);
            EXPECT_EQ(frames[i].crc, c.crc);
            EXPECT_EQ(frames[i].copyright, c.copyright);
            EXPECT_EQ(frames[i].original, c.original);
        }
    }
}

TEST_F(MP3OutTest, InfoFrameIsWrittenBackWithTheFrameCountForEveryInputWidth) {
    struct Case {
        int bits, channels;
        int blockSize;
        bool sizeKnown;
    };
    // Odd block sizes split sample frames between reads.
    const std::vector<Case> cases = {
        {16, 2, 4096, true}, {16, 1, 1001, true}, {8, 1, 777, true},
        {8, 2, 4096, false}, {24, 2, 1001, true}, {16, 2, 999, false},
    };
    constexpr int64_t kFrames = 3 * 44100;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
        TMP3Out sink;
        PcmMemorySource source(44100, c.bits, c.channels,
                               test::TonePcm(44100, c.bits, c.channels, kFrames), c.blockSize,
                               c.sizeKnown);
        const auto data = Encode(sink, source);
        const auto frames = ParseFrames(data);
        ASSERT_GT(frames.size(), 2u);
        // Everything after the Info frame is audio; 1152 samples per MPEG-1 frame.
        EXPECT_EQ(InfoFrameCount(data, frames[0]), static_cast<int64_t>(frames.size()) - 1);
        EXPECT_GE((frames.size() - 1) * 1152, static_cast<size_t>(kFrames));
        EXPECT_LE((frames.size() - 1) * 1152, static_cast<size_t>(kFrames) + 3 * 1152);
    }
}

TEST_F(MP3OutTest, VbrLimitsGivenTheWrongWayRoundAreExchanged) {
    TMP3Out sink;
    sink.SetEnableVBR(true);
    sink.SetWriteVBRHeader(true);
    sink.SetVBRMinBitrate(256);
    sink.SetVBRMaxBitrate(128);
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 2 * 44100, 0.9));
    const auto data = Encode(sink, source);
    EXPECT_EQ(sink.VBRMinBitrate(), 128);
    EXPECT_EQ(sink.VBRMaxBitrate(), 256);
    const auto frames = ParseFrames(data);
    ASSERT_GT(frames.size(), 2u);
    EXPECT_EQ(InfoFrameCount(data, frames[0]), static_cast<int64_t>(frames.size()) - 1);
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GE(frames[i].bitrate, 128);
        EXPECT_LE(frames[i].bitrate, 256);
    }
}

TEST_F(MP3OutTest, SevenTagPropertiesEndUpInTheId3v1Tag) {
    TMP3Out sink;
    sink.SetId3TagTitle("Happy Boys Girls");
    sink.SetId3TagArtist("Aqua");
    sink.SetId3TagAlbum("Aquarium");
    sink.SetId3TagYear("1997");
    sink.SetId3TagTrack("5");
    sink.SetId3TagComment("note");
    sink.SetId3TagGenre("Pop");
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 44100));
    const auto data = Encode(sink, source);
    ASSERT_GT(data.size(), 128u);
    const std::vector<uint8_t> tag(data.end() - 128, data.end());
    EXPECT_EQ(Field(tag, 0, 3), "TAG");
    EXPECT_EQ(Field(tag, 3, 30), "Happy Boys Girls");
    EXPECT_EQ(Field(tag, 33, 30), "Aqua");
    EXPECT_EQ(Field(tag, 63, 30), "Aquarium");
    EXPECT_EQ(Field(tag, 93, 4), "1997");
    EXPECT_EQ(Field(tag, 97, 28), "note");
    EXPECT_EQ(tag[126], 5);
    EXPECT_EQ(tag[127], 13); // "Pop"
}

TEST_F(MP3OutTest, MissingFileNameIsReportedThroughTheExceptionEvent) {
    TMP3Out sink;
    PcmMemorySource source(44100, 16, 2, test::TonePcm(44100, 16, 2, 100));
    const test::RunResult run = test::RunToEnd(sink, source);
    EXPECT_EQ(run.error, "File name is not assigned.");
    EXPECT_FALSE(source.Busy());
}

TEST_F(MP3OutTest, MoreThanTwoChannelsAreRefusedAndTheTargetIsLeftAlone) {
    test::WriteFileBytes(dir.File("out.mp3"), {1, 2, 3});
    TMP3Out sink;
    sink.SetFileName(dir.File("out.mp3"));
    PcmMemorySource source(44100, 16, 6, test::TonePcm(44100, 16, 6, 1000));
    const test::RunResult run = test::RunToEnd(sink, source);
    EXPECT_EQ(run.error, "Failed to initialize MP3 encoder.");
    EXPECT_EQ(test::ReadFileBytes(dir.File("out.mp3")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(source.Busy());
}

} // namespace
} // namespace quillon
