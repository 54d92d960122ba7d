#include "platform/FFmpegLibrary.h"

#include "platform/DynamicLibrary.h"

#include <memory>
#include <string>

namespace quillon {

namespace {

struct FFmpegLibraries {
    DynamicLibrary Util{"libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR), true};
    DynamicLibrary Resample{"libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR),
                            true};
    DynamicLibrary Codec{"libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR), true};
    DynamicLibrary Format{"libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR), true};
    FFmpegEntries entries;
    bool complete = true;
};

std::unique_ptr<FFmpegLibraries> Load() {
    auto libraries = std::make_unique<FFmpegLibraries>();
#define QUILLON_FFMPEG_RESOLVE(library, name)                                                      \
    libraries->library.Resolve(libraries->entries.name, #name);                                    \
    libraries->complete = libraries->complete && libraries->entries.name != nullptr;
    QUILLON_FFMPEG_ENTRIES(QUILLON_FFMPEG_RESOLVE)
#undef QUILLON_FFMPEG_RESOLVE
    if (libraries->complete) {
        // Damaged input is reported through our own results; FFmpeg's notes on stderr would
        // only clutter the terminal.
        libraries->entries.av_log_set_level(AV_LOG_QUIET);
    }
    return libraries;
}

} // namespace

const FFmpegEntries* FFmpeg() {
    // Kept for the life of the process: decoders may run until the very end.
    static const std::unique_ptr<FFmpegLibraries> libraries = Load();
    return libraries->complete ? &libraries->entries : nullptr;
}

} // namespace quillon
