#include "workflow/ConvertEngine.h"

#include "fixtures/Fixtures.h"
#include "workflow/ConvertRows.h"

#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace quillon::test {
namespace {

class ConvertEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Set("RipToFormat", "WAV");
        settings.Set("ConvFilePath", out.Path().string() + "/sub/");
        settings.Set("OutputFileNameFormat", "<Track Number>-<Title>");
    }

    std::string MakeWav(const std::string& name, int64_t frames) {
        const std::string file = in.File(name);
        WriteFileBytes(file, PcmWavBytes(44100, 16, 2, AsBytes(Tone16(44100, 2, frames))));
        return file;
    }

    ConvertRow Row(const std::string& file, const std::string& title, double seconds = 1) {
        ConvertRow row;
        row.FileName = file;
        row.Tags.Title = title;
        row.Tags.Artist = "Art";
        row.Duration = seconds;
        return row;
    }

    TempDir in, out;
    Settings settings;
    TConvertEngine engine;
};

TEST_F(ConvertEngineTest, ConvertsTickedRowsIntoNamedFilesWithPlaylist) {
    settings.Set("SavePlayList", "1");
    std::vector<ConvertRow> rows = {Row(MakeWav("a.wav", 44100), "One", 1.4),
                                    Row(MakeWav("b.wav", 100), "Two"),
                                    Row(MakeWav("c.wav", 100), "Thr\xC3\xA9\x65/x", 2.6)};
    rows[1].Checked = false;
    std::vector<std::string> started;
    engine.OnFileStarted = [&](int, const std::string& name) { started.push_back(name); };
    int lastPercent = -1;
    engine.OnProgress = [&](int row, int percent) {
        if (row == 1) {
            lastPercent = percent;
        }
    };
    bool informed = true;
    engine.OnFinished = [&](bool inform) { informed = inform; };

    const ConvertSummary summary = engine.Convert(rows, settings);
    EXPECT_EQ(2, summary.converted);
    EXPECT_EQ(0, summary.failed);
    EXPECT_FALSE(informed);
    EXPECT_EQ(100, lastPercent);
    const std::string folder = out.Path().string() + "/sub";
    ASSERT_EQ(2u, started.size());
    EXPECT_EQ(folder + "/01-One.WAV", started[0]);
    EXPECT_EQ(folder + "/03-Thr\xC3\xA9\x65-x.WAV", started[1]);
    EXPECT_EQ(ReadFileBytes(rows[0].FileName), ReadFileBytes(started[0]));
    EXPECT_EQ("Complete", rows[0].Status);
    EXPECT_EQ("not converted", rows[1].Status);

    std::vector<std::filesystem::path> playlists;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".m3u") {
            playlists.push_back(entry.path());
        }
    }
    ASSERT_EQ(1u, playlists.size());
    const auto bytes = ReadFileBytes(playlists[0].string());
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:1,Art-One\r\n" + started[0] +
                  "\r\n#EXTINF:3,Art-Thr\xC3\xA9\x65/x\r\n" + started[1] + "\r\n",
              std::string(bytes.begin(), bytes.end()));
}

TEST_F(ConvertEngineTest, FailuresAreReportedAndTheBatchGoesOn) {
    const std::string good = MakeWav("good.wav", 1000);
    const std::string broken = in.File("broken.wav");
    WriteFileBytes(broken, {'R', 'I', 'F', 'F', 0, 0});
    const std::string text = in.File("notes.txt");
    WriteFileBytes(text, {'x'});
    std::vector<ConvertRow> rows = {Row(broken, "B"), Row(text, "T"), Row(good, "G")};
    std::vector<std::pair<int, std::string>> failures;
    engine.OnFileFailed = [&](int row, const std::string& m) { failures.emplace_back(row, m); };

    const ConvertSummary summary = engine.Convert(rows, settings);
    EXPECT_EQ(1, summary.converted);
    EXPECT_EQ(2, summary.failed);
    ASSERT_EQ(2u, failures.size());
    EXPECT_EQ(1, failures[0].first);
    EXPECT_EQ(2, failures[1].first);
    EXPECT_EQ("Unsupported audio format", failures[1].second);
    EXPECT_TRUE(std::filesystem::exists(out.Path() / "sub/03-G.WAV"));
    EXPECT_FALSE(std::filesystem::exists(out.Path() / "sub/01-B.WAV"))
        << "a failed conversion leaves no partial file";
}

TEST_F(ConvertEngineTest, RefusesToWriteOverItsInput) {
    const std::string file = MakeWav("01-Same.WAV", 1000);
    const auto before = ReadFileBytes(file);
    settings.Set("ConvFilePath", in.Path().string());
    std::vector<ConvertRow> rows = {Row(file, "Same")};
    std::string message;
    engine.OnFileFailed = [&](int, const std::string& m) { message = m; };
    EXPECT_EQ(1, engine.Convert(rows, settings).failed);
    EXPECT_NE(std::string::npos, message.find("input")) << message;
    EXPECT_EQ(before, ReadFileBytes(file));
}

// Stop comes from another thread, as from a window, while the second of three files is
// converted: that file is discarded and reported stopped, an older file of its name stays, the
// third row is not touched, and the playlist lists only the finished first file.
TEST_F(ConvertEngineTest, StopDiscardsTheCurrentFileAndEndsTheBatch) {
    settings.Set("SavePlayList", "1");
    const std::string shortWav = MakeWav("short.wav", 4410);
    const std::string longWav = MakeWav("long.wav", 44100 * 60);
    const std::string folder = out.Path().string() + "/sub";
    for (const std::string format : {"WAV", "MP3", "OGG", "FLAC"}) {
        SCOPED_TRACE(format);
        settings.Set("RipToFormat", format);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string older = folder + "/02-Long." + format;
        WriteFileBytes(older, {'o', 'l', 'd'});
        std::vector<ConvertRow> rows = {Row(shortWav, "One"), Row(longWav, "Long", 60),
                                        Row(shortWav, "Three")};
        std::vector<int> done, stopped;
        engine.OnFileDone = [&](int row) { done.push_back(row); };
        engine.OnFileStopped = [&](int row) { stopped.push_back(row); };
        std::mutex mutex;
        std::condition_variable changed;
        bool underWay = false;
        engine.OnProgress = [&](int row, int percent) {
            if (row == 2 && percent >= 1) {
                std::lock_guard lock(mutex);
                underWay = true;
                changed.notify_all();
            }
        };
        std::thread window([&] {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return underWay; });
            engine.Stop();
        });
        const ConvertSummary summary = engine.Convert(rows, settings);
        window.join();

        EXPECT_TRUE(summary.stopped);
        EXPECT_EQ(1, summary.converted);
        EXPECT_EQ(std::vector<int>{1}, done);
        EXPECT_EQ(std::vector<int>{2}, stopped);
        EXPECT_EQ("Complete", rows[0].Status);
        EXPECT_EQ(kStatusStopped, rows[1].Status);
        EXPECT_EQ("not converted", rows[2].Status);
        EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), ReadFileBytes(older));
        std::vector<std::string> names;
        std::string playlist;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
            if (entry.path().extension() == ".m3u") {
                const auto bytes = ReadFileBytes(entry.path().string());
                playlist.assign(bytes.begin(), bytes.end());
            }
        }
        std::sort(names.begin(), names.end());
        ASSERT_EQ(3u, names.size()) << "nothing else, no temporary file";
        EXPECT_EQ("01-One." + format, names[0]);
        EXPECT_EQ("02-Long." + format, names[1]);
        EXPECT_EQ("#EXTM3U\r\n#EXTINF:1,Art-One\r\n" + folder + "/01-One." + format + "\r\n",
                  playlist);
    }
}

// Several files at once give what one at a time gives: the same outputs byte for byte (two
// rows of one name: the later one's), the same failures and summary, the playlist in row order.
TEST_F(ConvertEngineTest, ParallelBatchEqualsOneAtATime) {
    settings.Set("SavePlayList", "1");
    settings.Set("OutputFileNameFormat", "<Title>");
    const std::string broken = in.File("broken.wav");
    WriteFileBytes(broken, {'R', 'I', 'F', 'F', 0, 0});
    const std::vector<ConvertRow> rows = {Row(MakeWav("a.wav", 44100 * 3), "Long", 3),
                                          Row(MakeWav("b.wav", 300), "Same"),
                                          Row(broken, "Broken"),
                                          Row(MakeWav("c.wav", 44100), "Same"),
                                          Row(MakeWav("d.wav", 2000), "Short"),
                                          Row(MakeWav("e.wav", 700), "Last")};
    const std::string folder = out.Path().string() + "/sub";
    struct Result {
        std::map<std::string, std::vector<uint8_t>> files;
        std::vector<int> done, failed;
        int converted = 0;
    };
    std::map<int, Result> results;
    for (const int jobs : {1, 4}) {
        std::filesystem::remove_all(folder);
        std::vector<ConvertRow> batch = rows;
        Result& result = results[jobs];
        engine.Jobs = jobs;
        engine.OnFileDone = [&](int row) { result.done.push_back(row); };
        engine.OnFileFailed = [&](int row, const std::string&) { result.failed.push_back(row); };
        result.converted = engine.Convert(batch, settings).converted;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            result.files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
        }
        std::sort(result.done.begin(), result.done.end());
    }
    EXPECT_EQ(5, results[4].converted);
    EXPECT_EQ((std::vector<int>{1, 2, 4, 5, 6}), results[4].done);
    EXPECT_EQ(std::vector<int>{3}, results[4].failed);
    EXPECT_EQ(results[1].files, results[4].files);
    EXPECT_EQ(ReadFileBytes(rows[3].FileName), results[4].files["Same.WAV"]);
    EXPECT_EQ(5u, results[4].files.size()) << "four outputs and the playlist";
}

// An output folder that is empty or not a folder, and an input without audio, fail before
// anything is written: no output in the root folder, no empty output reported done.
TEST_F(ConvertEngineTest, UnusableFoldersAndEmptyInputsFailWithoutWriting) {
    const std::string aFile = in.File("plain");
    WriteFileBytes(aFile, {1});
    const std::string empty = MakeWav("empty.wav", 0);
    const struct {
        std::string folder, input, message;
    } cases[] = {
        {"", MakeWav("a.wav", 100), "ConvFilePath is empty"},
        {aFile, MakeWav("a.wav", 100), "is not a folder"},
        {out.Path().string(), empty, "The file holds no audio"},
    };
    for (const auto& c : cases) {
        settings.Set("ConvFilePath", c.folder);
        settings.Set("SavePlayList", "1");
        std::vector<ConvertRow> rows = {Row(c.input, "A")};
        std::string message;
        engine.OnFileFailed = [&](int, const std::string& m) { message = m; };
        const ConvertSummary summary = engine.Convert(rows, settings);
        EXPECT_EQ(summary.failed, 1) << c.folder;
        EXPECT_EQ(summary.converted, 0) << c.folder;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_FALSE(std::filesystem::exists("/01-A.WAV"));
        EXPECT_FALSE(std::filesystem::exists(out.Path() / "01-A.WAV")) << c.folder;
    }
}

TEST_F(ConvertEngineTest, UnknownFormatFailsEveryRowWithoutWaiting) {
    settings.Set("RipToFormat", "AAC");
    std::vector<ConvertRow> rows = {Row(MakeWav("a.wav", 100), "A")};
    EXPECT_EQ(1, engine.Convert(rows, settings).failed);
}

TEST(ConvertRowsTest, ListsOnlyKnownExtensions) {
    EXPECT_TRUE(IsConvertibleFile("/x/a.mp3"));
    EXPECT_TRUE(IsConvertibleFile("/x/a.Flac"));
    EXPECT_FALSE(IsConvertibleFile("/x/a.txt"));
    EXPECT_FALSE(IsConvertibleFile("/x.wav/a"));
    EXPECT_EQ(".FLAC", UpperExtension("/x/a.b.flac"));
}

} // namespace
} // namespace quillon::test
