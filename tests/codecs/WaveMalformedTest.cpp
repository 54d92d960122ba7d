#include "codecs/Adpcm.h"
#include "codecs/WaveIn.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::Chunk;
using test::FormatData;
using test::Le16Bytes;
using test::MsExtra;
using test::RiffWave;

std::vector<uint8_t> ImaFile(int channels, int blockAlign, int samplesPerBlock, int bits = 4) {
    return RiffWave(
        {{"fmt ",
          FormatData(0x11, static_cast<uint16_t>(channels), 8000, static_cast<uint16_t>(blockAlign),
                     static_cast<uint16_t>(bits), Le16Bytes({samplesPerBlock}))},
         {"fact", Le16Bytes({samplesPerBlock, 0})},
         {"data", std::vector<uint8_t>(static_cast<size_t>(blockAlign), 0x33)}});
}

std::vector<uint8_t> MsFile(int channels, int blockAlign, int samplesPerBlock, int pairs,
                            uint8_t predictor = 0) {
    std::vector<uint8_t> block(static_cast<size_t>(blockAlign), 0x21);
    for (int c = 0; c < channels && c < blockAlign; ++c) {
        block[static_cast<size_t>(c)] = predictor;
    }
    return RiffWave({{"fmt ", FormatData(2, static_cast<uint16_t>(channels), 8000,
                                         static_cast<uint16_t>(blockAlign), 4,
                                         MsExtra(samplesPerBlock, pairs))},
                     {"fact", Le16Bytes({samplesPerBlock, 0})},
                     {"data", block}});
}

std::vector<uint8_t> WithLE32At(std::vector<uint8_t> file, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return file;
}

class WaveMalformedTest : public ::testing::Test {
protected:
    // Opens the bytes as a file and reads everything; must never crash or hang.
    std::vector<uint8_t> ReadFile(const std::vector<uint8_t>& bytes) {
        test::WriteFileBytes(dir_.File("x.wav"), bytes);
        source_ = std::make_unique<TWaveIn>();
        source_->SetFileName(dir_.File("x.wav"));
        return test::ReadAll(*source_);
    }

    test::TempDir dir_;
    std::unique_ptr<TWaveIn> source_;
};

TEST_F(WaveMalformedTest, ValidSamplesOfEachKindAreAccepted) {
    for (const auto& file : {ImaFile(1, 256, 505), ImaFile(2, 256, 249), MsFile(1, 256, 500, 7),
                             MsFile(2, 256, 244, 7)}) {
        EXPECT_FALSE(ReadFile(file).empty());
        EXPECT_TRUE(source_->Valid());
    }
}

TEST_F(WaveMalformedTest, ContradictoryParametersAreRefused) {
    const std::vector<uint8_t> pcm(64, 1);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    const std::vector<Case> cases = {
        {"PCM without channels",
         RiffWave({{"fmt ", FormatData(1, 0, 8000, 2, 16)}, {"data", pcm}})},
        {"PCM of 4-bit samples", RiffWave({{"fmt ", FormatData(1, 1, 8000, 1, 4)}, {"data", pcm}})},
        {"short format chunk", RiffWave({{"fmt ", {1, 0, 1, 0, 0x40}}, {"data", pcm}})},
        {"unknown format tag", RiffWave({{"fmt ", FormatData(3, 1, 8000, 4, 32)}, {"data", pcm}})},
        {"no data chunk", RiffWave({{"fmt ", FormatData(1, 1, 8000, 2, 16)}})},
        {"no WAVE", test::PcmWavBytes(8000, 16, 1, pcm)},
        {"IMA with zero block align", ImaFile(1, 0, 1)},
        {"IMA without channels", ImaFile(0, 256, 505)},
        {"IMA with three channels", ImaFile(3, 256, 505)},
        {"IMA samples per block too large", ImaFile(1, 256, 506)},
        {"IMA samples per block too small", ImaFile(1, 256, 504)},
        {"IMA stereo block not in 8-byte groups", ImaFile(2, 260, 253)},
        {"IMA block beyond the decode buffer", ImaFile(1, 8192, 16377)},
        {"IMA without samples per block", RiffWave({{"fmt ", FormatData(0x11, 1, 8000, 256, 4)},
                                                    {"fact", Le16Bytes({505, 0})},
                                                    {"data", pcm}})},
        {"MS with zero block align", MsFile(1, 0, 2, 7)},
        {"MS with three channels", MsFile(3, 256, 500, 7)},
        {"MS with 33 coefficient pairs", MsFile(1, 256, 500, 33)},
        {"MS without coefficient pairs", MsFile(1, 256, 500, 0)},
        {"MS samples per block beyond the block", MsFile(1, 256, 502, 7)},
        {"MS block beyond the decode buffer", MsFile(1, 9000, 16000, 7)},
        {"MS with a missing coefficient table",
         RiffWave({{"fmt ", FormatData(2, 1, 8000, 256, 4, Le16Bytes({500, 7}))},
                   {"fact", Le16Bytes({500, 0})},
                   {"data", pcm}})},
        {"MS block naming a missing coefficient pair", MsFile(1, 256, 500, 7, 7)},
        {"fact chunk without its count",
         RiffWave({{"fmt ", FormatData(0x11, 1, 8000, 256, 4, Le16Bytes({505}))},
                   {"fact", {1, 0}},
                   {"data", pcm}})},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = c.file;
        if (std::string(c.what) == "no WAVE") {
            file[8] = 'X';
        }
        EXPECT_TRUE(ReadFile(file).empty()) << c.what;
        EXPECT_FALSE(source_->Valid()) << c.what;
        EXPECT_EQ(source_->GetTotalTime(), 0) << c.what;
    }
}

// Chunks of any size may come before the format and the audio; an empty "data" chunk holds no
// audio whatever the "fact" chunk claims, so the source reports it empty.
TEST_F(WaveMalformedTest, ChunksAreWalkedAndEmptyDataIsEmpty) {
    const std::vector<uint8_t> pcm(64, 1);
    const auto withEmptyData = [](std::vector<uint8_t> file, size_t dataSizeAt) {
        file.resize(dataSizeAt + 4);
        return WithLE32At(WithLE32At(file, dataSizeAt, 0), 4,
                          static_cast<uint32_t>(file.size() - 8));
    };
    const std::vector<uint8_t> ima = ImaFile(1, 256, 505);
    const std::vector<uint8_t> ms = MsFile(1, 256, 500, 7);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        size_t bytes;
    };
    const std::vector<Case> cases = {
        {"JUNK of 5000 bytes before the format",
         RiffWave({{"JUNK", std::vector<uint8_t>(5000)},
                   {"fmt ", FormatData(1, 1, 8000, 2, 16)},
                   {"data", pcm}}),
         64},
        {"LIST of 9999 bytes before the audio",
         RiffWave({{"fmt ", FormatData(1, 1, 8000, 2, 16)},
                   {"LIST", std::vector<uint8_t>(9999)},
                   {"data", pcm}}),
         64},
        {"IMA with an empty data chunk", withEmptyData(ima, ima.size() - 256 - 4), 0},
        {"MS with an empty data chunk", withEmptyData(ms, ms.size() - 256 - 4), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadFile(c.file).size(), c.bytes) << c.what;
        EXPECT_EQ(source_->TotalSamples() == 0, c.bytes == 0) << c.what;
        source_->OpenFile();
        EXPECT_TRUE(source_->Valid()) << c.what;
        EXPECT_EQ(source_->Size(), static_cast<int64_t>(c.bytes)) << c.what;
        source_->CloseFile();
    }
}

TEST_F(WaveMalformedTest, LyingSizesAreRefused) {
    const std::vector<uint8_t> file = test::PcmWavBytes(8000, 16, 1, std::vector<uint8_t>(100, 7));
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
    };
    for (const Case c : {Case{"format chunk size", 16, 0xFFFFFFF0u},
                         Case{"format chunk size past the file", 16, 200},
                         Case{"data chunk size", 40, 0xFFFFFFFFu},
                         Case{"data chunk size past the file", 40, 102}}) {
        EXPECT_TRUE(ReadFile(WithLE32At(file, c.offset, c.value)).empty()) << c.what;
        EXPECT_FALSE(source_->Valid()) << c.what;
    }
}

TEST_F(WaveMalformedTest, EveryTruncationIsSafe) {
    const std::vector<int16_t> tone = test::Tone16(8000, 2, 249 * 2);
    std::vector<uint8_t> imaData(512);
    TImaChannel state[2];
    ImaEncodeBlock(tone.data(), 2, state, imaData.data(), 256);
    ImaEncodeBlock(tone.data() + 498, 2, state, imaData.data() + 256, 256);
    const std::vector<std::vector<uint8_t>> files = {
        RiffWave({{"LIST", {1, 2, 3}},
                  {"fmt ", FormatData(1, 2, 8000, 4, 16)},
                  {"data", test::AsBytes(tone)}}),
        RiffWave({{"fmt ", FormatData(0x11, 2, 8000, 256, 4, Le16Bytes({249}))},
                  {"fact", Le16Bytes({498, 0})},
                  {"data", imaData}}),
        MsFile(2, 256, 244, 7),
    };
    for (const auto& file : files) {
        const std::vector<uint8_t> whole = ReadFile(file);
        ASSERT_FALSE(whole.empty());
        for (size_t length = 0; length < file.size(); ++length) {
            MemoryStream part;
            part.Write(file.data(), length);
            part.SetPosition(0);
            TWaveIn source;
            source.SetStream(&part);
            const std::vector<uint8_t> out = test::ReadAll(source);
            // A file cut inside its chunks is refused; nothing is made up.
            EXPECT_TRUE(out.empty()) << length;
            EXPECT_FALSE(source.Valid()) << length;
        }
    }
}

TEST_F(WaveMalformedTest, AMissingFileRaisesAClearError) {
    TWaveIn source;
    source.SetFileName(dir_.File("absent.wav"));
    EXPECT_THROW(source.GetChannels(), std::exception);
    EXPECT_EQ(source.OpenCount(), 0);
}

} // namespace
} // namespace quillon
