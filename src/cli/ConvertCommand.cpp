#include "cli/CommandRegistry.h"
#include "cli/ProgressDisplay.h"
#include "cli/StopSignals.h"
#include "codecs/CodecLibraries.h"
#include "workflow/ConvertEngine.h"
#include "workflow/ConvertRows.h"
#include "workflow/Settings.h"

#include <iostream>

namespace quillon::cli {

namespace {

void PrintHelp() {
    std::cout << "Usage: quillon convert FILE... [--set NAME=VALUE]... [--wav-type pcm|ima]\n"
                 "                       [--block-size BYTES]\n\n"
                 "Converts audio files one after another into the output format, folder and file\n"
                 "names of the settings, with their tags, and writes a playlist when the settings\n"
                 "ask for one.\n\n"
                 "  --set NAME=VALUE   overrides a setting for this run, for example\n"
                 "                     --set RipToFormat=WAV --set ConvFilePath=/tmp/out\n"
                 "                     (RipToFormat, ConvFilePath, OutputFileNameFormat,\n"
                 "                     SavePlayList and the encoder settings)\n"
                 "  --wav-type TYPE    WAV output as pcm (default) or ima (IMA ADPCM)\n"
                 "  --block-size BYTES IMA ADPCM block size, a multiple of 4 (default 512)\n";
}

int Fail(const std::string& message) {
    std::cerr << "quillon convert: " << message << "\n";
    return 2;
}

int RunConvert(const std::vector<std::string>& args) {
    // The Ogg Vorbis and FLAC libraries are loaded for the whole run, as the program does at
    // start; commands that only read tags do without them and start faster.
    LoadCodecLibraries();
    struct Unload {
        ~Unload() { UnloadCodecLibraries(); }
    } unload;
    Settings settings = SettingsStore::Load();
    WavOutputOptions wav;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--set" && hasValue) {
            const std::string assignment = args[++i];
            const auto eq = assignment.find('=');
            if (eq == std::string::npos ||
                !settings.Set(assignment.substr(0, eq), assignment.substr(eq + 1))) {
                return Fail("unknown setting in --set " + assignment);
            }
        } else if (arg == "--wav-type" && hasValue) {
            const std::string type = args[++i];
            if (type != "pcm" && type != "ima") {
                return Fail("--wav-type must be pcm or ima");
            }
            wav.imaAdpcm = type == "ima";
        } else if (arg == "--block-size" && hasValue) {
            const std::string text = args[++i];
            const int size = std::atoi(text.c_str());
            if (size <= 0 || size > 65532 || size % 4 != 0 || std::to_string(size) != text) {
                return Fail("--block-size must be a multiple of 4 between 4 and 65532");
            }
            wav.blockSize = size;
        } else if (arg.rfind("--", 0) == 0) {
            return Fail("unknown option " + arg + " (see 'quillon convert --help')");
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        return Fail("no files given (see 'quillon convert --help')");
    }
    if (settings.ListText("RipToFormat").empty()) {
        return Fail("RipToFormat \"" + settings.Text("RipToFormat") +
                    "\" is not one of MP3, WMA, OGG, WAV, APE, FLAC");
    }

    int status = 0;
    std::vector<ConvertRow> rows;
    for (const auto& file : files) {
        if (!IsConvertibleFile(file)) {
            std::cerr << "quillon convert: " << file << ": not an audio file this program reads\n";
            status = 1;
            continue;
        }
        rows.push_back(MakeConvertRow(file));
    }

    ProgressDisplay display(std::cerr);
    TConvertEngine engine;
    engine.OnFileStarted = [&](int row, const std::string& output) {
        display.Start(rows[row - 1].FileName, output);
    };
    engine.OnProgress = [&](int, int percent) { display.Update(percent); };
    engine.OnFileDone = [&](int) { display.Finish("done"); };
    engine.OnFileFailed = [&](int row, const std::string& message) {
        display.Finish("failed");
        std::cerr << "quillon convert: " << rows[row - 1].FileName << ": " << message << "\n";
    };
    engine.OnFileStopped = [&](int) { display.Finish("stopped"); };

    // Before the sinks start their threads, which must inherit the blocked signals.
    StopSignals signals([&engine] { engine.Stop(); });
    // The pump passes on a signal that came before the batch began.
    const ConvertSummary summary = engine.Convert(rows, settings, wav, [&] {
        if (signals.Received() != 0) {
            engine.Stop();
        }
    });
    if (signals.Received() != 0) {
        std::cerr << "quillon convert: stopped\n";
        return signals.ExitStatus();
    }
    return summary.failed > 0 ? 1 : status;
}

const CommandRegistrar registrar{{"convert", WorkflowCommandSummary("convert"), RunConvert}};

} // namespace

} // namespace quillon::cli
