#include "cd/DriveReplies.h"

#include <algorithm>

namespace quillon {
namespace {

// The bytes of a reply, reading zero past its end.
class ReplyBytes {
public:
    ReplyBytes(std::span<const uint8_t> bytes, size_t usable)
        : bytes_(bytes.first(std::min(bytes.size(), usable))) {}

    uint8_t operator[](size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }

    std::string Text(size_t first, size_t end) const {
        std::string text;
        for (size_t offset = first; offset < end; ++offset) {
            const uint8_t byte = (*this)[offset];
            if (byte == 0) {
                break;
            }
            text += byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '?';
        }
        return text;
    }

private:
    std::span<const uint8_t> bytes_;
};

constexpr size_t kTocHeaderSize = 4;
constexpr size_t kTocDescriptorSize = 8;
constexpr uint8_t kDataTrackBit = 4;
constexpr int kLastTrackNumber = 99;

TocEntry DescriptorEntry(const ReplyBytes& reply, int index) {
    const size_t offset = kTocHeaderSize + kTocDescriptorSize * static_cast<size_t>(index);
    const uint8_t control = reply[offset + 1] & 0x0F;
    return {reply[offset + 5], reply[offset + 6], reply[offset + 7],
            (control & kDataTrackBit) != 0 ? 0 : kTocAudio};
}

} // namespace

InquiryStrings ParseInquiryReply(std::span<const uint8_t> reply) {
    const ReplyBytes bytes(reply, reply.size());
    return {bytes.Text(8, 16), bytes.Text(16, 32), bytes.Text(32, 36), bytes.Text(36, 56)};
}

bool ConvertTocReply(std::span<const uint8_t> reply, DiscToc& toc) {
    toc = DiscToc{};
    const size_t dataLength = reply.size() >= 2 ? (size_t{reply[0]} << 8 | reply[1]) : 0;
    const ReplyBytes bytes(reply, 2 + dataLength);
    const int first = bytes[2];
    const int last = bytes[3];
    const bool empty = first == 0 && last == 0;
    if (!empty && (first < 1 || last < first || last > kLastTrackNumber)) {
        return true;
    }
    toc.NumTracks = static_cast<uint8_t>(empty ? 1 : last - first + 1);
    for (int i = 0; i < toc.NumTracks; ++i) {
        toc.Tracks[static_cast<size_t>(i)] = DescriptorEntry(bytes, i);
    }
    toc.LeadOut = DescriptorEntry(bytes, toc.NumTracks);
    toc.LeadOut.IsAudio = 0;
    return empty;
}

} // namespace quillon
