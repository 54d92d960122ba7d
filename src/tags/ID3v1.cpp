#include "tags/ID3v1.h"

#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/ID3Genres.h"
#include "tags/StreamCopy.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillon {

namespace {

constexpr int64_t kTagSize = 128;
using TagRecord = std::array<uint8_t, kTagSize>;

// Reads the last 128 bytes; false for a file shorter than that.
bool ReadLast128(Stream& file, TagRecord& record) {
    const int64_t size = file.Size();
    if (size < kTagSize) {
        return false;
    }
    file.SetPosition(size - kTagSize);
    return file.ReadExact(record.data(), record.size());
}

bool StartsWithTag(const TagRecord& record) {
    return std::memcmp(record.data(), "TAG", 3) == 0;
}

std::string SlotText(const TagRecord& record, size_t offset, size_t width) {
    return Utf8FromLatin1(TrimBlanksRight(
        std::string_view(reinterpret_cast<const char*>(record.data()) + offset, width)));
}

void PutSlot(TagRecord& record, size_t offset, size_t width, const std::string& utf8) {
    const std::string text = Latin1FromUtf8(utf8);
    std::memcpy(record.data() + offset, text.data(), std::min(width, text.size()));
}

// Rebuilds the file with everything before its old record (if any) and then `record` (if
// given); false for a file shorter than 128 bytes.
bool RewriteEnd(const std::string& fileName, const TagRecord* record) {
    return RewriteThroughTempFile(fileName, [record](Stream& original, TagRewriteOutput& output) {
        TagRecord old{};
        if (!ReadLast128(original, old)) {
            return false;
        }
        const int64_t size = original.Size();
        const int64_t keep = StartsWithTag(old) ? size - kTagSize : size;
        if (!CopyStreamRange(original, 0, keep, output)) {
            return false;
        }
        if (record != nullptr) {
            output.Write(record->data(), record->size());
        }
        return true;
    });
}

} // namespace

TID3v1::TID3v1() {
    Clear();
}

void TID3v1::Clear() {
    exists_ = false;
    versionID_ = 1;
    title_.clear();
    artist_.clear();
    album_.clear();
    year_.clear();
    comment_.clear();
    track_ = 0;
    genreID_ = 255;
}

std::string TID3v1::Genre() const {
    return genreID_ < ID3Genres.size() ? std::string(ID3Genres[genreID_]) : std::string();
}

void TID3v1::SetTitle(std::string_view value) {
    title_ = TrimBlanksRight(value);
}
void TID3v1::SetArtist(std::string_view value) {
    artist_ = TrimBlanksRight(value);
}
void TID3v1::SetAlbum(std::string_view value) {
    album_ = TrimBlanksRight(value);
}
void TID3v1::SetYear(std::string_view value) {
    year_ = TrimBlanksRight(value);
}
void TID3v1::SetComment(std::string_view value) {
    comment_ = TrimBlanksRight(value);
}

void TID3v1::SetGenre(std::string_view name) {
    genreID_ = 255;
    if (name.empty()) {
        return;
    }
    const std::string wanted = AsciiUpper(name);
    for (size_t i = 0; i < ID3Genres.size(); ++i) {
        if (AsciiUpper(ID3Genres[i]) == wanted) {
            genreID_ = static_cast<uint8_t>(i);
            return;
        }
    }
}

bool TID3v1::ReadTag(const std::string& fileName) {
    Clear();
    TagRecord record{};
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (!ReadLast128(file, record)) {
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    if (!StartsWithTag(record)) {
        return true;
    }
    exists_ = true;
    const bool v11 =
        (record[125] == 0 && record[126] != 0) || (record[125] == 32 && record[126] != 32);
    versionID_ = v11 ? 2 : 1;
    title_ = SlotText(record, 3, 30);
    artist_ = SlotText(record, 33, 30);
    album_ = SlotText(record, 63, 30);
    year_ = SlotText(record, 93, 4);
    if (v11) {
        comment_ = SlotText(record, 97, 28);
        track_ = record[126];
    } else {
        comment_ = SlotText(record, 97, 30);
    }
    genreID_ = record[127];
    return true;
}

bool TID3v1::RemoveTag(const std::string& fileName) {
    TagRecord record{};
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (!ReadLast128(file, record)) {
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    return !StartsWithTag(record) || RewriteEnd(fileName, nullptr);
}

std::array<uint8_t, 128> TID3v1::BuildRecord() const {
    TagRecord record{};
    std::memcpy(record.data(), "TAG", 3);
    PutSlot(record, 3, 30, title_);
    PutSlot(record, 33, 30, artist_);
    PutSlot(record, 63, 30, album_);
    PutSlot(record, 93, 4, year_);
    PutSlot(record, 97, 30, comment_);
    if (track_ > 0) {
        record[125] = 0;
        record[126] = track_;
    }
    record[127] = genreID_;
    return record;
}

bool TID3v1::WriteTag(const std::string& fileName) {
    const TagRecord record = BuildRecord();
    return RewriteEnd(fileName, &record);
}

} // namespace quillon
