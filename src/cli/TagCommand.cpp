#include "cli/CommandRegistry.h"
#include "cli/InputFile.h"
#include "cli/OptionParser.h"
#include "tags/SongInformation.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <unistd.h>
#include <utility>

namespace quillon::cli {

namespace {

// The long options and the fields they set.
const std::array<std::pair<const char*, std::string SongInformation::*>, 13> kOptions = {{
    {"title", &SongInformation::Title},
    {"artist", &SongInformation::Artist},
    {"album", &SongInformation::Album},
    {"track", &SongInformation::Track},
    {"year", &SongInformation::Year},
    {"genre", &SongInformation::Genre},
    {"comment", &SongInformation::Comment},
    {"composer", &SongInformation::Composer},
    {"encoder", &SongInformation::Encoder},
    {"copyright", &SongInformation::Copyright},
    {"language", &SongInformation::Language},
    {"link", &SongInformation::Link},
    {"lyrics", &SongInformation::Lyrics},
}};

const char* const kDescription =
    "Replaces the given tag fields of each file and keeps the others as they are read.\n"
    "The extension chooses the tags: .mp3 gets an ID3v2.3 tag (all fields) and an\n"
    "ID3v1 tag, .ogg and .flac Vorbis comments and .ape an APE tag (title, artist,\n"
    "album, track, year, genre, comment; APE also copyright). Other frames, comments\n"
    "and items in the file are kept. ID3v1 holds Latin-1 only (other characters\n"
    "become '?'); the other tags keep every character.\n"
    "An empty value clears a field. Prints a line for each file; the exit status is 1\n"
    "when any file could not be tagged.\n";

// What kept a file that could be read from being rewritten in its folder; otherwise the
// writer's own words.
std::string WriteProblem(const std::string& file, const std::string& otherwise) {
    const std::string parent = std::filesystem::path(file).parent_path().string();
    if (access(file.c_str(), W_OK) != 0 ||
        access(parent.empty() ? "." : parent.c_str(), W_OK) != 0) {
        return std::string(kPermissionDenied);
    }
    return otherwise;
}

// Tags one file; "" on success, otherwise the problem in the words of InputFile.h.
std::string
TagFile(const std::string& file,
        const std::vector<std::pair<std::string SongInformation::*, std::string>>& changes) {
    std::string problem = AudioFileProblem(file);
    if (!problem.empty()) {
        return problem;
    }
    try {
        SongInformation info = ReadSongInformation(file);
        for (const auto& [field, value] : changes) {
            info.*field = value;
        }
        if (!WriteSongInformation(info, file)) {
            const std::string& why = WriteSongInformationError();
            return WriteProblem(file, why.empty() ? "cannot write the tags" : why);
        }
    } catch (const EUnsupportedTagFormat&) {
        return std::string(kNotTaggedFormat);
    } catch (const std::exception& e) {
        return WriteProblem(file, e.what());
    }
    return {};
}

int RunTag(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string SongInformation::*, std::string>> changes;
    OptionParser parser("tag", "tag [OPTIONS] FILE...", kDescription);
    for (const auto& [name, field] : kOptions) {
        const bool track = field == &SongInformation::Track;
        parser.Value(name, 0, track ? "NUMBER" : "TEXT",
                     std::string("set the ") + name + (track ? ", 0 to 255" : "") +
                         " (empty to clear)",
                     // An init-capture, as clang 14 cannot capture a structured binding.
                     [&changes, field = field, track](const std::string& value) {
                         if (track && !value.empty()) {
                             int number = -1;
                             const auto [end, error] =
                                 std::from_chars(value.data(), value.data() + value.size(), number);
                             if (error != std::errc() || end != value.data() + value.size() ||
                                 number < 0 || number > 255) {
                                 return "invalid value '" + value +
                                        "' for --track; valid values: 0 to 255, or empty to clear";
                             }
                         }
                         changes.emplace_back(field, value);
                         return std::string();
                     });
    }
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    if (parser.Operands().empty()) {
        return parser.UsageError("no files given");
    }
    int status = 0;
    for (const auto& file : parser.Operands()) {
        const std::string problem = TagFile(file, changes);
        if (!problem.empty()) {
            ReportFileProblem("tag", file, problem);
            status = 1;
        } else if (parser.Level() != Verbosity::Quiet) {
            std::cout << file << ": tagged\n";
        }
    }
    return status;
}

const CommandRegistrar registrar{{"tag", "change the tags of audio files", RunTag}};

} // namespace

} // namespace quillon::cli
