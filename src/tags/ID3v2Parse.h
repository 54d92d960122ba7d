#pragma once

#include "tags/ID3v2Frame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The frames of an ID3v2 tag of version 2.2, 2.3 or 2.4, converted into version 2.3 form.
struct TID3v2Parse {
    std::vector<TID3v2Frame> Frames;
    // Why the frames cannot be written back faithfully as a version 2.3 tag; empty when they can.
    std::string Problem;
    // The stated size holds frames and zero padding only (nothing else, such as audio data).
    bool Clean = true;
};

// Whole length of the tag whose 10-byte header is given: header, stated size and, in version
// 2.4, the footer the flags announce.
int64_t Id3v2TagLength(const uint8_t* header);

// Parses a whole tag (header, body and any footer). Never reads outside `tag`.
TID3v2Parse ParseId3v2(const std::vector<uint8_t>& tag);

} // namespace quillon
