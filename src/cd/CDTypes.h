#pragma once

#include "libcdrip/CDRip.h"

#include <cstdint>

namespace quillon {

// A time on a CD: 75 frames (sectors of 2352 bytes) a second.
struct TCDTime {
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
};

// A place on a disc: a 1-based track and an offset from that track's start.
struct TCDPosition {
    int Track = 0;
    TCDTime Time;
};

enum TCDTrackType : uint8_t { ttAudio, ttData };

struct TCDTrackInfo {
    TCDTime Length;
    TCDTrackType TrackType = ttAudio;
};

enum TCDDiscKind { dkNoDisc, dkAudio, dkData, dkMixed, dkUnknown };

enum TCDDriveStatus { dsNotReady, dsReady, dsPlaying };

// One entry of the library's table of contents.
using LibraryTocEntry = CR_TocEntry;

inline constexpr int kCDSectorBytes = CR_SectorBytes;
inline constexpr int kCDSectorsPerSecond = 75;

constexpr int32_t SectorsOf(const TCDTime& time) {
    return time.Minutes * 4500 + time.Seconds * 75 + time.Frames;
}

// The time of a sector count; a negative count (a table of contents out of order) is no time.
constexpr TCDTime TimeOfSectors(int32_t sectors) {
    if (sectors < 0) {
        return {};
    }
    return {static_cast<uint8_t>(sectors / 4500), static_cast<uint8_t>((sectors / 75) % 60),
            static_cast<uint8_t>(sectors % 75)};
}

// An entry describes an audio track exactly when its control/address byte says so.
constexpr bool IsAudioEntry(const LibraryTocEntry& entry) {
    return (entry.Flags & 0xFC) == 0x10;
}

} // namespace quillon
