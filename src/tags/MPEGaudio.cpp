#include "tags/MPEGaudio.h"

#include "platform/FileStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

// Bytes read per search; the largest frame (1728 bytes plus padding) fits twice.
constexpr size_t kBufferSize = 3458;
constexpr size_t kLastStart = 1729;

enum Version : uint8_t { mvMPEG25 = 0, mvReserved = 1, mvMPEG2 = 2, mvMPEG1 = 3 };
enum Layer : uint8_t { mlReserved = 0, mlLayerIII = 1, mlLayerII = 2, mlLayerI = 3 };

// Bit rates in kbit/s by [MPEG 1?][layer][index]; MPEG 2.5 uses the MPEG 2 values.
constexpr uint16_t kBitRates[2][4][16] = {
    {
        {},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    },
    {
        {},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    },
};

// Sample rates in Hz by [version][index].
constexpr uint16_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
};

constexpr const char* kVersionNames[4] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
constexpr const char* kLayerNames[4] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
constexpr const char* kModeNames[5] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
constexpr const char* kEmphasisNames[4] = {"None", "50/15 ms", "Unknown", "CCIT J.17"};
constexpr const char* kEncoderNames[7] = {"Unknown", "Xing", "FhG",  "LAME",
                                          "Blade",   "GoGo", "Shine"};

enum EncoderID : uint8_t { meUnknown, meXing, meFhG, meLAME, meBlade, meGoGo, meShine };

bool IsFrameHeader(const uint8_t* b) {
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && ((b[1] >> 3) & 3) != mvReserved &&
           ((b[1] >> 1) & 3) != mlReserved && (b[2] >> 4) != 0 && (b[2] >> 4) != 15 &&
           ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

void DecodeHeader(const uint8_t* b, TFrameData& frame) {
    std::copy(b, b + 4, frame.Data.begin());
    frame.VersionID = (b[1] >> 3) & 3;
    frame.LayerID = (b[1] >> 1) & 3;
    frame.ProtectionBit = (b[1] & 1) == 0;
    frame.BitRateID = b[2] >> 4;
    frame.SampleRateID = (b[2] >> 2) & 3;
    frame.PaddingBit = (b[2] & 2) != 0;
    frame.PrivateBit = (b[2] & 1) != 0;
    frame.ModeID = b[3] >> 6;
    frame.ModeExtensionID = (b[3] >> 4) & 3;
    frame.CopyrightBit = (b[3] & 8) != 0;
    frame.OriginalBit = (b[3] & 4) != 0;
    frame.EmphasisID = b[3] & 3;
}

uint16_t TableBitRate(const TFrameData& frame) {
    if (frame.VersionID == mvReserved || frame.LayerID == mlReserved || frame.BitRateID > 15) {
        return 0;
    }
    return kBitRates[frame.VersionID == mvMPEG1 ? 1 : 0][frame.LayerID][frame.BitRateID];
}

uint16_t TableSampleRate(const TFrameData& frame) {
    return kSampleRates[frame.VersionID & 3][frame.SampleRateID & 3];
}

// Frame length = coefficient x bit rate / sample rate: a Layer I frame holds 384 samples and
// a Layer II frame 1152 in every version; a Layer III frame holds 1152 in MPEG 1 and 576 in
// MPEG 2 and 2.5. The coefficient is samples per frame / 8.
int Coefficient(const TFrameData& frame) {
    if (frame.LayerID == mlLayerI) {
        return 48;
    }
    if (frame.LayerID == mlLayerIII && frame.VersionID != mvMPEG1) {
        return 72;
    }
    return 144;
}

int Padding(const TFrameData& frame) {
    if (!frame.PaddingBit) {
        return 0;
    }
    return frame.LayerID == mlLayerI ? 4 : 1;
}

int FrameLength(const TFrameData& frame) {
    const uint16_t sampleRate = TableSampleRate(frame);
    if (sampleRate == 0) {
        return 0;
    }
    return Coefficient(frame) * TableBitRate(frame) * 1000 / sampleRate + Padding(frame);
}

uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Text of up to `count` bytes, ending at the first zero byte.
std::string MarkText(const uint8_t* p, size_t count) {
    const auto* begin = reinterpret_cast<const char*>(p);
    return std::string(begin, std::find(begin, begin + count, '\0'));
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Offset of a VBR header from the frame start: behind the frame header and the side
// information, whose size depends on the version and the channels.
int VBRHeaderOffset(const TFrameData& frame) {
    const bool mono = frame.ModeID == 3;
    if (frame.VersionID == mvMPEG1) {
        return mono ? 21 : 36;
    }
    return mono ? 13 : 21;
}

// `buffer` holds `length` bytes read from the file and is zero-filled up to kBufferSize.
bool FindFrame(const std::vector<uint8_t>& buffer, size_t length, TFrameData& frame,
               TVBRData& vbr) {
    for (size_t offset = 0; offset <= kLastStart && offset + 4 <= length; ++offset) {
        const uint8_t* header = buffer.data() + offset;
        if (!IsFrameHeader(header)) {
            continue;
        }
        TFrameData candidate;
        DecodeHeader(header, candidate);
        auto frameLength = static_cast<size_t>(FrameLength(candidate));
        const size_t next = offset + frameLength;
        if (frameLength == 0 || next + 4 > length || !IsFrameHeader(buffer.data() + next)) {
            continue;
        }
        // Encoders leave the side information of their header frame zero.
        const bool zeroSideInfo =
            std::all_of(header + 4, header + 10, [](uint8_t b) { return b == 0; });
        const uint8_t* v = header + VBRHeaderOffset(candidate);
        if (std::memcmp(v, "Info", 4) == 0) {
            // A constant-bit-rate header frame holds no audio, and its bit rate is only what
            // its header needed (often more than the stream's): the facts come from the frame
            // after it.
            TFrameData audio;
            DecodeHeader(buffer.data() + next, audio);
            const auto audioLength = static_cast<size_t>(FrameLength(audio));
            if (audio.VersionID == candidate.VersionID && audio.LayerID == candidate.LayerID &&
                audio.SampleRateID == candidate.SampleRateID && audioLength > 0) {
                offset = next;
                candidate = audio;
                frameLength = audioLength;
                v = nullptr;
            }
        }
        frame = candidate;
        frame.Found = true;
        frame.Position = static_cast<int32_t>(offset);
        frame.Size = static_cast<uint16_t>(frameLength);
        frame.Xing = zeroSideInfo;
        if (v == nullptr) {
            return true;
        }
        if (std::memcmp(v, "Xing", 4) == 0) {
            vbr.Found = true;
            vbr.ID = "Xing";
            vbr.Frames = GetBE32(v + 8);
            vbr.Bytes = GetBE32(v + 12);
            vbr.Scale = v[119];
            vbr.VendorID = MarkText(v + 120, 8);
        } else if (std::memcmp(v, "VBRI", 4) == 0) {
            vbr.Found = true;
            vbr.ID = "VBRI";
            vbr.Scale = v[9];
            vbr.Bytes = GetBE32(v + 10);
            vbr.Frames = GetBE32(v + 14);
        }
        return true;
    }
    return false;
}

// Reads up to kBufferSize bytes at `position` into a zero-filled buffer; returns the count.
size_t ReadBlock(FileStream& file, int64_t position, std::vector<uint8_t>& buffer) {
    buffer.assign(kBufferSize, 0);
    file.SetPosition(position);
    return file.Read(buffer.data(), kBufferSize);
}

// An encoder mark ("LAME" and a version, or "GOGO") near the end of the audio data.
std::string FindEncoderMark(const std::vector<uint8_t>& buffer, size_t length, int frameSize) {
    for (int64_t i = 0; i <= 2 * int64_t{frameSize}; ++i) {
        const int64_t start = static_cast<int64_t>(length) - 8 - i;
        if (start < 0) {
            break;
        }
        const uint8_t* window = buffer.data() + start;
        if (std::memcmp(window, "LAME", 4) == 0) {
            return MarkText(window, 8);
        }
        if (std::memcmp(window, "GOGO", 4) == 0) {
            return "GOGO";
        }
    }
    return {};
}

} // namespace

TMPEGaudio::TMPEGaudio() {
    Clear();
}

void TMPEGaudio::Clear() {
    fileLength_ = 0;
    vendorID_.clear();
    vbr_ = TVBRData{};
    frame_ = TFrameData{};
    frame_.VersionID = mvReserved;
    frame_.SampleRateID = 3;
    frame_.ModeID = 4;
    frame_.ModeExtensionID = 4;
    frame_.EmphasisID = 2;
    id3v1_.Clear();
    id3v2_.Clear();
}

bool TMPEGaudio::ReadInfo(const std::string& fileName) {
    Clear();
    if (!id3v1_.ReadTag(fileName) || !id3v2_.ReadTag(fileName)) {
        return false;
    }
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        fileLength_ = file.Size();
        std::vector<uint8_t> buffer;
        size_t length = ReadBlock(file, id3v2_.Size(), buffer);
        bool found = FindFrame(buffer, length, frame_, vbr_);
        if (!found && length == kBufferSize) {
            length = ReadBlock(file, (fileLength_ - id3v2_.Size()) / 2, buffer);
            found = FindFrame(buffer, length, frame_, vbr_);
        }
        if (found && !vbr_.Found) {
            const int64_t end = fileLength_ - (id3v1_.Exists() ? 128 : 0);
            const int64_t start = std::max<int64_t>(0, end - static_cast<int64_t>(kBufferSize));
            buffer.assign(kBufferSize, 0);
            file.SetPosition(start);
            length = file.Read(buffer.data(), static_cast<size_t>(end - start));
            vendorID_ = FindEncoderMark(buffer, length, frame_.Size);
        }
        if (!found) {
            Clear();
        }
        return true;
    } catch (const std::exception&) {
        Clear();
        return false;
    }
}

std::string TMPEGaudio::Version() const {
    return kVersionNames[frame_.VersionID & 3];
}

std::string TMPEGaudio::Layer() const {
    return kLayerNames[frame_.LayerID & 3];
}

std::string TMPEGaudio::ChannelMode() const {
    return kModeNames[std::min<int>(frame_.ModeID, 4)];
}

std::string TMPEGaudio::Emphasis() const {
    return kEmphasisNames[frame_.EmphasisID & 3];
}

uint16_t TMPEGaudio::SampleRate() const {
    return TableSampleRate(frame_);
}

uint16_t TMPEGaudio::BitRate() const {
    const uint16_t sampleRate = TableSampleRate(frame_);
    if (!vbr_.Found || vbr_.Frames == 0 || sampleRate == 0) {
        return TableBitRate(frame_);
    }
    // Rounded half to even; a lying header that gives no representable rate gives 0.
    const double rate =
        std::nearbyint((static_cast<double>(vbr_.Bytes) / vbr_.Frames - Padding(frame_)) *
                       sampleRate / Coefficient(frame_) / 1000);
    return rate >= 0 && rate <= 65535 ? static_cast<uint16_t>(rate) : 0;
}

int64_t TMPEGaudio::Frames() const {
    if (vbr_.Found) {
        return vbr_.Frames;
    }
    if (!frame_.Found || frame_.Size == 0) {
        return 0;
    }
    return (fileLength_ - id3v2_.Size() - frame_.Position) / frame_.Size;
}

double TMPEGaudio::Duration() const {
    const uint16_t sampleRate = TableSampleRate(frame_);
    const uint16_t bitRate = TableBitRate(frame_);
    if (!frame_.Found || sampleRate == 0 || bitRate == 0) {
        return 0;
    }
    if (vbr_.Found && vbr_.Frames > 0) {
        return static_cast<double>(Coefficient(frame_)) * vbr_.Frames * 8 / sampleRate;
    }
    return static_cast<double>(fileLength_ - id3v2_.Size() - frame_.Position) * 8 / bitRate / 1000;
}

uint8_t TMPEGaudio::EncoderID() const {
    if (!frame_.Found) {
        return meUnknown;
    }
    if (vbr_.Found) {
        const std::string& mark = vbr_.VendorID;
        uint8_t id = meUnknown;
        if (StartsWith(mark, "GOGO") || StartsWith(mark, "MPGE")) {
            id = meGoGo;
        } else if (StartsWith(mark, "LAME")) {
            id = meLAME;
        }
        if (vbr_.ID == "Xing" && !StartsWith(mark, "LAME") && !StartsWith(mark, "GOGO") &&
            !StartsWith(mark, "MPGE")) {
            id = meXing;
        }
        if (vbr_.ID == "VBRI") {
            id = meFhG;
        }
        return id;
    }
    // Without a VBR header the encoder shows only in habits of its header bits.
    uint8_t id = frame_.OriginalBit && frame_.ProtectionBit ? meLAME : meFhG;
    if (TableBitRate(frame_) <= 160 && frame_.ModeID == 0) {
        id = meBlade;
    }
    if (frame_.CopyrightBit && frame_.OriginalBit && !frame_.ProtectionBit) {
        id = meXing;
    }
    if (frame_.Xing && frame_.OriginalBit) {
        id = meXing;
    }
    if (frame_.ModeID == 2 && frame_.ProtectionBit) {
        id = meShine;
    }
    if (StartsWith(vendorID_, "GOGO")) {
        id = meGoGo;
    } else if (StartsWith(vendorID_, "LAME")) {
        id = meLAME;
    }
    return id;
}

std::string TMPEGaudio::Encoder() const {
    const uint8_t id = EncoderID();
    std::string name = kEncoderNames[id];
    const std::string& mark = vendorID_.empty() ? vbr_.VendorID : vendorID_;
    const auto digit = [&mark](size_t i) { return mark[i] >= '0' && mark[i] <= '9'; };
    if (id == meLAME && mark.size() > 7 && digit(4) && mark[5] == '.' && digit(6) && digit(7)) {
        name += " " + mark.substr(4, 4);
    }
    return name;
}

bool TMPEGaudio::Valid() const {
    const uint16_t bitRate = BitRate();
    return frame_.Found && bitRate >= 8 && bitRate <= 448 && Duration() >= 0.1;
}

} // namespace quillon
