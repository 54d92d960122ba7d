#include "tags/ID3v2Frame.h"

#include "platform/CodePage.h"

#include <zlib.h>

namespace quillon {

namespace {

bool IsTwoByte(uint8_t encoding) {
    return encoding == 1 || encoding == 2;
}

// Position of the terminator of the text starting at `from`, or the end of the data.
size_t TerminatorAt(uint8_t encoding, std::string_view data, size_t from) {
    if (!IsTwoByte(encoding)) {
        const size_t zero = data.find('\0', from);
        return zero == std::string_view::npos ? data.size() : zero;
    }
    for (size_t i = from; i + 1 < data.size(); i += 2) {
        if (data[i] == '\0' && data[i + 1] == '\0') {
            return i;
        }
    }
    return data.size();
}

size_t TerminatorSize(uint8_t encoding) {
    return IsTwoByte(encoding) ? 2 : 1;
}

} // namespace

std::optional<std::string> Id3Inflate(std::string_view compressed) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return std::nullopt;
    }
    std::string out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    int result = Z_OK;
    char chunk[16384];
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
        if (out.size() > kId3MaxInflated ||
            (result == Z_OK && z.avail_in == 0 && z.avail_out != 0)) {
            break;
        }
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END || out.size() > kId3MaxInflated) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> Id3FrameContent(const TID3v2Frame& frame) {
    if (frame.FormatFlags & kId3v23Encrypted) {
        return std::nullopt;
    }
    size_t skip = (frame.FormatFlags & kId3v23Compressed ? 4 : 0) +
                  (frame.FormatFlags & kId3v23Grouped ? 1 : 0);
    if (skip > frame.Data.size()) {
        return std::nullopt;
    }
    const std::string_view data(reinterpret_cast<const char*>(frame.Data.data()) + skip,
                                frame.Data.size() - skip);
    if (frame.FormatFlags & kId3v23Compressed) {
        return Id3Inflate(data);
    }
    return std::string(data);
}

std::string Id3Resynchronise(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (static_cast<uint8_t>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0') {
            ++i;
        }
    }
    return out;
}

std::string Id3DecodeText(uint8_t encoding, std::string_view bytes) {
    switch (encoding) {
    case 1: {
        bool bigEndian = false;
        if (bytes.size() >= 2) {
            const auto b0 = static_cast<uint8_t>(bytes[0]);
            const auto b1 = static_cast<uint8_t>(bytes[1]);
            if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE)) {
                bigEndian = b0 == 0xFE;
                bytes.remove_prefix(2);
            }
        }
        return Utf8FromUtf16Bytes(bytes, bigEndian);
    }
    case 2:
        return Utf8FromUtf16Bytes(bytes, true);
    case 3:
        return Utf8FromUtf8OrLatin1(bytes);
    default:
        return Utf8FromLatin1(bytes);
    }
}

std::string Id3EncodeText(uint8_t encoding, std::string_view utf8) {
    if (encoding == 0) {
        return Latin1FromUtf8(utf8);
    }
    std::string out = "\xFF\xFE";
    for (const char16_t unit : Utf16FromUtf8(utf8)) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

uint8_t Id3EncodingFor(const std::vector<std::string_view>& texts) {
    for (const std::string_view text : texts) {
        if (!FitsLatin1(text)) {
            return 1;
        }
    }
    return 0;
}

std::string_view Id3Layout(std::string_view id) {
    if (id == "TXXX") {
        return "etT";
    }
    if (id == "WXXX") {
        return "etU";
    }
    if (id == "COMM" || id == "USLT") {
        return "eltT";
    }
    if (id == "APIC") {
        return "eLbtB";
    }
    if (id == "GEOB") {
        return "eLttB";
    }
    if (id == "USER") {
        return "elT";
    }
    if (id.size() == 4 && id[0] == 'T') {
        return "eT";
    }
    return {};
}

std::optional<Id3Fields> Id3SplitFields(std::string_view layout, std::string_view content) {
    Id3Fields fields;
    size_t at = 0;
    for (const char kind : layout) {
        switch (kind) {
        case 'e':
            if (at >= content.size()) {
                return std::nullopt;
            }
            fields.Encoding = static_cast<uint8_t>(content[at++]);
            if (fields.Encoding > 3) {
                return std::nullopt;
            }
            break;
        case 'l':
        case 'b': {
            const size_t width = kind == 'l' ? 3 : 1;
            if (at + width > content.size()) {
                return std::nullopt;
            }
            fields.Values.emplace_back(content.substr(at, width));
            at += width;
            break;
        }
        case 'L':
        case 't': {
            const uint8_t encoding = kind == 'L' ? 0 : fields.Encoding;
            const size_t end = TerminatorAt(encoding, content, at);
            const std::string_view bytes = content.substr(at, end - at);
            fields.Values.push_back(kind == 'L' ? std::string(bytes)
                                                : Id3DecodeText(encoding, bytes));
            at = std::min(content.size(), end + TerminatorSize(encoding));
            break;
        }
        case 'T': {
            std::string joined;
            while (at < content.size()) {
                const size_t end = TerminatorAt(fields.Encoding, content, at);
                const std::string value =
                    Id3DecodeText(fields.Encoding, content.substr(at, end - at));
                if (!value.empty()) {
                    fields.ManyValues = fields.ManyValues || !joined.empty();
                    joined += (joined.empty() ? "" : "/") + value;
                }
                at = std::min(content.size(), end + TerminatorSize(fields.Encoding));
            }
            fields.Values.push_back(std::move(joined));
            break;
        }
        default: // 'U', 'B'
            fields.Values.emplace_back(content.substr(at));
            at = content.size();
            break;
        }
    }
    return fields;
}

std::string Id3JoinFields(std::string_view layout, uint8_t encoding,
                          const std::vector<std::string>& values) {
    std::string out;
    const std::string terminator(TerminatorSize(encoding), '\0');
    size_t next = 0;
    for (const char kind : layout) {
        if (kind == 'e') {
            out.push_back(static_cast<char>(encoding));
            continue;
        }
        const std::string& value = values.at(next++);
        switch (kind) {
        case 'L':
            out += value + '\0';
            break;
        case 't':
            out += Id3EncodeText(encoding, value) + terminator;
            break;
        case 'T':
            out += Id3EncodeText(encoding, value);
            break;
        default:
            out += value;
            break;
        }
    }
    return out;
}

std::vector<std::string_view> Id3EncodedTexts(std::string_view layout,
                                              const std::vector<std::string>& values) {
    std::vector<std::string_view> texts;
    size_t next = 0;
    for (const char kind : layout) {
        if (kind == 'e') {
            continue;
        }
        if (kind == 't' || kind == 'T') {
            texts.push_back(values.at(next));
        }
        ++next;
    }
    return texts;
}

} // namespace quillon
