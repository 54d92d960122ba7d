#pragma once

#include <cstdint>
#include <memory>

namespace quillon {

// The audio compression manager's calls that the WAV re-encoder makes, served by FFmpeg. The
// one conversion on offer is MPEG Layer-3 data (format tag 0x55) to 16-bit PCM at the
// source's sample rate and channel count.

using MmResult = uint32_t;

constexpr MmResult MMSYSERR_NOERROR = 0;
constexpr MmResult MMSYSERR_ERROR = 1;
constexpr MmResult MMSYSERR_INVALHANDLE = 5;
constexpr MmResult MMSYSERR_NOMEM = 7;
constexpr MmResult MMSYSERR_INVALFLAG = 10;
constexpr MmResult MMSYSERR_INVALPARAM = 11;
constexpr MmResult ACMERR_NOTPOSSIBLE = 512;
constexpr MmResult ACMERR_UNPREPARED = 514;

constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x10000;
constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 4;
constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0;
constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 4;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

#pragma pack(push, 1)
// A wave-format record: the fixed fields, the count of extra bytes and room for them.
struct TWaveFormatEx {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
    uint8_t extra[111];
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatEx) == 129);

// Source and target buffers of one conversion, with what the conversion used of them.
struct TAcmStreamHeader {
    uint32_t cbStruct = sizeof(TAcmStreamHeader);
    uint32_t fdwStatus = 0;
    uintptr_t dwUser = 0;
    const uint8_t* pbSrc = nullptr;
    uint32_t cbSrcLength = 0;
    uint32_t cbSrcLengthUsed = 0;
    uintptr_t dwSrcUser = 0;
    uint8_t* pbDst = nullptr;
    uint32_t cbDstLength = 0;
    uint32_t cbDstLengthUsed = 0;
    uintptr_t dwDstUser = 0;
};

class AcmStream;
using HAcmStream = AcmStream*;

// Only ACM_METRIC_MAX_SIZE_FORMAT is answered: the size of TWaveFormatEx.
MmResult acmMetrics(void* object, uint32_t metric, uint32_t* value);
// Completes the target format for the source; only the format-tag form, to PCM, is offered.
MmResult acmFormatSuggest(void* driver, const TWaveFormatEx* source, TWaveFormatEx* target,
                          uint32_t targetSize, uint32_t flags);
MmResult acmStreamOpen(HAcmStream* stream, void* driver, const TWaveFormatEx* source,
                       const TWaveFormatEx* target, void* filter, uintptr_t callback,
                       uintptr_t instance, uint32_t flags);
// Estimates the target bytes for a source of the given size. The decoder decides the real
// length; a conversion never writes past the target buffer and keeps what did not fit for the
// next call.
MmResult acmStreamSize(HAcmStream stream, uint32_t input, uint32_t* output, uint32_t flags);
MmResult acmStreamPrepareHeader(HAcmStream stream, TAcmStreamHeader* header, uint32_t flags);
// Converts the whole source of the header, which is taken as the end of the stream. Output
// that does not fit the target is kept and delivered first by the next call, which may have
// an empty source; cbDstLengthUsed < cbDstLength tells that everything was delivered.
MmResult acmStreamConvert(HAcmStream stream, TAcmStreamHeader* header, uint32_t flags);
MmResult acmStreamUnprepareHeader(HAcmStream stream, TAcmStreamHeader* header, uint32_t flags);
MmResult acmStreamClose(HAcmStream stream, uint32_t flags);

// Closes a stream handle when it goes out of scope.
struct AcmStreamCloser {
    void operator()(AcmStream* stream) const { acmStreamClose(stream, 0); }
};
using AcmStreamPtr = std::unique_ptr<AcmStream, AcmStreamCloser>;

} // namespace quillon
