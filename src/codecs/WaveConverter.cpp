#include "codecs/WaveConverter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace quillon {

namespace {

constexpr MmResult kSaveFailed = 286;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + 4);
}

// Reads what is left of the stream.
std::vector<uint8_t> ReadRest(Stream& stream) {
    const int64_t left = std::max<int64_t>(stream.Size() - stream.Position(), 0);
    std::vector<uint8_t> bytes(static_cast<size_t>(left));
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace

TWaveConverter::TWaveConverter() {
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &MaxFormatSize);
    const size_t zeroed = std::min<size_t>(MaxFormatSize, sizeof(TWaveFormatEx));
    std::memset(&SourceFormat, 0, zeroed);
    std::memset(&TargetFormat, 0, zeroed);
}

void TWaveConverter::LoadWaveFromStream(Stream& stream) {
    const std::vector<uint8_t> file = ReadRest(stream);
    const size_t n = file.size();
    if (n < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return;
    }
    // An 8-byte window (identifier and size) slides one byte at a time, so chunks are found
    // wherever they start; the window ends at position - 1.
    size_t position = 12;
    while (position + 1 < n) {
        const uint8_t* window = file.data() + position - 7;
        ++position;
        const uint32_t size = Le32(window + 4);
        const bool isFormat = std::memcmp(window, "fmt ", 4) == 0;
        const bool isFact = std::memcmp(window, "fact", 4) == 0;
        const bool isData = std::memcmp(window, "data", 4) == 0;
        if (!isFormat && !isFact && !isData) {
            continue;
        }
        if (size > n - position) {
            break; // a chunk that claims more than the file holds
        }
        if (isFormat) {
            // A record longer than ours keeps its first bytes; a 16-byte one gets no extras.
            std::memset(&SourceFormat, 0, sizeof(SourceFormat));
            std::memcpy(&SourceFormat, file.data() + position,
                        std::min<size_t>(size, sizeof(SourceFormat)));
            const uint32_t kept = std::min<uint32_t>(size, sizeof(SourceFormat));
            SourceFormat.cbSize = std::min<uint16_t>(
                SourceFormat.cbSize, static_cast<uint16_t>(kept > 18 ? kept - 18 : 0));
        } else if (isData && size != 0) {
            SetSize(0);
            Write(file.data() + position, size);
        }
        position += size;
    }
    Seek(0, SeekOrigin::Begin);
}

MmResult TWaveConverter::Convert() {
    try {
        HAcmStream handle = nullptr;
        if (const MmResult result = acmStreamOpen(&handle, nullptr, &SourceFormat, &TargetFormat,
                                                  nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME)) {
            return result;
        }
        AcmStreamPtr stream(handle);
        const uint32_t sourceSize = static_cast<uint32_t>(Size());
        uint32_t targetSize = 0;
        if (const MmResult result =
                acmStreamSize(handle, sourceSize, &targetSize, ACM_STREAMSIZEF_SOURCE)) {
            return result;
        }
        std::vector<uint8_t> target(targetSize);
        Seek(0, SeekOrigin::Begin);
        TAcmStreamHeader header;
        header.pbSrc = Memory();
        header.cbSrcLength = sourceSize;
        header.pbDst = target.data();
        header.cbDstLength = targetSize;
        if (const MmResult result = acmStreamPrepareHeader(handle, &header, 0)) {
            return result;
        }
        if (const MmResult result =
                acmStreamConvert(handle, &header, ACM_STREAMCONVERTF_BLOCKALIGN)) {
            return result;
        }
        // The size was an estimate: when the buffer filled up, more output may be waiting.
        size_t produced = header.cbDstLengthUsed;
        while (header.cbDstLength > 0 && header.cbDstLengthUsed == header.cbDstLength) {
            if (const MmResult result = acmStreamUnprepareHeader(handle, &header, 0)) {
                return result;
            }
            if (target.size() > std::numeric_limits<uint32_t>::max() / 2) {
                return MMSYSERR_NOMEM; // more than a WAV file can hold
            }
            target.resize(target.size() * 2);
            header.pbSrc = nullptr;
            header.cbSrcLength = 0;
            header.pbDst = target.data() + produced;
            header.cbDstLength = static_cast<uint32_t>(target.size() - produced);
            header.cbDstLengthUsed = 0;
            if (const MmResult result = acmStreamPrepareHeader(handle, &header, 0)) {
                return result;
            }
            if (const MmResult result =
                    acmStreamConvert(handle, &header, ACM_STREAMCONVERTF_BLOCKALIGN)) {
                return result;
            }
            produced += header.cbDstLengthUsed;
        }
        std::memcpy(&SourceFormat, &TargetFormat,
                    std::min<size_t>(MaxFormatSize, sizeof(TWaveFormatEx)));
        // Only what the decoder produced: the rest of the estimate is not audio.
        SetSize(0);
        Write(target.data(), produced);
        Seek(0, SeekOrigin::Begin);
        if (const MmResult result = acmStreamUnprepareHeader(handle, &header, 0)) {
            return result;
        }
        return acmStreamClose(stream.release(), 0);
    } catch (const std::exception&) {
        return MMSYSERR_NOMEM;
    }
}

MmResult TWaveConverter::SaveWaveToStream(Stream& stream) {
    try {
        const int64_t contentPosition = Position();
        std::vector<uint8_t> header;
        PutText(header, "RIFF");
        PutLE32(header, 0);
        PutText(header, "WAVE");
        PutText(header, "fmt ");
        PutLE32(header, 16);
        const auto* format = reinterpret_cast<const uint8_t*>(&SourceFormat);
        header.insert(header.end(), format, format + 16);
        PutText(header, "data");
        PutLE32(header, static_cast<uint32_t>(Size()));
        stream.Write(header.data(), header.size());
        stream.Write(Data().data(), Data().size());
        std::vector<uint8_t> riff;
        PutText(riff, "RIFF");
        PutLE32(riff, static_cast<uint32_t>(stream.Size() - 8));
        stream.SetPosition(0);
        stream.Write(riff.data(), riff.size());
        SetPosition(contentPosition);
        return MMSYSERR_NOERROR;
    } catch (const std::exception&) {
        return kSaveFailed;
    }
}

} // namespace quillon
