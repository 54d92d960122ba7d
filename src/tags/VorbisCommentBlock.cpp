#include "tags/VorbisCommentBlock.h"

#include "platform/CodePage.h"
#include "tags/TagTextRules.h"

#include <algorithm>

namespace quillon {

namespace {

bool ReadLE32(const uint8_t* data, size_t size, size_t& position, uint32_t& value) {
    if (size - position < 4) {
        return false;
    }
    const uint8_t* p = data + position;
    value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
            static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    position += 4;
    return true;
}

bool ReadText(const uint8_t* data, size_t size, size_t& position, std::string& text) {
    uint32_t length = 0;
    if (!ReadLE32(data, size, position, length) || size - position < length) {
        return false;
    }
    text.assign(reinterpret_cast<const char*>(data + position), length);
    position += length;
    return true;
}

void AppendText(std::vector<uint8_t>& out, std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    }
    out.insert(out.end(), text.begin(), text.end());
}

// True when the comment's name (the part before "=") is name, in any case.
bool HasName(std::string_view comment, std::string_view name) {
    const size_t equals = comment.find('=');
    return equals != std::string_view::npos && equals == name.size() &&
           AsciiUpper(comment.substr(0, equals)) == AsciiUpper(name);
}

std::string TrackText(uint16_t track) {
    return track != 0 ? std::to_string(track) : std::string();
}

} // namespace

size_t VorbisCommentBlock::Parse(const uint8_t* data, size_t size) {
    vendor_.clear();
    comments_.clear();
    size_t position = 0;
    uint32_t count = 0;
    if (!ReadText(data, size, position, vendor_) || !ReadLE32(data, size, position, count)) {
        return 0;
    }
    // Every comment takes at least its 4-byte length, so a lying count ends with the data.
    for (; count > 0; --count) {
        std::string comment;
        if (!ReadText(data, size, position, comment)) {
            return 0;
        }
        comments_.push_back(std::move(comment));
    }
    return position;
}

std::vector<uint8_t> VorbisCommentBlock::Serialise() const {
    std::vector<uint8_t> out;
    AppendText(out, vendor_);
    const auto count = static_cast<uint32_t>(comments_.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(count >> (8 * i)));
    }
    for (const auto& comment : comments_) {
        AppendText(out, comment);
    }
    return out;
}

std::string VorbisCommentBlock::Value(std::string_view name) const {
    const auto found = std::find_if(comments_.rbegin(), comments_.rend(),
                                    [&](const std::string& c) { return HasName(c, name); });
    if (found == comments_.rend()) {
        return {};
    }
    return TrimBlanks(Utf8FromUtf8OrLatin1(std::string_view(*found).substr(name.size() + 1)));
}

void VorbisCommentBlock::SetValue(std::string_view name, std::string_view value) {
    const std::string comment = std::string(name) + "=" + std::string(value);
    bool placed = value.empty();
    for (auto it = comments_.begin(); it != comments_.end();) {
        if (!HasName(*it, name)) {
            ++it;
        } else if (!placed) {
            // The name keeps its spelling as written.
            *it = it->substr(0, name.size() + 1) + std::string(value);
            ++it;
            placed = true;
        } else {
            it = comments_.erase(it);
        }
    }
    if (!placed) {
        comments_.push_back(comment);
    }
}

VorbisFields VorbisCommentBlock::Fields() const {
    VorbisFields f;
    f.Title = Value("TITLE");
    f.Artist = Value("ARTIST");
    if (f.Artist.empty()) {
        f.Artist = Value("PERFORMER");
    }
    f.Album = Value("ALBUM");
    f.Track = TrackFromText(Value("TRACKNUMBER"));
    f.Date = Value("DATE");
    f.Genre = Value("GENRE");
    f.Comment = Value("COMMENT");
    if (f.Comment.empty()) {
        f.Comment = Value("DESCRIPTION");
    }
    return f;
}

void VorbisCommentBlock::ApplyFields(const VorbisFields& fields) {
    const VorbisFields old = Fields();
    // A cleared field also clears the name it falls back to, or that would show again.
    const auto apply = [this](const char* name, const char* fallback, const std::string& now,
                              const std::string& before) {
        const std::string value = TrimBlanks(now);
        if (value == before) {
            return;
        }
        SetValue(name, value);
        if (value.empty() && fallback != nullptr) {
            SetValue(fallback, "");
        }
    };
    apply("TITLE", nullptr, fields.Title, old.Title);
    apply("ARTIST", "PERFORMER", fields.Artist, old.Artist);
    apply("ALBUM", nullptr, fields.Album, old.Album);
    apply("TRACKNUMBER", nullptr, TrackText(fields.Track), TrackText(old.Track));
    apply("DATE", nullptr, fields.Date, old.Date);
    apply("GENRE", nullptr, fields.Genre, old.Genre);
    apply("COMMENT", "DESCRIPTION", fields.Comment, old.Comment);
}

} // namespace quillon
