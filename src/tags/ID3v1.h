#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The fixed 128-byte tag in the last 128 bytes of an MP3 file. Operations never raise; they
// report failures through their Boolean results. Texts are UTF-8; the file stores Latin-1, so
// characters it cannot hold are written as "?". Writes rebuild the file through a temporary
// file and leave it unchanged when they fail.
class TID3v1 {
public:
    TID3v1();

    void Clear();
    // False when the last 128 bytes cannot be read; true otherwise (Exists tells whether a
    // tag was found).
    bool ReadTag(const std::string& fileName);
    // True when the file has no tag afterwards.
    bool RemoveTag(const std::string& fileName);
    // True when the tag was written; an existing tag is replaced.
    bool WriteTag(const std::string& fileName);
    // The 128 bytes WriteTag puts at the end of the file.
    std::array<uint8_t, 128> BuildRecord() const;

    bool Exists() const { return exists_; }
    // 1 = ID3v1.0, 2 = ID3v1.1 (with a track number).
    uint8_t VersionID() const { return versionID_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    // 0 = no track number.
    uint8_t Track() const { return track_; }
    // Index into ID3Genres; 255 = none.
    uint8_t GenreID() const { return genreID_; }
    // The name of GenreID, or empty when GenreID is not a table index.
    std::string Genre() const;

    // Text setters drop trailing characters of code 32 or below.
    void SetTitle(std::string_view value);
    void SetArtist(std::string_view value);
    void SetAlbum(std::string_view value);
    void SetYear(std::string_view value);
    void SetComment(std::string_view value);
    void SetTrack(uint8_t value) { track_ = value; }
    void SetGenreID(uint8_t value) { genreID_ = value; }
    // Looks the name up in ID3Genres ignoring ASCII case; no match (or empty) stores 255.
    void SetGenre(std::string_view name);

private:
    bool exists_ = false;
    uint8_t versionID_ = 1;
    std::string title_;
    std::string artist_;
    std::string album_;
    std::string year_;
    std::string comment_;
    uint8_t track_ = 0;
    uint8_t genreID_ = 255;
};

} // namespace quillon
