#include "workflow/ConvertEngine.h"

#include "workflow/OutputFileName.h"
#include "workflow/Playlist.h"
#include "workflow/SourceChain.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

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
    runner_.Begin();
    const std::string format = settings.ListText("RipToFormat");
    const int pattern = settings.ListPosition("OutputFileNameFormat");
    TPlaylist playlist;

    for (size_t i = 0; i < rows.size() && !runner_.StopRequested(); ++i) {
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
        case SinkOutcome::Failed:
            ++summary.failed;
            if (OnFileFailed) {
                OnFileFailed(number, message);
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
            // Only finished files are listed: a playlist entry must name a file that exists.
            playlist.Add(output, row.Tags.Artist + "-" + row.Tags.Title,
                         static_cast<int>(std::lround(row.Duration)));
            if (OnFileDone) {
                OnFileDone(number);
            }
            break;
        }
    }
    summary.stopped = runner_.StopRequested();
    if (OnFinished) {
        OnFinished(settings.Boolean("InformWhenDone"));
    }
    SavePlaylist(playlist, folder, settings);
    return summary;
}

SinkOutcome TConvertEngine::ConvertOne(ConvertRow& row, int number, const std::string& output,
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
    const SinkOutcome outcome = runner_.Run(
        *sink,
        [this, number](int percent) {
            // FFmpeg's Size counts whole seconds, so that the rest of a file reads beyond 100.
            if (OnProgress) {
                OnProgress(number, std::min(percent, 100));
            }
        },
        pump, message);
    // The sink goes before its source, which it holds as its input.
    sink.reset();
    return outcome;
}

void TConvertEngine::Stop() {
    runner_.Stop();
}

} // namespace quillon
