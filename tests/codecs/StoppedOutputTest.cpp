#include "codecs/FLACOut.h"
#include "codecs/MACOut.h"
#include "codecs/MP3Out.h"
#include "codecs/VorbisOut.h"
#include "codecs/WMAOut.h"
#include "codecs/WaveOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"

#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace quillon {
namespace {

// Whatever a sink had written when it was stopped or destroyed must not look like a finished
// file: no file appears under its name, an older file of that name keeps its bytes, and no
// temporary file is left in the folder.
TEST(StoppedOutputTest, StoppedOrDestroyedSinksLeaveTheFolderAsItWas) {
    enum class Older { None, Foreign, SameFormat };
    enum class End { Stop, Destroy };
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TPcmFileOut>()> make;
        Older older;
        End end;
    };
    const auto wav = [] { return std::make_unique<TWaveOut>(); };
    const auto wavAppend = [] {
        auto sink = std::make_unique<TWaveOut>();
        sink->SetFileMode(foAppend);
        return sink;
    };
    const auto mp3 = [] { return std::make_unique<TMP3Out>(); };
    const auto ogg = [] { return std::make_unique<TVorbisOut>(); };
    const auto oggAppend = [] {
        auto sink = std::make_unique<TVorbisOut>();
        sink->SetFileMode(foAppend);
        return sink;
    };
    const auto flac = [] { return std::make_unique<TFLACOut>(); };
    const auto wma = [] {
        auto sink = std::make_unique<TWMA_Out>();
        sink->SetProfileFile(std::string(QUILLON_BIN_DIR) + "/Profiles/WMA 128 kbps stereo.prx");
        return sink;
    };
    const auto ape = [] { return std::make_unique<TMACOut>(); };
    const std::vector<Case> cases = {
        {"out.wav", wav, Older::None, End::Stop},
        {"out.wav", wav, Older::Foreign, End::Stop},
        {"out.wav", wavAppend, Older::SameFormat, End::Stop},
        {"out.mp3", mp3, Older::None, End::Stop},
        {"out.mp3", mp3, Older::Foreign, End::Destroy},
        {"out.ogg", ogg, Older::Foreign, End::Stop},
        {"out.ogg", oggAppend, Older::SameFormat, End::Stop},
        {"out.flac", flac, Older::None, End::Destroy},
        {"out.flac", flac, Older::Foreign, End::Stop},
        {"out.wma", wma, Older::None, End::Stop},
        {"out.wma", wma, Older::SameFormat, End::Stop},
        {"out.wma", wma, Older::Foreign, End::Destroy},
        {"out.ape", ape, Older::None, End::Stop},
        {"out.ape", ape, Older::SameFormat, End::Stop},
        {"out.ape", ape, Older::Foreign, End::Destroy},
    };
    const std::vector<uint8_t> shortPcm = test::TonePcm(44100, 16, 2, 4410);
    const std::vector<uint8_t> longPcm = test::TonePcm(44100, 16, 2, 60 * 44100);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " older " + std::to_string(static_cast<int>(c.older)) +
                     (c.end == End::Stop ? " stopped" : " destroyed"));
        test::TempDir dir;
        const std::string file = dir.File(c.name);
        if (c.older == Older::Foreign) {
            test::WriteFileBytes(file, {'o', 'l', 'd'});
        } else if (c.older == Older::SameFormat) {
            auto first = c.make();
            first->SetFileName(file);
            test::PcmMemorySource source(44100, 16, 2, shortPcm);
            ASSERT_TRUE(test::RunToEnd(*first, source).done);
        }
        const bool hadOlder = c.older != Older::None;
        const std::vector<uint8_t> before =
            hadOlder ? test::ReadFileBytes(file) : std::vector<uint8_t>{};

        test::PcmMemorySource source(44100, 16, 2, longPcm);
        auto sink = c.make();
        sink->SetFileName(file);
        std::mutex mutex;
        std::condition_variable underWay;
        bool started = false;
        sink->OnProgress = [&](TPcmOutput& sender) {
            if (sender.Progress() >= 2) {
                if (c.end == End::Stop) {
                    sender.Stop();
                }
                std::lock_guard lock(mutex);
                started = true;
                underWay.notify_all();
            }
        };
        if (c.end == End::Stop) {
            const test::RunResult run = test::RunToEnd(*sink, source);
            EXPECT_TRUE(run.done) << run.error;
            EXPECT_TRUE(sink->Stopped());
        } else {
            sink->SetInput(&source);
            sink->Run();
            std::unique_lock lock(mutex);
            ASSERT_TRUE(underWay.wait_for(lock, std::chrono::seconds(30), [&] { return started; }));
            lock.unlock();
            sink.reset();
        }

        size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            ++entries;
            EXPECT_EQ(file, entry.path().string()) << "left behind";
        }
        EXPECT_EQ(hadOlder ? 1u : 0u, entries);
        if (hadOlder) {
            EXPECT_EQ(before, test::ReadFileBytes(file)) << "the older file is kept unchanged";
        }
    }
}

} // namespace
} // namespace quillon
