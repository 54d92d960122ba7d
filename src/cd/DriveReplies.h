#pragma once

#include "cd/DiscToc.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon {

// Allocation lengths of the two commands the drive table sends.
constexpr size_t kInquiryReplySize = 100;
constexpr size_t kTocReplySize = 804; // header and 100 descriptors: 99 tracks and the lead-out

// The identification texts of a SCSI INQUIRY reply, each as wide as its field (drives pad with
// spaces). A field ends at a zero byte; other bytes outside printable ASCII become '?'.
struct InquiryStrings {
    std::string Vendor;         // bytes 8 .. 15
    std::string Product;        // bytes 16 .. 31
    std::string Revision;       // bytes 32 .. 35
    std::string VendorSpecific; // bytes 36 .. 55
};

// Reads the texts from the bytes a drive returned; bytes it did not send count as zero.
InquiryStrings ParseInquiryReply(std::span<const uint8_t> reply);

// Converts a READ TOC reply in MSF form (format 0) into toc and returns true on failure, as the
// table-of-contents read reports it. The reply's data length bounds what is read; bytes beyond
// it count as zero, as in the cleared buffer the drive writes into.
//  - An empty drive (first and last track 0) fails and leaves one track and a lead-out taken
//    from the first two descriptors, so zero times.
//  - Otherwise NumTracks is last - first + 1, track i is descriptor i (audio when the data bit
//    4 of its control field is clear) and the lead-out descriptor NumTracks (never audio).
//  - Track numbers that make no range of 1 .. 99 fail and leave a cleared record.
bool ConvertTocReply(std::span<const uint8_t> reply, DiscToc& toc);

} // namespace quillon
