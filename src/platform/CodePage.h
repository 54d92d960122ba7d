#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Tag texts are single-byte Latin-1 strings; these convert them to and from the encodings
// that files and the desktop use. Characters outside Latin-1 become '?'.
std::string Latin1FromUtf8(std::string_view utf8);
std::string Utf8FromLatin1(std::string_view latin1);
std::string Latin1FromUtf16(std::u16string_view utf16);
std::u16string Utf16FromLatin1(std::string_view latin1);

} // namespace quillon
