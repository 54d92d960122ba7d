#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The texts that the tag classes edit in a Vorbis comment block. Texts are UTF-8.
struct VorbisFields {
    std::string Title;
    std::string Artist;
    std::string Album;
    uint16_t Track = 0; // 0 = none
    std::string Date;
    std::string Genre;
    std::string Comment;
};

// A Vorbis comment block as Ogg Vorbis (the comment header without its "\x03vorbis" prefix
// and framing bit) and FLAC (the VORBIS_COMMENT metadata block) store it: the vendor string and
// the list of "NAME=value" comments, kept as the bytes that were read and in their order. The
// named fields read and replace entries of that list, so whatever is not edited is written back
// as it was.
class VorbisCommentBlock {
public:
    // Reads a block from its bytes. Returns the number of bytes it takes, or 0 when its lengths
    // claim more than size holds; the comments read before that point are kept.
    size_t Parse(const uint8_t* data, size_t size);
    std::vector<uint8_t> Serialise() const;

    const std::string& Vendor() const { return vendor_; }
    void SetVendor(std::string_view value) { vendor_ = value; }
    const std::vector<std::string>& Comments() const { return comments_; }
    void AddComment(std::string_view comment) { comments_.emplace_back(comment); }

    // The value of the last comment of that name (any case), blanks trimmed and UTF-8 (bytes
    // that are not UTF-8 are taken as Latin-1); empty when there is none.
    std::string Value(std::string_view name) const;
    // Sets a name's value: the first comment of that name is replaced in place and later ones
    // removed, or the comment is appended when the name is new. An empty value removes the name.
    void SetValue(std::string_view name, std::string_view value);

    // The edited fields as read: ARTIST falls back to PERFORMER, COMMENT to DESCRIPTION.
    VorbisFields Fields() const;
    // Writes the fields whose text differs from what Fields() gives; the comments of the
    // others stay untouched (also several values of one name).
    void ApplyFields(const VorbisFields& fields);

private:
    std::string vendor_;
    std::vector<std::string> comments_;
};

} // namespace quillon
