#include "core/PcmException.h"
#include "dsp/MSConverter.h"
#include "dsp/SampleConverter.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        Store16(out.data() + i * 2, samples[i]);
    }
    return out;
}

// A source of any layout that hands out its bytes in blocks of at most blockSize; Size may be
// hidden to look like a stream of unknown length.
class LayoutInput : public TPcmInput {
public:
    LayoutInput(std::vector<uint8_t> data, int bits, int channels, int blockSize = 1 << 20,
                bool sizeKnown = true)
        : data_(std::move(data)), bits_(bits), channels_(channels), blockSize_(blockSize),
          sizeKnown_(sizeKnown) {}
    int GetBitsPerSample() override { return bits_; }
    int GetChannels() override { return channels_; }
    int GetSampleRate() override { return 22050; }
    int ReadBlock(void* buffer, int size) override {
        ++reads;
        const int n = static_cast<int>(std::min<size_t>(
            {data_.size() - offset_, static_cast<size_t>(size), static_cast<size_t>(blockSize_)}));
        std::copy_n(data_.begin() + static_cast<long>(offset_), n, static_cast<uint8_t*>(buffer));
        offset_ += static_cast<size_t>(n);
        position_ += n;
        return n;
    }
    void Init() override {
        offset_ = 0;
        position_ = 0;
        size_ = sizeKnown_ ? static_cast<int64_t>(data_.size()) : -1;
        busy_ = true;
    }
    void Flush() override { busy_ = false; }
    int reads = 0;

private:
    std::vector<uint8_t> data_;
    size_t offset_ = 0;
    int bits_, channels_, blockSize_;
    bool sizeKnown_;
};

std::vector<uint8_t> ReadAll(TPcmInput& converter, int request) {
    std::vector<uint8_t> out, block(static_cast<size_t>(request));
    while (int n = converter.ReadBlock(block.data(), request)) {
        out.insert(out.end(), block.begin(), block.begin() + n);
    }
    return out;
}

TEST(ConverterTest, ConvertsEachSampleAsDocumented) {
    struct Case {
        std::string name;
        std::vector<uint8_t> input;
        int bits, channels;
        TMSConverterMode mode; // used by the channel converter only
        bool sampleConverter;
        std::vector<uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"stereo mean rounds toward zero", Bytes16({1000, 3001, -1000, -3001, -1, 0}), 16, 2,
         msmMonoToBoth, false, Bytes16({2000, -2000, 0})},
        {"incomplete last frame dropped",
         {0x10, 0x00, 0x30, 0x00, 0x01, 0x02},
         16,
         2,
         msmMonoToBoth,
         false,
         Bytes16({0x20})},
        {"mono to both", Bytes16({5, -7}), 16, 1, msmMonoToBoth, false, Bytes16({5, 5, -7, -7})},
        {"mono to left", Bytes16({5}), 16, 1, msmMonoToLeft, false, Bytes16({0, 5})},
        {"mono to right", Bytes16({5}), 16, 1, msmMonoToRight, false, Bytes16({5, 0})},
        {"16 to 8 bit",
         Bytes16({0, 32767, -32768, 255, -1}),
         16,
         2,
         msmMonoToBoth,
         true,
         {128, 255, 0, 128, 127}},
        {"8 to 16 bit", {128, 255, 0}, 8, 1, msmMonoToBoth, true, Bytes16({0, 32512, -32768})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayoutInput input(c.input, c.bits, c.channels);
        TMSConverter channels;
        TSampleConverter widths;
        TBlockConverter& converter =
            c.sampleConverter ? static_cast<TBlockConverter&>(widths) : channels;
        channels.SetMode(c.mode);
        converter.SetInput(&input);
        converter.Init();
        EXPECT_EQ(ReadAll(converter, 4096), c.expected);
        converter.Flush();
    }
}

TEST(ConverterTest, BuffersRefillsAndReportsSizeAndPosition) {
    // 40000 stereo frames of 16 bits: the channel converter reads 32768 bytes per refill.
    std::vector<int16_t> samples(80000);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(i % 2000);
    }
    LayoutInput input(Bytes16(samples), 16, 2, 5000);
    TMSConverter converter;
    EXPECT_THROW(converter.Init(), EPcmException);
    uint8_t block[1000];
    try {
        converter.ReadBlock(block, 1000);
        FAIL() << "read before Init";
    } catch (const EPcmException& e) {
        EXPECT_STREQ(e.what(), "The Stream is not opened");
    }
    converter.SetInput(&input);
    EXPECT_EQ(converter.GetChannels(), 1);
    converter.Init();
    EXPECT_EQ(converter.Size(), 80000);
    EXPECT_EQ(converter.ReadBlock(block, 1000), 1000);
    const int readsAfterFirst = input.reads;
    EXPECT_EQ(readsAfterFirst, 7); // 32768 bytes gathered in blocks of 5000
    EXPECT_EQ(converter.ReadBlock(block, 1000), 1000);
    EXPECT_EQ(input.reads, readsAfterFirst);     // served from the buffer
    EXPECT_EQ(Load16(block), (1000 + 1001) / 2); // frame 500 of the input
    EXPECT_EQ(converter.Position(), 16384);      // half of the 32768 input bytes consumed
    EXPECT_EQ(ReadAll(converter, 7000).size(), 80000u - 2000u);
    EXPECT_EQ(converter.Position(), 80000);

    // Without a known input size there is no scale: size unknown, position counts bytes.
    LayoutInput stream(Bytes16({1, 2, 3}), 8, 1, 1 << 20, false);
    TSampleConverter widths;
    widths.SetInput(&stream);
    widths.Init();
    EXPECT_EQ(widths.Size(), -1);
    EXPECT_EQ(ReadAll(widths, 4).size(), 12u);
    EXPECT_EQ(widths.Position(), 12);
}

} // namespace
} // namespace quillon::test
