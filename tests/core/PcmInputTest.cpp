#include "fixtures/PipelineFakes.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// A file source over a made-up file of 10000 16-bit stereo frames.
class FakeFileIn : public TPcmFileIn {
public:
    void OpenFile() override {
        if (openCount_ == 0) {
            ++opens;
            valid_ = true;
            bitsPerSample_ = 16;
            channels_ = 2;
            sampleRate_ = 2000;
            totalSamples_ = 10000;
            size_ = totalSamples_ * 4;
        }
        ++openCount_;
    }
    void CloseFile() override {
        if (openCount_ > 0) {
            --openCount_;
        }
    }
    bool SeekSample(int64_t sample) override {
        seekedTo = sample;
        return true;
    }
    int ReadBlock(void*, int) override { return 0; }

    int opens = 0;
    int64_t seekedTo = -1;
};

TEST(PcmFileInTest, InitChecksStateAndName) {
    FakeFileIn source;
    try {
        source.Init();
        FAIL();
    } catch (const EPcmException& e) {
        EXPECT_STREQ("The file name is not assigned", e.what());
    }
    source.SetFileName("x.wav");
    source.Init();
    EXPECT_TRUE(source.Busy());
    try {
        source.Init();
        FAIL();
    } catch (const EPcmException& e) {
        EXPECT_STREQ("The component is buisy", e.what());
    }
    source.Flush();
    EXPECT_FALSE(source.Busy());
    EXPECT_EQ(0, source.OpenCount());
}

TEST(PcmFileInTest, SampleRangeSetsSize) {
    struct Case {
        int64_t start, end, expectedBytes;
        int64_t expectedSeek;
    };
    for (const Case c :
         {Case{0, -1, 40000, -1}, Case{100, -1, (10000 - 100) * 4, 100},
          Case{100, 1000, 900 * 4, 100}, Case{0, 1000, 4000, -1}, Case{500, 100, 0, 500}}) {
        FakeFileIn source;
        source.SetFileName("x.wav");
        source.SetStartSample(c.start);
        source.SetEndSample(c.end);
        source.Init();
        EXPECT_EQ(c.expectedBytes, source.Size()) << c.start << ".." << c.end;
        EXPECT_EQ(c.expectedSeek, source.seekedTo);
        EXPECT_EQ(0, source.Position());
    }
}

TEST(PcmFileInTest, GettersOpenOnceWhileRunning) {
    FakeFileIn source;
    source.SetFileName("x.wav");
    EXPECT_EQ(2, source.GetChannels());
    EXPECT_EQ(0, source.OpenCount()) << "a query while closed closes again";
    EXPECT_EQ(5, source.GetTotalTime()); // 40000 bytes at 8000 bytes per second
    source.Init();
    const int opensBefore = source.opens;
    EXPECT_EQ(16, source.GetBitsPerSample());
    EXPECT_EQ(2000, source.GetSampleRate());
    EXPECT_EQ(opensBefore, source.opens) << "nested opens only count";
    EXPECT_EQ(1, source.OpenCount());
}

TEST(PcmFileInTest, ResetNeverRaisesAndClearsOpenCount) {
    struct FailingFlush : FakeFileIn {
        void Flush() override { throw EPcmException("flush failed"); }
    } source;
    source.SetFileName("x.wav");
    source.Init();
    source.OpenFile();
    EXPECT_NO_THROW(source.Reset());
    EXPECT_FALSE(source.Busy());
    EXPECT_EQ(0, source.OpenCount());
}

TEST(PcmConverterTest, RefusesItselfAndForgetsDestroyedInput) {
    struct PassThrough : TPcmConverter {
        int GetBitsPerSample() override { return 16; }
        int GetChannels() override { return 2; }
        int GetSampleRate() override { return 44100; }
        int ReadBlock(void* buffer, int size) override { return ReadFromInput(buffer, size); }
        void Init() override { busy_ = true; }
        void Flush() override { busy_ = false; }
    } converter;
    converter.SetInput(&converter);
    EXPECT_EQ(nullptr, converter.Input());
    {
        MemoryInput input({1, 2, 3});
        converter.SetInput(&input);
        input.Init();
        uint8_t buffer[8];
        EXPECT_EQ(3, converter.ReadBlock(buffer, 8));
    }
    EXPECT_EQ(nullptr, converter.Input());
}

} // namespace
} // namespace quillon::test
