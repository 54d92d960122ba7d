#include "cli/CommandRegistry.h"
#include "platform/FileStream.h"
#include "tags/SongInformation.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <utility>

namespace quillon::cli {

namespace {

// The options and the fields they set.
const std::array<std::pair<const char*, std::string SongInformation::*>, 13> kOptions = {{
    {"--title", &SongInformation::Title},
    {"--artist", &SongInformation::Artist},
    {"--album", &SongInformation::Album},
    {"--track", &SongInformation::Track},
    {"--year", &SongInformation::Year},
    {"--genre", &SongInformation::Genre},
    {"--comment", &SongInformation::Comment},
    {"--composer", &SongInformation::Composer},
    {"--encoder", &SongInformation::Encoder},
    {"--copyright", &SongInformation::Copyright},
    {"--language", &SongInformation::Language},
    {"--link", &SongInformation::Link},
    {"--lyrics", &SongInformation::Lyrics},
}};

void PrintHelp() {
    std::cout
        << "Usage: quillon tag FILE [--title T] [--artist A] [--album A] [--track N] [--year Y]\n"
           "                        [--genre G] [--comment C] [--composer C] [--encoder E]\n"
           "                        [--copyright C] [--language L] [--link U] [--lyrics L]\n\n"
           "Replaces the given tag fields of a file and keeps the others as they are read.\n"
           "The extension chooses the tags: .mp3 gets an ID3v2.3 tag (all fields) and an\n"
           "ID3v1 tag, .ogg and .flac Vorbis comments and .ape an APE tag (title, artist,\n"
           "album, track, year, genre, comment; APE also copyright). Other frames in the\n"
           "file are kept. ID3v1 holds Latin-1 only; the other tags keep every character.\n"
           "An empty value clears a field; --track takes a number (anything else clears it).\n";
}

int Fail(const std::string& message) {
    std::cerr << "quillon tag: " << message << "\n";
    return 2;
}

int RunTag(const std::vector<std::string>& args) {
    std::string file;
    std::vector<std::pair<std::string SongInformation::*, std::string>> changes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!file.empty()) {
                return Fail("one file at a time (see 'quillon tag --help')");
            }
            file = arg;
            continue;
        }
        const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                         [&](const auto& o) { return arg == o.first; });
        if (option == kOptions.end()) {
            return Fail("unknown option " + arg + " (see 'quillon tag --help')");
        }
        if (i + 1 >= args.size()) {
            return Fail(arg + " needs a value");
        }
        changes.emplace_back(option->second, args[++i]);
    }
    if (file.empty()) {
        return Fail("no file given (see 'quillon tag --help')");
    }
    try {
        FileStream probe(file, FileStream::Mode::Read);
        SongInformation info = ReadSongInformation(file);
        for (const auto& [field, value] : changes) {
            info.*field = value;
        }
        if (!WriteSongInformation(info, file)) {
            std::cerr << "quillon tag: cannot write the tags of " << file << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "quillon tag: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

const CommandRegistrar registrar{{"tag", "change the tags of an audio file", RunTag}};

} // namespace

} // namespace quillon::cli
