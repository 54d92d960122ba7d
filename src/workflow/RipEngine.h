#pragma once

#include "workflow/ConvertEngine.h"
#include "workflow/Settings.h"
#include "workflow/SinkRun.h"
#include "workflow/SinkSetup.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

class TCDIn;

// Row states of the track list besides the progress (ProgressStatus), kStatusComplete and
// kStatusStopped.
inline constexpr const char* kStatusNotRipped = "not ripped";
inline constexpr const char* kStatusFailed = "Failed";

// One track of the disc, as the track list shows it.
struct RipRow {
    int Track = 0; // the track number on the disc
    bool Checked = true;
    TrackTags Tags; // UTF-8 texts; a fresh row's title is "Track " and its number
    std::string Status = kStatusNotRipped;
};

// The rows of a disc's tracks, all ticked, titled "Track n".
std::vector<RipRow> MakeRipRows(int trackCount);

struct RipSummary {
    int ripped = 0;
    int failed = 0;
    bool stopped = false;
};

// Rips the ticked tracks of the disc in a CD source one after another into the format, folder
// and names the settings choose, each through its own pipeline, optionally collecting them in
// a playlist. It runs on the calling thread and waits for each track's sink, calling a pump
// function meanwhile so that a window stays responsive. Events marked "worker" arrive on the
// sink's worker thread; the others on the calling thread.
//
// A track whose sink fails (a data track, an unreadable disc, an output that cannot be
// written) is reported through OnTrackFailed, its row shows kStatusFailed, whatever the sink
// had written of it is discarded, and the rip goes on with the next ticked track; every sink
// run ends in its completion or its failure, so the rip never waits for a completion that
// cannot come. The finish (OnFinished, the playlist) follows as after a clean rip.
class TRipEngine {
public:
    // Before a track's pipeline starts: its number and output file name.
    std::function<void(int track, const std::string& outputFile)> OnTrackStarted;
    // Percentage of the current track (worker).
    std::function<void(int track, int percent)> OnProgress;
    // The track is complete.
    std::function<void(int track)> OnTrackDone;
    // The track could not be ripped; the rip goes on with the next ticked track.
    std::function<void(int track, const std::string& message)> OnTrackFailed;
    // The track's rip was stopped: nothing was written under its output name (an older file of
    // that name is unchanged), its row shows kStatusStopped, later rows stay as they were, and
    // the rip ends. Only one of OnTrackDone, OnTrackFailed and OnTrackStopped is raised for a
    // track.
    std::function<void(int track)> OnTrackStopped;
    // Every ticked row was handled or the rip was stopped; informUser is the "InformWhenDone"
    // setting. The playlist is saved right after.
    std::function<void(bool informUser)> OnFinished;

    // Rips the ticked rows from the disc in cdIn's current drive. The folder is "FilePath"
    // (created with its parents), the format "RipToFormat" as it is when the rip starts, the
    // names come from "OutputFileNameFormat"; the playlist ("SavePlayList") lists the finished
    // tracks with their lengths from the table of contents.
    RipSummary Rip(TCDIn& cdIn, std::vector<RipRow>& rows, const Settings& settings,
                   const std::function<void()>& pump = {});

    // Stops the current track, whose output is discarded (OnTrackStopped), and ends the rip. A
    // track that was already complete when the stop reached its sink is kept and reported done.
    // Any thread.
    void Stop() { runner_.Stop(); }

    // The track being ripped (0 before the first), the sink ripping it (nullptr between
    // tracks), whether that sink has finished, and whether a stop was asked for.
    int CurrentTrack() const { return currentTrack_; }
    TPcmOutput* CurrentSink() const { return runner_.CurrentSink(); }
    bool TrackDone() const { return runner_.TrackDone(); }
    bool StopRequested() const { return runner_.StopRequested(); }

private:
    SinkOutcome RipOne(TCDIn& cdIn, const RipRow& row, const std::string& output,
                       const Settings& settings, std::string& status,
                       const std::function<void()>& pump, std::string& message);

    TSinkRunner runner_;
    std::atomic<int> currentTrack_{0};
};

} // namespace quillon
