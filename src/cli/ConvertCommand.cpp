#include "cli/CommandRegistry.h"
#include "cli/InputFile.h"
#include "cli/OptionParser.h"
#include "cli/ProgressDisplay.h"
#include "cli/SetOption.h"
#include "cli/StopSignals.h"
#include "codecs/CodecLibraries.h"
#include "codecs/WaveOut.h"
#include "workflow/ConvertEngine.h"
#include "workflow/ConvertRows.h"
#include "workflow/OutputFileName.h"
#include "workflow/Settings.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

namespace quillon::cli {

namespace {

const char* const kDescription =
    "Converts audio files into the output format, folder and file names of the\n"
    "settings, with their tags, several at once (--jobs), and writes a playlist when\n"
    "the settings ask for one. Outputs are numbered by the position of their input on\n"
    "the command line. Existing outputs are overwritten unless --no-clobber is given.\n"
    "Inputs are MP3, WMA, Ogg Vorbis, FLAC, Monkey's Audio (APE) and WAV files; FFmpeg\n"
    "decodes MP3, WMA and the WAV codings the program does not read itself.\n";

// The format an output file name asks for by its extension: "" without one.
std::optional<std::string> FormatOfName(const std::string& fileName, std::string& problem) {
    const std::string extension = UpperExtension(fileName);
    if (extension.empty()) {
        return std::string();
    }
    const SettingDefinition& formats = *FindSetting("RipToFormat");
    const SettingCheck check = CheckSettingValue(formats, extension.substr(1));
    if (!check.value) {
        problem = "cannot tell the output format from the ending of '" + fileName +
                  "'; valid endings: ." + [&] {
                      std::string list;
                      for (const auto& entry : formats.entries) {
                          list += (list.empty() ? "" : ", .") + entry;
                      }
                      return list;
                  }();
    }
    return check.value;
}

// One file at a time per processor.
int DefaultJobs() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

struct ConvertOptions {
    std::string output;
    bool noClobber = false;
    bool blockSizeGiven = false;
    WavOutputOptions wav;
    int jobs = DefaultJobs();
};

int RunConvert(const std::vector<std::string>& args) {
    Settings settings = SettingsStore::Load();
    ConvertOptions options;
    OptionParser parser("convert", "convert [OPTIONS] FILE...", kDescription);
    AddSetOption(parser, settings, "--set RipToFormat=WAV --set ConvFilePath=/tmp/out")
        .Value("output", 'o', "FILE",
               "write the one input to FILE; its ending chooses the\n"
               "format (RipToFormat when it has none)",
               [&](const std::string& file) {
                   options.output = file;
                   return file.empty() ? std::string("the output file name is empty")
                                       : std::string();
               })
        .Value("jobs", 'j', "N",
               "convert up to N files at once (default: the number of\n"
               "processors, here " +
                   std::to_string(DefaultJobs()) + ")",
               [&](const std::string& text) {
                   const auto [end, error] =
                       std::from_chars(text.data(), text.data() + text.size(), options.jobs);
                   return error != std::errc() || end != text.data() + text.size() ||
                                  options.jobs < 1
                              ? "invalid value '" + text + "' for --jobs; a number from 1 up"
                              : std::string();
               })
        .Flag("no-clobber", 'n', "keep outputs that exist and pass over their inputs",
              [&] { options.noClobber = true; })
        .Value("wav-type", 0, "TYPE", "WAV output as pcm (default) or ima (IMA ADPCM)",
               [&](const std::string& type) {
                   options.wav.imaAdpcm = type == "ima";
                   return type == "pcm" || type == "ima"
                              ? std::string()
                              : "invalid value '" + type +
                                    "' for --wav-type; valid values: pcm, ima";
               })
        .Value("block-size", 0, "BYTES",
               "IMA ADPCM block size (default 512):\n" + ImaBlockSizesText(1) + " for mono,\n" +
                   ImaBlockSizesText(2) + " for stereo",
               [&](const std::string& text) {
                   int size = 0;
                   const auto [end, error] =
                       std::from_chars(text.data(), text.data() + text.size(), size);
                   options.blockSizeGiven = true;
                   options.wav.blockSize = size;
                   if (error != std::errc() || end != text.data() + text.size() ||
                       (!TWaveOut::ImaBlockSizeFits(size, 1) &&
                        !TWaveOut::ImaBlockSizeFits(size, 2))) {
                       return "invalid value '" + text +
                              "' for --block-size; valid values: " + ImaBlockSizesText(0) +
                              " (of 8 from 16 for stereo)";
                   }
                   return std::string();
               });
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    const std::vector<std::string>& files = parser.Operands();
    if (files.empty()) {
        return parser.UsageError("no files given");
    }
    if (options.blockSizeGiven && !options.wav.imaAdpcm) {
        return parser.UsageError("--block-size needs --wav-type ima");
    }
    if (!options.output.empty()) {
        if (files.size() > 1) {
            return parser.UsageError("--output takes one input file, not " +
                                     std::to_string(files.size()));
        }
        std::string problem;
        const auto format = FormatOfName(options.output, problem);
        if (!format) {
            return parser.UsageError(problem);
        }
        if (!format->empty()) {
            settings.Set("RipToFormat", *format);
        }
        // A playlist, when the settings ask for one, goes beside the output.
        const std::string folder = std::filesystem::path(options.output).parent_path().string();
        settings.Set("ConvFilePath", folder.empty() ? "." : folder);
    }
    if (const std::string problem = OutputSettingsProblem(settings, "ConvFilePath");
        !problem.empty()) {
        return parser.UsageError(problem);
    }
    const std::string format = settings.ListText("RipToFormat");

    // Files that cannot be read keep their row unticked, so that they keep their number.
    const auto started = std::chrono::steady_clock::now();
    ConvertSummary summary;
    std::vector<ConvertRow> rows;
    std::vector<double> durations;
    for (const auto& file : files) {
        std::string problem = AudioFileProblem(file);
        if (problem.empty()) {
            // A file can still fail to read after the check (a read error, a file that
            // changed); that is its own failure, not the batch's.
            try {
                rows.push_back(MakeConvertRow(file));
                rows.back().OutputFileName = options.output;
                durations.push_back(rows.back().Duration);
                continue;
            } catch (const std::exception& e) {
                problem = PathProblem(file);
                if (problem.empty()) {
                    problem = e.what();
                }
            }
        }
        ReportFileProblem("convert", file, problem);
        ++summary.failed;
        rows.push_back({});
        rows.back().FileName = file;
        rows.back().Checked = false;
    }

    // The Ogg Vorbis and FLAC libraries are loaded for the whole run, as the program does at
    // start; commands that only read tags do without them and start faster.
    LoadCodecLibraries();
    struct Unload {
        ~Unload() { UnloadCodecLibraries(); }
    } unload;

    // Checked before anything is written, so that a batch does not stop half way.
    if (format == "WAV") {
        for (const auto& row : rows) {
            const std::string problem =
                row.Checked ? WavOutputProblem(row.FileName, options.wav) : std::string();
            if (!problem.empty()) {
                std::cerr << "quillon convert: " << row.FileName << ": " << problem << "\n";
                return 2;
            }
        }
    }

    const bool quiet = parser.Level() == Verbosity::Quiet;
    if (parser.Level() == Verbosity::Verbose) {
        std::cerr << "Converting to " << format << " in "
                  << (options.output.empty() ? settings.Text("ConvFilePath") : options.output)
                  << (options.output.empty()
                          ? ", names " + settings.ListText("OutputFileNameFormat")
                          : std::string())
                  << "\n";
    }
    ProgressDisplay display(std::cerr, durations);
    std::map<int, std::string> outputs; // of the files being converted
    TConvertEngine engine;
    engine.KeepExistingOutputs = options.noClobber;
    engine.Jobs = options.jobs;
    engine.OnFileStarted = [&](int row, const std::string& output) {
        outputs[row] = output;
        if (!quiet) {
            display.Start(row, rows[row - 1].FileName);
        }
    };
    engine.OnProgress = [&](int row, int percent) {
        if (!quiet) {
            display.Update(row, percent);
        }
    };
    engine.OnFileDone = [&](int row) {
        if (!quiet) {
            display.Finish(row, rows[row - 1].FileName + " -> " + outputs[row]);
        }
    };
    engine.OnFileSkipped = [&](int row, const std::string& output) {
        if (!quiet) {
            display.Skip(rows[row - 1].FileName + ": skipped, " + output + " exists");
        }
    };
    engine.OnFileFailed = [&](int row, const std::string& message) {
        if (!quiet) {
            display.Finish(row, "");
        }
        ReportFileProblem("convert", rows[row - 1].FileName, message);
    };
    engine.OnFileStopped = [&](int row) {
        if (!quiet) {
            display.Finish(row, rows[row - 1].FileName + ": stopped");
        }
    };

    // Before the sinks start their threads, which must inherit the blocked signals.
    StopSignals signals([&engine] { engine.Stop(); });
    // The pump passes on a signal that came before the batch began.
    const ConvertSummary batch = engine.Convert(rows, settings, options.wav, [&] {
        if (signals.Received() != 0) {
            engine.Stop();
        }
    });
    summary.converted = batch.converted;
    summary.failed += batch.failed;
    summary.skipped = batch.skipped;
    if (signals.Received() != 0) {
        std::cerr << "quillon convert: stopped\n";
        return signals.ExitStatus();
    }
    if (!quiet) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - started);
        std::cerr << summary.converted << " converted, " << summary.failed << " failed, "
                  << summary.skipped << " skipped in " << ProgressDisplay::Clock(elapsed) << "\n";
    }
    return summary.failed > 0 ? 1 : 0;
}

const CommandRegistrar registrar{{"convert", WorkflowCommandSummary("convert"), RunConvert}};

} // namespace

} // namespace quillon::cli
