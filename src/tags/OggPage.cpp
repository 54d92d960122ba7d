#include "tags/OggPage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillon {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
        }
        table[i] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr size_t kMaxLacing = 255;

void PutLE32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc) {
    for (size_t i = 0; i < size; ++i) {
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ data[i]) & 0xFF];
    }
    return crc;
}

int64_t OggPageHeader::BodySize() const {
    int64_t size = 0;
    for (const uint8_t value : lacing) {
        size += value;
    }
    return size;
}

bool ReadOggPageHeader(Stream& file, int64_t position, OggPageHeader& page) {
    std::array<uint8_t, kOggHeaderSize> fixed{};
    file.SetPosition(position);
    if (!file.ReadExact(fixed.data(), fixed.size()) || std::memcmp(fixed.data(), "OggS", 4) != 0 ||
        fixed[4] != 0) {
        return false;
    }
    page.position = position;
    page.headerType = fixed[5];
    page.granule = GetLE32(&fixed[6]) | static_cast<uint64_t>(GetLE32(&fixed[10])) << 32;
    page.serial = GetLE32(&fixed[14]);
    page.sequence = GetLE32(&fixed[18]);
    page.lacing.assign(fixed[26], 0);
    return file.ReadExact(page.lacing.data(), page.lacing.size());
}

void OggPacketExtent::Read(Stream& file, int64_t offset, uint8_t* buffer, size_t count) const {
    if (count == 0) {
        return;
    }
    std::memset(buffer, 0, count);
    int64_t spanStart = 0;
    for (const auto& span : spans) {
        const int64_t want = static_cast<int64_t>(count);
        if (spanStart + span.length > offset && offset + want > spanStart) {
            const int64_t from = std::max(offset, spanStart);
            const int64_t to = std::min(offset + want, spanStart + span.length);
            file.SetPosition(span.offset + (from - spanStart));
            file.Read(buffer + (from - offset), static_cast<size_t>(to - from));
        }
        spanStart += span.length;
        if (spanStart >= offset + want) {
            break;
        }
    }
}

std::vector<uint8_t> OggPacketExtent::ReadAll(Stream& file) const {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    Read(file, 0, bytes.data(), bytes.size());
    return bytes;
}

OggPacketMap MapOggPackets(Stream& file, const OggPageHeader& firstPage, size_t count,
                           size_t maxPages) {
    OggPacketMap map;
    map.packets.emplace_back();
    OggPageHeader page = firstPage;
    for (;;) {
        map.pages.push_back(page);
        int64_t offset = page.BodyStart();
        for (size_t i = 0; i < page.lacing.size(); ++i) {
            auto& packet = map.packets.back();
            const uint8_t value = page.lacing[i];
            if (value > 0) {
                if (!packet.spans.empty() &&
                    packet.spans.back().offset + packet.spans.back().length == offset) {
                    packet.spans.back().length += value;
                } else {
                    packet.spans.push_back({offset, value});
                }
            }
            packet.size += value;
            offset += value;
            if (value < 255) {
                packet.complete = true;
                if (map.packets.size() == count) {
                    map.lacingAfter = page.lacing.size() - i - 1;
                    return map;
                }
                map.packets.emplace_back();
            }
        }
        // The next page continues a packet exactly when this one ended inside it.
        const bool open = !page.lacing.empty() && page.lacing.back() == 255;
        OggPageHeader next;
        if (map.pages.size() >= maxPages || !ReadOggPageHeader(file, page.End(), next) ||
            next.serial != page.serial || ((next.headerType & kOggContinued) != 0) != open) {
            break;
        }
        page = std::move(next);
    }
    // The packet that was still open when the pages ran out stays incomplete; one that had
    // not begun is dropped.
    if (map.packets.size() > 1 && !map.packets.back().complete && map.packets.back().size == 0) {
        map.packets.pop_back();
    }
    return map;
}

std::vector<uint8_t> BuildOggPage(const OggPageHeader& header, const uint8_t* body,
                                  size_t bodySize) {
    std::vector<uint8_t> page(kOggHeaderSize + header.lacing.size() + bodySize);
    std::memcpy(page.data(), "OggS", 4);
    page[4] = 0;
    page[5] = header.headerType;
    PutLE32(&page[6], static_cast<uint32_t>(header.granule));
    PutLE32(&page[10], static_cast<uint32_t>(header.granule >> 32));
    PutLE32(&page[14], header.serial);
    PutLE32(&page[18], header.sequence);
    page[26] = static_cast<uint8_t>(header.lacing.size());
    std::memcpy(&page[kOggHeaderSize], header.lacing.data(), header.lacing.size());
    if (bodySize > 0) {
        std::memcpy(&page[kOggHeaderSize + header.lacing.size()], body, bodySize);
    }
    PutLE32(&page[22], OggCrc(page.data(), page.size()));
    return page;
}

std::vector<std::vector<uint8_t>>
PaginateOggPackets(const std::vector<std::vector<uint8_t>>& packets, uint32_t serial,
                   uint32_t firstSequence, uint64_t endGranule, uint8_t lastFlags) {
    std::vector<std::vector<uint8_t>> pages;
    OggPageHeader header;
    header.serial = serial;
    header.sequence = firstSequence;
    std::vector<uint8_t> body;
    bool packetEnded = false; // on the page being filled
    bool continued = false;   // the page being filled starts inside a packet

    const auto flush = [&](bool last) {
        header.headerType =
            static_cast<uint8_t>((continued ? kOggContinued : 0) | (last ? lastFlags : 0));
        header.granule = packetEnded ? endGranule : kOggNoGranule;
        // A page that ends with a full segment leaves its packet to the next page.
        continued = !header.lacing.empty() && header.lacing.back() == 255;
        pages.push_back(BuildOggPage(header, body.data(), body.size()));
        ++header.sequence;
        header.lacing.clear();
        body.clear();
        packetEnded = false;
    };

    for (const auto& packet : packets) {
        size_t offset = 0;
        // A packet of n bytes takes n / 255 lacing values of 255 and one below 255.
        for (;;) {
            if (header.lacing.size() == kMaxLacing) {
                flush(false);
            }
            const size_t segment = std::min<size_t>(packet.size() - offset, 255);
            header.lacing.push_back(static_cast<uint8_t>(segment));
            body.insert(body.end(), packet.begin() + static_cast<std::ptrdiff_t>(offset),
                        packet.begin() + static_cast<std::ptrdiff_t>(offset + segment));
            offset += segment;
            if (segment < 255) {
                packetEnded = true;
                break;
            }
        }
    }
    flush(true);
    return pages;
}

} // namespace quillon
