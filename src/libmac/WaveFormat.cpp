#include "libmac/Export.h"
#include "libmac/MACDll.h"

#include <cstring>

extern "C" {

// Only the formats that the file format holds: 8, 16 or 24 bits, one or two channels.
MACDLL_EXPORT int FillWaveFormatEx(MAC_WaveFormat* format, int sampleRate, int bitsPerSample,
                                   int channels) {
    if (format == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    }
    if (channels < 1 || channels > 2) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
    }
    if (sampleRate <= 0) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
    }
    const int blockAlign = bitsPerSample / 8 * channels;
    format->wFormatTag = 1;
    format->nChannels = static_cast<uint16_t>(channels);
    format->nSamplesPerSec = static_cast<uint32_t>(sampleRate);
    format->nAvgBytesPerSec = static_cast<uint32_t>(sampleRate) * static_cast<uint32_t>(blockAlign);
    format->nBlockAlign = static_cast<uint16_t>(blockAlign);
    format->wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format->cbSize = 0;
    return MAC_OK;
}

MACDLL_EXPORT int FillWaveHeader(MAC_WaveHeader* header, int audioBytes,
                                 const MAC_WaveFormat* format, int terminatingBytes) {
    if (header == nullptr || format == nullptr || audioBytes < 0 || terminatingBytes < 0) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    std::memcpy(header->cRIFFHeader, "RIFF", 4);
    header->nRIFFBytes = static_cast<uint32_t>(sizeof(MAC_WaveHeader) - 8) +
                         static_cast<uint32_t>(audioBytes) +
                         static_cast<uint32_t>(terminatingBytes);
    std::memcpy(header->cDataTypeID, "WAVE", 4);
    std::memcpy(header->cFormatHeader, "fmt ", 4);
    header->nFormatBytes = 16;
    header->nFormatTag = format->wFormatTag;
    header->nChannels = format->nChannels;
    header->nSamplesPerSec = format->nSamplesPerSec;
    header->nAvgBytesPerSec = format->nAvgBytesPerSec;
    header->nBlockAlign = format->nBlockAlign;
    header->nBitsPerSample = format->wBitsPerSample;
    std::memcpy(header->cDataHeader, "data", 4);
    header->nDataBytes = static_cast<uint32_t>(audioBytes);
    return MAC_OK;
}
}
