#pragma once

#include "platform/Stream.h"

#include <cstdint>
#include <vector>

namespace quillon {

// The Ogg CRC-32 (polynomial 0x04C11DB7, not reflected, initial value 0, no final XOR),
// continued from crc over size more bytes.
uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc = 0);

// Header-type flags of an Ogg page.
constexpr uint8_t kOggContinued = 0x01;
constexpr uint8_t kOggFirstPage = 0x02;
constexpr uint8_t kOggLastPage = 0x04;

// Fixed part of a page header before the lacing values.
constexpr size_t kOggHeaderSize = 27;
// Granule position of a page on which no packet ends.
constexpr uint64_t kOggNoGranule = ~uint64_t{0};

// One page header as found in a file.
struct OggPageHeader {
    int64_t position = 0; // file offset of "OggS"
    uint8_t headerType = 0;
    uint64_t granule = 0;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    std::vector<uint8_t> lacing;

    int64_t HeaderSize() const { return static_cast<int64_t>(kOggHeaderSize + lacing.size()); }
    int64_t BodySize() const;
    int64_t BodyStart() const { return position + HeaderSize(); }
    int64_t End() const { return BodyStart() + BodySize(); }
};

// Reads the page header at position; false when there is no complete header with "OggS" and
// version 0 there.
bool ReadOggPageHeader(Stream& file, int64_t position, OggPageHeader& page);

// Where the bytes of one packet lie in a file.
struct OggPacketExtent {
    struct Span {
        int64_t offset;
        int64_t length;
    };
    std::vector<Span> spans;
    int64_t size = 0;
    bool complete = false; // a lacing value below 255 ended it

    // Copies count bytes from the packet offset into buffer; bytes past the packet's end, or
    // past the file's end, are zero.
    void Read(Stream& file, int64_t offset, uint8_t* buffer, size_t count) const;
    std::vector<uint8_t> ReadAll(Stream& file) const;
};

// The first packets of a logical stream from a page on, followed across the pages that
// continue them, and the pages they occupy.
struct OggPacketMap {
    std::vector<OggPageHeader> pages;
    std::vector<OggPacketExtent> packets;
    // Lacing values after the end of the last packet, on the last page.
    size_t lacingAfter = 0;
};

// Maps up to count packets that start at the beginning of the body of firstPage. Pages that
// continue them must follow directly, with the same serial number and the continuation flag;
// the map stops short (packets incomplete) where they do not, or after maxPages pages.
OggPacketMap MapOggPackets(Stream& file, const OggPageHeader& firstPage, size_t count,
                           size_t maxPages);

// A whole page: its header fields and lacing values, the body, and the CRC over both.
std::vector<uint8_t> BuildOggPage(const OggPageHeader& header, const uint8_t* body,
                                  size_t bodySize);

// Splits packets into new pages of one logical stream, starting with sequence number
// firstSequence. Each page holds at most 255 lacing values; a page on which a packet ends
// takes endGranule as its granule position, any other page kOggNoGranule. The last packet
// finishes the last page, which takes lastFlags besides.
std::vector<std::vector<uint8_t>>
PaginateOggPackets(const std::vector<std::vector<uint8_t>>& packets, uint32_t serial,
                   uint32_t firstSequence, uint64_t endGranule, uint8_t lastFlags);

} // namespace quillon
