#pragma once

#include "platform/Acm.h"
#include "platform/MemoryStream.h"

#include <cstdint>

namespace quillon {

// The audio of one WAV file held in memory and converted in one piece from its format to
// another through the audio compression manager.
class TWaveConverter : public MemoryStream {
public:
    TWaveConverter();

    // Reads a WAV file from the stream's position: its "fmt " record becomes SourceFormat and
    // its "data" bytes the contents. A stream that is not RIFF/WAVE loads nothing.
    void LoadWaveFromStream(Stream& stream);
    // Converts the contents from SourceFormat to TargetFormat, which then describes them;
    // 0 on success, otherwise the result of the compression-manager call that failed.
    MmResult Convert();
    // Writes the contents as a WAV file with a 44-byte header; 0 on success, 286 on failure.
    MmResult SaveWaveToStream(Stream& stream);

    uint32_t MaxFormatSize = 0;
    TWaveFormatEx SourceFormat{};
    TWaveFormatEx TargetFormat{};
};

} // namespace quillon
