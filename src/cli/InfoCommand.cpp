#include "cli/CommandRegistry.h"
#include "cli/InputFile.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "platform/FileStream.h"
#include "tags/SongInformation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

namespace quillon::cli {

namespace {

// The text fields of the records in their order, for both output forms.
const std::array<std::pair<const char*, std::string SongInformation::*>, 15> kSongFields = {{
    {"Exists", &SongInformation::Exists},
    {"Version", &SongInformation::Version},
    {"Title", &SongInformation::Title},
    {"Artist", &SongInformation::Artist},
    {"Album", &SongInformation::Album},
    {"Track", &SongInformation::Track},
    {"Year", &SongInformation::Year},
    {"Genre", &SongInformation::Genre},
    {"Comment", &SongInformation::Comment},
    {"Composer", &SongInformation::Composer},
    {"Encoder", &SongInformation::Encoder},
    {"Copyright", &SongInformation::Copyright},
    {"Language", &SongInformation::Language},
    {"Link", &SongInformation::Link},
    {"Lyrics", &SongInformation::Lyrics},
}};

const std::array<std::pair<const char*, std::string MPEGInfo::*>, 13> kMpegFields = {{
    {"FileSize", &MPEGInfo::FileSize},
    {"BitRate", &MPEGInfo::BitRate},
    {"SampleRate", &MPEGInfo::SampleRate},
    {"ChannelMode", &MPEGInfo::ChannelMode},
    {"ValidMPEG", &MPEGInfo::ValidMPEG},
    {"MPEGType", &MPEGInfo::MPEGType},
    {"FirstFrameAt", &MPEGInfo::FirstFrameAt},
    {"CRCProtection", &MPEGInfo::CRCProtection},
    {"TotalFrames", &MPEGInfo::TotalFrames},
    {"Copyright", &MPEGInfo::Copyright},
    {"Original", &MPEGInfo::Original},
    {"Emphasis", &MPEGInfo::Emphasis},
    {"Encoder", &MPEGInfo::Encoder},
}};

const char* const kDescription =
    "Shows the tags and stream facts of audio files (MP3, WMA, Ogg Vorbis, Monkey's\n"
    "Audio, WAV, FLAC) as the tag editor does; the file type follows the name's\n"
    "ending.\n"
    "The exit status is 1 when any file could not be read.\n";

void AppendJsonMember(std::string& out, const char* name, const std::string& text) {
    if (out.back() != '{') {
        out += ',';
    }
    out += '"';
    out += name;
    out += "\":";
    AppendJsonString(out, text);
}

std::string JsonLine(const std::string& fileName, const SongInformation& info) {
    std::string out;
    out.reserve(1024);
    out += '{';
    AppendJsonMember(out, "File", fileName);
    for (const auto& [name, field] : kSongFields) {
        AppendJsonMember(out, name, info.*field);
    }
    out += ",\"MPEG\":{";
    for (const auto& [name, field] : kMpegFields) {
        AppendJsonMember(out, name, info.MPEG.*field);
    }
    char duration[32];
    const auto end = std::to_chars(duration, duration + sizeof duration, info.MPEG.Duration).ptr;
    out += ",\"Duration\":";
    out.append(duration, end);
    out += "}}\n";
    return out;
}

std::string PlainRecord(const std::string& fileName, const SongInformation& info) {
    std::ostringstream out;
    out << "File: " << TerminalText(fileName) << "\n";
    for (const auto& [name, field] : kSongFields) {
        out << "  " << name << ": " << TerminalText(info.*field) << "\n";
    }
    for (const auto& [name, field] : kMpegFields) {
        out << "  MPEG." << name << ": " << TerminalText(info.MPEG.*field) << "\n";
    }
    out << "  MPEG.Duration: " << info.MPEG.Duration << "\n";
    return out.str();
}

// Reads one file's record; the examiners report nothing themselves, so a file that cannot be
// opened for reading is found out first, and its problem worded as every command words it.
bool ReadRecord(const std::string& fileName, SongInformation& info, std::string& error) {
    if (!IsAudioFileName(fileName)) {
        error = AudioFileProblem(fileName);
        return false;
    }
    try {
        const SharedReadScope sharedFile;
        FileStream probe(fileName, FileStream::Mode::Read);
        if (probe.IsFolder()) {
            error = kIsFolder;
            return false;
        }
        info = ReadSongInformation(fileName);
        return true;
    } catch (const std::exception& e) {
        error = PathProblem(fileName);
        if (error.empty()) {
            error = e.what();
        }
        return false;
    }
}

int RunInfo(const std::vector<std::string>& args) {
    bool json = false;
    OptionParser parser("info", "info [OPTIONS] FILE...", kDescription);
    parser.Flag("json", 0,
                "one JSON object per line and file, with the key \"File\",\n"
                "the record's fields and \"MPEG\" holding the stream facts",
                [&] { json = true; });
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    const std::vector<std::string>& files = parser.Operands();
    if (files.empty()) {
        return parser.UsageError("no files given");
    }
    std::atomic<int> status{0};
    // Files are read on a few threads, a run of them at a time, and printed in the order given.
    constexpr size_t kRun = 32;
    struct Result {
        bool ok = false;
        std::string text;
    };
    std::vector<Result> results(files.size());
    const size_t runs = (files.size() + kRun - 1) / kRun;
    std::vector<char> runReady(runs, 0);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::atomic<size_t> nextRun{0};
    auto work = [&] {
        for (size_t run = nextRun++; run < runs; run = nextRun++) {
            for (size_t i = run * kRun; i < std::min(files.size(), (run + 1) * kRun); ++i) {
                SongInformation info;
                std::string error;
                const bool ok = ReadRecord(files[i], info, error);
                results[i] = {ok, !ok    ? TerminalText(files[i] + ": " + error)
                                  : json ? JsonLine(files[i], info)
                                         : PlainRecord(files[i], info)};
            }
            std::lock_guard lock(mutex);
            runReady[run] = 1;
            readyChanged.notify_all();
        }
    };
    const size_t threads =
        std::min<size_t>({runs, std::max(1u, std::thread::hardware_concurrency()), 4});
    std::vector<std::jthread> workers;
    for (size_t t = 1; t < threads; ++t) {
        workers.emplace_back(work);
    }
    std::jthread printer([&] {
        int printed = 0;
        for (size_t i = 0; i < results.size(); ++i) {
            if (i % kRun == 0) {
                std::unique_lock lock(mutex);
                readyChanged.wait(lock, [&] { return runReady[i / kRun] != 0; });
            }
            const Result& result = results[i];
            if (!result.ok) {
                std::cout.flush();
                std::cerr << "quillon info: " << result.text << "\n";
                status = 1;
                continue;
            }
            if (!json && printed++ > 0) {
                std::cout << "\n";
            }
            std::cout << result.text;
        }
    });
    work();
    printer.join();
    return status;
}

const CommandRegistrar registrar{
    {"info", "show the tags and stream facts of audio files", RunInfo}};

} // namespace

} // namespace quillon::cli
