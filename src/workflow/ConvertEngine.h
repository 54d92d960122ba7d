#pragma once

#include "workflow/Settings.h"
#include "workflow/SinkRun.h"
#include "workflow/SinkSetup.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillon {

// Row status of a file whose conversion was stopped: its output was discarded. The one place
// of this text, so that a language file can replace it.
inline constexpr const char* kStatusStopped = "Stopped";
// Row status of a file or track whose output is complete.
inline constexpr const char* kStatusComplete = "Complete";

// One file of a conversion batch, as the converter's file list shows it.
struct ConvertRow {
    std::string FileName; // the input file (UTF-8 path)
    bool Checked = true;
    TrackTags Tags;      // UTF-8 texts
    double Duration = 0; // seconds
    std::string Status = "not converted";
    std::string OutputFileName; // when set, the output goes there instead of the pattern's name
};

struct ConvertSummary {
    int converted = 0;
    int failed = 0;
    int skipped = 0; // outputs that existed and were kept
    bool stopped = false;
};

// Converts a list of files into the format, folder and names the settings choose, each through
// its own pipeline, optionally collecting the results in a playlist. Up to Jobs files are
// converted at once (one by default); the names, the playlist's order, the events of each file
// and the summary are the same whatever the number. The calling thread starts the files and
// waits for their sinks, calling a pump function meanwhile so that a window stays responsive.
// Events marked "worker" arrive on a sink's worker thread, the others on the calling thread.
class TConvertEngine {
public:
    TConvertEngine();
    ~TConvertEngine();

    // Before a file's pipeline starts (calling thread): its row and output file name.
    std::function<void(int row, const std::string& outputFile)> OnFileStarted;
    // Percentage of a file being converted (worker; several at once when Jobs > 1).
    std::function<void(int row, int percent)> OnProgress;
    // The file is complete (calling thread).
    std::function<void(int row)> OnFileDone;
    // The file could not be converted (calling thread); the batch goes on with the next one.
    std::function<void(int row, const std::string& message)> OnFileFailed;
    // The output exists and KeepExistingOutputs is set, so the row is passed over (calling
    // thread).
    std::function<void(int row, const std::string& outputFile)> OnFileSkipped;
    // The file's conversion was stopped (calling thread): nothing was written under its output
    // name (an older file of that name is unchanged), the row's Status is kStatusStopped, the
    // file is neither counted nor listed in the playlist, and the batch ends. Only one of
    // OnFileDone, OnFileFailed and OnFileStopped is raised for a file.
    std::function<void(int row)> OnFileStopped;
    // Every row was handled or the batch was stopped; informUser is the "InformWhenDone"
    // setting (calling thread).
    std::function<void(bool informUser)> OnFinished;

    // Runs the batch over the ticked rows (row numbers are 1-based in events and names).
    ConvertSummary Convert(std::vector<ConvertRow>& rows, const Settings& settings,
                           const WavOutputOptions& wav = {},
                           const std::function<void()>& pump = {});
    // Leaves outputs that exist alone instead of writing over them.
    bool KeepExistingOutputs = false;
    // How many files are converted at once; values below 1 count as 1.
    int Jobs = 1;

    // Stops the files being converted, whose outputs are discarded (OnFileStopped), and ends
    // the batch; later rows stay "not converted". A file that was already complete when the
    // stop reached its sink is kept and reported done. Any thread.
    void Stop();

private:
    struct Job;

    SinkOutcome ConvertOne(const ConvertRow& row, int number, const std::string& output,
                           const Settings& settings, const WavOutputOptions& wav,
                           TSinkRunner& runner, std::string& message);
    // Whether row's input or output is the output of a file still being converted, so that it
    // must wait for that file as it would in a batch of one file at a time.
    bool WaitsForRunningJob(const ConvertRow& row, const std::string& output) const;

    std::mutex jobsMutex_;
    std::condition_variable jobEnded_;
    std::vector<std::unique_ptr<Job>> jobs_; // the files being converted
    std::atomic<bool> stopRequested_{false};
};

// The status text of a row while its file is converted.
std::string ProgressStatus(int percent);

} // namespace quillon
