#pragma once

#include <string>
#include <string_view>

namespace quillon::cli {

// Appends a UTF-8 text as a JSON string, quotes and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace quillon::cli
