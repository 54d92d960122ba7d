#pragma once

#include "codecs/Adpcm.h"
#include "platform/Stream.h"

#include <cstdint>
#include <vector>

namespace quillon {

// Kind of WAV content: found by the reader, chosen for the writer.
enum TWavType : uint8_t {
    wtUnsupported = 0,
    wtPCM = 1,
    wtDVIADPCM = 2,
    wtMSADPCM = 3,
    wtACM = 4,
};

// What the header of a RIFF/WAVE file says about its audio.
struct WaveHeader {
    TWavType kind = wtUnsupported;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int blockAlign = 0;
    int samplesPerBlock = 0;
    std::vector<TMsAdpcmCoef> coefs;
    int64_t factCount = 0;
    int64_t factOffset = -1; // file offset of the "fact" value
    int64_t dataSize = 0;
    int64_t dataSizeOffset = 0; // file offset of the "data" size field
    int64_t dataOffset = 0;     // file offset of the first audio byte
};

enum class WaveScanMode {
    Reader, // every kind the reader decodes
    Append, // only the kinds the writer can extend: PCM and IMA ADPCM
};

// The header scan reads at most 4096 bytes of the stream, from its current position; chunks
// it has no use for are passed over unread, whatever their size.
constexpr int64_t kWaveHeaderLimit = 4096;

// Walks the chunks up to the start of the audio data and leaves the stream there. Anything it
// cannot decode safely (unknown tags, missing chunks, sizes that lie, parameters that
// contradict each other) gives kind wtUnsupported.
WaveHeader ScanWaveHeader(Stream& stream, WaveScanMode mode);

// Largest block of decoded PCM the reader handles at once.
constexpr int kWaveBlockBufferSize = 16384;

} // namespace quillon
