#pragma once

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

// One decoded MPEG audio frame header.
struct TFrameData {
    bool Found = false;
    // Offset of the frame in the buffer that was searched.
    int32_t Position = 0;
    // Frame length in bytes.
    uint16_t Size = 0;
    // The 6 bytes after the header are all zero (as in frames that carry a VBR header).
    bool Xing = false;
    std::array<uint8_t, 4> Data{};
    uint8_t VersionID = 0;
    uint8_t LayerID = 0;
    // True when a CRC follows the header.
    bool ProtectionBit = false;
    uint16_t BitRateID = 0;
    uint8_t SampleRateID = 0;
    bool PaddingBit = false;
    bool PrivateBit = false;
    uint8_t ModeID = 0;
    uint8_t ModeExtensionID = 0;
    bool CopyrightBit = false;
    bool OriginalBit = false;
    uint8_t EmphasisID = 0;
};

// A Xing or VBRI variable-bit-rate header.
struct TVBRData {
    bool Found = false;
    // "Xing" or "VBRI".
    std::string ID;
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
    uint8_t Scale = 0;
    // 8 characters after a Xing header (an encoder mark).
    std::string VendorID;
};

// Examines an MPEG audio file (MP1/MP2/MP3) without decoding it: its tags, first frame, VBR
// header and encoder, from which bit rate, frame count and duration follow. Never raises.
class TMPEGaudio {
public:
    TMPEGaudio();

    void Clear();
    // False when the file cannot be read; true otherwise (Valid tells whether it is usable).
    bool ReadInfo(const std::string& fileName);

    int64_t FileLength() const { return fileLength_; }
    // Encoder mark found near the end of the file.
    const std::string& VendorID() const { return vendorID_; }
    const TVBRData& VBR() const { return vbr_; }
    const TFrameData& Frame() const { return frame_; }
    const TID3v1& ID3v1() const { return id3v1_; }
    const TID3v2& ID3v2() const { return id3v2_; }

    // "MPEG 2.5", "MPEG ?", "MPEG 2" or "MPEG 1".
    std::string Version() const;
    // "Layer ?", "Layer III", "Layer II" or "Layer I".
    std::string Layer() const;
    // kbit/s; the average bit rate when a VBR header gives one.
    uint16_t BitRate() const;
    // Hz; 0 for reserved values.
    uint16_t SampleRate() const;
    // "Stereo", "Joint Stereo", "Dual Channel", "Mono" or "Unknown".
    std::string ChannelMode() const;
    // "None", "50/15 ms", "Unknown" or "CCIT J.17".
    std::string Emphasis() const;
    int64_t Frames() const;
    // Seconds.
    double Duration() const;
    // 0 Unknown, 1 Xing, 2 FhG, 3 LAME, 4 Blade, 5 GoGo, 6 Shine.
    uint8_t EncoderID() const;
    // Name of EncoderID, with the version for LAME when the mark carries one.
    std::string Encoder() const;
    // A frame was found, the bit rate is plausible and the duration at least 0.1 s.
    bool Valid() const;

private:
    int64_t fileLength_ = 0;
    std::string vendorID_;
    TVBRData vbr_;
    TFrameData frame_;
    TID3v1 id3v1_;
    TID3v2 id3v2_;
};

} // namespace quillon
