#include "tags/ID3v1.h"

#include "platform/FileStream.h"
#include "tags/ID3Genres.h"
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
    return TrimBlanksRight(
        std::string_view(reinterpret_cast<const char*>(record.data()) + offset, width));
}

void PutSlot(TagRecord& record, size_t offset, size_t width, const std::string& text) {
    std::memcpy(record.data() + offset, text.data(), std::min(width, text.size()));
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
    try {
        TagRecord record{};
        int64_t size = 0;
        {
            FileStream file(fileName, FileStream::Mode::Read);
            if (!ReadLast128(file, record)) {
                return false;
            }
            size = file.Size();
        }
        if (!StartsWithTag(record)) {
            return true;
        }
        FileStream file(fileName, FileStream::Mode::ReadWrite);
        file.SetSize(size - kTagSize);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TID3v1::WriteTag(const std::string& fileName) {
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

    try {
        FileStream file(fileName, FileStream::Mode::ReadWrite);
        TagRecord old{};
        if (!ReadLast128(file, old)) {
            return false;
        }
        const int64_t size = file.Size();
        if (StartsWithTag(old)) {
            // Overwriting the old tag in place gives the same bytes as cutting it off and
            // appending the new one, without a moment in which the file has no tag.
            file.SetPosition(size - kTagSize);
            file.Write(record.data(), record.size());
            file.FlushBuffer();
            return true;
        }
        try {
            file.SetPosition(size);
            file.Write(record.data(), record.size());
            file.FlushBuffer();
        } catch (const std::exception&) {
            // A partly written tag would be taken for audio data: cut it off again.
            file.SetSize(size);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quillon
