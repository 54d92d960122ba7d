#include "workflow/DiscText.h"

#include <cstdio>

namespace quillon {

std::string TrackCaption(int track, const TCDTime& length) {
    char caption[48];
    std::snprintf(caption, sizeof caption, length.Seconds < 10 ? "[%d] - %d:0%d" : "[%d] - %d:%d",
                  track, length.Minutes, length.Seconds);
    return caption;
}

std::string DiscKindText(TCDDiscKind kind) {
    switch (kind) {
    case dkNoDisc:
        return "No Disc";
    case dkAudio:
        return "Audio Disc";
    case dkData:
        return "Data Disk";
    case dkMixed:
        return "Mixed Data";
    case dkUnknown:
        break;
    }
    return "Unknown";
}

int WholeSeconds(const TCDTime& length) {
    return length.Minutes * 60 + length.Seconds;
}

} // namespace quillon
