#include "cli/CommandRegistry.h"
#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/SongInformation.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <array>
#include <iostream>
#include <sstream>
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

void PrintHelp() {
    std::cout << "Usage: quillon info [--json] FILE...\n\n"
                 "Shows the tags and stream facts of audio files (MP3, WMA, Ogg Vorbis, Monkey's\n"
                 "Audio, WAV) as the tag editor does; the file type follows the name's ending.\n\n"
                 "  --json   one JSON object per line and file, with the key \"File\", the\n"
                 "           record's fields and \"MPEG\" holding the stream facts\n";
}

// Texts are Latin-1 in the record; the terminal and JSON get UTF-8.
QString Text(const std::string& latin1) {
    return QString::fromLatin1(latin1);
}

std::string JsonLine(const std::string& fileName, const SongInformation& info) {
    QJsonObject mpeg;
    for (const auto& [name, field] : kMpegFields) {
        mpeg.insert(name, Text(info.MPEG.*field));
    }
    mpeg.insert("Duration", info.MPEG.Duration);
    QJsonObject record;
    record.insert("File", QString::fromUtf8(fileName));
    for (const auto& [name, field] : kSongFields) {
        record.insert(name, Text(info.*field));
    }
    record.insert("MPEG", mpeg);
    return QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString();
}

std::string PlainRecord(const std::string& fileName, const SongInformation& info) {
    std::ostringstream out;
    out << "File: " << fileName << "\n";
    for (const auto& [name, field] : kSongFields) {
        out << "  " << name << ": " << Utf8FromLatin1(info.*field) << "\n";
    }
    for (const auto& [name, field] : kMpegFields) {
        out << "  MPEG." << name << ": " << Utf8FromLatin1(info.MPEG.*field) << "\n";
    }
    out << "  MPEG.Duration: " << info.MPEG.Duration << "\n";
    return out.str();
}

// Reads one file's record; the examiners report nothing themselves, so a file that cannot be
// opened for reading is found out first.
bool ReadRecord(const std::string& fileName, SongInformation& info, std::string& error) {
    try {
        FileStream probe(fileName, FileStream::Mode::Read);
        char byte = 0;
        probe.Read(&byte, 1); // a folder opens but cannot be read
        info = ReadSongInformation(fileName);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

int RunInfo(const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg.rfind("--", 0) == 0) {
            std::cerr << "quillon info: unknown option " << arg << " (see 'quillon info --help')\n";
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "quillon info: no files given (see 'quillon info --help')\n";
        return 2;
    }
    int status = 0;
    bool first = true;
    for (const auto& file : files) {
        SongInformation info;
        std::string error;
        if (!ReadRecord(file, info, error)) {
            std::cout.flush();
            std::cerr << "quillon info: " << error << "\n";
            status = 1;
            continue;
        }
        if (json) {
            std::cout << JsonLine(file, info) << "\n";
        } else {
            std::cout << (first ? "" : "\n") << PlainRecord(file, info);
        }
        first = false;
    }
    return status;
}

const CommandRegistrar registrar{
    {"info", "show the tags and stream facts of audio files", RunInfo}};

} // namespace

} // namespace quillon::cli
