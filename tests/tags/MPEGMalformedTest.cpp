#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"
#include "tags/MPEGaudio.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Bytes;
using test::Concat;
using test::MpegFrames;
using test::PutBE32At;
using test::WriteFileBytes;

constexpr uint32_t kMp3Header = 0xFFFB9000;

Bytes WithXing(uint32_t frames, uint32_t bytes) {
    Bytes content = MpegFrames(kMp3Header, 417, 40);
    std::fill(content.begin() + 4, content.begin() + 417, 0);
    std::memcpy(content.data() + 36, "Xing", 4);
    PutBE32At(content, 44, frames);
    PutBE32At(content, 48, bytes);
    return content;
}

struct HostileMpeg {
    const char* name;
    Bytes content;
    bool found;
    bool valid;
    int32_t position;
};

TEST(MPEGMalformedTest, HostileStreamsGiveTheirDocumentedResults) {
    Bytes lateFrames(20000, 0);
    const Bytes frames = MpegFrames(kMp3Header, 417, 10);
    std::copy(frames.begin(), frames.end(), lateFrames.begin() + 11000);
    Bytes lastOffset(1729, 0);
    test::Append(lastOffset, MpegFrames(kMp3Header, 417, 2));
    Bytes beyondBuffer(1729, 0);
    test::Append(beyondBuffer, MpegFrames(kMp3Header, 417, 1));
    beyondBuffer.resize(3458, 0);
    const Bytes overstated = Concat({test::Id3v2Header(3, 0x0FFFFFFF), frames});

    const HostileMpeg cases[] = {
        {"all 0xFF", Bytes(10000, 0xFF), false, false, 0},
        {"all zero", Bytes(10000, 0), false, false, 0},
        {"reserved sample rate", MpegFrames(0xFFFB9C00, 417, 20), false, false, 0},
        {"Xing with no frames", WithXing(0, 0), true, true, 0},
        {"Xing with 2^32 - 1 frames in 1000 bytes", WithXing(0xFFFFFFFF, 1000), true, false, 0},
        {"Xing with absurd bytes", WithXing(1, 0x7FFFFFFF), true, false, 0},
        {"Xing with negative bytes", WithXing(10, 0x80000000), true, false, 0},
        {"frames only in the middle", lateFrames, true, true, 11000 - 10000},
        {"frame at the last start", lastOffset, true, false, 1729},
        {"second header beyond the buffer", beyondBuffer, false, false, 0},
        {"ID3v2 size beyond the file", overstated, true, true, 10},
        {"a lone ID3v1 tag", test::Id3v1Record("t", "", 0, 0, 0), false, false, 0},
    };
    test::TempDir dir;
    const std::string file = dir.File("h.mp3");
    for (const HostileMpeg& c : cases) {
        WriteFileBytes(file, c.content);
        TMPEGaudio info;
        ASSERT_TRUE(info.ReadInfo(file)) << c.name;
        EXPECT_EQ(info.Frame().Found, c.found) << c.name;
        EXPECT_EQ(info.Valid(), c.valid) << c.name;
        EXPECT_EQ(info.Frame().Position, c.position) << c.name;
        EXPECT_GE(info.Duration(), 0) << c.name;
        EXPECT_FALSE(info.Version().empty()) << c.name;
        EXPECT_FALSE(info.Encoder().empty()) << c.name;
    }
}

TEST(MPEGMalformedTest, TinyFilesAreRefused) {
    test::TempDir dir;
    for (const size_t size : {0, 2, 10, 127}) {
        const std::string file = dir.File("t" + std::to_string(size) + ".mp3");
        WriteFileBytes(file, Bytes(size, 0xFF));
        TMPEGaudio info;
        EXPECT_FALSE(info.ReadInfo(file)) << size;
        EXPECT_EQ(info.FileLength(), 0) << size;
    }
}

} // namespace
} // namespace quillon
