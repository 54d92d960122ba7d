#include "workflow/ConvertEngine.h"

#include "workflow/OutputFileName.h"
#include "workflow/Playlist.h"
#include "workflow/SourceChain.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <thread>

namespace quillon {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

} // namespace

std::string ProgressStatus(int percent) {
    return std::to_string(percent) + "% Done";
}

// One file being converted on a thread of its own, which waits for the file's sink.
struct TConvertEngine::Job {
    size_t index = 0;
    std::string output;
    TSinkRunner runner;
    std::thread thread;
    bool finished = false; // guarded by jobsMutex_
    SinkOutcome outcome = SinkOutcome::Failed;
    std::string message;
};

TConvertEngine::TConvertEngine() = default;
TConvertEngine::~TConvertEngine() = default;

ConvertSummary TConvertEngine::Convert(std::vector<ConvertRow>& rows, const Settings& settings,
                                       const WavOutputOptions& wav,
                                       const std::function<void()>& pump) {
    ConvertSummary summary;
    const std::string folderSetting = settings.Text("ConvFilePath");
    const std::string folder = WithoutTrailingSeparator(folderSetting);
    const std::string folderProblem = MakeOutputFolder(folderSetting, "ConvFilePath");
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
    const size_t jobLimit = static_cast<size_t>(std::max(Jobs, 1));
    std::vector<std::string> outputs(rows.size()); // of the rows whose output is complete

    // Ends a job: its events, its row's status and the summary, in the calling thread.
    const auto conclude = [&](Job& job) {
        ConvertRow& row = rows[job.index];
        const int number = static_cast<int>(job.index) + 1;
        switch (job.outcome) {
        case SinkOutcome::Failed:
            ++summary.failed;
            if (OnFileFailed) {
                OnFileFailed(number, job.message);
            }
            break;
        case SinkOutcome::Stopped:
            row.Status = kStatusStopped;
            if (OnFileStopped) {
                OnFileStopped(number);
            }
            break;
        case SinkOutcome::Done:
            row.Status = kStatusComplete;
            ++summary.converted;
            outputs[job.index] = job.output;
            if (OnFileDone) {
                OnFileDone(number);
            }
            break;
        }
    };
    // Waits until a job has ended, pumping meanwhile, and concludes the ended ones in row order.
    const auto concludeEnded = [&] {
        std::vector<std::unique_ptr<Job>> ended;
        {
            std::unique_lock lock(jobsMutex_);
            while (std::none_of(jobs_.begin(), jobs_.end(),
                                [](const auto& job) { return job->finished; })) {
                if (pump) {
                    lock.unlock();
                    pump();
                    lock.lock();
                }
                jobEnded_.wait_for(lock, std::chrono::milliseconds(20));
            }
            const auto split = std::stable_partition(
                jobs_.begin(), jobs_.end(), [](const auto& job) { return !job->finished; });
            std::move(split, jobs_.end(), std::back_inserter(ended));
            jobs_.erase(split, jobs_.end());
        }
        for (auto& job : ended) {
            job->thread.join();
            conclude(*job);
        }
    };

    size_t next = 0;
    while (true) {
        while (next < rows.size() && !stopRequested_) {
            const ConvertRow& row = rows[next];
            if (!row.Checked) {
                ++next;
                continue;
            }
            // Numbers follow the row positions, so a file's name does not depend on whether
            // the files before it converted.
            const int number = static_cast<int>(next) + 1;
            const std::string output =
                !row.OutputFileName.empty()
                    ? row.OutputFileName
                    : MakeOutputFileName(pattern, number, format, row.Tags.Title, row.Tags.Artist,
                                         folder);
            {
                std::lock_guard lock(jobsMutex_);
                if (jobs_.size() >= jobLimit || WaitsForRunningJob(row, output)) {
                    break;
                }
            }
            ++next;
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
            auto job = std::make_unique<Job>();
            job->index = next - 1;
            job->output = output;
            Job& started = *job;
            std::lock_guard lock(jobsMutex_);
            jobs_.push_back(std::move(job));
            if (stopRequested_) {
                // A stop between the check above and now still reaches this job.
                started.runner.Stop();
            }
            started.thread = std::thread([this, &started, row, number, &settings, &wav] {
                std::string message;
                const SinkOutcome outcome =
                    ConvertOne(row, number, started.output, settings, wav, started.runner, message);
                std::lock_guard lock(jobsMutex_);
                started.outcome = outcome;
                started.message = std::move(message);
                started.finished = true;
                jobEnded_.notify_all();
            });
        }
        {
            std::lock_guard lock(jobsMutex_);
            if (jobs_.empty()) {
                break;
            }
        }
        concludeEnded();
    }

    summary.stopped = stopRequested_;
    if (OnFinished) {
        OnFinished(settings.Boolean("InformWhenDone"));
    }
    // Only finished files are listed, in the order of the rows: a playlist entry must name a
    // file that exists.
    TPlaylist playlist;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!outputs[i].empty()) {
            playlist.Add(outputs[i], rows[i].Tags.Artist + "-" + rows[i].Tags.Title,
                         static_cast<int>(std::lround(rows[i].Duration)));
        }
    }
    SavePlaylist(playlist, folder, settings);
    return summary;
}

bool TConvertEngine::WaitsForRunningJob(const ConvertRow& row, const std::string& output) const {
    const auto same = [](const std::string& a, const std::string& b) {
        return std::filesystem::path(a).lexically_normal() ==
               std::filesystem::path(b).lexically_normal();
    };
    return std::any_of(jobs_.begin(), jobs_.end(), [&](const auto& job) {
        return same(job->output, output) || same(job->output, row.FileName);
    });
}

SinkOutcome TConvertEngine::ConvertOne(const ConvertRow& row, int number, const std::string& output,
                                       const Settings& settings, const WavOutputOptions& wav,
                                       TSinkRunner& runner, std::string& message) {
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
        return SinkOutcome::Failed;
    }
    if (!source) {
        message = "Unsupported audio format";
        return SinkOutcome::Failed;
    }
    if (message = SourceProblem(*source); !message.empty()) {
        return SinkOutcome::Failed;
    }
    if (!sink) {
        message = MissingSinkMessage(request, settings);
        return SinkOutcome::Failed;
    }
    if (SameFile(row.FileName, output)) {
        // Writing over the file being read would destroy it.
        message = "The output file is the input file: " + output;
        return SinkOutcome::Failed;
    }

    TSourceChain chain(std::move(source));
    sink->SetInput(&chain.Output());
    const SinkOutcome outcome = runner.Run(
        *sink,
        [this, number](int percent) {
            // FFmpeg's Size counts whole seconds, so that the rest of a file reads beyond 100.
            if (OnProgress) {
                OnProgress(number, std::min(percent, 100));
            }
        },
        {}, message);
    // The sink goes before its source, which it holds as its input.
    sink.reset();
    return outcome;
}

void TConvertEngine::Stop() {
    std::lock_guard lock(jobsMutex_);
    stopRequested_ = true;
    for (const auto& job : jobs_) {
        job->runner.Stop();
    }
}

} // namespace quillon
