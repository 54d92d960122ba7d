#pragma once

#include "core/PcmFileIn.h"
#include "core/PcmOutput.h"
#include "workflow/Settings.h"

#include <memory>
#include <string>

namespace quillon {

// The tag texts of one track or file (UTF-8).
struct TrackTags {
    std::string Title, Artist, Album, Year, Genre, Comment;
};

// WAV output choices that the settings do not hold (the WAV sink's own properties).
struct WavOutputOptions {
    bool imaAdpcm = false;
    int blockSize = 512;
};

// What one run of a sink is for.
struct SinkRequest {
    std::string format;   // "MP3", "WMA", "OGG", "WAV", "APE" or "FLAC"
    std::string fileName; // the output file
    TrackTags tags;
    int trackNumber = 0;  // the track number given to the tag writers
    bool ripping = false; // rips also give Ogg and FLAC files a track number comment
    WavOutputOptions wav;
};

// The sink for a format, configured from the settings as a rip or a conversion needs it;
// nullptr when the format has no sink in this build.
std::unique_ptr<TPcmFileOut> MakeSink(const SinkRequest& request, const Settings& settings);

// Why MakeSink gave no sink for the request: no format chosen, or none built for it yet.
std::string MissingSinkMessage(const SinkRequest& request, const Settings& settings);

// The file source for a file, chosen by its extension (compared in upper case): the WAV
// reader, or FFmpeg for WAV codings the reader does not decode; the Vorbis, FLAC and Monkey's
// Audio readers; FFmpeg for MP3 and WMA. nullptr when no source reads that kind of file;
// raises EPcmException when the codec library of its kind is not loaded.
std::unique_ptr<TPcmFileIn> MakeSource(const std::string& fileName);

// The extension of a file name in upper case, with its dot (".FLAC"), or "" without one.
std::string UpperExtension(const std::string& fileName);

} // namespace quillon
