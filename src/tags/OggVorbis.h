#pragma once

#include "tags/VorbisTaggedFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// "Unknown", "Mono", "Stereo", "3Ch", "4Ch", "5.1Ch", then the count and "Ch".
std::string VorbisChannelModeText(unsigned channels);

// Stream facts and comments of an Ogg Vorbis file, read from its first pages and its last page
// without decoding; WriteTag replaces the comment header. Texts are UTF-8. Never raises,
// except that ReadInfo lets through the error of a file that cannot be opened at all.
class TOggVorbis : public VorbisTaggedFile {
public:
    TOggVorbis() { Clear(); }

    void Clear();
    // True when the file holds an Ogg page with a Vorbis identification header where expected.
    bool ReadInfo(const std::string& fileName);
    // Rewrites the file's comment header with Title, Artist, Album, Track, Date, Genre and
    // Comment where they differ from the file's; the vendor string and every other comment
    // stay byte for byte. False, with the file untouched, when it cannot be done.
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
};

} // namespace quillon
