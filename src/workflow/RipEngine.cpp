#include "workflow/RipEngine.h"

#include "cd/CDIn.h"
#include "workflow/DiscText.h"
#include "workflow/OutputFileName.h"
#include "workflow/Playlist.h"

#include <algorithm>

namespace quillon {

std::vector<RipRow> MakeRipRows(int trackCount) {
    std::vector<RipRow> rows(static_cast<size_t>(std::max(0, trackCount)));
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].Track = static_cast<int>(i) + 1;
        rows[i].Tags.Title = "Track " + std::to_string(rows[i].Track);
    }
    return rows;
}

RipSummary TRipEngine::Rip(TCDIn& cdIn, std::vector<RipRow>& rows, const Settings& settings,
                           const std::function<void()>& pump) {
    RipSummary summary;
    runner_.Begin();
    currentTrack_ = 0;
    const std::string folderSetting = settings.Text("FilePath");
    const std::string folder = WithoutTrailingSeparator(folderSetting);
    if (const std::string problem = MakeOutputFolder(folderSetting, "FilePath"); !problem.empty()) {
        // Nothing is written, not even into the root folder that an empty folder name leads to.
        for (RipRow& row : rows) {
            if (row.Checked) {
                ++summary.failed;
                row.Status = kStatusFailed;
                if (OnTrackFailed) {
                    OnTrackFailed(row.Track, problem);
                }
            }
        }
        if (OnFinished) {
            OnFinished(settings.Boolean("InformWhenDone"));
        }
        return summary;
    }
    // The extension of every track is the format chosen when the rip starts.
    const std::string format = settings.ListText("RipToFormat");
    const int pattern = settings.ListPosition("OutputFileNameFormat");
    TPlaylist playlist;

    for (size_t i = 0; i < rows.size() && !runner_.StopRequested(); ++i) {
        RipRow& row = rows[i];
        if (!row.Checked) {
            continue;
        }
        currentTrack_ = row.Track;
        const std::string output =
            MakeOutputFileName(pattern, row.Track, format, row.Tags.Title, row.Tags.Artist, folder);
        if (OnTrackStarted) {
            OnTrackStarted(row.Track, output);
        }
        std::string message;
        switch (RipOne(cdIn, row, output, settings, row.Status, pump, message)) {
        case SinkOutcome::Failed:
            ++summary.failed;
            row.Status = kStatusFailed;
            if (OnTrackFailed) {
                OnTrackFailed(row.Track, message);
            }
            break;
        case SinkOutcome::Stopped:
            row.Status = kStatusStopped;
            if (OnTrackStopped) {
                OnTrackStopped(row.Track);
            }
            break;
        case SinkOutcome::Done: {
            row.Status = kStatusComplete;
            ++summary.ripped;
            // Only finished tracks are listed: a playlist entry must name a file that exists.
            int seconds = 0;
            try {
                seconds = WholeSeconds(cdIn.TrackInfo(row.Track).Length);
            } catch (const std::exception&) {
                // The disc went away after the track was ripped; the entry stays, without length.
            }
            playlist.Add(output, row.Tags.Artist + "-" + row.Tags.Title, seconds);
            if (OnTrackDone) {
                OnTrackDone(row.Track);
            }
            break;
        }
        }
    }
    summary.stopped = runner_.StopRequested();
    if (OnFinished) {
        OnFinished(settings.Boolean("InformWhenDone"));
    }
    SavePlaylist(playlist, folder, settings);
    return summary;
}

SinkOutcome TRipEngine::RipOne(TCDIn& cdIn, const RipRow& row, const std::string& output,
                               const Settings& settings, std::string& status,
                               const std::function<void()>& pump, std::string& message) {
    SinkRequest request;
    // Encoder settings are read again for every track; only the extension stays fixed.
    request.format = settings.ListText("RipToFormat");
    request.fileName = output;
    request.tags = row.Tags;
    request.trackNumber = row.Track;
    request.ripping = true;
    std::unique_ptr<TPcmFileOut> sink;
    try {
        cdIn.SetStartTrack(row.Track);
        cdIn.SetEndTrack(row.Track);
        // Sinks refuse construction when their codec library is missing.
        sink = MakeSink(request, settings);
    } catch (const std::exception& e) {
        message = e.what();
        return SinkOutcome::Failed;
    }
    if (!sink) {
        message = MissingSinkMessage(request, settings);
        return SinkOutcome::Failed;
    }
    sink->SetInput(&cdIn);
    // The worker only posts the percentage; the row's text changes on this thread.
    std::atomic<int> percent{-1};
    int shown = -1;
    const SinkOutcome outcome = runner_.Run(
        *sink,
        [this, &percent, &row](int value) {
            percent = value;
            if (OnProgress) {
                OnProgress(row.Track, value);
            }
        },
        [&] {
            if (const int now = percent; now >= 0 && now != shown) {
                shown = now;
                status = ProgressStatus(now);
            }
            if (pump) {
                pump();
            }
        },
        message);
    sink.reset();
    return outcome;
}

} // namespace quillon
