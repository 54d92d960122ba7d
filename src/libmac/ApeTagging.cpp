#include "libmac/Export.h"
#include "libmac/MACDll.h"
#include "platform/FileStream.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Files shorter than this are tagged through a scratch copy (WriteShortFile).
constexpr int64_t kPadding = 128;

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

// The tag layer takes no file shorter than an ID3v1 tag, but the file of an empty input is
// shorter (a header only). Such a file is tagged as a scratch copy behind 128 zero bytes, which
// hold no tag, and the copy's tail then becomes the file's new content.
int WriteShortFile(const std::string& fileName, const Fields& fields, bool clearFirst) {
    std::vector<uint8_t> bytes(kPadding, 0);
    {
        quillon::FileStream file(fileName, quillon::FileStream::Mode::Read);
        std::vector<uint8_t> content(static_cast<size_t>(file.Size()));
        if (file.Read(content.data(), content.size()) != content.size()) {
            return MAC_ERROR_IO_READ;
        }
        bytes.insert(bytes.end(), content.begin(), content.end());
    }
    std::string scratch = (std::filesystem::temp_directory_path() / "quillon-tag-XXXXXX").string();
    const int fd = mkstemp(scratch.data());
    if (fd < 0) {
        return MAC_ERROR_IO_WRITE;
    }
    struct Remover {
        const std::string& name;
        ~Remover() { std::filesystem::remove(name); }
    } remover{scratch};
    const bool written =
        write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    if (!written) {
        return MAC_ERROR_IO_WRITE;
    }
    quillon::TAPEtag tag;
    const int code = WriteFields(tag, scratch, fields, clearFirst);
    if (code != MAC_OK) {
        return code;
    }
    const bool replaced = quillon::RewriteThroughTempFile(
        fileName, [&](quillon::Stream&, quillon::TagRewriteOutput& output) {
            quillon::FileStream tagged(scratch, quillon::FileStream::Mode::Read);
            output.CopyRange(tagged, kPadding, tagged.Size() - kPadding);
            return true;
        });
    return replaced ? MAC_OK : MAC_ERROR_IO_WRITE;
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
        if (std::filesystem::file_size(fileName) < kPadding) {
            return WriteShortFile(fileName, fields, clearFirst != 0);
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
