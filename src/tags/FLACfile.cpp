#include "tags/FLACfile.h"

#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/InfoText.h"
#include "tags/OggVorbis.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace quillon {

namespace {

constexpr size_t kBlockHeaderSize = 4;
constexpr uint32_t kStreamInfoSize = 34;
constexpr uint8_t kInvalidType = 127;
constexpr uint8_t kLastBlock = 0x80;
constexpr uint32_t kMaxBlockSize = 0xFFFFFF;
// More blocks than any writer makes; a chain of empty ones in a hostile file stops here.
constexpr size_t kMaxBlocks = 1 << 16;
// Padding given to a file whose comments no longer fit the room they had.
constexpr uint32_t kNewPadding = 4096;

// Length of an ID3v2 tag at the start of the file (footer included); 0 when there is none or
// it claims more than the file holds.
int64_t ID3v2Length(Stream& file, int64_t fileSize) {
    std::array<uint8_t, 10> header{};
    file.SetPosition(0);
    if (!file.ReadExact(header.data(), header.size()) ||
        std::memcmp(header.data(), "ID3", 3) != 0 ||
        ((header[6] | header[7] | header[8] | header[9]) & 0x80) != 0) {
        return 0;
    }
    const int64_t length = (int64_t{header[6]} << 21) + (int64_t{header[7]} << 14) +
                           (int64_t{header[8]} << 7) + header[9] +
                           ((header[5] & 0x10) != 0 ? 20 : 10);
    return length > fileSize ? 0 : length;
}

struct FlacStructure {
    int64_t fileSize = 0;
    int64_t id3v2Size = 0;
    int64_t audioOffset = 0;
    std::array<uint8_t, kStreamInfoSize> streamInfo{};
    std::vector<TFLACfile::Block> blocks;
    int comments = -1; // index of the first VORBIS_COMMENT block
    VorbisCommentBlock block;
    bool commentsBroken = false; // its lengths claim more than the block holds
};

// Walks the metadata blocks. False unless every header is sound: a valid type, a size within
// the file, the stream information first (and only there, 34 bytes), and a last-block flag
// before the file ends.
bool ReadStructure(Stream& file, FlacStructure& s) {
    s.fileSize = file.Size();
    s.id3v2Size = ID3v2Length(file, s.fileSize);
    std::array<uint8_t, 4> marker{};
    file.SetPosition(s.id3v2Size);
    if (!file.ReadExact(marker.data(), marker.size()) ||
        std::memcmp(marker.data(), "fLaC", 4) != 0) {
        return false;
    }
    int64_t position = s.id3v2Size + 4;
    for (bool last = false; !last;) {
        std::array<uint8_t, kBlockHeaderSize> header{};
        file.SetPosition(position);
        if (!file.ReadExact(header.data(), header.size())) {
            return false;
        }
        TFLACfile::Block block;
        block.type = header[0] & 0x7F;
        block.position = position;
        block.size = static_cast<uint32_t>(header[1]) << 16 |
                     static_cast<uint32_t>(header[2]) << 8 | header[3];
        last = (header[0] & kLastBlock) != 0;
        const bool first = s.blocks.empty();
        if (block.type == kInvalidType || s.blocks.size() == kMaxBlocks ||
            (block.type == TFLACfile::kStreamInfo) != first ||
            (first && block.size != kStreamInfoSize) ||
            position + static_cast<int64_t>(kBlockHeaderSize) + block.size > s.fileSize) {
            return false;
        }
        s.blocks.push_back(block);
        position += static_cast<int64_t>(kBlockHeaderSize) + block.size;
    }
    s.audioOffset = position;
    file.SetPosition(s.blocks.front().position + static_cast<int64_t>(kBlockHeaderSize));
    if (!file.ReadExact(s.streamInfo.data(), s.streamInfo.size())) {
        return false;
    }
    const auto found = std::find_if(s.blocks.begin(), s.blocks.end(), [](const auto& b) {
        return b.type == TFLACfile::kVorbisComment;
    });
    if (found != s.blocks.end()) {
        s.comments = static_cast<int>(found - s.blocks.begin());
        std::vector<uint8_t> body(found->size);
        file.SetPosition(found->position + static_cast<int64_t>(kBlockHeaderSize));
        if (!file.ReadExact(body.data(), body.size())) {
            return false;
        }
        s.commentsBroken = s.block.Parse(body.data(), body.size()) == 0;
    }
    return true;
}

std::array<uint8_t, kBlockHeaderSize> BlockHeader(uint8_t type, uint32_t size, bool last) {
    return {static_cast<uint8_t>(type | (last ? kLastBlock : 0)), static_cast<uint8_t>(size >> 16),
            static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
}

// True when the audio part starts with a frame's sync code, or is empty: a last-block flag or
// block size that lies would point elsewhere.
bool AudioStartsAtFrame(Stream& file, const FlacStructure& s) {
    if (s.audioOffset == s.fileSize) {
        return true;
    }
    std::array<uint8_t, 2> sync{};
    file.SetPosition(s.audioOffset);
    return file.ReadExact(sync.data(), sync.size()) && sync[0] == 0xFF && (sync[1] & 0xFE) == 0xF8;
}

} // namespace

void TFLACfile::Clear() {
    fileSize_ = 0;
    id3v2Size_ = 0;
    audioOffset_ = 0;
    sampleRate_ = 0;
    channels_ = 0;
    bitsPerSample_ = 0;
    totalSamples_ = 0;
    blocks_.clear();
    hasComments_ = false;
    ClearComments();
}

bool TFLACfile::ReadInfo(const std::string& fileName) {
    Clear();
    FlacStructure s;
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (!ReadStructure(file, s)) {
            return false;
        }
    } catch (const EStreamError&) {
        return false;
    }
    fileSize_ = s.fileSize;
    id3v2Size_ = s.id3v2Size;
    audioOffset_ = s.audioOffset;
    // Stream information: sample rate 20 bits, channels − 1 3 bits, bits per sample − 1 5 bits,
    // total samples 36 bits, from byte 10 on.
    const auto& si = s.streamInfo;
    sampleRate_ =
        static_cast<uint32_t>(si[10]) << 12 | static_cast<uint32_t>(si[11]) << 4 | si[12] >> 4;
    channels_ = static_cast<uint8_t>(((si[12] >> 1) & 0x07) + 1);
    bitsPerSample_ = static_cast<uint8_t>(((si[12] & 0x01) << 4 | si[13] >> 4) + 1);
    totalSamples_ = static_cast<uint64_t>(si[13] & 0x0F) << 32 |
                    static_cast<uint64_t>(si[14]) << 24 | static_cast<uint64_t>(si[15]) << 16 |
                    static_cast<uint64_t>(si[16]) << 8 | si[17];
    blocks_ = s.blocks;
    hasComments_ = s.comments >= 0;
    TakeComments(s.block);
    return true;
}

bool TFLACfile::WriteTag(const std::string& fileName) {
    return RewriteThroughTempFile(fileName, [&](Stream& file, TagRewriteOutput& out) {
        FlacStructure s;
        if (!ReadStructure(file, s) || s.commentsBroken || !AudioStartsAtFrame(file, s)) {
            return false;
        }
        VorbisCommentBlock block = s.block;
        block.ApplyFields(Fields());
        const bool writeComments = s.comments >= 0 || !block.Comments().empty();
        const std::vector<uint8_t> comments = block.Serialise();
        if (comments.size() > kMaxBlockSize) {
            return false;
        }

        // The blocks to keep, in their order, with the comments in place of the old ones (or
        // after the stream information); padding is gathered into one block at the end. An
        // index of -1 stands for comments that the file did not have.
        std::vector<int> kept;
        int64_t keptSize = 0;
        for (int i = 0; i < static_cast<int>(s.blocks.size()); ++i) {
            const Block& b = s.blocks[static_cast<size_t>(i)];
            if (b.type == kPadding) {
                continue;
            }
            kept.push_back(i);
            keptSize += static_cast<int64_t>(kBlockHeaderSize) + (i == s.comments ? 0 : b.size);
            if (i == 0 && s.comments < 0 && writeComments) {
                kept.push_back(-1);
                keptSize += static_cast<int64_t>(kBlockHeaderSize);
            }
        }
        if (writeComments) {
            keptSize += static_cast<int64_t>(comments.size());
        }
        const int64_t room = s.audioOffset - s.id3v2Size - 4;
        const int64_t left = room - keptSize - static_cast<int64_t>(kBlockHeaderSize);
        bool padding = true;
        int64_t paddingSize = kNewPadding;
        if (keptSize == room) {
            padding = false;
        } else if (left >= 0 && left <= kMaxBlockSize) {
            paddingSize = left;
        }

        out.CopyRange(file, 0, s.id3v2Size + 4);
        for (size_t k = 0; k < kept.size(); ++k) {
            const bool last = !padding && k + 1 == kept.size();
            const int i = kept[k];
            if (i < 0 || i == s.comments) {
                const auto size = static_cast<uint32_t>(comments.size());
                out.Write(BlockHeader(kVorbisComment, size, last).data(), kBlockHeaderSize);
                out.Write(comments);
                continue;
            }
            const Block& b = s.blocks[static_cast<size_t>(i)];
            out.Write(BlockHeader(b.type, b.size, last).data(), kBlockHeaderSize);
            out.CopyRange(file, b.position + static_cast<int64_t>(kBlockHeaderSize), b.size);
        }
        if (padding) {
            const auto size = static_cast<uint32_t>(paddingSize);
            out.Write(BlockHeader(kPadding, size, true).data(), kBlockHeaderSize);
            out.Write(std::vector<uint8_t>(size));
        }
        out.CopyRange(file, s.audioOffset, s.fileSize - s.audioOffset);
        return true;
    });
}

std::string TFLACfile::ChannelMode() const {
    return VorbisChannelModeText(channels_);
}

double TFLACfile::Duration() const {
    return sampleRate_ > 0 ? static_cast<double>(totalSamples_) / sampleRate_ : 0;
}

int TFLACfile::BitRate() const {
    return AverageKbps(fileSize_ - audioOffset_, Duration());
}

bool TFLACfile::Valid() const {
    return sampleRate_ > 0 && bitsPerSample_ >= 4 && totalSamples_ > 0;
}

} // namespace quillon
