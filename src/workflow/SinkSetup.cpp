#include "workflow/SinkSetup.h"

#include "codecs/FLACIn.h"
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
    return nullptr;
}

std::unique_ptr<TPcmFileIn> MakeSource(const std::string& fileName) {
    std::unique_ptr<TPcmFileIn> source;
    const std::string extension = UpperExtension(fileName);
    if (extension == ".WAV") {
        source = std::make_unique<TWaveIn>();
    } else if (extension == ".OGG") {
        source = std::make_unique<TVorbisIn>();
    } else if (extension == ".FLAC") {
        source = std::make_unique<TFLACIn>();
    }
    if (source) {
        source->SetFileName(fileName);
    }
    return source;
}

} // namespace quillon
