#include "cddb/CddbText.h"

#include <cctype>
#include <charconv>

namespace quillon::cddb {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

std::string Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::optional<int> ReplyCode(std::string_view line) {
    if (line.size() < 3) {
        return std::nullopt;
    }
    int code = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return std::nullopt;
        }
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

std::optional<int> ParseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::string UrlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ') {
            encoded += '+';
        } else if (byte < 0x80 && std::isalnum(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string HelloUserHost(std::string_view emailUser) {
    const size_t at = emailUser.rfind('@');
    if (at == std::string_view::npos) {
        return {};
    }
    return std::string(emailUser.substr(0, at)) + ' ' + std::string(emailUser.substr(at + 1));
}

std::string HelloWord(std::string_view text) {
    std::string word = text.empty() ? std::string("_") : std::string(text);
    for (char& c : word) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F') {
            c = '_';
        }
    }
    return word;
}

std::vector<std::string> SplitLines(std::string_view body) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\r' && body[i] != '\n') {
            continue;
        }
        lines.emplace_back(body.substr(start, i - start));
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < body.size()) {
        lines.emplace_back(body.substr(start));
    }
    return lines;
}

std::string FirstCharacters(std::string_view utf8, size_t count) {
    size_t end = 0;
    for (size_t characters = 0; end < utf8.size() && characters < count; ++characters) {
        ++end;
        // Continuation bytes belong to the character before them.
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    return std::string(utf8.substr(0, end));
}

} // namespace quillon::cddb
