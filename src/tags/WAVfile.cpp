#include "tags/WAVfile.h"

#include "platform/FileStream.h"
#include "tags/OggVorbis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace quillon {

namespace {

constexpr size_t kHeaderRead = 40;
// A file's chunk walk gives up after this many chunks: real files hold a handful.
constexpr int kMaxChunks = 1000;

uint32_t LE32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t LE16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool IdIs(const unsigned char* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

// What the chunks after the "fmt " chunk tell: the sample count of a "fact" chunk that follows
// it directly, and the offset and size of the audio in the "data" chunk (offset 0 when no
// "data" chunk starts before the end of the file). Any other chunk (a "LIST" of texts, say) is
// skipped.
struct ChunkWalk {
    bool ok = true; // false when the chunk after the "fmt " chunk or its count is cut short
    uint32_t sampleCount = 0;
    int64_t dataOffset = 0;
    int64_t dataSize = -1; // -1 when the size field is cut off
};

ChunkWalk WalkChunks(FileStream& file, int64_t firstChunk) {
    ChunkWalk result;
    const int64_t length = file.Size();
    int64_t position = firstChunk;
    for (int i = 0; i < kMaxChunks; ++i) {
        std::array<unsigned char, 12> chunk{};
        file.SetPosition(position);
        if (position + 8 > length || !file.ReadExact(chunk.data(), 8)) {
            // The chunk after the "fmt " chunk must be there; later ones may be missing.
            result.ok = i > 0;
            break;
        }
        if (IdIs(chunk.data(), "data")) {
            result.dataOffset = position + 8;
            result.dataSize = LE32(chunk.data() + 4);
            break;
        }
        if (i == 0 && IdIs(chunk.data(), "fact")) {
            if (!file.ReadExact(chunk.data() + 8, 4)) {
                result.ok = false;
                break;
            }
            result.sampleCount = LE32(chunk.data() + 8);
        }
        // Chunks are padded to an even length.
        const int64_t size = LE32(chunk.data() + 4);
        position += 8 + size + (size & 1);
    }
    return result;
}

// Offset of the first "fmt " chunk at or after `position`; 0 when there is none.
int64_t FindFormatChunk(FileStream& file, int64_t position) {
    const int64_t length = file.Size();
    for (int i = 0; i < kMaxChunks && position + 8 <= length; ++i) {
        std::array<unsigned char, 8> chunk{};
        file.SetPosition(position);
        if (!file.ReadExact(chunk.data(), chunk.size())) {
            break;
        }
        if (IdIs(chunk.data(), "fmt ")) {
            return position;
        }
        const int64_t size = LE32(chunk.data() + 4);
        position += 8 + size + (size & 1);
    }
    return 0;
}

} // namespace

void TWAVfile::Clear() {
    valid_ = false;
    formatID_ = 0;
    channelNumber_ = 0;
    sampleRate_ = 0;
    bytesPerSecond_ = 0;
    blockAlign_ = 0;
    bitsPerSample_ = 0;
    sampleNumber_ = 0;
    headerSize_ = 0;
    fileSize_ = 0;
    emptyData_ = false;
}

bool TWAVfile::ReadInfo(const std::string& fileName) {
    Clear();
    // `header` holds the canonical layout: RIFF header, "fmt " chunk, then the next chunk's id
    // and size, with the "fmt " chunk moved up when other chunks come before it.
    std::array<unsigned char, kHeaderRead + 4> header{};
    uint32_t sampleCount = 0;
    int64_t dataOffset = 0;
    int64_t dataSize = -1;
    int64_t formatAt = 12;
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (!file.ReadExact(header.data(), kHeaderRead)) {
            return false;
        }
        if (IdIs(header.data(), "RIFF") && IdIs(header.data() + 8, "WAVE") &&
            !IdIs(header.data() + 12, "fmt ")) {
            if (const int64_t found = FindFormatChunk(file, 12); found > 0) {
                formatAt = found;
                file.SetPosition(formatAt);
                if (!file.ReadExact(header.data() + 12, 24)) {
                    return false;
                }
                header[36] = 0; // the chunk after it is not known yet
            }
        }
        const int64_t formatSize = LE32(header.data() + 16);
        if (formatAt == 12 && IdIs(header.data() + 36, "data")) {
            if (file.ReadExact(header.data() + kHeaderRead, 4)) {
                dataSize = LE32(header.data() + kHeaderRead);
            }
        } else {
            const ChunkWalk walk = WalkChunks(file, formatAt + 8 + formatSize + (formatSize & 1));
            if (!walk.ok) {
                return false;
            }
            sampleCount = walk.sampleCount;
            dataOffset = walk.dataOffset;
            dataSize = walk.dataSize;
        }
    } catch (const EStreamError&) {
        return false;
    }

    // More than two channels are read too (surround WAVs, decoded through FFmpeg), so that
    // their facts can be shown.
    const uint16_t channels = LE16(header.data() + 22);
    if (!IdIs(header.data(), "RIFF") || !IdIs(header.data() + 8, "WAVE") ||
        !IdIs(header.data() + 12, "fmt ") || channels < 1 || channels > 255) {
        return true;
    }
    valid_ = true;
    formatID_ = LE16(header.data() + 20);
    channelNumber_ = static_cast<uint8_t>(channels);
    sampleRate_ = LE32(header.data() + 24);
    bytesPerSecond_ = LE32(header.data() + 28);
    blockAlign_ = LE16(header.data() + 32);
    bitsPerSample_ = static_cast<uint8_t>(LE16(header.data() + 34));
    sampleNumber_ = static_cast<int32_t>(sampleCount);
    emptyData_ = dataSize == 0;

    const uint32_t formatSize = LE32(header.data() + 16);
    int64_t headerSize = 44;
    if (formatAt != 12 || !IdIs(header.data() + 36, "data")) {
        headerSize = dataOffset > 0 ? dataOffset : formatAt + formatSize + 28;
    }
    // RIFF size + 8, kept within 32 bits rather than wrapping round to a tiny size.
    fileSize_ = static_cast<uint32_t>(std::min<int64_t>(
        static_cast<int64_t>(LE32(header.data() + 4)) + 8, std::numeric_limits<uint32_t>::max()));
    headerSize_ = static_cast<uint32_t>(std::min<int64_t>(headerSize, fileSize_));
    return true;
}

std::string TWAVfile::ChannelMode() const {
    return VorbisChannelModeText(channelNumber_);
}

double TWAVfile::Duration() const {
    if (!valid_ || emptyData_) {
        return 0;
    }
    if (sampleNumber_ > 0 && sampleRate_ > 0) {
        return static_cast<double>(sampleNumber_) / sampleRate_;
    }
    if (sampleNumber_ == 0 && bytesPerSecond_ > 0) {
        return static_cast<double>(fileSize_ - headerSize_) / bytesPerSecond_;
    }
    return 0;
}

} // namespace quillon
