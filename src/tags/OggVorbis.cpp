#include "tags/OggVorbis.h"

#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/InfoText.h"
#include "tags/OggPage.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"
#include "tags/VorbisCommentBlock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace quillon {

namespace {

constexpr size_t kIdentificationSize = 30;
constexpr size_t kPacketIdSize = 7;
// The last page is looked for in 50 windows of 251 bytes stepping back 241 bytes each.
constexpr int kTailWindows = 50;
constexpr int64_t kTailStep = 241;
constexpr int64_t kTailReach = kTailStep * kTailWindows + 10;
// Comment headers are read up to this size; pages of a header are followed up to this count.
constexpr int64_t kMaxCommentPacket = int64_t{64} << 20;
constexpr size_t kMaxHeaderPages = 1 << 16;

uint32_t LE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads count bytes at position; what lies past the end of the file reads as zeros.
void ReadAt(Stream& file, int64_t position, uint8_t* buffer, size_t count) {
    if (count == 0) {
        return;
    }
    std::memset(buffer, 0, count);
    file.SetPosition(position);
    file.Read(buffer, count);
}

// Length of an ID3v2 tag at the start of the file (footer included); 0 when there is none or
// it claims more than the file holds.
int64_t ID3v2Length(Stream& file, int64_t fileSize) {
    std::array<uint8_t, 10> header{};
    ReadAt(file, 0, header.data(), header.size());
    if (std::memcmp(header.data(), "ID3", 3) != 0) {
        return 0;
    }
    const int64_t length = (int64_t{header[6]} << 21) + (int64_t{header[7]} << 14) +
                           (int64_t{header[8]} << 7) + header[9] +
                           ((header[5] & 0x10) != 0 ? 20 : 10);
    return length > fileSize ? 0 : length;
}

struct VorbisComments {
    bool present = false; // the packet is a Vorbis comment header
    VorbisCommentBlock block;
    int64_t end = 0;      // packet offset just after the last comment
    bool overrun = false; // the comments claim more bytes than the packet holds
};

VorbisComments ParseComments(const std::vector<uint8_t>& packet, int64_t packetSize) {
    VorbisComments comments;
    if (packet.size() < kPacketIdSize ||
        std::memcmp(packet.data(), "\x03vorbis", kPacketIdSize) != 0) {
        return comments;
    }
    comments.present = true;
    const size_t used =
        comments.block.Parse(packet.data() + kPacketIdSize, packet.size() - kPacketIdSize);
    comments.end = static_cast<int64_t>(kPacketIdSize + used);
    comments.overrun = used == 0 || comments.end > packetSize;
    return comments;
}

// Granule position of the last page that starts within the last 12,060 bytes: the windows are
// searched from the end backwards, each from its last candidate offset to its first.
int64_t FindLastGranule(Stream& file, int64_t fileSize) {
    const int64_t tailStart = std::max<int64_t>(0, fileSize - kTailReach);
    std::vector<uint8_t> tail(static_cast<size_t>(fileSize - tailStart) + 16, 0);
    ReadAt(file, tailStart, tail.data(), tail.size());
    for (int window = 1; window <= kTailWindows; ++window) {
        const int64_t start = fileSize - kTailStep * window - 10;
        if (start < 0) {
            break;
        }
        for (int64_t p = start + kTailStep; p >= start; --p) {
            const uint8_t* at = &tail[static_cast<size_t>(p - tailStart)];
            if (std::memcmp(at, "OggS", 4) == 0) {
                return static_cast<int64_t>(LE32(at + 6) | static_cast<uint64_t>(LE32(at + 10))
                                                               << 32);
            }
        }
    }
    return 0;
}

struct OggStructure {
    int64_t fileSize = 0;
    int64_t id3v2Size = 0;
    std::array<uint8_t, kIdentificationSize> identification{};
    int64_t secondPosition = 0;
    bool secondIsPage = false;
    OggPageHeader second;
    OggPacketExtent commentPacket;
    VorbisComments comments;
    int64_t samples = 0;
};

// The first page with its identification header, the comment header that starts the second
// page, and the granule position of the last page. False without the first two.
bool ReadStructure(Stream& file, OggStructure& s) {
    s.fileSize = file.Size();
    s.id3v2Size = ID3v2Length(file, s.fileSize);
    std::array<uint8_t, kOggHeaderSize> first{};
    ReadAt(file, s.id3v2Size, first.data(), first.size());
    if (std::memcmp(first.data(), "OggS", 4) != 0) {
        return false;
    }
    const int64_t body = s.id3v2Size + static_cast<int64_t>(kOggHeaderSize) + first[26];
    ReadAt(file, body, s.identification.data(), s.identification.size());
    if (std::memcmp(s.identification.data(), "\x01vorbis", kPacketIdSize) != 0) {
        return false;
    }
    // The identification header is the whole first page, so the second page follows it.
    s.secondPosition = body + static_cast<int64_t>(kIdentificationSize);
    s.secondIsPage = ReadOggPageHeader(file, s.secondPosition, s.second);
    if (s.secondIsPage) {
        const OggPacketMap map = MapOggPackets(file, s.second, 1, kMaxHeaderPages);
        s.commentPacket = map.packets.front();
        // The lacing values of a damaged last page may claim more than the file holds.
        const int64_t loaded = std::min({s.commentPacket.size, kMaxCommentPacket, s.fileSize});
        std::vector<uint8_t> packet(static_cast<size_t>(loaded));
        s.commentPacket.Read(file, 0, packet.data(), packet.size());
        s.comments = ParseComments(packet, s.commentPacket.size);
    }
    s.samples = FindLastGranule(file, s.fileSize);
    return true;
}

// The new comment header: the identifier, the edited block, and what followed the old
// comments (the framing bit).
std::vector<uint8_t> BuildCommentPacket(Stream& file, const OggStructure& s,
                                        const VorbisCommentBlock& block) {
    std::vector<uint8_t> packet(kPacketIdSize);
    s.commentPacket.Read(file, 0, packet.data(), packet.size());
    const std::vector<uint8_t> body = block.Serialise();
    packet.insert(packet.end(), body.begin(), body.end());
    std::vector<uint8_t> rest(static_cast<size_t>(s.commentPacket.size - s.comments.end));
    s.commentPacket.Read(file, s.comments.end, rest.data(), rest.size());
    packet.insert(packet.end(), rest.begin(), rest.end());
    return packet;
}

// The second page with the new comment header in place of the old one, when the old header
// ends on that page and the new lacing values fit; the other packets on it stay as they were.
std::optional<std::vector<uint8_t>> RebuildSecondPage(Stream& file, const OggStructure& s,
                                                      const std::vector<uint8_t>& packet) {
    const auto& lacing = s.second.lacing;
    const auto end = std::find_if(lacing.begin(), lacing.end(), [](uint8_t v) { return v < 255; });
    if (end == lacing.end()) {
        return std::nullopt;
    }
    const size_t oldSegments = static_cast<size_t>(end - lacing.begin()) + 1;
    const size_t newSegments = packet.size() / 255 + 1;
    if (newSegments + lacing.size() - oldSegments > 255) {
        return std::nullopt;
    }
    OggPageHeader header = s.second;
    header.lacing.assign(packet.size() / 255, 255);
    header.lacing.push_back(static_cast<uint8_t>(packet.size() % 255));
    header.lacing.insert(header.lacing.end(), end + 1, lacing.end());
    std::vector<uint8_t> body = packet;
    const int64_t restStart = s.second.BodyStart() + s.commentPacket.size;
    std::vector<uint8_t> rest(static_cast<size_t>(s.second.End() - restStart));
    ReadAt(file, restStart, rest.data(), rest.size());
    body.insert(body.end(), rest.begin(), rest.end());
    return BuildOggPage(header, body.data(), body.size());
}

// Copies the pages after the header pages, moving the sequence numbers of the stream's pages
// by delta (with new CRCs). Anything that is not a page of the stream is copied unchanged.
void CopyRenumbered(Stream& file, int64_t position, uint32_t serial, uint32_t delta,
                    int64_t fileSize, TagRewriteOutput& out) {
    while (position < fileSize) {
        OggPageHeader page;
        if (delta == 0 || !ReadOggPageHeader(file, position, page) || page.End() > fileSize ||
            (page.serial == serial && (page.headerType & kOggFirstPage) != 0)) {
            out.CopyRange(file, position, fileSize - position);
            return;
        }
        if (page.serial != serial) {
            out.CopyRange(file, position, page.End() - position);
        } else {
            std::vector<uint8_t> body(static_cast<size_t>(page.BodySize()));
            ReadAt(file, page.BodyStart(), body.data(), body.size());
            page.sequence += delta;
            out.Write(BuildOggPage(page, body.data(), body.size()));
        }
        position = page.End();
    }
}

// Puts the new comment header and the setup header on new pages in place of the old header
// pages. False when the old header pages are not laid out as Vorbis requires.
bool WriteRepaginated(Stream& file, const OggStructure& s, const std::vector<uint8_t>& packet,
                      TagRewriteOutput& out) {
    const OggPacketMap map = MapOggPackets(file, s.second, 2, kMaxHeaderPages);
    if (map.packets.size() != 2 || !map.packets[1].complete || map.lacingAfter != 0 ||
        map.pages.back().End() > s.fileSize) {
        return false;
    }
    const OggPageHeader& last = map.pages.back();
    const auto pages =
        PaginateOggPackets({packet, map.packets[1].ReadAll(file)}, s.second.serial,
                           s.second.sequence, last.granule, last.headerType & kOggLastPage);
    out.CopyRange(file, 0, s.secondPosition);
    for (const auto& page : pages) {
        out.Write(page);
    }
    const auto delta = static_cast<uint32_t>(pages.size() - map.pages.size());
    CopyRenumbered(file, last.End(), s.second.serial, delta, s.fileSize, out);
    return true;
}

} // namespace

std::string VorbisChannelModeText(unsigned channels) {
    static constexpr std::array<const char*, 6> kNames = {"Unknown", "Mono", "Stereo",
                                                          "3Ch",     "4Ch",  "5.1Ch"};
    return channels < kNames.size() ? kNames[channels] : std::to_string(channels) + "Ch";
}

void TOggVorbis::Clear() {
    fileSize_ = 0;
    channelModeID_ = 0;
    sampleRate_ = 0;
    bitRateNominal_ = 0;
    samples_ = 0;
    id3v2Size_ = 0;
    ClearComments();
}

bool TOggVorbis::ReadInfo(const std::string& fileName) {
    Clear();
    // A file that cannot be opened at all is the caller's to report.
    FileStream file(fileName, FileStream::Mode::Read);
    OggStructure s;
    try {
        if (!ReadStructure(file, s)) {
            return false;
        }
    } catch (const EStreamError&) {
        return false;
    }
    fileSize_ = s.fileSize;
    channelModeID_ = s.identification[11];
    sampleRate_ = LE32(&s.identification[12]);
    const auto nominal = static_cast<int32_t>(LE32(&s.identification[20]));
    bitRateNominal_ =
        static_cast<uint16_t>(std::clamp<double>(std::nearbyint(nominal / 1000.0), 0, 65535));
    id3v2Size_ = s.id3v2Size;
    // A granule position that would make the average bit rate round to nothing (a broken or
    // hostile last page) says nothing about the length; the estimate from the nominal rate
    // stands in for it.
    samples_ = s.samples;
    if (samples_ > 0 && sampleRate_ > 0 &&
        static_cast<double>(fileSize_ - id3v2Size_) * sampleRate_ / static_cast<double>(samples_) /
                125 <
            0.5) {
        samples_ = 0;
    }

    TakeComments(s.comments.block);
    // Some writers put the vendor among the comments, without a name.
    if (Vendor().empty()) {
        for (const auto& comment : Comments().Comments()) {
            if (comment.find('=') == std::string::npos) {
                SetVendor(TrimBlanks(Utf8FromUtf8OrLatin1(comment)));
                break;
            }
        }
    }
    return true;
}

bool TOggVorbis::WriteTag(const std::string& fileName) {
    return RewriteThroughTempFile(fileName, [&](Stream& file, TagRewriteOutput& out) {
        OggStructure s;
        if (!ReadStructure(file, s) || !s.secondIsPage || !s.comments.present ||
            s.comments.overrun || (s.second.headerType & kOggContinued) != 0 ||
            s.commentPacket.size > kMaxCommentPacket) {
            return false;
        }
        VorbisCommentBlock block = s.comments.block;
        block.ApplyFields(Fields());
        const std::vector<uint8_t> packet = BuildCommentPacket(file, s, block);
        if (s.second.End() <= s.fileSize) {
            if (const auto page = RebuildSecondPage(file, s, packet)) {
                out.CopyRange(file, 0, s.secondPosition);
                out.Write(*page);
                out.CopyRange(file, s.second.End(), s.fileSize - s.second.End());
                return true;
            }
        }
        return WriteRepaginated(file, s, packet, out);
    });
}

std::string TOggVorbis::ChannelMode() const {
    return VorbisChannelModeText(channelModeID_);
}

double TOggVorbis::Duration() const {
    if (samples_ > 0) {
        return sampleRate_ > 0 ? static_cast<double>(samples_) / sampleRate_ : 0;
    }
    if (bitRateNominal_ > 0 && channelModeID_ > 0) {
        return static_cast<double>(fileSize_ - id3v2Size_) / bitRateNominal_ / channelModeID_ /
               125 * 2;
    }
    return 0;
}

int TOggVorbis::BitRate() const {
    return AverageKbps(fileSize_ - id3v2Size_, Duration());
}

bool TOggVorbis::Valid() const {
    return channelModeID_ >= 1 && channelModeID_ <= 6 && sampleRate_ > 0 && Duration() > 0.1 &&
           BitRate() != 0;
}

} // namespace quillon
