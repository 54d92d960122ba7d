#include "cd/CDIn.h"
#include "cli/CommandRegistry.h"
#include "cli/DiscLookup.h"
#include "cli/DriveChoice.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "cli/SetOption.h"
#include "workflow/Settings.h"

#include <iostream>

namespace quillon::cli {

namespace {

// Opens the chosen disc and identifies it; the exit status on failure.
std::optional<int> IdentifyDisc(const std::string& command, const DriveChoice& drive, TCddb& cddb) {
    int count = 0;
    const auto cdIn = OpenDisc(command, drive, count);
    if (!cdIn) {
        return 1;
    }
    return ReadDiscIdentifier(command, *cdIn, cddb);
}

int RunDiscId(const std::vector<std::string>& args) {
    DriveChoice drive;
    OptionParser parser(
        "discid", "discid [OPTIONS]",
        "Shows the CD database identifier of the disc in a drive or a disc image\n"
        "on the first line, and the query that asks a server for it on the second.\n");
    parser.Value("drive", 'd', "N|FILE", kDriveHelp,
                 [&](const std::string& value) { return drive.Take(value); });
    if (const auto status = ParseDiscCommandLine(parser, args)) {
        return *status;
    }
    TCddb cddb;
    if (const auto status = IdentifyDisc("discid", drive, cddb)) {
        return *status;
    }
    std::cout << cddb.Info().DiscId << "\n" << TCddb::BuildQueryCommand(cddb.Info().Toc) << "\n";
    return 0;
}

void AppendJsonField(std::string& out, const char* name, const std::string& value) {
    out += std::string(",\"") + name + "\":";
    AppendJsonString(out, value);
}

void AppendJsonTexts(std::string& out, const char* name, const TStringArray& texts, int count) {
    out += std::string(",\"") + name + "\":[";
    for (int i = 0; i < count; ++i) {
        out += i > 0 ? "," : "";
        AppendJsonString(out, texts[static_cast<size_t>(i)]);
    }
    out += "]";
}

std::string JsonTocEntry(const TocEntry& entry) {
    return "{\"Minutes\":" + std::to_string(entry.Minutes) +
           ",\"Seconds\":" + std::to_string(entry.Seconds) +
           ",\"Frames\":" + std::to_string(entry.Frames) +
           ",\"IsAudio\":" + (entry.IsAudio != 0 ? "true" : "false") + "}";
}

// The disc record as one JSON object keyed by its field names; the track lists hold one text
// per track of the disc.
std::string RecordJson(const TCDInfo& info) {
    const int count = std::min<int>(info.Toc.NumTracks, static_cast<int>(info.TrackTitles.size()));
    std::string out = "{\"DiscId\":";
    AppendJsonString(out, info.DiscId);
    AppendJsonField(out, "Artist", info.Artist);
    AppendJsonField(out, "Title", info.Title);
    AppendJsonField(out, "Year", info.Year);
    AppendJsonField(out, "Genre", info.Genre);
    AppendJsonField(out, "ExtendedData", info.ExtendedData);
    AppendJsonTexts(out, "TrackTitles", info.TrackTitles, count);
    AppendJsonTexts(out, "TrackExtended", info.TrackExtended, count);
    AppendJsonField(out, "Category", info.Category);
    out += ",\"Revision\":" + std::to_string(info.Revision);
    out += ",\"Toc\":{\"NumTracks\":" + std::to_string(info.Toc.NumTracks) +
           ",\"LeadOut\":" + JsonTocEntry(info.Toc.LeadOut) + ",\"Tracks\":[";
    for (int i = 0; i < count; ++i) {
        out += (i > 0 ? "," : "") + JsonTocEntry(info.Toc.Tracks[static_cast<size_t>(i)]);
    }
    return out + "]}}\n";
}

std::string RecordText(const TCDInfo& info) {
    const auto line = [](const char* name, const std::string& value) {
        const std::string label = std::string(name) + ":";
        return label + std::string(label.size() < 10 ? 10 - label.size() : 1, ' ') +
               TerminalText(value) + "\n";
    };
    std::string out = line("Disc ID", info.DiscId) + line("Category", info.Category) +
                      line("Artist", info.Artist) + line("Title", info.Title) +
                      line("Year", info.Year) + line("Genre", info.Genre) +
                      line("Revision", std::to_string(info.Revision));
    if (!info.ExtendedData.empty()) {
        out += line("Extended", info.ExtendedData);
    }
    const int count = std::min<int>(info.Toc.NumTracks, static_cast<int>(info.TrackTitles.size()));
    for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(i + 1);
        out += std::string(number.size() < 2 ? 2 - number.size() : 0, ' ') + number + "  " +
               TerminalText(info.TrackTitles[static_cast<size_t>(i)]) + "\n";
    }
    return out;
}

int RunCddb(const std::vector<std::string>& args) {
    Settings settings = SettingsStore::Load();
    DriveChoice drive;
    CddbServerChoice server;
    bool json = false;
    OptionParser parser(
        "cddb", "cddb [OPTIONS]",
        "Looks the disc in a drive or a disc image up in a CD database server: asks for its\n"
        "identifier, takes the first match and reads its entry, then shows the disc's\n"
        "identifier, category, artist, title, year, genre and the title of each track.\n"
        "The hello carries the e-mail address of the setting CDDBUserEmail.\n");
    AddSetOption(parser, settings, "--set FreeDBServer=localhost:8080");
    parser.Value("drive", 'd', "N|FILE", kDriveHelp,
                 [&](const std::string& value) { return drive.Take(value); });
    server.AddOptions(parser);
    parser.Flag("json", 0,
                "one JSON object with DiscId, Artist, Title, Year, Genre,\n"
                "ExtendedData, TrackTitles and TrackExtended (a text per\n"
                "track), Category, Revision and Toc",
                [&] { json = true; });
    if (const auto status = ParseDiscCommandLine(parser, args)) {
        return *status;
    }
    TCddb cddb;
    if (const auto status = IdentifyDisc("cddb", drive, cddb)) {
        return *status;
    }
    DiscLookupResult result;
    if (const auto status = LookUpDisc("cddb", cddb, server, settings, parser.Level(), result)) {
        return *status;
    }
    std::cout << (json ? RecordJson(result.info) : RecordText(result.info));
    return 0;
}

const CommandRegistrar discid{{"discid", WorkflowCommandSummary("discid"), RunDiscId}};
const CommandRegistrar cddb{{"cddb", WorkflowCommandSummary("cddb"), RunCddb}};

} // namespace

} // namespace quillon::cli
