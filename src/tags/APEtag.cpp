#include "tags/APEtag.h"

#include "platform/FileStream.h"
#include "tags/TagFileReader.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr int64_t kID3v1Size = 128;
constexpr int64_t kFooterSize = 32;
constexpr size_t kValueLimit = 250;
// Longer keys match nothing; the rest of such a key is read but not kept.
constexpr size_t kKeyLimit = 256;
constexpr uint32_t kHasHeader = 0x80000000u;

// The items this tag handles, in the order they are written.
constexpr std::array<const char*, 8> kItemKeys = {"Title", "Artist", "Album",   "Track",
                                                  "Year",  "Genre",  "Comment", "Copyright"};
enum ItemIndex { iiTitle, iiArtist, iiAlbum, iiTrack, iiYear, iiGenre, iiComment, iiCopyright };

using RawTexts = std::array<std::string, kItemKeys.size()>;

uint32_t GetLE32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// What lies at the end of a file: the footer and whether an ID3v1 tag follows it.
struct TailInfo {
    int64_t fileSize = 0;
    int64_t dataShift = 0;
    std::array<uint8_t, kFooterSize> footer{};

    bool HasFooter() const { return std::memcmp(footer.data(), "APETAGEX", 8) == 0; }
    uint32_t Version() const { return GetLE32(footer.data() + 8); }
    uint32_t TagSize() const { return GetLE32(footer.data() + 12); }
    uint32_t ItemCount() const { return GetLE32(footer.data() + 16); }
    uint32_t Flags() const { return GetLE32(footer.data() + 20); }
};

// Reads the footer area; false when the file is too short or cannot be read.
template <typename File> bool ReadTail(File& file, TailInfo& tail) {
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
    return file.ReadExact(tail.footer.data(), tail.footer.size());
}

// Number of bytes at the end of the file that hold tags: any ID3v1 tag plus the APE tag with
// its header. -1 when the footer states a size that cannot be right, so that no audio data is
// cut on its word.
template <typename File> int64_t TagBytesAtEnd(File& file, const TailInfo& tail) {
    if (!tail.HasFooter()) {
        return tail.dataShift;
    }
    const int64_t tagSize = tail.TagSize();
    if (tagSize < kFooterSize || tail.dataShift + tagSize > tail.fileSize) {
        return -1;
    }
    int64_t length = tail.dataShift + tagSize;
    if ((tail.Flags() & kHasHeader) != 0 && length + kFooterSize <= tail.fileSize) {
        // Only a header that is really there is cut with the tag.
        char mark[8] = {};
        file.Seek(tail.fileSize - length - kFooterSize);
        if (file.ReadExact(mark, sizeof mark) && std::memcmp(mark, "APETAGEX", 8) == 0) {
            length += kFooterSize;
        }
    }
    return length;
}

// Adapts FileStream to the Seek/ReadExact/Size shape that TagFileReader has.
class WritableFile {
public:
    explicit WritableFile(const std::string& fileName)
        : file_(fileName, FileStream::Mode::ReadWrite) {}
    int64_t Size() { return file_.Size(); }
    void Seek(int64_t position) { file_.SetPosition(position); }
    bool ReadExact(void* buffer, size_t count) { return file_.ReadExact(buffer, count); }
    FileStream& Stream() { return file_; }

private:
    FileStream file_;
};

// Converts a version 2000 value from UTF-8 to single-byte text. The conversion stops, keeping
// what it has produced, at a truncated sequence or a malformed following byte.
std::string SingleByteFromUtf8(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        size_t following = 1;
        uint32_t code = lead & 0x1F;
        if ((lead & 0x20) != 0) {
            // Four-byte sequences are decoded too, so that a character beyond the 16-bit
            // range does not end the text.
            following = (lead & 0xF8) == 0xF0 ? 3 : 2;
            code = following == 3 ? lead & 0x07 : lead & 0x0F;
        }
        if (i + following >= text.size()) {
            return out;
        }
        for (size_t k = 1; k <= following; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if (next < 0x80 || next > 0xBF) {
                return out;
            }
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
        i += following + 1;
    }
    return out;
}

void ScanItems(const std::string& fileName, const TailInfo& tail, int32_t size, RawTexts& raw) {
    try {
        TagFileReader file(fileName);
        file.Seek(tail.fileSize - tail.dataShift - size);
        const uint32_t count = tail.ItemCount();
        for (uint32_t item = 0; item < count; ++item) {
            uint8_t head[8];
            if (!file.ReadExact(head, sizeof head)) {
                return;
            }
            const uint32_t valueSize = GetLE32(head);
            std::string key;
            for (;;) {
                char c = 0;
                if (!file.ReadExact(&c, 1)) {
                    return;
                }
                if (c == '\0') {
                    break;
                }
                if (key.size() < kKeyLimit) {
                    key.push_back(c);
                }
            }
            const int64_t valuePosition = file.Position();
            std::string value(kValueLimit, '\0');
            file.Read(value.data(), std::min<size_t>(valueSize, kValueLimit));
            value = TrimBlanks(value);
            const std::string wanted = AsciiUpper(TrimBlanks(key));
            for (size_t i = 0; i < kItemKeys.size(); ++i) {
                if (wanted == AsciiUpper(kItemKeys[i])) {
                    raw[i] = tail.Version() > 1000 ? SingleByteFromUtf8(value) : value;
                    break;
                }
            }
            file.Seek(valuePosition + int64_t{valueSize});
        }
    } catch (const std::exception&) {
        // A read failure ends the scan; what was read so far stays.
    }
}

std::vector<uint8_t> BuildTag(const RawTexts& raw) {
    std::vector<uint8_t> tag;
    uint32_t items = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].empty()) {
            continue;
        }
        PutLE32(tag, static_cast<uint32_t>(raw[i].size() + 1));
        PutLE32(tag, 0);
        tag.insert(tag.end(), kItemKeys[i], kItemKeys[i] + std::strlen(kItemKeys[i]) + 1);
        tag.insert(tag.end(), raw[i].begin(), raw[i].end());
        tag.push_back(0);
        ++items;
    }
    const auto size = static_cast<uint32_t>(tag.size() + kFooterSize);
    tag.insert(tag.end(), {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'});
    PutLE32(tag, 1000);
    PutLE32(tag, size);
    PutLE32(tag, items);
    PutLE32(tag, 0);
    tag.insert(tag.end(), 8, 0);
    return tag;
}

} // namespace

TAPEtag::TAPEtag() {
    Clear();
}

void TAPEtag::Clear() {
    exists_ = false;
    versionID_ = 0;
    size_ = 0;
    track_ = 0;
    for (std::string* text :
         {&title_, &artist_, &album_, &year_, &genre_, &comment_, &copyright_}) {
        text->clear();
    }
}

void TAPEtag::SetTitle(std::string_view value) {
    title_ = TrimBlanks(value);
}
void TAPEtag::SetArtist(std::string_view value) {
    artist_ = TrimBlanks(value);
}
void TAPEtag::SetAlbum(std::string_view value) {
    album_ = TrimBlanks(value);
}
void TAPEtag::SetYear(std::string_view value) {
    year_ = TrimBlanks(value);
}
void TAPEtag::SetGenre(std::string_view value) {
    genre_ = TrimBlanks(value);
}
void TAPEtag::SetComment(std::string_view value) {
    comment_ = TrimBlanks(value);
}
void TAPEtag::SetCopyright(std::string_view value) {
    copyright_ = TrimBlanks(value);
}

bool TAPEtag::ReadTag(const std::string& fileName) {
    Clear();
    TailInfo tail;
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
    RawTexts raw;
    ScanItems(fileName, tail, size_, raw);
    title_ = raw[iiTitle];
    artist_ = raw[iiArtist];
    album_ = raw[iiAlbum];
    track_ = TrackFromText(raw[iiTrack]);
    year_ = raw[iiYear];
    genre_ = raw[iiGenre];
    comment_ = raw[iiComment];
    copyright_ = raw[iiCopyright];
    return true;
}

bool TAPEtag::RemoveTag(const std::string& fileName) {
    try {
        TailInfo tail;
        int64_t length = 0;
        {
            TagFileReader file(fileName);
            if (!ReadTail(file, tail)) {
                return false;
            }
            length = TagBytesAtEnd(file, tail);
        }
        if (length < 0) {
            return false;
        }
        if (length == 0) {
            return true;
        }
        FileStream file(fileName, FileStream::Mode::ReadWrite);
        file.SetSize(tail.fileSize - length);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TAPEtag::WriteTag(const std::string& fileName) {
    RawTexts raw;
    raw[iiTitle] = title_;
    raw[iiArtist] = artist_;
    raw[iiAlbum] = album_;
    raw[iiTrack] = track_ != 0 ? std::to_string(track_) : std::string();
    raw[iiYear] = year_;
    raw[iiGenre] = genre_;
    raw[iiComment] = comment_;
    raw[iiCopyright] = copyright_;
    const std::vector<uint8_t> tag = BuildTag(raw);

    try {
        WritableFile file(fileName);
        TailInfo tail;
        if (!ReadTail(file, tail)) {
            return false;
        }
        const int64_t length = TagBytesAtEnd(file, tail);
        if (length < 0) {
            return false;
        }
        // The old tags are kept in memory until the new one is safely on disk, so that a
        // failed write (a full disk) can put them back.
        const int64_t keep = tail.fileSize - length;
        std::vector<uint8_t> oldTags(static_cast<size_t>(length));
        file.Seek(keep);
        if (!file.ReadExact(oldTags.data(), oldTags.size())) {
            return false;
        }
        FileStream& stream = file.Stream();
        try {
            stream.SetSize(keep);
            stream.SetPosition(keep);
            stream.Write(tag.data(), tag.size());
            stream.FlushBuffer();
            return true;
        } catch (const std::exception&) {
            stream.SetSize(keep);
            stream.SetPosition(keep);
            stream.Write(oldTags.data(), oldTags.size());
            stream.FlushBuffer();
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quillon
