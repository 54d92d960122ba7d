#include "workflow/ConvertListLoader.h"

#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

namespace quillon::test {
namespace {

// Collects what a loader delivers and waits for the ends of its Adds.
struct Delivered {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ConvertRow> rows;
    std::vector<size_t> batchSizes;
    int adds = 0;

    void Take(std::vector<ConvertRow> batch, bool last) {
        std::lock_guard lock(mutex);
        batchSizes.push_back(batch.size());
        for (ConvertRow& row : batch) {
            rows.push_back(std::move(row));
        }
        adds += last ? 1 : 0;
        changed.notify_all();
    }
    bool WaitForAdds(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [&] { return adds == count; });
    }
};

// Each case adds path lists one after the other (an empty list forgets the first listed file
// instead) and expects the listed files, relative to the folder, in order. Folders list their
// audio files recursively in natural order without regard to case, links to folders inside them
// not followed; a file already listed, or named twice, or reached through a link, is listed
// once; one forgotten may come again.
TEST(ConvertListLoaderTest, ListsEachAudioFileOnceInNaturalOrder) {
    TempDir dir;
    const auto file = [&](const std::string& name) { return dir.File(name); };
    for (const char* name : {"album/Track10.mp3", "album/track2.MP3", "album/b/Track1.wav",
                             "album/notes.txt", "album/a.Flac", "single.ogg", "readme.TXT"}) {
        std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
        WriteFileBytes(file(name), {'x'});
    }
    std::filesystem::create_directories(file("many"));
    std::vector<std::string> many;
    for (int i = 1; i <= 450; ++i) {
        many.push_back("many/" + std::to_string(i) + ".wav");
        WriteFileBytes(file(many.back()), PcmWavBytes(8000, 16, 1, std::vector<uint8_t>(i * 16)));
    }
    std::filesystem::create_symlink(file("single.ogg"), file("link.ogg"));
    std::filesystem::create_directory_symlink(file("album"), file("album-link"));

    const struct {
        const char* name;
        std::vector<std::vector<std::string>> adds;
        std::vector<std::string> listed;
    } cases[] = {
        {"a folder",
         {{file("album")}},
         {"album/a.Flac", "album/b/Track1.wav", "album/track2.MP3", "album/Track10.mp3"}},
        {"files, twice, through a link, missing or not audio",
         {{file("single.ogg"), file("readme.TXT"), file("./single.ogg"), file("link.ogg"),
           file("gone.mp3"), file("album/track2.MP3")},
          {file("album/track2.MP3")}},
         {"single.ogg", "album/track2.MP3"}},
        {"a folder after one of its files, the folder again through a link",
         {{file("album/a.Flac")},
          {file("album"), file("album-link")},
          {file("single.ogg"), file("link.ogg")}},
         {"album/a.Flac", "album/b/Track1.wav", "album/track2.MP3", "album/Track10.mp3",
          "single.ogg"}},
        {"forgotten and added again",
         {{file("single.ogg")}, {}, {file("link.ogg")}},
         {"single.ogg", "link.ogg"}},
        {"many files, read in several batches", {{file("many")}}, many},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Delivered delivered;
        TConvertListLoader loader;
        loader.OnRows = [&](std::vector<ConvertRow> rows, bool last) {
            delivered.Take(std::move(rows), last);
        };
        int adds = 0;
        for (const auto& paths : c.adds) {
            if (paths.empty()) {
                std::lock_guard lock(delivered.mutex);
                loader.Forget(delivered.rows.front().FileName);
            } else {
                loader.Add(paths);
                ASSERT_TRUE(delivered.WaitForAdds(++adds));
            }
        }
        std::vector<std::string> listed;
        for (const ConvertRow& row : delivered.rows) {
            listed.push_back(
                std::filesystem::path(row.FileName).lexically_relative(dir.Path()).string());
            EXPECT_TRUE(row.Checked);
            EXPECT_EQ(row.Status, "not converted");
        }
        EXPECT_EQ(listed, c.listed);
        if (c.listed == many) {
            EXPECT_GT(delivered.batchSizes.size(), 2u);
            // 3,600 samples of 8 kHz audio in the last file.
            EXPECT_NEAR(delivered.rows.back().Duration, 0.45, 0.001);
        }
    }
}

} // namespace
} // namespace quillon::test
