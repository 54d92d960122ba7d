#include "codecs/WaveHeader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace quillon {

namespace {

constexpr int kMaxCoefficientPairs = 32;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Bytes match when equal or when they differ by exactly 32, so that lower-case identifiers
// are recognised.
bool SameId(const uint8_t* id, const char* expected) {
    for (int i = 0; i < 4; ++i) {
        const int difference = std::abs(id[i] - static_cast<uint8_t>(expected[i]));
        if (difference != 0 && difference != 32) {
            return false;
        }
    }
    return true;
}

// Reads the header from the stream, counting the bytes it consumes against the limit.
class HeaderReader {
public:
    explicit HeaderReader(Stream& stream) : stream_(stream), end_(stream.Size()) {}

    bool Read(uint8_t* buffer, int64_t count) {
        if (consumed_ + count > kWaveHeaderLimit) {
            return false;
        }
        consumed_ += count;
        return stream_.ReadExact(buffer, static_cast<size_t>(count));
    }

    bool ReadLE32(uint32_t& value) {
        uint8_t bytes[4];
        if (!Read(bytes, 4)) {
            return false;
        }
        value = Le32(bytes);
        return true;
    }

    // Slides through the stream one byte at a time until the last four bytes read match.
    bool Find(const char* id) {
        uint8_t window[4];
        if (!Read(window, 4)) {
            return false;
        }
        while (!SameId(window, id)) {
            std::memmove(window, window + 1, 3);
            if (!Read(window + 3, 1)) {
                return false;
            }
        }
        return true;
    }

    // Reads a chunk's data (and its pad byte) whole, as the chunks before the audio must fit.
    bool ReadChunk(uint32_t size, std::array<uint8_t, kWaveHeaderLimit>& data) {
        const int64_t padded = static_cast<int64_t>(size) + (size & 1);
        if (consumed_ + padded > kWaveHeaderLimit || Position() + size > end_) {
            return false;
        }
        data.fill(0);
        if (!Read(data.data(), size)) {
            return false;
        }
        if ((size & 1) != 0 && Position() < end_) {
            uint8_t pad;
            return Read(&pad, 1);
        }
        return true;
    }

    // Passes over a chunk the reader has no use for, whatever its size, without reading it.
    bool SkipChunk(uint32_t size) {
        const int64_t padded = static_cast<int64_t>(size) + (size & 1);
        if (Position() + size > end_) {
            return false;
        }
        stream_.SetPosition(std::min(Position() + padded, end_));
        return true;
    }

    int64_t Position() { return stream_.Position(); }
    int64_t End() const { return end_; }

private:
    Stream& stream_;
    int64_t end_;
    int64_t consumed_ = 0;
};

TWavType KindOfTag(uint16_t tag, WaveScanMode mode) {
    switch (tag) {
    case 1:
        return wtPCM;
    case 0x11:
        return wtDVIADPCM;
    case 2:
        return mode == WaveScanMode::Reader ? wtMSADPCM : wtUnsupported;
    case 0x55:
        return mode == WaveScanMode::Reader ? wtACM : wtUnsupported;
    default:
        return wtUnsupported;
    }
}

// Takes the format from the "fmt " chunk data; false for parameters that cannot be decoded.
bool ParseFormat(const uint8_t* data, uint32_t size, WaveScanMode mode, WaveHeader& header) {
    if (size < 16) {
        return false;
    }
    header.kind = KindOfTag(Le16(data), mode);
    header.channels = Le16(data + 2);
    header.sampleRate = static_cast<int>(Le32(data + 4) & 0x7FFFFFFF);
    header.blockAlign = Le16(data + 12);
    header.bitsPerSample = Le16(data + 14);
    const bool adpcmBlockFits = header.blockAlign <= kWaveBlockBufferSize;
    switch (header.kind) {
    case wtPCM:
        return header.channels > 0 && header.bitsPerSample >= 8 && header.bitsPerSample <= 32;
    case wtDVIADPCM: {
        if (size < 20) {
            return false;
        }
        header.samplesPerBlock = Le16(data + 18);
        const int frames = ImaFramesPerBlock(header.blockAlign, header.channels);
        return frames > 0 && adpcmBlockFits && header.samplesPerBlock == frames &&
               frames * header.channels * 2 <= kWaveBlockBufferSize;
    }
    case wtMSADPCM: {
        if (size < 22) {
            return false;
        }
        header.samplesPerBlock = Le16(data + 18);
        const int pairs = Le16(data + 20);
        if (pairs < 1 || pairs > kMaxCoefficientPairs || size < 22u + 4u * pairs) {
            return false;
        }
        for (int i = 0; i < pairs; ++i) {
            header.coefs.push_back({static_cast<int16_t>(Le16(data + 22 + 4 * i)),
                                    static_cast<int16_t>(Le16(data + 24 + 4 * i))});
        }
        const int spb = header.samplesPerBlock;
        return adpcmBlockFits && spb >= 2 &&
               spb <= MsAdpcmMaxFramesPerBlock(header.blockAlign, header.channels) &&
               spb * header.channels * 2 <= kWaveBlockBufferSize;
    }
    case wtACM:
        if (size >= 20) {
            header.samplesPerBlock = Le16(data + 18);
        }
        return header.channels > 0;
    default:
        return false;
    }
}

enum class State { Format, Fact, Data };

} // namespace

WaveHeader ScanWaveHeader(Stream& stream, WaveScanMode mode) {
    HeaderReader reader(stream);
    WaveHeader header;
    uint32_t riffSize = 0;
    uint8_t id[4];
    if (!reader.Find("RIFF") || !reader.ReadLE32(riffSize) || !reader.Find("WAVE") ||
        !reader.Read(id, 4)) {
        return {};
    }
    std::array<uint8_t, kWaveHeaderLimit> data;
    State state = State::Format;
    for (;;) {
        uint32_t size = 0;
        if (!reader.ReadLE32(size)) {
            return {};
        }
        if (state == State::Data && SameId(id, "data")) {
            header.dataSizeOffset = reader.Position() - 4;
            header.dataOffset = reader.Position();
            header.dataSize = size;
            if (header.dataOffset + header.dataSize > reader.End()) {
                return {};
            }
            return header;
        }
        const int64_t chunkStart = reader.Position();
        const bool wanted = (state == State::Format && SameId(id, "fmt ")) ||
                            (state == State::Fact && SameId(id, "fact"));
        if (!wanted) {
            if (!reader.SkipChunk(size)) {
                return {};
            }
        } else if (!reader.ReadChunk(size, data)) {
            return {};
        }
        if (state == State::Format && SameId(id, "fmt ")) {
            if (!ParseFormat(data.data(), size, mode, header)) {
                return {};
            }
            state = header.kind == wtPCM ? State::Data : State::Fact;
        } else if (state == State::Fact && SameId(id, "fact")) {
            if (size < 4) {
                return {};
            }
            header.factCount = Le32(data.data());
            header.factOffset = chunkStart;
            state = State::Data;
        }
        if (!reader.Read(id, 4)) {
            return {};
        }
    }
}

} // namespace quillon
