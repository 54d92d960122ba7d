#include "platform/FileStream.h"

#include "fixtures/Fixtures.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace quillon::test {
namespace {

TEST(FileStreamTest, CreatedFileReplacesTheOldOneOnlyAtCommit) {
    TempDir dir;
    const std::string name = dir.File("out.wav");
    WriteFileBytes(name, {1, 2, 3});
    {
        FileStream out(name, FileStream::Mode::Create);
        out.Write("abcdef", 6);
        EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), ReadFileBytes(name));
    }
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), ReadFileBytes(name)) << "abandoned: old file kept";
    EXPECT_EQ(1, dir.Count()) << "no temporary file left behind";
    {
        // Content being written has no name, so a process killed meanwhile leaves nothing.
        FileStream pending(name, FileStream::Mode::Create);
        pending.Write("abcdef", 6);
        pending.FlushBuffer();
        EXPECT_EQ(1, dir.Count());
    }
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), ReadFileBytes(name));

    FileStream out(name, FileStream::Mode::Create);
    out.Write("abcdef", 6);
    out.SetPosition(1);
    out.Write("XY", 2);
    EXPECT_EQ(6, out.Size());
    out.SetPosition(0);
    char back[6];
    EXPECT_EQ(6u, out.Read(back, 6));
    EXPECT_EQ("aXYdef", std::string(back, 6));
    out.Commit();
    EXPECT_EQ((std::vector<uint8_t>{'a', 'X', 'Y', 'd', 'e', 'f'}), ReadFileBytes(name));
}

TEST(FileStreamTest, ExistsOutsideASharedScope) {
    TempDir dir;
    WriteFileBytes(dir.File("a"), {1});
    EXPECT_TRUE(FileStream::Exists(dir.File("a")));
    EXPECT_FALSE(FileStream::Exists(dir.File("b")));
    EXPECT_FALSE(FileStream::Exists(dir.File("a/b"))) << "a file is no folder";
}

TEST(FileStreamTest, OpenErrorsNameTheFile) {
    try {
        FileStream in("/nonexistent/x.wav", FileStream::Mode::Read);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("\"/nonexistent/x.wav\""));
    }
    EXPECT_THROW(FileStream("/nonexistent/x.wav", FileStream::Mode::Create), EStreamError);
}

// A named pipe or a device is refused at once instead of blocking a read for ever, in and out
// of a shared scope; a regular file still opens, and an empty read needs no buffer.
TEST(FileStreamTest, RefusesWhatIsNotARegularFile) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.ogg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string file = dir.File("a.ogg");
    WriteFileBytes(file, {1, 2, 3});
    for (const bool sharedScope : {false, true}) {
        std::optional<SharedReadScope> scope;
        if (sharedScope) {
            scope.emplace();
        }
        EXPECT_TRUE(FileStream::Exists(pipe));
        for (const auto& [name, mode] :
             {std::pair{pipe, FileStream::Mode::Read}, std::pair{pipe, FileStream::Mode::ReadWrite},
              std::pair{std::string("/dev/null"), FileStream::Mode::Read}}) {
            try {
                FileStream in(name, mode);
                ADD_FAILURE() << name << " opened";
            } catch (const EStreamError& e) {
                EXPECT_NE(std::string(e.what()).find("Not a regular file"), std::string::npos)
                    << e.what();
            }
        }
        FileStream in(file, FileStream::Mode::Read);
        EXPECT_EQ(in.Read(nullptr, 0), 0u) << sharedScope;
        uint8_t byte = 0;
        EXPECT_EQ(in.Read(&byte, 1), 1u) << sharedScope;
        EXPECT_EQ(byte, 1);
    }
}

TEST(FileStreamTest, UpdateIsLockedAgainstASecondWriter) {
    TempDir dir;
    const std::string name = dir.File("a.wav");
    WriteFileBytes(name, {0, 0, 0, 0});
    FileStream first(name, FileStream::Mode::ReadWrite);
    EXPECT_THROW(FileStream(name, FileStream::Mode::ReadWrite), EStreamError);
    first.Seek(0, SeekOrigin::End);
    first.Write("zz", 2);
    first.FlushBuffer();
    EXPECT_EQ(6u, ReadFileBytes(name).size());
}

TEST(MemoryStreamTest, ReadWriteSeek) {
    MemoryStream m;
    m.Write("hello", 5);
    EXPECT_EQ(5, m.Size());
    m.SetPosition(10);
    m.Write("!", 1);
    EXPECT_EQ(11, m.Size());
    m.SetPosition(3);
    char buffer[16];
    EXPECT_EQ(8u, m.Read(buffer, sizeof buffer));
    EXPECT_EQ(0u, m.Read(buffer, sizeof buffer));
    EXPECT_THROW(m.Seek(-1, SeekOrigin::Begin), EStreamError);
    m.SetSize(2);
    EXPECT_EQ(2, m.Position());
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

TEST(SharedReadScopeTest, ReadsAnywhereGiveTheFileBytes) {
    TempDir dir;
    const std::string name = dir.File("big.bin");
    std::vector<uint8_t> bytes(100000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
    WriteFileBytes(name, bytes);
    const SharedReadScope scope;
    FileStream a(name, FileStream::Mode::Read);
    FileStream b(name, FileStream::Mode::Read);
    struct Case {
        int64_t at;
        size_t count;
    };
    for (const Case c : {Case{0, 10}, Case{16380, 10}, Case{50000, 3000}, Case{99990, 10},
                         Case{99995, 100}, Case{83616, 16384}, Case{100000, 4}, Case{10, 4096}}) {
        for (FileStream* stream : {&a, &b}) {
            std::vector<uint8_t> got(c.count);
            stream->SetPosition(c.at);
            got.resize(stream->Read(got.data(), got.size()));
            const auto from = std::min<size_t>(bytes.size(), static_cast<size_t>(c.at));
            const auto to = std::min(bytes.size(), from + c.count);
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + to), got)
                << c.at << "+" << c.count;
        }
    }
    EXPECT_EQ(100000, b.Size());
    EXPECT_TRUE(FileStream::Exists(name));
    EXPECT_TRUE(FileStream::Exists(dir.Path().string())) << "a folder exists too";
    EXPECT_FALSE(FileStream::Exists(dir.File("missing")));
    EXPECT_THROW(FileStream(dir.File("missing"), FileStream::Mode::Read), EStreamError);
    EXPECT_THROW(FileStream(dir.File("missing"), FileStream::Mode::Read), EStreamError)
        << "a failed open is remembered with its error";
}

} // namespace
} // namespace quillon::test
