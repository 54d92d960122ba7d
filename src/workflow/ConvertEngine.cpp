#include "workflow/ConvertEngine.h"

#include "workflow/OutputFileName.h"
#include "workflow/Playlist.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>

namespace quillon {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Completion of one sink run, signalled from the worker thread.
struct RunState {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool failed = false;
    bool stopped = false; // the sink discarded its output
    std::string message;
};

// Opens a source once to see whether it recognises its file and holds audio. Sources do not
// refuse a file they cannot decode or that is empty; they deliver no audio, which would make
// an empty output look like a successful conversion.
bool Readable(TPcmFileIn& source, std::string& message) {
    try {
        source.OpenFile();
        const bool valid = source.Valid();
        const bool empty = valid && source.Size() == 0;
        source.CloseFile();
        if (!valid) {
            message = "The file is damaged or not in a supported audio format";
        } else if (empty) {
            message = "The file holds no audio";
        }
        return valid && !empty;
    } catch (const std::exception& e) {
        message = e.what();
        return false;
    }
}

} // namespace

std::string ProgressStatus(int percent) {
    return std::to_string(percent) + "% Done";
}

ConvertSummary TConvertEngine::Convert(std::vector<ConvertRow>& rows, const Settings& settings,
                                       const WavOutputOptions& wav,
                                       const std::function<void()>& pump) {
    ConvertSummary summary;
    const std::string folderSetting = settings.Text("ConvFilePath");
    const std::string folder = WithoutTrailingSeparator(folderSetting);
    std::string folderProblem = OutputFolderProblem(folderSetting, "ConvFilePath");
    if (folderProblem.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folderSetting, error);
        if (!std::filesystem::is_directory(folderSetting, error)) {
            folderProblem = "cannot make the output folder '" + folderSetting + "'";
        }
    }
    if (!folderProblem.empty()) {
        // Nothing is written, not even into the root folder that an empty folder name leads to.
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].Checked) {
                ++summary.failed;
                if (OnFileFailed) {
                    OnFileFailed(static_cast<int>(i) + 1, folderProblem);
                }
            }
        }
        if (OnFinished) {
            OnFinished(settings.Boolean("InformWhenDone"));
        }
        return summary;
    }
    stopRequested_ = false;
    const std::string format = settings.ListText("RipToFormat");
    const int pattern = settings.ListPosition("OutputFileNameFormat");
    TPlaylist playlist;

    for (size_t i = 0; i < rows.size() && !stopRequested_; ++i) {
        ConvertRow& row = rows[i];
        if (!row.Checked) {
            continue;
        }
        // Numbers follow the row positions, so a file's name does not depend on whether the
        // files before it converted.
        const int number = static_cast<int>(i) + 1;
        const std::string output = !row.OutputFileName.empty()
                                       ? row.OutputFileName
                                       : MakeOutputFileName(pattern, number, format, row.Tags.Title,
                                                            row.Tags.Artist, folder);
        std::error_code existsError;
        if (KeepExistingOutputs && std::filesystem::exists(output, existsError)) {
            ++summary.skipped;
            if (OnFileSkipped) {
                OnFileSkipped(number, output);
            }
            continue;
        }
        if (OnFileStarted) {
            OnFileStarted(number, output);
        }
        std::string message;
        switch (ConvertOne(row, number, output, settings, wav, pump, message)) {
        case Outcome::Failed:
            ++summary.failed;
            if (OnFileFailed) {
                OnFileFailed(number, message);
            }
            break;
        case Outcome::Stopped:
            row.Status = kStatusStopped;
            if (OnFileStopped) {
                OnFileStopped(number);
            }
            break;
        case Outcome::Done:
            row.Status = "Complete";
            ++summary.converted;
            // Only finished files are listed: a playlist entry must name a file that exists.
            playlist.Add(output, row.Tags.Artist + "-" + row.Tags.Title,
                         static_cast<int>(std::lround(row.Duration)));
            if (OnFileDone) {
                OnFileDone(number);
            }
            break;
        }
    }
    summary.stopped = stopRequested_;
    if (OnFinished) {
        OnFinished(settings.Boolean("InformWhenDone"));
    }
    SavePlaylist(playlist, folder,
                 static_cast<TPlaylistChoice>(std::max(0, settings.ListPosition("SavePlayList"))));
    return summary;
}

TConvertEngine::Outcome
TConvertEngine::ConvertOne(ConvertRow& row, int number, const std::string& output,
                           const Settings& settings, const WavOutputOptions& wav,
                           const std::function<void()>& pump, std::string& message) {
    std::unique_ptr<TPcmFileIn> source;
    std::unique_ptr<TPcmFileOut> sink;
    SinkRequest request;
    request.format = settings.ListText("RipToFormat");
    request.fileName = output;
    request.tags = row.Tags;
    request.trackNumber = number;
    request.wav = wav;
    try {
        // Components refuse construction when their codec library is missing.
        source = MakeSource(row.FileName);
        sink = source ? MakeSink(request, settings) : nullptr;
    } catch (const std::exception& e) {
        message = e.what();
        return Outcome::Failed;
    }
    if (!source) {
        message = "Unsupported audio format";
        return Outcome::Failed;
    }
    if (!Readable(*source, message)) {
        return Outcome::Failed;
    }
    if (!sink) {
        message = request.format.empty()
                      ? "No output format is chosen: \"" + settings.Text("RipToFormat") +
                            "\" is not one of MP3, WMA, OGG, WAV, APE, FLAC"
                      : "Output to " + request.format + " is not available yet";
        return Outcome::Failed;
    }
    if (SameFile(row.FileName, output)) {
        // Writing over the file being read would destroy it.
        message = "The output file is the input file: " + output;
        return Outcome::Failed;
    }

    RunState state;
    sink->OnProgress = [this, number](TPcmOutput& sender) {
        if (OnProgress) {
            OnProgress(number, sender.Progress());
        }
    };
    sink->OnDone = [&state](TPcmOutput& sender) {
        std::lock_guard lock(state.mutex);
        state.done = true;
        state.stopped = sender.Stopped();
        state.changed.notify_all();
    };
    sink->OnThreadException = [&state](TPcmOutput&, const std::exception& e) {
        std::lock_guard lock(state.mutex);
        state.failed = true;
        state.message = e.what();
        state.changed.notify_all();
    };
    sink->SetInput(source.get());
    {
        std::lock_guard lock(mutex_);
        currentSink_ = sink.get();
    }
    if (stopRequested_) {
        // Stopped before its sink ran: no file was started.
        std::lock_guard lock(mutex_);
        currentSink_ = nullptr;
        return Outcome::Stopped;
    }
    try {
        sink->Run();
    } catch (const std::exception& e) {
        std::lock_guard lock(state.mutex);
        state.failed = true;
        state.message = e.what();
    }
    // Run clears a stop that reached the sink while it prepared; this one takes over.
    if (stopRequested_) {
        sink->Stop();
    }
    {
        std::unique_lock lock(state.mutex);
        while (!state.done && !state.failed) {
            if (pump) {
                lock.unlock();
                pump();
                lock.lock();
            }
            state.changed.wait_for(lock, std::chrono::milliseconds(20));
        }
    }
    {
        std::lock_guard lock(mutex_);
        currentSink_ = nullptr;
    }
    sink.reset();
    if (state.failed) {
        message = state.message;
        return Outcome::Failed;
    }
    return state.stopped ? Outcome::Stopped : Outcome::Done;
}

void TConvertEngine::Stop() {
    stopRequested_ = true;
    std::lock_guard lock(mutex_);
    if (currentSink_ != nullptr) {
        currentSink_->Stop();
    }
}

} // namespace quillon
