#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Texts inside the program are UTF-8. These convert them to and from the encodings that file
// formats store. Malformed input never raises: a broken UTF-8 sequence or a lone surrogate
// decodes as U+FFFD.

// Characters outside Latin-1 become '?'.
std::string Latin1FromUtf8(std::string_view utf8);
std::string Utf8FromLatin1(std::string_view latin1);
std::string Utf8FromUtf16(std::u16string_view utf16);
std::u16string Utf16FromUtf8(std::string_view utf8);
// UTF-16 text stored as bytes; bigEndian chooses the byte order of its code units (a trailing
// odd byte is dropped).
std::string Utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian);

// True when the text is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsUtf8(std::string_view text);
// True when every character of the UTF-8 text is in Latin-1.
bool FitsLatin1(std::string_view utf8);
// UTF-8 text as it is when it is well-formed, otherwise read as Latin-1: for formats whose
// older writers stored single-byte texts where UTF-8 is expected now.
std::string Utf8FromUtf8OrLatin1(std::string_view text);

} // namespace quillon
