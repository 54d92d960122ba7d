#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Text rules shared by the tag classes. Tag texts are UTF-8; "blank" means a byte of code 32
// or below (space, NUL, control characters), which never occurs inside a multi-byte character.

std::string TrimBlanksRight(std::string_view text);
std::string TrimBlanks(std::string_view text);
// Upper case of ASCII letters only; other bytes unchanged.
std::string AsciiUpper(std::string_view text);
// A track text: the part before the first "/" (a total follows it) as a decimal integer,
// kept modulo 256; a text that is not a number gives 0.
uint8_t TrackFromText(std::string_view text);

} // namespace quillon
