#pragma once

#include "core/PcmOutput.h"
#include "workflow/Settings.h"
#include "workflow/SinkSetup.h"

#include <memory>

namespace quillon {

// The "MP3" sink: encoder settings from the MP3 page of the options, the seven ID3 fields.
std::unique_ptr<TPcmFileOut> MakeMp3Sink(const SinkRequest& request, const Settings& settings);
// The "OGG" sink: quality and bit rates from the Ogg page, the tags as comments (a rip adds
// the track number).
std::unique_ptr<TPcmFileOut> MakeVorbisSink(const SinkRequest& request, const Settings& settings);
// The "WMA" sink: the profile at the "WMABitrate" position of the profile list, the six tags
// (no track number).
std::unique_ptr<TPcmFileOut> MakeWmaSink(const SinkRequest& request, const Settings& settings);
// The "APE" sink: the level at the "APECompressionLevel" position ("FAST" 1000 … "EXTRA HIGH"
// 4000), the seven tags with the request's track number.
std::unique_ptr<TPcmFileOut> MakeApeSink(const SinkRequest& request, const Settings& settings);
// The "FLAC" sink: the file name only; FLAC files get no tags.
std::unique_ptr<TPcmFileOut> MakeFlacSink(const SinkRequest& request);

} // namespace quillon
