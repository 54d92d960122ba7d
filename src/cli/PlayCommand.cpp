#include "cd/CDIn.h"
#include "cli/CommandRegistry.h"
#include "cli/DriveChoice.h"
#include "cli/InputFile.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "cli/ProgressDisplay.h"
#include "cli/StopSignals.h"
#include "codecs/CodecLibraries.h"
#include "dsp/AudioOut.h"
#include "tags/SongInformation.h"
#include "workflow/DiscText.h"
#include "workflow/SinkRun.h"
#include "workflow/SinkSetup.h"
#include "workflow/SourceChain.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <unistd.h>

namespace quillon::cli {

namespace {

const char* const kDescription =
    "Plays an audio file, or a track of the audio CD in a drive or of a disc image, on\n"
    "the system's default playback device, showing the time played and the length.\n"
    "Ctrl-C stops playing once what is queued for the device has played.\n";

// Every this many seconds a line of the clock when the error stream is not a terminal.
constexpr int kPlainLineSeconds = 10;

// The time played and the length on the error stream: redrawn in place on a terminal, a line
// now and then otherwise.
class PlayClock {
public:
    explicit PlayClock(std::chrono::seconds total)
        : total_(total), terminal_(isatty(STDERR_FILENO) != 0) {}

    void Show(std::chrono::seconds played) {
        if (played == shown_) {
            return;
        }
        shown_ = played;
        if (terminal_) {
            std::cerr << "\r" << Text(played) << "\x1b[K" << std::flush;
        } else if (played.count() % kPlainLineSeconds == 0) {
            std::cerr << Text(played) << "\n";
        }
    }

    // Ends the clock with the time played.
    void Finish(std::chrono::seconds played) {
        if (terminal_) {
            std::cerr << "\r" << Text(played) << "\x1b[K\n";
        } else if (played != shown_ || played.count() % kPlainLineSeconds != 0) {
            std::cerr << Text(played) << "\n";
        }
    }

private:
    std::string Text(std::chrono::seconds played) const {
        return ProgressDisplay::Clock(played) + " / " + ProgressDisplay::Clock(total_);
    }

    std::chrono::seconds total_;
    bool terminal_;
    std::chrono::seconds shown_{-1};
};

// Seconds of audio the input has delivered to the sink.
std::chrono::seconds Played(TPcmInput& input, int64_t bytesPerSecond) {
    return std::chrono::seconds(bytesPerSecond > 0 ? input.Position() / bytesPerSecond : 0);
}

// Plays the input to its end or to a stop; returns the exit status.
int Play(TPcmInput& input, const std::string& what, std::chrono::seconds total, bool quiet,
         StopSignals& signals, TSinkRunner& runner) {
    const int64_t bytesPerSecond = static_cast<int64_t>(input.GetSampleRate()) *
                                   input.GetChannels() * (input.GetBitsPerSample() / 8);
    if (!quiet) {
        std::cerr << "Playing " << TerminalText(what) << "\n";
    }
    PlayClock clock(total);
    TAudioOut out;
    out.SetInput(&input);
    std::string message;
    const SinkOutcome outcome = runner.Run(
        out, {},
        [&] {
            if (signals.Received() != 0) {
                runner.Stop();
            }
            if (!quiet && out.Busy()) {
                clock.Show(Played(input, bytesPerSecond));
            }
        },
        message);
    if (outcome == SinkOutcome::Failed) {
        ReportFileProblem("play", what, message);
        return 1;
    }
    if (!quiet) {
        clock.Finish(outcome == SinkOutcome::Done ? std::max(total, Played(input, bytesPerSecond))
                                                  : Played(input, bytesPerSecond));
    }
    if (signals.Received() != 0) {
        std::cerr << "quillon play: stopped\n";
        return signals.ExitStatus();
    }
    return 0;
}

int PlayFile(const std::string& file, bool quiet, StopSignals& signals, TSinkRunner& runner) {
    if (const std::string problem = AudioFileProblem(file); !problem.empty()) {
        ReportFileProblem("play", file, problem);
        return 1;
    }
    std::unique_ptr<TPcmFileIn> source;
    try {
        source = MakeSource(file);
    } catch (const std::exception& e) {
        ReportFileProblem("play", file, e.what());
        return 1;
    }
    if (!source) {
        ReportFileProblem("play", file, "Unsupported audio format");
        return 1;
    }
    if (const std::string problem = SourceProblem(*source); !problem.empty()) {
        ReportFileProblem("play", file, problem);
        return 1;
    }
    const double seconds = ReadSongInformation(file).MPEG.Duration;
    return Play(*source, file, std::chrono::seconds(std::lround(seconds)), quiet, signals, runner);
}

int PlayTrack(const DriveChoice& drive, int track, bool quiet, StopSignals& signals,
              TSinkRunner& runner) {
    int count = 0;
    const auto cdIn = OpenDisc("play", drive, count);
    if (!cdIn) {
        return 1;
    }
    if (track > count) {
        std::cerr << "quillon play: there is no track " << track << "; the disc has "
                  << (count == 1 ? "track 1" : "tracks 1 to " + std::to_string(count)) << "\n";
        return 1;
    }
    if (cdIn->TrackInfo(track).TrackType != ttAudio) {
        std::cerr << "quillon play: track " << track << " is a data track\n";
        return 1;
    }
    cdIn->SetStartTrack(track);
    cdIn->SetEndTrack(track);
    const int seconds = WholeSeconds(cdIn->TrackInfo(track).Length);
    return Play(*cdIn, "Track " + std::to_string(track) + " of " + DriveText(*cdIn),
                std::chrono::seconds(seconds), quiet, signals, runner);
}

int RunPlay(const std::vector<std::string>& args) {
    DriveChoice drive;
    bool driveGiven = false;
    int track = 0;
    OptionParser parser("play", "play [OPTIONS] FILE | play [OPTIONS] --track N", kDescription);
    parser
        .Value("drive", 'd', "N|FILE", kDriveHelp,
               [&](const std::string& value) {
                   driveGiven = true;
                   return drive.Take(value);
               })
        .Value("track", 't', "N", "the track of the disc to play (1 is the first)",
               [&](const std::string& text) {
                   const auto [end, error] =
                       std::from_chars(text.data(), text.data() + text.size(), track);
                   if (error != std::errc() || end != text.data() + text.size() || track < 1 ||
                       track > 99) {
                       return "invalid track '" + text + "'; valid values: 1 to 99";
                   }
                   return std::string();
               });
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    const std::vector<std::string>& files = parser.Operands();
    if (files.size() > 1) {
        return parser.UsageError("play takes one file, not " + std::to_string(files.size()));
    }
    if (!files.empty() && (driveGiven || track != 0)) {
        return parser.UsageError("a file is played without --drive and --track");
    }
    if (files.empty() && track == 0) {
        return parser.UsageError(driveGiven ? "--drive needs --track" : "no file given");
    }
    const bool quiet = parser.Level() == Verbosity::Quiet;

    TSinkRunner runner;
    // Before the sink starts its threads, which must inherit the blocked signals.
    StopSignals signals([&runner] { runner.Stop(); });
    if (files.empty()) {
        return PlayTrack(drive, track, quiet, signals, runner);
    }
    LoadCodecLibraries();
    struct Unload {
        ~Unload() { UnloadCodecLibraries(); }
    } unload;
    return PlayFile(files[0], quiet, signals, runner);
}

const CommandRegistrar registrar{{"play", WorkflowCommandSummary("play"), RunPlay}};

} // namespace

} // namespace quillon::cli
