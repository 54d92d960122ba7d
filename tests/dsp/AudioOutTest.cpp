#include "dsp/AudioOut.h"

#include "core/PcmException.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PipelineFakes.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::TempDir;

// A memory source of any format that records what each read returned.
class RecordingInput : public test::PcmMemorySource {
public:
    RecordingInput(int bits, int channels, std::vector<uint8_t> data)
        : PcmMemorySource(44100, bits, channels, std::move(data), 1 << 20) {}
    int ReadBlock(void* buffer, int size) override {
        const int n = PcmMemorySource::ReadBlock(buffer, size);
        std::lock_guard lock(mutex);
        reads.push_back(n);
        return n;
    }
    std::vector<int> Reads() {
        std::lock_guard lock(mutex);
        return reads;
    }

private:
    std::mutex mutex;
    std::vector<int> reads;
};

// An ALSA configuration whose default device writes what it plays to a file.
std::string CaptureTo(const std::string& file) {
    return "pcm.default { type file slave.pcm { type null } file \"" + file + "\" format \"raw\" }";
}

int16_t Sample16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8);
}

TEST(AudioOutTest, PlaysTheSourceBlockByBlock) {
    struct Case {
        const char* what;
        int bits, channels;
        size_t bytes;
        uint8_t volume;
        std::vector<int> reads; // what the reads returned; empty: not checked
    };
    const std::vector<Case> cases = {
        {"20,000 bytes", 16, 2, 20000, 255, {8192, 8192, 3616, 0}},
        {"several passes", 16, 2, 300000, 255, {}},
        {"8-bit mono", 8, 1, 50001, 255, {}},
        {"24-bit frames across blocks", 24, 2, 6 * 7000, 255, {}},
        {"half volume", 16, 2, 40000, 128, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string played = dir.File("played.raw");
        const std::vector<uint8_t> source =
            test::TonePcm(44100, c.bits, c.channels,
                          static_cast<int64_t>(c.bytes / (c.bits / 8 * c.channels)), 0.9);
        RecordingInput input(c.bits, c.channels, source);
        TAudioOut out;
        EXPECT_EQ(out.Delay(), 6);
        out.SetDeviceConfiguration(CaptureTo(played));
        out.SetVolume(c.volume);
        const test::RunResult result = test::RunToEnd(out, input);
        ASSERT_TRUE(result.done) << result.error;
        EXPECT_EQ(out.Status(), osIdle);
        EXPECT_EQ(input.FlushCount(), 1);
        if (!c.reads.empty()) {
            EXPECT_EQ(input.Reads(), c.reads);
        }
        const std::vector<uint8_t> capture = test::ReadFileBytes(played);
        if (c.volume == 255) {
            EXPECT_TRUE(capture == source) << capture.size() << " of " << source.size();
            continue;
        }
        ASSERT_EQ(capture.size(), source.size());
        for (size_t at = 0; at < source.size(); at += 2) {
            ASSERT_EQ(Sample16(capture, at), Sample16(source, at) * c.volume / 255) << at;
        }
    }
}

TEST(AudioOutTest, StopLetsTheQueuedBlocksPlayOut) {
    TempDir dir;
    const std::string played = dir.File("played.raw");
    RecordingInput input(16, 2, test::TonePcm(44100, 16, 2, 44100 * 120));
    TAudioOut out;
    out.SetDeviceConfiguration(CaptureTo(played));
    out.SetInput(&input);
    test::SinkWaiter waiter(out);
    out.Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_THROW(out.SetBaseChannel(0), EPcmException);
    out.Stop();
    ASSERT_TRUE(waiter.Wait());
    EXPECT_EQ(waiter.done, 1);
    size_t read = 0;
    for (const int n : input.Reads()) {
        read += static_cast<size_t>(n);
    }
    EXPECT_GT(read, 0u);
    EXPECT_LT(static_cast<int64_t>(read), input.Size());
    EXPECT_EQ(test::ReadFileBytes(played).size(), read);
}

TEST(AudioOutTest, ADeviceThatFailsEndsTheRunWithItsReason) {
    struct Case {
        const char* what;
        std::string configuration;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no such device", "pcm.other { type null }",
         "Cannot open the playback device \"default\": No such file or directory"},
        {"a write fails", CaptureTo("/dev/full"),
         "Playback failed on \"default\": Input/output error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingInput input(16, 2, test::TonePcm(44100, 16, 2, 44100 * 60));
        TAudioOut out;
        out.SetDeviceConfiguration(c.configuration);
        out.SetInput(&input);
        test::SinkWaiter waiter(out);
        const auto start = std::chrono::steady_clock::now();
        out.Run();
        ASSERT_TRUE(waiter.Wait(std::chrono::seconds(20)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(waiter.failed, 1);
        EXPECT_EQ(waiter.message, c.message);
        EXPECT_EQ(out.Status(), osIdle);
        EXPECT_FALSE(input.Busy());
        EXPECT_LT(input.Position(), input.Size());
    }
}

TEST(AudioOutTest, BaseChannelFollowsTheDevicesPresent) {
    TAudioOut out;
    EXPECT_EQ(out.BaseChannel(), 0);
    EXPECT_EQ(out.Volume(), 255);
    const int count = TAudioOut::DeviceCount();
    if (count == 0) {
        for (const int value : {0, 1, 5, -1}) {
            out.SetBaseChannel(value);
            EXPECT_EQ(out.BaseChannel(), 0) << value;
        }
        return;
    }
    out.SetBaseChannel(count - 1);
    EXPECT_EQ(out.BaseChannel(), count - 1);
    try {
        out.SetBaseChannel(count);
        ADD_FAILURE() << "accepted";
    } catch (const EPcmException& e) {
        EXPECT_EQ(std::string(e.what()), "Channel " + std::to_string(count) + " is not available");
    }
}

} // namespace
} // namespace quillon
