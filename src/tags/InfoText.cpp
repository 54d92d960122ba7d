#include "tags/InfoText.h"

#include "tags/TagTextRules.h"

#include <charconv>

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

std::string Latin1FromUtf8Prefix(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        size_t extra = 0;
        char32_t cp = 0;
        if (lead >= 0xC0 && lead < 0xE0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            break; // a continuation byte or an invalid lead where a character should start
        }
        if (i + extra >= utf8.size()) {
            break; // truncated sequence
        }
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if (next < 0x80 || next > 0xBF) {
                return out;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += extra + 1;
    }
    return out;
}

} // namespace quillon
