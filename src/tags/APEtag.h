#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The APE tag at the end of a Monkey's Audio file, limited to eight text items. An ID3v1 tag
// after it is taken into account when reading and removed with it. Operations never raise.
// Texts are Latin-1 (version 2000 values are converted from UTF-8).
class TAPEtag {
public:
    TAPEtag();

    void Clear();
    // False when the footer area cannot be read; true otherwise (Exists tells).
    bool ReadTag(const std::string& fileName);
    // Cuts the APE tag and any ID3v1 tag at the end of the file.
    bool RemoveTag(const std::string& fileName);
    // Replaces the tags at the end of the file with a version 1000 APE tag.
    bool WriteTag(const std::string& fileName);

    // An APE tag footer was found.
    bool Exists() const { return exists_; }
    // 1000 or 2000.
    int32_t VersionID() const { return versionID_; }
    // Items plus footer, a header not included.
    int32_t Size() const { return size_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    // 0 = no track number.
    uint8_t Track() const { return track_; }
    const std::string& Year() const { return year_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Copyright() const { return copyright_; }

    // Text setters drop leading and trailing characters of code 32 or below.
    void SetTitle(std::string_view value);
    void SetArtist(std::string_view value);
    void SetAlbum(std::string_view value);
    void SetTrack(uint8_t value) { track_ = value; }
    void SetYear(std::string_view value);
    void SetGenre(std::string_view value);
    void SetComment(std::string_view value);
    void SetCopyright(std::string_view value);

private:
    bool exists_ = false;
    int32_t versionID_ = 0;
    int32_t size_ = 0;
    std::string title_;
    std::string artist_;
    std::string album_;
    uint8_t track_ = 0;
    std::string year_;
    std::string genre_;
    std::string comment_;
    std::string copyright_;
};

} // namespace quillon
