#pragma once

#include <string>
#include <string_view>

namespace quillon::cli {

// Appends a text as a JSON string, quotes and control characters escaped. Bytes that are not
// part of valid UTF-8 (a file name from a Latin-1 system, say) become U+FFFD each, so that the
// output is always valid UTF-8.
void AppendJsonString(std::string& out, std::string_view text);

// The text with what a terminal would act on made visible: control characters (C0, DEL and
// the C1 range) and bytes that are not valid UTF-8 become "\xNN" escapes of their bytes.
std::string TerminalText(std::string_view text);

} // namespace quillon::cli
