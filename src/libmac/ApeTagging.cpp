#include "libmac/Export.h"
#include "libmac/MACDll.h"
#include "platform/FileStream.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/TagTextRules.h"

#include <cstring>
#include <string>

namespace {

// The seven texts of a TagFileSimple call.
struct Fields {
    const char* artist;
    const char* album;
    const char* title;
    const char* comment;
    const char* genre;
    const char* year;
    const char* track;
};

// Reads the tag unless it is cleared first, then sets the fields; without clearFirst only the
// texts given replace what the tag had. The same for the APE and the ID3v1 tag.
template <typename Tag>
int WriteFields(Tag& tag, const std::string& fileName, const Fields& f, bool clearFirst) {
    if (!clearFirst && !tag.ReadTag(fileName)) {
        return MAC_ERROR_IO_READ;
    }
    const auto set = [clearFirst](const char* value, auto apply) {
        if (clearFirst || (value != nullptr && *value != '\0')) {
            apply(std::string(value != nullptr ? value : ""));
        }
    };
    set(f.artist, [&](const std::string& v) { tag.SetArtist(v); });
    set(f.album, [&](const std::string& v) { tag.SetAlbum(v); });
    set(f.title, [&](const std::string& v) { tag.SetTitle(v); });
    set(f.comment, [&](const std::string& v) { tag.SetComment(v); });
    set(f.genre, [&](const std::string& v) { tag.SetGenre(v); });
    set(f.year, [&](const std::string& v) { tag.SetYear(v); });
    set(f.track, [&](const std::string& v) { tag.SetTrack(quillon::TrackFromText(v)); });
    return tag.WriteTag(fileName) ? MAC_OK : MAC_ERROR_IO_WRITE;
}

} // namespace

extern "C" {

MACDLL_EXPORT int TagFileSimple(const char* fileName, const char* artist, const char* album,
                                const char* title, const char* comment, const char* genre,
                                const char* year, const char* track, int clearFirst,
                                int useOldID3) {
    if (fileName == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    try {
        if (!quillon::FileStream::Exists(fileName)) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        const Fields fields{artist, album, title, comment, genre, year, track};
        // useOldID3: an ID3v1 tag in place of the APE tag, for players that read nothing else.
        if (useOldID3 != 0) {
            quillon::TID3v1 tag;
            return WriteFields(tag, fileName, fields, clearFirst != 0);
        }
        quillon::TAPEtag tag;
        return WriteFields(tag, fileName, fields, clearFirst != 0);
    } catch (...) {
        return MAC_ERROR_IO_WRITE;
    }
}

// MAC_ERROR_INVALID_INPUT_FILE when the file cannot be read or ends without an ID3v1 tag.
MACDLL_EXPORT int GetID3Tag(const char* fileName, MAC_ID3Tag* tag) {
    if (fileName == nullptr || tag == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    try {
        quillon::FileStream file(fileName, quillon::FileStream::Mode::Read);
        const int64_t size = file.Size();
        if (size < static_cast<int64_t>(sizeof(MAC_ID3Tag))) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        MAC_ID3Tag record;
        file.SetPosition(size - static_cast<int64_t>(sizeof record));
        if (file.Read(&record, sizeof record) != sizeof record ||
            std::memcmp(record.Header, "TAG", 3) != 0) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        *tag = record;
        return MAC_OK;
    } catch (...) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
}

MACDLL_EXPORT int RemoveTag(const char* fileName) {
    if (fileName == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    quillon::TAPEtag tag;
    return tag.RemoveTag(fileName) ? MAC_OK : MAC_ERROR_IO_WRITE;
}
}
