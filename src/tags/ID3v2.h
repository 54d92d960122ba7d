#pragma once

#include "tags/ID3v2Frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The ID3v2 tag at the start of an MP3 file. Reading keeps every frame of a version 2.2, 2.3
// or 2.4 tag, converted into version 2.3 form; the thirteen named fields read and replace
// entries of that list, and writing serialises the whole list as a version 2.3 tag that
// replaces the old one. Operations never raise. Texts are UTF-8.
class TID3v2 {
public:
    TID3v2();

    void Clear();
    // False when the 10-byte header cannot be read; true otherwise.
    bool ReadTag(const std::string& fileName);
    // True when the file was rebuilt with the new tag in front of its audio data. A write is
    // refused, the file unchanged, when the frames read cannot be carried into version 2.3 or
    // when the old tag's stated size covers more than frames and zero padding (audio data).
    bool WriteTag(const std::string& fileName);
    // The same, replacing (or adding) the file's ID3v1 record in the same rebuild, so that
    // either both tags change or neither does.
    bool WriteTag(const std::string& fileName, const std::array<uint8_t, 128>& id3v1);
    // Why the last WriteTag returned false, as a sentence for the user.
    const std::string& LastError() const { return lastError_; }
    // Every frame, in version 2.3 form, in the order they are written.
    const std::vector<TID3v2Frame>& Frames() const { return frames_; }

    // The file begins with "ID3".
    bool Exists() const { return exists_; }
    // Major version of the tag (header byte 3).
    uint8_t VersionID() const { return versionID_; }
    // Whole tag length including the 10-byte header; 0 when the stated length exceeds the file.
    int32_t Size() const { return size_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    // 0 = no track number.
    uint8_t Track() const { return track_; }
    const std::string& Year() const { return year_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Composer() const { return composer_; }
    const std::string& Encoder() const { return encoder_; }
    const std::string& Copyright() const { return copyright_; }
    const std::string& Language() const { return language_; }
    const std::string& Link() const { return link_; }
    const std::string& Lyrics() const { return lyrics_; }

    // Text setters drop leading and trailing characters of code 32 or below.
    void SetTitle(std::string_view value);
    void SetArtist(std::string_view value);
    void SetAlbum(std::string_view value);
    void SetTrack(uint8_t value) { track_ = value; }
    void SetYear(std::string_view value);
    void SetGenre(std::string_view value);
    void SetComment(std::string_view value);
    void SetComposer(std::string_view value);
    void SetEncoder(std::string_view value);
    void SetCopyright(std::string_view value);
    void SetLanguage(std::string_view value);
    void SetLink(std::string_view value);
    void SetLyrics(std::string_view value);

    // The bytes of the tag that WriteTag puts in front of the audio data; empty when the
    // frames exceed what a tag can hold.
    std::vector<uint8_t> BuildTag() const;

private:
    bool Write(const std::string& fileName, const std::array<uint8_t, 128>* id3v1);
    // The frame list with the named fields applied.
    std::vector<TID3v2Frame> AppliedFrames() const;

    bool exists_ = false;
    uint8_t versionID_ = 0;
    int32_t size_ = 0;
    std::string title_;
    std::string artist_;
    std::string album_;
    uint8_t track_ = 0;
    std::string year_;
    std::string genre_;
    std::string comment_;
    std::string composer_;
    std::string encoder_;
    std::string copyright_;
    std::string language_;
    std::string link_;
    std::string lyrics_;
    std::vector<TID3v2Frame> frames_;
    // Why frames_ is not a faithful copy of the tag read; empty when it is.
    std::string readProblem_;
    std::string lastError_;
};

} // namespace quillon
