#include "tags/TagFileRewrite.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillon {
namespace {

using test::Bytes;
using test::BytesOf;
using test::ReadFileBytes;
using test::WriteFileBytes;

// A rewrite that puts `head` in front of the old content.
bool Prepend(const std::string& file, const Bytes& head) {
    return RewriteThroughTempFile(file, [&](Stream& original, TagRewriteOutput& output) {
        output.Write(head);
        output.CopyRest(original);
        return true;
    });
}

TEST(TagFileRewriteTest, FailuresChangeNothingAndNeighboursSurvive) {
    const Bytes content(5000, 0x42);
    const struct {
        const char* name;
        TagRewriteProducer produce;
        bool succeeds;
    } cases[] = {
        {"success",
         [](Stream& o, TagRewriteOutput& out) {
             out.CopyRest(o);
             return true;
         },
         true},
        {"abandoned",
         [](Stream&, TagRewriteOutput& out) {
             out.Write(BytesOf("x"));
             return false;
         },
         false},
        {"raises", [](Stream&, TagRewriteOutput&) -> bool { throw EStreamError("disk full"); },
         false},
        {"source shorter than stated",
         [](Stream& o, TagRewriteOutput& out) {
             out.CopyRange(o, 0, 6000);
             return true;
         },
         false},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string file = dir.File("song.mp3");
        WriteFileBytes(file, content);
        // Names an older tool used for its temporary files belong to the user.
        WriteFileBytes(file + "~", BytesOf("mine"));
        std::filesystem::create_directory(dir.File(".song.mp3.quillon-aaaaaa"));
        EXPECT_EQ(RewriteThroughTempFile(file, c.produce), c.succeeds) << c.name;
        EXPECT_EQ(ReadFileBytes(file), content) << c.name;
        EXPECT_EQ(ReadFileBytes(file + "~"), BytesOf("mine")) << c.name;
        EXPECT_EQ(dir.Count(), 3) << c.name;
    }
}

TEST(TagFileRewriteTest, FollowsSymbolicLinks) {
    test::TempDir dir;
    const std::string target = dir.File("real.mp3");
    const std::string link = dir.File("link.mp3");
    WriteFileBytes(target, BytesOf("audio"));
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(Prepend(link, BytesOf("tag")));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), BytesOf("tagaudio"));
}

// A process killed in the middle of rewrites leaves the old or the new file, complete, and no
// temporary file.
TEST(TagFileRewriteTest, AKillAtAnyMomentLeavesAWholeFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string file = dir.File("big.mp3");
    const Bytes audio(8 << 20, 0x55);
    const Bytes head(1000, 0x49);
    std::mt19937 random(12345);
    for (int round = 0; round < 8; ++round) {
        WriteFileBytes(file, audio);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                // Strip the head again or add it, so every state is one of two.
                const bool tagged = ReadFileBytes(file).size() > audio.size();
                RewriteThroughTempFile(file, [&](Stream& original, TagRewriteOutput& output) {
                    if (tagged) {
                        original.SetPosition(static_cast<int64_t>(head.size()));
                    } else {
                        output.Write(head);
                    }
                    output.CopyRest(original);
                    return true;
                });
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const Bytes now = ReadFileBytes(file);
        EXPECT_TRUE(now.size() == audio.size() || now.size() == audio.size() + head.size())
            << "round " << round << ": " << now.size() << " bytes";
        EXPECT_EQ(dir.Count(), 1) << "round " << round;
    }
}

} // namespace
} // namespace quillon
