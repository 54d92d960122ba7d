#include "tags/APEtag.h"

#include "platform/CodePage.h"
#include "tags/TagFileReader.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillon {

namespace {

constexpr int64_t kID3v1Size = 128;
constexpr int64_t kFooterSize = 32;
constexpr uint32_t kHasHeader = 0x80000000u;
constexpr uint32_t kIsHeader = 0x20000000u;
// Items areas beyond this size (pictures of a few MiB are common) are not read.
constexpr int64_t kMaxItemsArea = int64_t{64} << 20;

uint32_t GetLE32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

bool SameKey(std::string_view a, std::string_view b) {
    return AsciiUpper(TrimBlanks(a)) == AsciiUpper(TrimBlanks(b));
}

// Gives a Stream the Seek/ReadExact/Size shape of TagFileReader.
class StreamReader {
public:
    explicit StreamReader(Stream& stream) : stream_(stream) {}
    int64_t Size() { return stream_.Size(); }
    void Seek(int64_t position) { stream_.SetPosition(position); }
    bool ReadExact(void* buffer, size_t count) { return stream_.ReadExact(buffer, count); }

private:
    Stream& stream_;
};

// What lies at the end of a file: the footer, whether an ID3v1 tag follows it, the items, and
// how many bytes at the end hold tags.
struct Tail {
    int64_t fileSize = 0;
    int64_t dataShift = 0;
    std::array<uint8_t, kFooterSize> footer{};
    std::vector<APEItem> items;
    // Bytes that a rewrite replaces: any ID3v1 tag plus the APE tag with a header that is
    // really there; -1 when the footer's size is not filled exactly by its items.
    int64_t tagBytes = 0;

    bool HasFooter() const { return std::memcmp(footer.data(), "APETAGEX", 8) == 0; }
    uint32_t Version() const { return GetLE32(footer.data() + 8); }
    uint32_t TagSize() const { return GetLE32(footer.data() + 12); }
    uint32_t ItemCount() const { return GetLE32(footer.data() + 16); }
    uint32_t Flags() const { return GetLE32(footer.data() + 20); }
};

// Parses items from an items area; true when exactly `count` items fill it.
bool ParseItems(const std::vector<uint8_t>& area, uint32_t count, std::vector<APEItem>& items) {
    size_t position = 0;
    for (uint32_t n = 0; n < count; ++n) {
        if (area.size() - position < 8) {
            return false;
        }
        const uint32_t valueSize = GetLE32(&area[position]);
        const uint32_t flags = GetLE32(&area[position + 4]);
        position += 8;
        const auto keyEnd =
            std::find(area.begin() + static_cast<ptrdiff_t>(position), area.end(), 0);
        if (keyEnd == area.end()) {
            return false;
        }
        const auto keyStart = area.begin() + static_cast<ptrdiff_t>(position);
        position = static_cast<size_t>(keyEnd - area.begin()) + 1;
        if (valueSize > area.size() - position) {
            return false;
        }
        APEItem item;
        item.Key.assign(keyStart, keyEnd);
        item.Flags = flags;
        item.Value.assign(area.begin() + static_cast<ptrdiff_t>(position),
                          area.begin() + static_cast<ptrdiff_t>(position + valueSize));
        items.push_back(std::move(item));
        position += valueSize;
    }
    return position == area.size();
}

// Reads the end of a file; false when the file is too short or cannot be read.
template <typename File> bool ReadTail(File& file, Tail& tail) {
    tail.fileSize = file.Size();
    if (tail.fileSize < kID3v1Size) {
        return false;
    }
    char mark[3] = {};
    file.Seek(tail.fileSize - kID3v1Size);
    if (!file.ReadExact(mark, sizeof mark)) {
        return false;
    }
    tail.dataShift = std::memcmp(mark, "TAG", 3) == 0 ? kID3v1Size : 0;
    file.Seek(tail.fileSize - tail.dataShift - kFooterSize);
    if (!file.ReadExact(tail.footer.data(), tail.footer.size())) {
        return false;
    }
    tail.tagBytes = tail.dataShift;
    if (!tail.HasFooter()) {
        return true;
    }
    tail.tagBytes = -1;
    const int64_t tagSize = tail.TagSize();
    if (tagSize < kFooterSize || tagSize - kFooterSize > kMaxItemsArea ||
        tail.dataShift + tagSize > tail.fileSize) {
        return true;
    }
    const int64_t itemsStart = tail.fileSize - tail.dataShift - tagSize;
    std::vector<uint8_t> area(static_cast<size_t>(tagSize - kFooterSize));
    file.Seek(itemsStart);
    if (!file.ReadExact(area.data(), area.size())) {
        return true;
    }
    if (!ParseItems(area, tail.ItemCount(), tail.items)) {
        return true;
    }
    tail.tagBytes = tail.dataShift + tagSize;
    if ((tail.Flags() & kHasHeader) != 0 && itemsStart >= kFooterSize) {
        // Only a header that is really there is cut with the tag.
        char header[8] = {};
        file.Seek(itemsStart - kFooterSize);
        if (file.ReadExact(header, sizeof header) && std::memcmp(header, "APETAGEX", 8) == 0) {
            tail.tagBytes += kFooterSize;
        }
    }
    return true;
}

std::vector<uint8_t> HeaderOrFooter(uint32_t version, uint32_t size, uint32_t count,
                                    uint32_t flags) {
    std::vector<uint8_t> out = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    PutLE32(out, version);
    PutLE32(out, size);
    PutLE32(out, count);
    PutLE32(out, flags);
    out.insert(out.end(), 8, 0);
    return out;
}

std::vector<uint8_t> BuildTag(const std::vector<APEItem>& items, bool version2000) {
    std::vector<uint8_t> body;
    for (const APEItem& item : items) {
        // Version 1000 texts were single-byte; every text of a version 2000 tag is UTF-8.
        const std::string value =
            version2000 && item.IsText() ? Utf8FromUtf8OrLatin1(item.Value) : item.Value;
        const bool terminate = item.Terminated && !version2000;
        PutLE32(body, static_cast<uint32_t>(value.size() + (terminate ? 1 : 0)));
        PutLE32(body, item.Flags);
        body.insert(body.end(), item.Key.begin(), item.Key.end());
        body.push_back(0);
        body.insert(body.end(), value.begin(), value.end());
        if (terminate) {
            body.push_back(0);
        }
    }
    const auto size = static_cast<uint32_t>(body.size() + kFooterSize);
    const auto count = static_cast<uint32_t>(items.size());
    const uint32_t version = version2000 ? 2000 : 1000;
    const uint32_t flags = version2000 ? kHasHeader : 0;
    std::vector<uint8_t> tag;
    if (version2000) {
        tag = HeaderOrFooter(version, size, count, flags | kIsHeader);
    }
    tag.insert(tag.end(), body.begin(), body.end());
    const std::vector<uint8_t> footer = HeaderOrFooter(version, size, count, flags);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

// Rewrites the file with its tags at the end replaced by newTag (which may be empty). False,
// with the file untouched, when the tags there cannot be measured safely.
bool ReplaceTail(const std::string& fileName, const std::vector<uint8_t>& newTag) {
    return RewriteThroughTempFile(fileName, [&](Stream& original, TagRewriteOutput& output) {
        StreamReader reader(original);
        Tail tail;
        if (!ReadTail(reader, tail) || tail.tagBytes < 0) {
            return false;
        }
        output.CopyRange(original, 0, tail.fileSize - tail.tagBytes);
        output.Write(newTag);
        return true;
    });
}

} // namespace

TAPEtag::TAPEtag() {
    Clear();
}

void TAPEtag::Clear() {
    exists_ = false;
    versionID_ = 0;
    size_ = 0;
    items_.clear();
}

std::string TAPEtag::Text(std::string_view key) const {
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        if (item->IsText() && SameKey(item->Key, key)) {
            return TrimBlanks(Utf8FromUtf8OrLatin1(item->Value));
        }
    }
    return {};
}

uint8_t TAPEtag::Track() const {
    return TrackFromText(Text("Track"));
}

void TAPEtag::SetTrack(uint8_t value) {
    if (value != Track()) {
        SetText("Track", value != 0 ? std::to_string(value) : std::string());
    }
}

void TAPEtag::SetText(std::string_view key, std::string_view value) {
    const std::string text = TrimBlanks(value);
    if (text == Text(key)) {
        return;
    }
    // The first item of the key takes the new text in its place; later ones would hide it.
    auto first = std::find_if(items_.begin(), items_.end(),
                              [&](const APEItem& item) { return SameKey(item.Key, key); });
    if (first != items_.end()) {
        items_.erase(std::remove_if(first + 1, items_.end(),
                                    [&](const APEItem& item) { return SameKey(item.Key, key); }),
                     items_.end());
        if (text.empty()) {
            items_.erase(first);
        } else {
            *first = APEItem{first->Key, 0, text, true};
        }
    } else if (!text.empty()) {
        items_.push_back(APEItem{std::string(key), 0, text, true});
    }
}

bool TAPEtag::ReadTag(const std::string& fileName) {
    Clear();
    Tail tail;
    try {
        TagFileReader file(fileName);
        if (!ReadTail(file, tail)) {
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    if (!tail.HasFooter()) {
        return true;
    }
    exists_ = true;
    versionID_ = static_cast<int32_t>(tail.Version());
    size_ = static_cast<int32_t>(tail.TagSize());
    items_ = std::move(tail.items);
    return true;
}

bool TAPEtag::RemoveTag(const std::string& fileName) {
    try {
        TagFileReader file(fileName);
        Tail tail;
        if (!ReadTail(file, tail)) {
            return false;
        }
        if (tail.tagBytes == 0) {
            return true; // nothing to cut
        }
    } catch (const std::exception&) {
        return false;
    }
    return ReplaceTail(fileName, {});
}

bool TAPEtag::WriteTag(const std::string& fileName) {
    const bool version2000 =
        versionID_ > 1000 || std::any_of(items_.begin(), items_.end(), [](const APEItem& item) {
            return item.IsText() && std::any_of(item.Value.begin(), item.Value.end(),
                                                [](char c) { return (c & 0x80) != 0; });
        });
    return ReplaceTail(fileName, BuildTag(items_, version2000));
}

} // namespace quillon
