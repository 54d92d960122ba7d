#pragma once

#include "tags/VorbisTaggedFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Stream facts and Vorbis comments of a native FLAC file, read from its metadata blocks
// without decoding; WriteTag replaces the VORBIS_COMMENT block and keeps every other block
// byte for byte. Texts are UTF-8. Never raises.
class TFLACfile : public VorbisTaggedFile {
public:
    // Metadata block types.
    static constexpr uint8_t kStreamInfo = 0;
    static constexpr uint8_t kPadding = 1;
    static constexpr uint8_t kVorbisComment = 4;

    // One metadata block as found in the file.
    struct Block {
        uint8_t type = 0;
        int64_t position = 0; // file offset of its 4-byte header
        uint32_t size = 0;    // bytes after the header
    };

    TFLACfile() { Clear(); }

    void Clear();
    // True when the file holds "fLaC" (after an ID3v2 tag, if any) and a well-formed chain of
    // metadata blocks that starts with the stream information.
    bool ReadInfo(const std::string& fileName);
    // Rewrites the file with Title, Artist, Album, Track, Date, Genre and Comment where they
    // differ from the file's. The new comment block takes the room of the old one and of the
    // padding when it fits, so the audio stays where it was; otherwise the file gets new
    // padding. False, with the file untouched, when the file is not well-formed.
    bool WriteTag(const std::string& fileName);

    int64_t FileSize() const { return fileSize_; }
    int64_t ID3v2Size() const { return id3v2Size_; }
    // File offset of the first audio frame (just after the last metadata block).
    int64_t AudioOffset() const { return audioOffset_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint8_t Channels() const { return channels_; }
    uint8_t BitsPerSample() const { return bitsPerSample_; }
    // Samples per channel; 0 when the stream information does not say.
    uint64_t TotalSamples() const { return totalSamples_; }
    const std::vector<Block>& Blocks() const { return blocks_; }
    // Whether the file has a VORBIS_COMMENT block.
    bool HasComments() const { return hasComments_; }

    // "Mono", "Stereo", … as for Ogg Vorbis.
    std::string ChannelMode() const;
    // Seconds; 0 when the sample count or rate is unknown.
    double Duration() const;
    // Average bit rate of the audio frames, kbit/s.
    int BitRate() const;
    bool Valid() const;

private:
    int64_t fileSize_;
    int64_t id3v2Size_;
    int64_t audioOffset_;
    uint32_t sampleRate_;
    uint8_t channels_;
    uint8_t bitsPerSample_;
    uint64_t totalSamples_;
    std::vector<Block> blocks_;
    bool hasComments_;
};

} // namespace quillon
