#include "cd/CDIn.h"
#include "cli/CommandRegistry.h"
#include "cli/DiscLookup.h"
#include "cli/DriveChoice.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "cli/ProgressDisplay.h"
#include "cli/SetOption.h"
#include "cli/StopSignals.h"
#include "cli/TrackList.h"
#include "codecs/CodecLibraries.h"
#include "workflow/CddbEntryFill.h"
#include "workflow/DiscText.h"
#include "workflow/OutputFileName.h"
#include "workflow/RipEngine.h"
#include "workflow/Settings.h"

#include <chrono>
#include <iostream>

namespace quillon::cli {

namespace {

const char* const kDescription =
    "Rips tracks of the audio CD in a drive, or of a disc image, into the output format,\n"
    "folder and file names of the settings (RipToFormat, FilePath, OutputFileNameFormat),\n"
    "titled \"Track n\", and writes a playlist of the ripped tracks when SavePlayList asks\n"
    "for one. Every audio track is ripped unless --tracks names some. A track that fails is\n"
    "reported and the rip goes on with the next one. With --cddb the disc is looked up in a\n"
    "CD database server first, and its entry gives the files their names and tags (artist,\n"
    "album, year, genre and each track's title); the rip does not start without an entry.\n";

// Ticks the rows of the chosen tracks, or of every audio track; prints the error and returns
// the exit status when a chosen track does not exist or holds data.
std::optional<int> TickTracks(TCDIn& cdIn, std::vector<RipRow>& rows,
                              const std::optional<std::vector<int>>& chosen) {
    const int count = static_cast<int>(rows.size());
    for (RipRow& row : rows) {
        row.Checked = !chosen && cdIn.TrackInfo(row.Track).TrackType == ttAudio;
    }
    for (const int track : chosen.value_or(std::vector<int>{})) {
        if (track > count) {
            std::cerr << "quillon rip: there is no track " << track << "; the disc has "
                      << (count == 1 ? "track 1" : "tracks 1 to " + std::to_string(count)) << "\n";
            return 1;
        }
        if (cdIn.TrackInfo(track).TrackType != ttAudio) {
            std::cerr << "quillon rip: track " << track << " is a data track\n";
            return 1;
        }
        rows[static_cast<size_t>(track - 1)].Checked = true;
    }
    return std::nullopt;
}

// Looks the disc up and gives the rows the entry's names and tags; the exit status when there
// is no entry.
std::optional<int> NameFromDatabase(TCDIn& cdIn, std::vector<RipRow>& rows,
                                    const CddbServerChoice& server, const Settings& settings,
                                    Verbosity verbosity, const StopSignals& signals) {
    TCddb cddb;
    if (const auto status = ReadDiscIdentifier("rip", cdIn, cddb)) {
        return status;
    }
    DiscLookupResult result;
    if (const auto status = LookUpDisc("rip", cddb, server, settings, verbosity, result, [&] {
            return signals.Received() != 0 ? signals.ExitStatus() : 0;
        })) {
        return status;
    }
    DiscTags disc;
    FillFromCddbEntry(result.log, disc, rows);
    if (verbosity != Verbosity::Quiet) {
        std::cerr << "Disc " << result.info.DiscId << " (" << TerminalText(result.info.Category)
                  << "): " << TerminalText(disc.Artist)
                  << (disc.Album.empty() ? "" : " / " + TerminalText(disc.Album)) << "\n";
    }
    return std::nullopt;
}

int RunRip(const std::vector<std::string>& args) {
    Settings settings = SettingsStore::Load();
    DriveChoice drive;
    std::optional<std::vector<int>> chosen;
    bool lookUp = false;
    CddbServerChoice server;
    OptionParser parser("rip", "rip [OPTIONS]", kDescription);
    AddSetOption(parser, settings, "--set RipToFormat=FLAC --set FilePath=/tmp/rip")
        .Value("drive", 'd', "N|FILE", kDriveHelp,
               [&](const std::string& value) { return drive.Take(value); })
        .Value("tracks", 't', "LIST",
               "the tracks to rip, for example 1,3-5; default every\naudio track",
               [&](const std::string& text) {
                   std::string problem;
                   chosen = ParseTrackList(text, problem);
                   return problem;
               })
        .Flag("cddb", 0, "name and tag the files from the disc's CD database entry",
              [&] { lookUp = true; });
    server.AddOptions(parser);
    if (const auto status = ParseDiscCommandLine(parser, args)) {
        return *status;
    }
    if (const std::string problem = OutputSettingsProblem(settings, "FilePath"); !problem.empty()) {
        return parser.UsageError(problem);
    }
    const std::string format = settings.ListText("RipToFormat");

    TRipEngine engine;
    // Before any thread starts (the sinks' workers), which must inherit the blocked signals.
    StopSignals signals([&engine] { engine.Stop(); });
    int count = 0;
    const auto cdIn = OpenDisc("rip", drive, count);
    if (!cdIn) {
        return 1;
    }
    std::vector<RipRow> rows = MakeRipRows(count);
    if (const auto status = TickTracks(*cdIn, rows, chosen)) {
        return *status;
    }
    if (lookUp) {
        if (const auto status =
                NameFromDatabase(*cdIn, rows, server, settings, parser.Level(), signals)) {
            return *status;
        }
    }
    std::vector<double> durations;
    for (const RipRow& row : rows) {
        if (row.Checked) {
            durations.push_back(WholeSeconds(cdIn->TrackInfo(row.Track).Length));
        }
    }
    if (durations.empty()) {
        std::cerr << "quillon rip: the disc in " << DriveText(*cdIn) << " holds no audio track\n";
        return 1;
    }

    LoadCodecLibraries();
    struct Unload {
        ~Unload() { UnloadCodecLibraries(); }
    } unload;

    const bool quiet = parser.Level() == Verbosity::Quiet;
    if (parser.Level() == Verbosity::Verbose) {
        std::cerr << "Ripping " << durations.size() << " of " << count << " tracks of "
                  << DriveText(*cdIn) << " to " << format << " in " << settings.Text("FilePath")
                  << ", names " << settings.ListText("OutputFileNameFormat") << "\n";
    }
    const auto started = std::chrono::steady_clock::now();
    ProgressDisplay display(std::cerr, durations, "track");
    std::string currentOutput;
    engine.OnTrackStarted = [&](int track, const std::string& output) {
        currentOutput = output;
        if (!quiet) {
            display.Start(track, "Track " + std::to_string(track));
        }
    };
    engine.OnProgress = [&](int track, int percent) {
        if (!quiet) {
            display.Update(track, percent);
        }
    };
    engine.OnTrackDone = [&](int track) {
        if (!quiet) {
            display.Finish(track, "Track " + std::to_string(track) + " -> " + currentOutput);
        }
    };
    engine.OnTrackFailed = [&](int track, const std::string& message) {
        if (!quiet) {
            display.Finish(track, "");
        }
        std::cout.flush();
        std::cerr << "quillon rip: track " << track << ": " << message << "\n";
    };
    engine.OnTrackStopped = [&](int track) {
        if (!quiet) {
            display.Finish(track, "stopped");
        }
    };
    // The pump passes on a signal that came before the rip began.
    const RipSummary summary = engine.Rip(*cdIn, rows, settings, [&] {
        if (signals.Received() != 0) {
            engine.Stop();
        }
    });
    if (signals.Received() != 0) {
        std::cerr << "quillon rip: stopped\n";
        return signals.ExitStatus();
    }
    if (!quiet) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - started);
        std::cerr << summary.ripped << " ripped, " << summary.failed << " failed in "
                  << ProgressDisplay::Clock(elapsed) << "\n";
    }
    return summary.failed > 0 ? 1 : 0;
}

const CommandRegistrar registrar{{"rip", WorkflowCommandSummary("rip"), RunRip}};

} // namespace

} // namespace quillon::cli
