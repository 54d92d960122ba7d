#pragma once

#include "tags/VorbisCommentBlock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The comment block, its edited fields and its vendor string, which Ogg Vorbis and FLAC files
// share. Texts are UTF-8.
class VorbisTaggedFile {
public:
    const std::string& Title() const { return fields_.Title; }
    const std::string& Artist() const { return fields_.Artist; }
    const std::string& Album() const { return fields_.Album; }
    uint16_t Track() const { return fields_.Track; }
    const std::string& Date() const { return fields_.Date; }
    const std::string& Genre() const { return fields_.Genre; }
    const std::string& Comment() const { return fields_.Comment; }
    const std::string& Vendor() const { return vendor_; }
    // The comment block as read: the vendor and every comment.
    const VorbisCommentBlock& Comments() const { return comments_; }

    void SetTitle(std::string_view value) { fields_.Title = value; }
    void SetArtist(std::string_view value) { fields_.Artist = value; }
    void SetAlbum(std::string_view value) { fields_.Album = value; }
    void SetTrack(uint16_t value) { fields_.Track = value; }
    void SetDate(std::string_view value) { fields_.Date = value; }
    void SetGenre(std::string_view value) { fields_.Genre = value; }
    void SetComment(std::string_view value) { fields_.Comment = value; }

protected:
    void ClearComments();
    // Keeps a block that was read and takes its fields and vendor.
    void TakeComments(const VorbisCommentBlock& block);
    const VorbisFields& Fields() const { return fields_; }
    void SetVendor(std::string vendor) { vendor_ = std::move(vendor); }

private:
    VorbisFields fields_;
    std::string vendor_;
    VorbisCommentBlock comments_;
};

} // namespace quillon
