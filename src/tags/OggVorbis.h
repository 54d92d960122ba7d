#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Stream facts and comments of an Ogg Vorbis file, read from its first pages and its last page
// without decoding; WriteTag replaces the comment header. Texts are Latin-1. Never raises,
// except that ReadInfo lets through the error of a file that cannot be opened at all.
class TOggVorbis {
public:
    TOggVorbis() { Clear(); }

    void Clear();
    // True when the file holds an Ogg page with a Vorbis identification header where expected.
    bool ReadInfo(const std::string& fileName);
    // Rewrites the file with a comment header made of Title, Artist, Album, Track, Date, Genre
    // and Comment; the vendor string stays, other comments are dropped. False, with the file
    // untouched, when it cannot be done.
    bool WriteTag(const std::string& fileName);

    int64_t FileSize() const { return fileSize_; }
    uint8_t ChannelModeID() const { return channelModeID_; }
    uint32_t SampleRate() const { return sampleRate_; }
    // Nominal bit rate of the identification header, kbit/s.
    uint16_t BitRateNominal() const { return bitRateNominal_; }
    // Granule position of the last page; 0 when none was found.
    int64_t Samples() const { return samples_; }
    // Length of an ID3v2 tag in front of the Ogg data.
    int64_t ID3v2Size() const { return id3v2Size_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    uint16_t Track() const { return track_; }
    const std::string& Date() const { return date_; }
    const std::string& Genre() const { return genre_; }
    const std::string& Comment() const { return comment_; }
    const std::string& Vendor() const { return vendor_; }

    void SetTitle(std::string_view value) { title_ = value; }
    void SetArtist(std::string_view value) { artist_ = value; }
    void SetAlbum(std::string_view value) { album_ = value; }
    void SetTrack(uint16_t value) { track_ = value; }
    void SetDate(std::string_view value) { date_ = value; }
    void SetGenre(std::string_view value) { genre_ = value; }
    void SetComment(std::string_view value) { comment_ = value; }

    // "Unknown", "Mono", "Stereo", "3Ch", "4Ch", "5.1Ch", then the count and "Ch".
    std::string ChannelMode() const;
    // Seconds: from the sample count, else estimated from the nominal bit rate.
    double Duration() const;
    // Average bit rate over the whole file, kbit/s.
    int BitRate() const;
    bool Valid() const;

private:
    int64_t fileSize_;
    uint8_t channelModeID_;
    uint32_t sampleRate_;
    uint16_t bitRateNominal_;
    int64_t samples_;
    int64_t id3v2Size_;
    std::string title_;
    std::string artist_;
    std::string album_;
    uint16_t track_;
    std::string date_;
    std::string genre_;
    std::string comment_;
    std::string vendor_;
};

} // namespace quillon
