#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Format and duration of a RIFF WAVE file, read from its header without touching the audio.
class TWAVfile {
public:
    TWAVfile() { Clear(); }

    void Clear();
    // False when the file cannot be read or is shorter than a header; true otherwise, with
    // Valid() telling whether a WAVE header with one or two channels was found. The "fmt "
    // chunk may come after other chunks.
    bool ReadInfo(const std::string& fileName);

    bool Valid() const { return valid_; }
    uint16_t FormatID() const { return formatID_; }
    uint8_t ChannelNumber() const { return channelNumber_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t BytesPerSecond() const { return bytesPerSecond_; }
    uint16_t BlockAlign() const { return blockAlign_; }
    uint8_t BitsPerSample() const { return bitsPerSample_; }
    int32_t SampleNumber() const { return sampleNumber_; }
    uint32_t HeaderSize() const { return headerSize_; }
    uint32_t FileSize() const { return fileSize_; }

    std::string ChannelMode() const;
    double Duration() const;

private:
    bool valid_;
    uint16_t formatID_;
    uint8_t channelNumber_;
    uint32_t sampleRate_;
    uint32_t bytesPerSecond_;
    uint16_t blockAlign_;
    uint8_t bitsPerSample_;
    int32_t sampleNumber_;
    uint32_t headerSize_;
    uint32_t fileSize_;
    bool emptyData_; // a "data" chunk of size 0: no audio, whatever the other chunks say
};

} // namespace quillon
