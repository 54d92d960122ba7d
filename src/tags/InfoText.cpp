#include "tags/InfoText.h"

#include "tags/TagTextRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace quillon {

std::string MonoStereoText(unsigned channels) {
    switch (channels) {
    case 1:
        return "Mono";
    case 2:
        return "Stereo";
    default:
        return "Unknown";
    }
}

std::u16string TrimBlanks16(std::u16string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1] <= 32) {
        --end;
    }
    return std::u16string(text.substr(begin, end - begin));
}

int AverageKbps(int64_t bytes, double seconds) {
    if (seconds <= 0) {
        return 0;
    }
    // nearbyint rounds halves to even in the default rounding mode.
    const double rate = std::nearbyint(static_cast<double>(bytes) / seconds / 125);
    return static_cast<int>(std::clamp(rate, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

std::optional<int> ParseDecimal(std::string_view text) {
    const std::string trimmed = TrimBlanks(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;
        }
    }
    int value = 0;
    const char* last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, value);
    if (digits.empty() || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

} // namespace quillon
