#include "tags/TagTextRules.h"

#include <charconv>

namespace quillon {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

std::string TrimBlanksRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(0, end));
}

std::string TrimBlanks(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) {
        ++begin;
    }
    return TrimBlanksRight(text.substr(begin));
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

uint8_t TrackFromText(std::string_view text) {
    const size_t slash = text.find('/');
    const std::string number =
        TrimBlanks(slash == std::string_view::npos ? text : text.substr(0, slash));
    const size_t start = !number.empty() && number[0] == '+' ? 1 : 0;
    if (start == 1 && number.size() > 1 && number[1] == '-') {
        return 0;
    }
    int32_t value = 0;
    const char* first = number.data() + start;
    const char* last = number.data() + number.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        return 0;
    }
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
}

} // namespace quillon
