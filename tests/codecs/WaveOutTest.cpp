#include "codecs/WaveOut.h"

#include "codecs/Adpcm.h"
#include "codecs/WaveIn.h"
#include "core/PcmException.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::MemoryPcmSource;

uint32_t Le32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset] | (bytes[offset + 1] << 8) |
                                 (bytes[offset + 2] << 16) |
                                 (static_cast<uint32_t>(bytes[offset + 3]) << 24));
}

uint16_t Le16At(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// A source that fails after delivering some audio.
class FailingSource : public MemoryPcmSource {
public:
    using MemoryPcmSource::MemoryPcmSource;
    int ReadBlock(void* buffer, int bufferSize) override {
        if (Position() > 0) {
            throw EPcmException("read failed");
        }
        return MemoryPcmSource::ReadBlock(buffer, bufferSize);
    }
};

class WaveOutTest : public ::testing::Test {
protected:
    std::string Name() const { return dir_.File("out.wav"); }

    // Writes the input through a TWaveOut run and returns how the run ended.
    test::RunResult Write(TPcmInput& source, TWavType type = wtPCM,
                          TFileOutputMode mode = foRewrite, uint16_t blockSize = 512) {
        TWaveOut sink;
        sink.SetFileName(Name());
        sink.SetWavType(type);
        sink.SetBlockSize(blockSize);
        sink.SetFileMode(mode);
        sink.SetInput(&source);
        test::RunResult result = test::RunSink(sink);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(sink.Status(), osIdle);
        return result;
    }

    std::vector<uint8_t> ReadBack() {
        TWaveIn in;
        in.SetFileName(Name());
        return test::ReadAll(in);
    }

    test::TempDir dir_;
};

TEST_F(WaveOutTest, PcmHeaderWithAKnownSize) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(44100, 2, 10000));
    MemoryPcmSource source(44100, 16, 2, pcm);
    ASSERT_TRUE(Write(source).done);
    EXPECT_EQ(test::ReadFileBytes(Name()), test::PcmWavBytes(44100, 16, 2, pcm));
    EXPECT_EQ(ReadBack(), pcm);
    EXPECT_EQ(source.FlushCount(), 1);
}

TEST_F(WaveOutTest, PcmHeaderIsPatchedWhenTheSizeWasUnknown) {
    const std::vector<uint8_t> pcm = test::Tone8(11025, 1, 40001);
    MemoryPcmSource source(11025, 8, 1, pcm);
    source.SetSizeUnknown(true);
    source.SetMaxRead(1000);
    ASSERT_TRUE(Write(source).done);
    EXPECT_EQ(test::ReadFileBytes(Name()), test::PcmWavBytes(11025, 8, 1, pcm));
}

TEST_F(WaveOutTest, AppendsPcmOfTheSameFormat) {
    const std::vector<uint8_t> first = test::AsBytes(test::Tone16(22050, 2, 3000));
    const std::vector<uint8_t> second = test::AsBytes(test::Tone16(22050, 2, 5000, 0.2));
    MemoryPcmSource a(22050, 16, 2, first);
    ASSERT_TRUE(Write(a, wtPCM, foAppend).done); // no file yet: a new one
    MemoryPcmSource b(22050, 16, 2, second);
    ASSERT_TRUE(Write(b, wtPCM, foAppend).done);
    std::vector<uint8_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(test::ReadFileBytes(Name()), test::PcmWavBytes(22050, 16, 2, both));
}

TEST_F(WaveOutTest, AppendingToAnEmptyFileWritesAFreshHeader) {
    test::WriteFileBytes(Name(), {});
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(8000, 1, 100));
    MemoryPcmSource source(8000, 16, 1, pcm);
    ASSERT_TRUE(Write(source, wtPCM, foAppend).done);
    EXPECT_EQ(test::ReadFileBytes(Name()), test::PcmWavBytes(8000, 16, 1, pcm));
}

TEST_F(WaveOutTest, RefusedAppendsLeaveTheFileAsItWas) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(22050, 2, 100));
    const std::vector<uint8_t> wav = test::PcmWavBytes(22050, 16, 2, pcm);
    std::vector<uint8_t> withTrailer = wav;
    test::PutText(withTrailer, "LIST");
    test::PutLE32(withTrailer, 4);
    test::PutText(withTrailer, "INFO");
    std::vector<uint8_t> adpcm8 = wav;
    adpcm8[20] = 2; // Microsoft ADPCM cannot be extended
    struct Case {
        std::vector<uint8_t> existing;
        int sampleRate;
        int bits;
        TWavType type;
        const char* message;
    };
    const std::vector<Case> cases = {
        {wav, 44100, 16, wtPCM, "Cannot append data in different audio format."},
        {wav, 22050, 8, wtPCM, "Cannot append data in different audio format."},
        {{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'},
         22050,
         16,
         wtPCM,
         "Cannot append data to this .wav file."},
        {adpcm8, 22050, 16, wtPCM, "Cannot append data to this .wav file."},
        {withTrailer, 22050, 16, wtPCM, "Cannot append data to this .wav file."},
    };
    for (const Case& c : cases) {
        test::WriteFileBytes(Name(), c.existing);
        MemoryPcmSource source(c.sampleRate, c.bits, 2, pcm);
        const test::RunResult result = Write(source, c.type, foAppend);
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.error, c.message);
        EXPECT_EQ(test::ReadFileBytes(Name()), c.existing);
        EXPECT_EQ(source.FlushCount(), 1);
    }
}

TEST_F(WaveOutTest, PrepareFailures) {
    MemoryPcmSource eightBit(8000, 8, 1, {1, 2, 3});
    EXPECT_EQ(Write(eightBit, wtDVIADPCM).error, "Cannot encode 8 bit sound into ADPCM.");
    EXPECT_EQ(eightBit.FlushCount(), 1);
    MemoryPcmSource stereo(8000, 16, 2, {1, 2, 3, 4});
    EXPECT_EQ(Write(stereo, wtDVIADPCM, foRewrite, 516).error,
              "Cannot encode this audio format into ADPCM.");
    MemoryPcmSource surround(8000, 16, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(Write(surround, wtDVIADPCM).error, "Cannot encode this audio format into ADPCM.");
    EXPECT_FALSE(std::filesystem::exists(Name()));

    TWaveOut unnamed;
    MemoryPcmSource source(8000, 16, 1, {1, 2});
    unnamed.SetInput(&source);
    EXPECT_EQ(test::RunSink(unnamed).error, "File name is not assigned.");
}

TEST_F(WaveOutTest, AFailedRunKeepsTheFileItWouldHaveReplaced) {
    test::WriteFileBytes(Name(), {'o', 'l', 'd'});
    FailingSource source(8000, 16, 1, std::vector<uint8_t>(100000, 1));
    source.SetMaxRead(1000);
    const test::RunResult result = Write(source);
    EXPECT_EQ(result.error, "read failed");
    EXPECT_EQ(test::ReadFileBytes(Name()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(dir_.Count(), 1);
}

TEST_F(WaveOutTest, SettersAcceptOnlyWhatTheWriterCanDo) {
    TWaveOut sink;
    EXPECT_EQ(sink.WavType(), wtPCM);
    EXPECT_EQ(sink.BlockSize(), 512);
    sink.SetWavType(wtMSADPCM);
    sink.SetWavType(wtACM);
    EXPECT_EQ(sink.WavType(), wtPCM);
    sink.SetWavType(wtDVIADPCM);
    EXPECT_EQ(sink.WavType(), wtDVIADPCM);
    sink.SetBlockSize(510);
    sink.SetBlockSize(0);
    EXPECT_EQ(sink.BlockSize(), 512);
    sink.SetBlockSize(1024);
    EXPECT_EQ(sink.BlockSize(), 1024);
    sink.SetFileMode(foAppend);
    EXPECT_EQ(sink.FileMode(), foAppend);
}

TEST_F(WaveOutTest, ImaHeaderAndTheBlockAfterAnExactMultiple) {
    const std::vector<int16_t> tone = test::Tone16(8000, 1, 1017 * 2);
    MemoryPcmSource source(8000, 16, 1, test::AsBytes(tone));
    ASSERT_TRUE(Write(source, wtDVIADPCM).done);
    const std::vector<uint8_t> file = test::ReadFileBytes(Name());
    ASSERT_EQ(file.size(), 60u + 3 * 512); // two blocks of audio and one of silence
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 16), 20u);
    EXPECT_EQ(Le16At(file, 20), 0x11);
    EXPECT_EQ(Le16At(file, 22), 1);
    EXPECT_EQ(Le32At(file, 24), 8000u);
    EXPECT_EQ(Le32At(file, 28), 8000u / 1017 * 512);
    EXPECT_EQ(Le16At(file, 32), 512);
    EXPECT_EQ(Le16At(file, 34), 4);
    EXPECT_EQ(Le16At(file, 36), 2);
    EXPECT_EQ(Le16At(file, 38), 1017);
    EXPECT_EQ(Le32At(file, 48), 1017u * 2);
    EXPECT_EQ(Le32At(file, 56), 3u * 512);
    const std::vector<int16_t> back = test::AsSamples16(ReadBack());
    ASSERT_EQ(back.size(), tone.size());
    // The step size starts small and needs a few samples to catch up with the tone.
    for (size_t i = 64; i < back.size(); ++i) {
        ASSERT_NEAR(back[i], tone[i], 1200) << i;
    }
}

TEST_F(WaveOutTest, ImaWithAnUnknownSizeAndAppended) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(16000, 2, 1500));
    MemoryPcmSource first(16000, 16, 2, pcm);
    first.SetSizeUnknown(true);
    ASSERT_TRUE(Write(first, wtDVIADPCM, foRewrite, 1024).done);
    std::vector<uint8_t> file = test::ReadFileBytes(Name());
    ASSERT_EQ(file.size(), 60u + 2 * 1024);
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 56), 2u * 1024);
    EXPECT_EQ(Le32At(file, 48), 2u * 1017);

    MemoryPcmSource second(16000, 16, 2, pcm);
    ASSERT_TRUE(Write(second, wtPCM, foAppend, 512).done); // takes the file's kind and block
    file = test::ReadFileBytes(Name());
    ASSERT_EQ(file.size(), 60u + 4 * 1024);
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 56), 4u * 1024);
    EXPECT_EQ(Le32At(file, 48), 4u * 1017);
    EXPECT_EQ(ReadBack().size(), 4u * 1017 * 4);

    MemoryPcmSource otherRate(8000, 16, 2, pcm);
    EXPECT_EQ(Write(otherRate, wtDVIADPCM, foAppend).error,
              "Cannot append data in different audio format.");
}

TEST_F(WaveOutTest, CopiesAFileThroughTheReader) {
    const std::vector<uint8_t> pcm = test::AsBytes(test::Tone16(44100, 2, 30000));
    test::WriteFileBytes(dir_.File("in.wav"), test::PcmWavBytes(44100, 16, 2, pcm));
    TWaveIn in;
    in.SetFileName(dir_.File("in.wav"));
    in.SetStartSample(1000);
    ASSERT_TRUE(Write(in).done);
    EXPECT_EQ(ReadBack(), std::vector<uint8_t>(pcm.begin() + 4000, pcm.end()));
    EXPECT_FALSE(in.Busy());
    EXPECT_EQ(in.OpenCount(), 0);
}

} // namespace
} // namespace quillon
