#include "codecs/AsfHeaderTags.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quillon {

namespace {

using Guid = std::array<uint8_t, 16>;

// Object identifiers as stored: the first three fields little-endian.
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                              0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr Guid kPadding = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                           0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};

constexpr size_t kObjectHeaderBytes = 24;   // identifier and 64-bit size
constexpr size_t kHeaderObjectBytes = 30;   // plus the object count and two reserved bytes
constexpr size_t kMaxHeaderBytes = 1 << 24; // far beyond any header this program writes
// A string field's length is a 16-bit byte count that includes the terminator.
constexpr size_t kMaxTextUnits = 32000;
constexpr char kReserveName[] = "QuillonTagRoom";

bool InContentDescription(const std::string& name) {
    return name == "Title" || name == "Author" || name == "Description";
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put64(std::vector<uint8_t>& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint64_t Get(const std::vector<uint8_t>& bytes, size_t at, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | bytes[at + static_cast<size_t>(i)];
    }
    return value;
}

void Set(std::vector<uint8_t>& bytes, size_t at, int width, uint64_t value) {
    for (int i = 0; i < width; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A text as zero-terminated UTF-16LE, cut (between characters) to what a length field holds.
std::vector<uint8_t> Utf16z(const std::string& text) {
    std::u16string units = Utf16FromUtf8(text);
    if (units.size() > kMaxTextUnits) {
        size_t cut = kMaxTextUnits;
        if (units[cut - 1] >= 0xD800 && units[cut - 1] <= 0xDBFF) {
            --cut;
        }
        units.resize(cut);
    }
    std::vector<uint8_t> out;
    for (const char16_t unit : units) {
        Put16(out, unit);
    }
    Put16(out, 0);
    return out;
}

void PutObjectStart(std::vector<uint8_t>& out, const Guid& id, uint64_t size) {
    out.insert(out.end(), id.begin(), id.end());
    Put64(out, size);
}

// The content description and extended content description objects of the tags; an object
// without tags is left out. `count` receives the number of objects.
std::vector<uint8_t> TagObjects(const std::vector<AsfTag>& tags, int& count) {
    std::vector<uint8_t> out;
    count = 0;
    std::array<std::vector<uint8_t>, 5> fields; // title, author, copyright, description, rating
    bool anyField = false;
    std::vector<uint8_t> descriptors;
    int descriptorCount = 0;
    for (const AsfTag& tag : tags) {
        if (tag.value.empty()) {
            continue;
        }
        if (InContentDescription(tag.name)) {
            const size_t slot = tag.name == "Title" ? 0 : tag.name == "Author" ? 1 : 3;
            fields[slot] = Utf16z(tag.value);
            anyField = true;
            continue;
        }
        const std::vector<uint8_t> name = Utf16z(tag.name);
        const std::vector<uint8_t> value = Utf16z(tag.value);
        Put16(descriptors, static_cast<uint32_t>(name.size()));
        descriptors.insert(descriptors.end(), name.begin(), name.end());
        Put16(descriptors, 0); // a Unicode string
        Put16(descriptors, static_cast<uint32_t>(value.size()));
        descriptors.insert(descriptors.end(), value.begin(), value.end());
        ++descriptorCount;
    }
    if (anyField) {
        size_t size = kObjectHeaderBytes + 2 * fields.size();
        for (const auto& field : fields) {
            size += field.size();
        }
        PutObjectStart(out, kContentDescription, size);
        for (const auto& field : fields) {
            Put16(out, static_cast<uint32_t>(field.size()));
        }
        for (const auto& field : fields) {
            out.insert(out.end(), field.begin(), field.end());
        }
        ++count;
    }
    if (descriptorCount > 0) {
        PutObjectStart(out, kExtendedContentDescription,
                       kObjectHeaderBytes + 2 + descriptors.size());
        Put16(out, static_cast<uint32_t>(descriptorCount));
        out.insert(out.end(), descriptors.begin(), descriptors.end());
        ++count;
    }
    return out;
}

} // namespace

std::vector<std::pair<std::string, std::string>> AsfTagReserve(const std::vector<AsfTag>& tags) {
    int count = 0;
    // Room for the objects and a padding object after them, in UTF-16 units of reserve text.
    size_t units = (TagObjects(tags, count).size() + kObjectHeaderBytes) / 2 + 1;
    std::vector<std::pair<std::string, std::string>> reserve;
    for (int i = 0; units > 0; ++i) {
        const size_t part = std::min(units, kMaxTextUnits);
        reserve.emplace_back(kReserveName + std::to_string(i), std::string(part, ' '));
        units -= part;
    }
    return reserve;
}

bool WriteAsfTags(Stream& stream, const std::vector<AsfTag>& tags) {
    std::array<uint8_t, kHeaderObjectBytes> start{};
    stream.SetPosition(0);
    if (!stream.ReadExact(start.data(), start.size()) ||
        !std::equal(kHeaderObject.begin(), kHeaderObject.end(), start.begin())) {
        return false;
    }
    uint64_t headerSize = 0;
    for (int i = 7; i >= 0; --i) {
        headerSize = headerSize << 8 | start[16 + static_cast<size_t>(i)];
    }
    if (headerSize < kHeaderObjectBytes || headerSize > kMaxHeaderBytes) {
        return false;
    }
    std::vector<uint8_t> header(headerSize);
    std::copy(start.begin(), start.end(), header.begin());
    if (!stream.ReadExact(header.data() + kHeaderObjectBytes, headerSize - kHeaderObjectBytes)) {
        return false;
    }
    for (size_t at = kHeaderObjectBytes; at + kObjectHeaderBytes <= header.size();) {
        const uint64_t size = Get(header, at + 16, 8);
        if (size < kObjectHeaderBytes || size > header.size() - at) {
            return false;
        }
        if (std::equal(kExtendedContentDescription.begin(), kExtendedContentDescription.end(),
                       header.begin() + static_cast<std::ptrdiff_t>(at))) {
            int count = 0;
            std::vector<uint8_t> objects = TagObjects(tags, count);
            if (objects.size() + kObjectHeaderBytes > size) {
                return false;
            }
            PutObjectStart(objects, kPadding, size - objects.size());
            objects.resize(size, 0);
            std::copy(objects.begin(), objects.end(),
                      header.begin() + static_cast<std::ptrdiff_t>(at));
            // The reserve object becomes the tag objects and the padding.
            Set(header, 24, 4, Get(header, 24, 4) + static_cast<uint64_t>(count));
            stream.SetPosition(0);
            stream.Write(header.data(), header.size());
            return true;
        }
        at += size;
    }
    return false;
}

} // namespace quillon
