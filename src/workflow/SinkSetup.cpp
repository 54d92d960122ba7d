#include "workflow/SinkSetup.h"

#include "codecs/DX9In.h"
#include "codecs/FLACIn.h"
#include "codecs/MACIn.h"
#include "codecs/VorbisIn.h"
#include "codecs/WaveIn.h"
#include "codecs/WaveOut.h"
#include "workflow/CodecSinkSetup.h"

#include <algorithm>
#include <cctype>

namespace quillon {

namespace {

std::unique_ptr<TPcmFileOut> MakeWavSink(const SinkRequest& request) {
    auto sink = std::make_unique<TWaveOut>();
    sink->SetFileName(request.fileName);
    if (request.wav.imaAdpcm) {
        sink->SetWavType(wtDVIADPCM);
        sink->SetBlockSize(static_cast<uint16_t>(request.wav.blockSize));
    }
    return sink;
}

// The WAV reader takes PCM, ADPCM and MPEG data in a plain header; float samples, extensible
// headers and other codings go to FFmpeg instead. A file that cannot be opened at all stays
// with the WAV reader, which reports why.
std::unique_ptr<TPcmFileIn> MakeWavSource(const std::string& fileName) {
    auto wave = std::make_unique<TWaveIn>();
    wave->SetFileName(fileName);
    bool decodes = true;
    try {
        wave->OpenFile();
        decodes = wave->Valid();
        wave->CloseFile();
    } catch (const std::exception&) {
        return wave;
    }
    if (decodes) {
        return wave;
    }
    return std::make_unique<TDX9In>();
}

} // namespace

std::string UpperExtension(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = fileName.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension;
}

std::unique_ptr<TPcmFileOut> MakeSink(const SinkRequest& request, const Settings& settings) {
    if (request.format == "WAV") {
        return MakeWavSink(request);
    }
    if (request.format == "MP3") {
        return MakeMp3Sink(request, settings);
    }
    if (request.format == "OGG") {
        return MakeVorbisSink(request, settings);
    }
    if (request.format == "FLAC") {
        return MakeFlacSink(request);
    }
    if (request.format == "WMA") {
        return MakeWmaSink(request, settings);
    }
    if (request.format == "APE") {
        return MakeApeSink(request, settings);
    }
    return nullptr;
}

std::unique_ptr<TPcmFileIn> MakeSource(const std::string& fileName) {
    std::unique_ptr<TPcmFileIn> source;
    const std::string extension = UpperExtension(fileName);
    if (extension == ".WAV") {
        source = MakeWavSource(fileName);
    } else if (extension == ".OGG") {
        source = std::make_unique<TVorbisIn>();
    } else if (extension == ".FLAC") {
        source = std::make_unique<TFLACIn>();
    } else if (extension == ".MP3" || extension == ".WMA") {
        source = std::make_unique<TDX9In>();
    } else if (extension == ".APE") {
        source = std::make_unique<TMACIn>();
    }
    if (source) {
        source->SetFileName(fileName);
    }
    return source;
}

std::string MissingSinkMessage(const SinkRequest& request, const Settings& settings) {
    return request.format.empty()
               ? "No output format is chosen: \"" + settings.Text("RipToFormat") +
                     "\" is not one of MP3, WMA, OGG, WAV, APE, FLAC"
               : "Output to " + request.format + " is not available yet";
}

} // namespace quillon
