#include "cli/TrackList.h"

#include <algorithm>
#include <charconv>

namespace quillon::cli {

namespace {

constexpr int kLastTrack = 99; // a CD holds at most 99 tracks

// A track number that fills the whole text.
std::optional<int> TrackNumber(std::string_view text) {
    int number = 0;
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1 ||
        number > kLastTrack) {
        return std::nullopt;
    }
    return number;
}

} // namespace

std::optional<std::vector<int>> ParseTrackList(const std::string& text, std::string& problem) {
    std::vector<int> tracks;
    std::string_view rest = text;
    for (;;) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const size_t dash = item.find('-');
        const auto first = TrackNumber(item.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : TrackNumber(item.substr(dash + 1));
        if (!first || !last || *last < *first) {
            problem = "invalid track list '" + text + "': '" + std::string(item) +
                      "' is not a track number from 1 to 99 nor a range such as 3-5";
            return std::nullopt;
        }
        for (int n = *first; n <= *last; ++n) {
            tracks.push_back(n);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        rest = rest.substr(comma + 1);
    }
    std::sort(tracks.begin(), tracks.end());
    tracks.erase(std::unique(tracks.begin(), tracks.end()), tracks.end());
    return tracks;
}

} // namespace quillon::cli
