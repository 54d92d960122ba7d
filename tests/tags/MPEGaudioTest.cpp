#include "tags/MPEGaudio.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Concat;
using test::MpegFrames;
using test::PutBE32At;
using test::WriteFileBytes;

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, no CRC, stereo: 417-byte frames.
constexpr uint32_t kMp3Header = 0xFFFB9000;

// Frames whose first frame carries a VBR header of the given kind at `offset`.
Bytes WithVbrHeader(Bytes frames, const std::string& id, size_t offset, uint32_t frameCount,
                    uint32_t byteCount, const std::string& vendor = "") {
    std::fill(frames.begin() + 4, frames.begin() + 417, 0);
    std::memcpy(frames.data() + offset, id.data(), 4);
    if (id == "Xing") {
        PutBE32At(frames, offset + 4, 0x0F);
        PutBE32At(frames, offset + 8, frameCount);
        PutBE32At(frames, offset + 12, byteCount);
        std::memcpy(frames.data() + offset + 120, vendor.data(),
                    std::min<size_t>(8, vendor.size()));
    } else {
        frames[offset + 9] = 60;
        PutBE32At(frames, offset + 10, byteCount);
        PutBE32At(frames, offset + 14, frameCount);
    }
    return frames;
}

TMPEGaudio Examine(const Bytes& content) {
    test::TempDir dir;
    const std::string file = dir.File("x.mp3");
    WriteFileBytes(file, content);
    TMPEGaudio info;
    EXPECT_TRUE(info.ReadInfo(file));
    return info;
}

TEST(MPEGaudioTest, ClearedValuesReadAsUnknown) {
    TMPEGaudio info;
    EXPECT_EQ(info.Version(), "MPEG ?");
    EXPECT_EQ(info.Layer(), "Layer ?");
    EXPECT_EQ(info.ChannelMode(), "Unknown");
    EXPECT_EQ(info.Emphasis(), "Unknown");
    EXPECT_EQ(info.SampleRate(), 0);
    EXPECT_EQ(info.BitRate(), 0);
    EXPECT_EQ(info.Frames(), 0);
    EXPECT_EQ(info.Duration(), 0);
    EXPECT_EQ(info.Encoder(), "Unknown");
    EXPECT_FALSE(info.Valid());
}

TEST(MPEGaudioTest, DecodesAConstantBitRateStream) {
    const TMPEGaudio info = Examine(MpegFrames(kMp3Header, 417, 100));
    ASSERT_TRUE(info.Frame().Found);
    EXPECT_EQ(info.Frame().Position, 0);
    EXPECT_EQ(info.Frame().Size, 417);
    EXPECT_EQ(info.Version(), "MPEG 1");
    EXPECT_EQ(info.Layer(), "Layer III");
    EXPECT_EQ(info.ChannelMode(), "Stereo");
    EXPECT_EQ(info.Emphasis(), "None");
    EXPECT_EQ(info.SampleRate(), 44100);
    EXPECT_EQ(info.BitRate(), 128);
    EXPECT_EQ(info.Frames(), 100);
    EXPECT_DOUBLE_EQ(info.Duration(), 41700.0 * 8 / 128 / 1000);
    EXPECT_FALSE(info.VBR().Found);
    EXPECT_TRUE(info.Valid());
    EXPECT_EQ(info.FileLength(), 41700);
}

TEST(MPEGaudioTest, FrameLengthsFollowVersionLayerAndPadding) {
    const struct {
        uint32_t header;
        int length;
        const char* version;
        const char* layer;
        int bitRate, sampleRate;
    } cases[] = {
        {0xFFFB9000, 417, "MPEG 1", "Layer III", 128, 44100},
        {0xFFFB9200, 418, "MPEG 1", "Layer III", 128, 44100},
        {0xFFFD8400, 384, "MPEG 1", "Layer II", 128, 48000},
        {0xFFFF8000, 278, "MPEG 1", "Layer I", 256, 44100},
        {0xFFFF8200, 282, "MPEG 1", "Layer I", 256, 44100},
        {0xFFF38000, 208, "MPEG 2", "Layer III", 64, 22050},
        {0xFFF58000, 417, "MPEG 2", "Layer II", 64, 22050},
        {0xFFE38800, 576, "MPEG 2.5", "Layer III", 64, 8000},
    };
    for (const auto& c : cases) {
        const TMPEGaudio info = Examine(MpegFrames(c.header, c.length, 60));
        ASSERT_TRUE(info.Frame().Found) << std::hex << c.header;
        EXPECT_EQ(info.Frame().Size, c.length) << std::hex << c.header;
        EXPECT_EQ(info.Version(), c.version);
        EXPECT_EQ(info.Layer(), c.layer);
        EXPECT_EQ(info.BitRate(), c.bitRate);
        EXPECT_EQ(info.SampleRate(), c.sampleRate);
    }
}

TEST(MPEGaudioTest, RejectsFreeFormatAndReservedHeaders) {
    for (const uint32_t header :
         {0xFFFB0000u, 0xFFFBF000u, 0xFFFB9C00u, 0xFFFB9002u, 0xFFEB9000u, 0xFFF99000u}) {
        const TMPEGaudio info = Examine(MpegFrames(header, 417, 20));
        EXPECT_FALSE(info.Frame().Found) << std::hex << header;
        EXPECT_FALSE(info.Valid());
        EXPECT_EQ(info.FileLength(), 0);
    }
}

TEST(MPEGaudioTest, SkipsAHeaderThatIsNotFollowedByAnother) {
    Bytes content = Concat({{0xFF, 0xFB, 0x90, 0x00, 1, 2, 3}, MpegFrames(kMp3Header, 417, 30)});
    const TMPEGaudio info = Examine(content);
    ASSERT_TRUE(info.Frame().Found);
    EXPECT_EQ(info.Frame().Position, 7);
}

TEST(MPEGaudioTest, SkipsTheId3v2TagAndMeasuresAfterIt) {
    const Bytes tag =
        test::Id3v23Tag({test::Id3v23Frame("TIT2", std::string(1, '\0') + "T")}, 2048 - 10 - 12);
    ASSERT_EQ(tag.size(), 2048u);
    Bytes audio = MpegFrames(kMp3Header, 417, 2400);
    audio.resize(1000000);
    const TMPEGaudio info = Examine(Concat({tag, audio}));
    ASSERT_TRUE(info.Frame().Found);
    EXPECT_EQ(info.Frame().Position, 0);
    EXPECT_EQ(info.ID3v2().Title(), "T");
    EXPECT_DOUBLE_EQ(info.Duration(), 62.5);
    EXPECT_EQ(info.Frames(), 1000000 / 417);
}

TEST(MPEGaudioTest, UsesXingAndVbriHeaders) {
    const Bytes frames = MpegFrames(kMp3Header, 417, 40);
    {
        const TMPEGaudio info =
            Examine(WithVbrHeader(frames, "Xing", 36, 1000, 417000, "LAME3.99r"));
        ASSERT_TRUE(info.VBR().Found);
        EXPECT_EQ(info.VBR().ID, "Xing");
        EXPECT_EQ(info.VBR().Frames, 1000);
        EXPECT_EQ(info.VBR().VendorID, "LAME3.99");
        EXPECT_TRUE(info.Frame().Xing);
        EXPECT_EQ(info.Frames(), 1000);
        EXPECT_NEAR(info.Duration(), 26.1224, 1e-4);
        EXPECT_EQ(info.BitRate(), 128);
        EXPECT_EQ(info.EncoderID(), 3);
        EXPECT_EQ(info.Encoder(), "LAME 3.99");
    }
    {
        const TMPEGaudio info = Examine(WithVbrHeader(frames, "Xing", 36, 500, 100000));
        EXPECT_EQ(info.Encoder(), "Xing");
        // (100000 / 500) x 44100 / 144 / 1000 = 61.25, rounded half to even.
        EXPECT_EQ(info.BitRate(), 61);
    }
    {
        const TMPEGaudio info = Examine(WithVbrHeader(frames, "VBRI", 36, 2000, 834000));
        ASSERT_TRUE(info.VBR().Found);
        EXPECT_EQ(info.VBR().ID, "VBRI");
        EXPECT_EQ(info.VBR().Scale, 60);
        EXPECT_EQ(info.Frames(), 2000);
        EXPECT_EQ(info.Encoder(), "FhG");
    }
    {
        // Mono MPEG 1 keeps its VBR header closer to the frame header.
        const Bytes mono = MpegFrames(kMp3Header | 0xC0, 417, 40);
        const TMPEGaudio info = Examine(WithVbrHeader(mono, "Xing", 21, 100, 41700, "GOGO"));
        EXPECT_EQ(info.ChannelMode(), "Mono");
        EXPECT_EQ(info.VBR().Frames, 100);
        EXPECT_EQ(info.Encoder(), "GoGo");
    }
}

// Figures from the header frame an encoder puts first: a frame count of 2^31 or more stays
// positive, and a constant-bit-rate "Info" frame, whose bit rate is only what its header needed,
// gives way to the audio frames after it (ffmpeg's low-rate MPEG 2 files).
TEST(MPEGaudioTest, HeaderFrameFigures) {
    // MPEG 2 Layer III, 22050 Hz, stereo: 182-byte frames at 56 kbit/s, 104 at 32 kbit/s.
    Bytes info = MpegFrames(0xFFF37000, 182, 1);
    std::fill(info.begin() + 4, info.end(), 0);
    std::memcpy(info.data() + 21, "Info", 4);
    PutBE32At(info, 29, 100);
    const TMPEGaudio cbr = Examine(Concat({info, MpegFrames(0xFFF34000, 104, 100)}));
    EXPECT_TRUE(cbr.Valid());
    EXPECT_FALSE(cbr.VBR().Found);
    EXPECT_EQ(cbr.BitRate(), 32);
    EXPECT_EQ(cbr.Frame().Position, 182);
    EXPECT_EQ(cbr.Frames(), 100);
    EXPECT_NEAR(cbr.Duration(), 10400.0 * 8 / 32000, 1e-9);

    const TMPEGaudio huge = Examine(
        WithVbrHeader(MpegFrames(kMp3Header, 417, 40), "Xing", 36, 0x80000000u, 0xFFFFFFFFu));
    EXPECT_EQ(huge.Frames(), int64_t{1} << 31);
    EXPECT_NEAR(huge.Duration(), 1152.0 * 2147483648.0 / 44100, 1e-3);
}

TEST(MPEGaudioTest, GuessesTheEncoderFromHeaderBits) {
    const struct {
        uint8_t b1, b3, fill;
        int encoder;
    } cases[] = {
        {0xFA, 0x44, 0x55, 3}, // CRC and original: LAME
        {0xFB, 0x40, 0x55, 2}, // otherwise FhG
        {0xFB, 0x00, 0x55, 4}, // stereo at 160 kbit/s or less: Blade
        {0xFB, 0x4C, 0x55, 1}, // copyright and original without CRC: Xing
        {0xFA, 0x44, 0x00, 1}, // zero bytes after the header and original: Xing
        {0xFA, 0x80, 0x55, 6}, // dual channel with CRC: Shine
    };
    for (const auto& c : cases) {
        const uint32_t header = 0xFF009000u | (uint32_t{c.b1} << 16) | c.b3;
        const TMPEGaudio info = Examine(MpegFrames(header, 417, 40, c.fill));
        ASSERT_TRUE(info.Frame().Found);
        EXPECT_EQ(info.EncoderID(), c.encoder) << std::hex << header;
    }
}

TEST(MPEGaudioTest, FindsTheEncoderMarkBeforeAnId3v1Tag) {
    Bytes audio = MpegFrames(0xFFFB9044, 417, 40);
    std::memcpy(audio.data() + audio.size() - 300, "LAME3.98", 8);
    {
        const TMPEGaudio info = Examine(audio);
        EXPECT_EQ(info.VendorID(), "LAME3.98");
        EXPECT_EQ(info.Encoder(), "LAME 3.98");
    }
    {
        // The window ends 128 bytes before the end, so a mark inside the ID3v1 tag is not seen.
        Bytes plain = MpegFrames(0xFFFB9044, 417, 40);
        const TMPEGaudio info =
            Examine(Concat({plain, test::Id3v1Record("GOGO", "LAME3.97", 0, 0, 0)}));
        EXPECT_TRUE(info.ID3v1().Exists());
        EXPECT_EQ(info.VendorID(), "");
        const TMPEGaudio marked = Examine(Concat({audio, test::Id3v1Record("", "", 0, 0, 0)}));
        EXPECT_EQ(marked.VendorID(), "LAME3.98");
    }
}

TEST(MPEGaudioTest, ShortOrMissingFilesCannotBeRead) {
    test::TempDir dir;
    const std::string file = dir.File("s.mp3");
    WriteFileBytes(file, MpegFrames(kMp3Header, 100, 1));
    TMPEGaudio info;
    EXPECT_FALSE(info.ReadInfo(file));
    EXPECT_FALSE(info.ReadInfo(dir.File("missing.mp3")));
    EXPECT_FALSE(info.Valid());
}

} // namespace
} // namespace quillon
