#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Format, duration and attribute texts of a Windows Media Audio file, read from the objects of
// its ASF header.
class TWMAfile {
public:
    TWMAfile() { Clear(); }

    void Clear();
    // False when the file cannot be read; true otherwise, with Valid() telling whether an ASF
    // header describing a plausible audio stream was found.
    bool ReadInfo(const std::string& fileName);

    bool Valid() const { return valid_; }
    uint32_t FileSize() const { return fileSize_; }
    uint8_t ChannelModeID() const { return channelModeID_; }
    uint32_t SampleRate() const { return sampleRate_; }
    double Duration() const { return duration_; }
    uint32_t BitRate() const { return bitRate_; }
    const std::u16string& Title() const { return title_; }
    const std::u16string& Artist() const { return artist_; }
    const std::u16string& Album() const { return album_; }
    uint32_t Track() const { return track_; }
    const std::u16string& Year() const { return year_; }
    const std::u16string& Genre() const { return genre_; }
    const std::u16string& Comment() const { return comment_; }
    const std::u16string& Lyrics() const { return lyrics_; }

    std::string ChannelMode() const;

private:
    bool valid_;
    uint32_t fileSize_;
    uint8_t channelModeID_;
    uint32_t sampleRate_;
    double duration_;
    uint32_t bitRate_;
    std::u16string title_;
    std::u16string artist_;
    std::u16string album_;
    uint32_t track_;
    std::u16string year_;
    std::u16string genre_;
    std::u16string comment_;
    std::u16string lyrics_;
};

} // namespace quillon
