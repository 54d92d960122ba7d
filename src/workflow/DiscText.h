#pragma once

#include "cd/CDTypes.h"

#include <string>

namespace quillon {

// The caption of a track in the track list: "[3] - 4:05", "[7] - 10:12" (the track number,
// then the whole minutes, unpadded, and the seconds of its length).
std::string TrackCaption(int track, const TCDTime& length);

// What a disc is, as the status bar says it: "No Disc", "Audio Disc", "Data Disk",
// "Mixed Data" or "Unknown".
std::string DiscKindText(TCDDiscKind kind);

// A track's length in whole seconds, as playlists list it.
int WholeSeconds(const TCDTime& length);

} // namespace quillon
