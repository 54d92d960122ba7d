#pragma once

#include <array>
#include <string_view>

namespace quillon {

// The genre names of ID3v1 tags, indexed by the tag's genre byte. Every genre list of the
// windows shows them in this order, so a list position equals a genre byte.
extern const std::array<std::string_view, 148> ID3Genres;

} // namespace quillon
