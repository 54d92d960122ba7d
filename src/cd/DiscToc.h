#pragma once

#include <array>
#include <cstdint>

namespace quillon {

// IsAudio of an audio track; a data track has 0.
constexpr uint32_t kTocAudio = 0xFFFFFFFF;

// The start of a track or of the lead-out as an absolute MSF address, 2-second lead-in included.
struct TocEntry {
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
    uint32_t IsAudio = 0;
};

// A disc's table of contents as the CD database client keeps it: Tracks[i] is the i-th track
// of the disc; entries at and beyond NumTracks are unused.
struct DiscToc {
    uint8_t NumTracks = 0;
    TocEntry LeadOut;
    std::array<TocEntry, 100> Tracks{};
};

} // namespace quillon
