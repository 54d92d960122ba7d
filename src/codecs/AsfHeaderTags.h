#pragma once

#include "platform/Stream.h"

#include <string>
#include <utility>
#include <vector>

namespace quillon {

// One string attribute of an ASF file: "Title", "Author" and "Description" go into the
// content description object, every other name into the extended content description.
struct AsfTag {
    std::string name;
    std::string value; // UTF-8
};

// The muxer writes some attributes twice and renames others, so the header is given only a
// reserve: metadata entries (name, value) whose extended content description object is large
// enough to be replaced by the tags' own objects afterwards.
std::vector<std::pair<std::string, std::string>> AsfTagReserve(const std::vector<AsfTag>& tags);

// Replaces the reserve object in the ASF header at the start of the stream with the objects of
// the tags, each written once, and a padding object for the rest of the room; the header keeps
// its size. False when the header holds no reserve object with enough room.
bool WriteAsfTags(Stream& stream, const std::vector<AsfTag>& tags);

} // namespace quillon
