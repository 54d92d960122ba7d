#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// Reads a list of track numbers such as "1,3-5": numbers and inclusive ranges from 1 to 99,
// separated by commas. Returns them in ascending order without repeats, or nothing with what
// is wrong in problem.
std::optional<std::vector<int>> ParseTrackList(const std::string& text, std::string& problem);

} // namespace quillon::cli
