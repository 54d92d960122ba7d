#include "fixtures/PipelineFakes.h"

#include <gtest/gtest.h>
#include <numeric>
#include <thread>

namespace quillon::test {
namespace {

std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> data(n);
    std::iota(data.begin(), data.end(), uint8_t{0});
    return data;
}

TEST(PcmOutputTest, RunRefusesMissingInputAndBusySink) {
    CollectingOutput sink;
    try {
        sink.Run();
        FAIL() << "Run without input must raise";
    } catch (const EPcmException& e) {
        EXPECT_STREQ("Input is not assigned", e.what());
    }

    MemoryInput input(Bytes(100000));
    sink.SetInput(&input);
    sink.passDelay = std::chrono::milliseconds(5);
    SinkWaiter waiter(sink);
    sink.Run();
    try {
        sink.Run();
        FAIL() << "Run of a running sink must raise";
    } catch (const EPcmException& e) {
        EXPECT_STREQ("Component is buisy", e.what());
    }
    sink.Stop();
    ASSERT_TRUE(waiter.Wait());
}

TEST(PcmOutputTest, RunDeliversEveryByteAndFinishesOnce) {
    const auto data = Bytes(123457);
    MemoryInput input(data, 777);
    CollectingOutput sink;
    sink.SetInput(&input);
    SinkWaiter waiter(sink);
    int progressEvents = 0;
    sink.OnProgress = [&](TPcmOutput&) { ++progressEvents; };

    sink.Run();
    ASSERT_TRUE(waiter.Wait());
    EXPECT_EQ(data, sink.collected);
    EXPECT_EQ(1, waiter.done);
    EXPECT_EQ(0, waiter.failed);
    EXPECT_EQ(1, sink.finished);
    EXPECT_EQ(1, input.flushes);
    EXPECT_EQ(osIdle, sink.Status());
    EXPECT_FALSE(sink.Stopped());
    EXPECT_EQ(100, sink.LastProgress());
    EXPECT_LE(progressEvents, 101);
    EXPECT_GE(progressEvents, 50);
}

TEST(PcmOutputTest, SinkRunsAgainRightAfterDone) {
    // A new run started as soon as the previous one reports done must not stall.
    MemoryInput input(Bytes(5000), 1000);
    CollectingOutput sink;
    sink.SetInput(&input);
    SinkWaiter waiter(sink);
    for (int run = 0; run < 200; ++run) {
        sink.collected.clear();
        sink.Run();
        ASSERT_TRUE(waiter.Wait(std::chrono::seconds(5))) << "run " << run << " stalled";
        ASSERT_EQ(5000u, sink.collected.size());
    }
}

TEST(PcmOutputTest, FailingPrepareIsReportedBeforeRunReturns) {
    MemoryInput input(Bytes(10));
    CollectingOutput sink;
    sink.failPrepare = true;
    sink.SetInput(&input);
    std::thread::id reportedOn;
    std::string message;
    sink.OnThreadException = [&](TPcmOutput&, const std::exception& e) {
        reportedOn = std::this_thread::get_id();
        message = e.what();
    };
    sink.Run();
    EXPECT_EQ(std::this_thread::get_id(), reportedOn);
    EXPECT_EQ("prepare failed", message);
    EXPECT_EQ(osIdle, sink.Status());
    EXPECT_EQ(0, sink.finished);
}

TEST(PcmOutputTest, FailuresOfProcessBlockAndFinishEndInThreadException) {
    struct Case {
        bool failFinish;
        int failAfterBlocks;
        const char* message;
    };
    for (const Case c : {Case{false, 3, "block failed"}, Case{true, -1, "finish failed"}}) {
        MemoryInput input(Bytes(20000));
        CollectingOutput sink;
        sink.failFinish = c.failFinish;
        sink.failAfterBlocks = c.failAfterBlocks;
        sink.SetInput(&input);
        SinkWaiter waiter(sink);
        sink.Run();
        ASSERT_TRUE(waiter.Wait());
        EXPECT_EQ(0, waiter.done) << c.message;
        EXPECT_EQ(1, waiter.failed);
        EXPECT_EQ(c.message, waiter.message);
        EXPECT_GE(sink.finished, 1) << "the output is finished as far as possible";
        EXPECT_EQ(osIdle, sink.Status());
    }
}

TEST(PcmOutputTest, StopEndsThroughDone) {
    MemoryInput input(Bytes(1000000), 1000);
    CollectingOutput sink;
    sink.passDelay = std::chrono::milliseconds(1);
    sink.SetInput(&input);
    SinkWaiter waiter(sink);
    sink.Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sink.Stop();
    ASSERT_TRUE(waiter.Wait());
    EXPECT_EQ(1, waiter.done);
    EXPECT_EQ(0, waiter.failed);
    EXPECT_EQ(1, sink.finished);
    EXPECT_LT(sink.collected.size(), 1000000u);
    EXPECT_EQ(osIdle, sink.Status());
    EXPECT_TRUE(sink.Stopped());
    EXPECT_TRUE(sink.discardedOnFinish) << "Finish knows the output is not to be kept";
}

TEST(PcmOutputTest, PauseAndResume) {
    MemoryInput input(Bytes(200000), 1000);
    CollectingOutput sink;
    sink.passDelay = std::chrono::milliseconds(1);
    sink.SetInput(&input);
    SinkWaiter waiter(sink);
    sink.Run();
    sink.Pause();
    EXPECT_EQ(osPaused, sink.Status());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const size_t whilePaused = sink.collected.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(whilePaused, sink.collected.size());
    sink.Resume();
    EXPECT_EQ(osBusy, sink.Status());
    ASSERT_TRUE(waiter.Wait());
    EXPECT_EQ(200000u, sink.collected.size());
}

TEST(PcmOutputTest, ProgressRoundsHalvesToEven) {
    MemoryInput input({});
    CollectingOutput sink;
    EXPECT_EQ(0, sink.Progress()) << "no input";
    sink.SetInput(&input);
    struct Case {
        int64_t position, size;
        int expected;
    };
    for (const Case c : {Case{0, -1, -1}, Case{5, 0, 0}, Case{50, 100, 50}, Case{125, 1000, 12},
                         Case{135, 1000, 14}, Case{1000, 1000, 100}}) {
        input.SetPosition(c.position, c.size);
        EXPECT_EQ(c.expected, sink.Progress()) << c.position << "/" << c.size;
    }
}

TEST(PcmOutputTest, TimeElapsedAndDelay) {
    MemoryInput input({});
    CollectingOutput sink;
    EXPECT_EQ(0, sink.TimeElapsed());
    sink.SetInput(&input);
    input.SetPosition(44100 * 4 * 3 + 44100 * 2, 0); // 3.5 s of 16-bit stereo
    EXPECT_EQ(4, sink.TimeElapsed());

    sink.SetDelay(40);
    sink.SetDelay(150);
    EXPECT_EQ(40, sink.Delay()) << "values above 100 are ignored";
    sink.SetDelay(100);
    EXPECT_EQ(100, sink.Delay());
}

TEST(PcmOutputTest, InputSwappedWhileRunning) {
    MemoryInput first(Bytes(100000), 100);
    MemoryInput second(Bytes(3000), 100);
    CollectingOutput sink;
    sink.passDelay = std::chrono::milliseconds(1);
    sink.SetInput(&first);
    SinkWaiter waiter(sink);
    sink.Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sink.SetInput(&second);
    EXPECT_EQ(1, second.inits) << "the new input is initialised before the swap";
    EXPECT_EQ(1, first.flushes) << "the old input is flushed after it";
    ASSERT_TRUE(waiter.Wait());
    EXPECT_EQ(&second, sink.Input());
    EXPECT_EQ(1, second.flushes);
}

TEST(PcmOutputTest, DestroyedInputIsForgotten) {
    CollectingOutput sink;
    {
        MemoryInput input({});
        sink.SetInput(&input);
    }
    EXPECT_EQ(nullptr, sink.Input());
}

TEST(PcmOutputTest, SinkWhoseConstructorFailsIsTornDownSafely) {
    struct RefusingSink : TPcmOutput {
        RefusingSink() { throw EPcmException("library could not be loaded."); }
        bool ProcessBlock(bool) override { return false; }
        void Finish() override {}
        void Prepare() override {}
    };
    EXPECT_THROW(RefusingSink(), EPcmException);
}

TEST(PcmOutputTest, BaseFileSinkKeepsRewriteMode) {
    struct PlainFileOut : TPcmFileOut {
        ~PlainFileOut() override { TerminateThread(); }
        bool ProcessBlock(bool) override { return false; }
        void Finish() override {}
        void Prepare() override {}
    } sink;
    sink.SetFileMode(foAppend);
    EXPECT_EQ(foRewrite, sink.FileMode());
}

} // namespace
} // namespace quillon::test
