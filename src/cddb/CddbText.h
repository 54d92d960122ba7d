#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cddb {

// The text without the characters of code 32 or below at both ends.
std::string Trim(std::string_view text);

// True when text starts with prefix, letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The reply code of a server line: the value of its first three characters when all three are
// decimal digits; nothing otherwise (an empty line, a match line, an entry line).
std::optional<int> ReplyCode(std::string_view line);

// A whole decimal number with an optional sign and nothing else around it; nothing when the
// text is not one or does not fit an int.
std::optional<int> ParseInteger(std::string_view text);

// Query-string encoding: a space becomes "+", ASCII letters and digits stay, every other byte
// becomes "%" and two uppercase hexadecimal digits.
std::string UrlEncode(std::string_view text);

// The user and host words of the hello from an e-mail address: the text before its last "@",
// a space and the text after it; empty for an address without "@".
std::string HelloUserHost(std::string_view emailUser);

// A word of the line-mode hello: that protocol has no escapes, so a space, a line break or
// another control character, which would split the command or start another, becomes "_", and
// so does an empty word, which would shift the others.
std::string HelloWord(std::string_view text);

// The lines of a reply body, split at CR LF, a lone CR or a lone LF; a line end at the very end
// adds no empty line.
std::vector<std::string> SplitLines(std::string_view body);

// The first count characters of UTF-8 text (a character is a code point; a malformed byte
// counts as one).
std::string FirstCharacters(std::string_view utf8, size_t count);

} // namespace quillon::cddb
