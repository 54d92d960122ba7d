#include "platform/CodePage.h"

namespace quillon {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i], advancing i; a malformed sequence decodes as U+FFFD
// (clearing wellFormed) and consumes only its lead byte, so that no well-formed character
// after it is lost.
char32_t NextCodePoint(std::string_view text, size_t& i, bool& wellFormed) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        wellFormed = false;
        return kReplacement;
    }
    size_t at = i;
    for (int k = 0; k < extra; ++k, ++at) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            wellFormed = false;
            return kReplacement;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        wellFormed = false;
        return kReplacement;
    }
    i = at;
    return cp;
}

char32_t NextCodePoint(std::string_view text, size_t& i) {
    bool ignored = true;
    return NextCodePoint(text, i, ignored);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes UTF-16 code units given one at a time by unit(i).
template <typename Unit> std::string Utf8FromUnits(size_t count, Unit unit) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : char32_t{u});
    }
    return out;
}

} // namespace

std::string Latin1FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
    }
    return out;
}

std::string Utf8FromLatin1(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        AppendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
    return Utf8FromUnits(utf16.size(), [&](size_t i) { return utf16[i]; });
}

std::string Utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    return Utf8FromUnits(bytes.size() / 2, [&](size_t i) {
        const unsigned first = byte(2 * i);
        const unsigned second = byte(2 * i + 1);
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    });
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool IsUtf8(std::string_view text) {
    bool wellFormed = true;
    for (size_t i = 0; i < text.size() && wellFormed;) {
        NextCodePoint(text, i, wellFormed);
    }
    return wellFormed;
}

bool FitsLatin1(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        if (NextCodePoint(utf8, i) > 0xFF) {
            return false;
        }
    }
    return true;
}

std::string Utf8FromUtf8OrLatin1(std::string_view text) {
    return IsUtf8(text) ? std::string(text) : Utf8FromLatin1(text);
}

} // namespace quillon
