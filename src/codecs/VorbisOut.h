#pragma once

#include "codecs/VorbisLibrary.h"
#include "core/PcmOutput.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// Bit rates of the Ogg Vorbis encoder, in the order of the options' lists.
enum class TVorbisBitRate : uint8_t {
    brAutoSelect,
    br45,
    br48,
    br56,
    br64,
    br80,
    br96,
    br112,
    br128,
    br144,
    br160,
    br192,
    br224,
    br256,
    br320,
    br499,
};

// The bit rate in bit/s that the encoder is given; -1 for brAutoSelect.
int VorbisBitRateValue(TVorbisBitRate value);

// File sink that encodes PCM into an Ogg Vorbis file through libvorbisenc and libogg. With
// foAppend a new logical stream is written after the existing content of the file.
class TVorbisOut : public TPcmFileOut {
public:
    // Raises EPcmException naming the first of the four libraries that is not loaded.
    TVorbisOut();
    ~TVorbisOut() override;

    // Base quality of variable-bit-rate encoding, used while the nominal rate is brAutoSelect.
    float Compression() const { return compression_; }
    void SetCompression(float value) { compression_ = value; }
    // Comment fields, one NAME=value line each. A run consumes them: they are emptied when it
    // finishes.
    const std::vector<std::string>& Comments() const { return comments_; }
    void SetComments(const std::vector<std::string>& value) { comments_ = value; }
    void AddComment(const std::string& line) { comments_.push_back(line); }

    TVorbisBitRate DesiredNominalBitrate() const { return nominal_; }
    // Pulls the minimum down and the maximum up to the new rate; brAutoSelect also resets the
    // maximum to brAutoSelect.
    void SetDesiredNominalBitrate(TVorbisBitRate value);
    TVorbisBitRate DesiredMaximumBitrate() const { return maximum_; }
    // Ignored unless a nominal rate is chosen and the value is brAutoSelect or not below it.
    void SetDesiredMaximumBitrate(TVorbisBitRate value);
    TVorbisBitRate MinimumBitrate() const { return minimum_; }
    // Ignored when the value is above the nominal rate.
    void SetMinimumBitrate(TVorbisBitRate value);
    int Serial() const { return serial_; }
    void SetSerial(int value) { serial_ = value; }

    void SetFileMode(TFileOutputMode value) override { fileMode_ = value; }

protected:
    void Prepare() override;
    bool ProcessBlock(bool abort) override;
    void Finish() override;

private:
    void OpenOutput();
    void InitEncoder();
    // Feeds whole frames of the PCM buffer to the encoder; partial frames wait for more input.
    void AnalysePending();
    // Moves finished blocks through the bit-rate manager into pages and writes them.
    void WritePages();
    void WritePage(const ogg_page& page);
    // Removes what a failed run appended to an existing file.
    void CutAppendedStream();
    void ClearEncoder();

    const VorbisEntries* vorbis_ = nullptr;
    float compression_ = 0.2f;
    std::vector<std::string> comments_;
    TVorbisBitRate nominal_ = TVorbisBitRate::brAutoSelect;
    TVorbisBitRate maximum_ = TVorbisBitRate::brAutoSelect;
    TVorbisBitRate minimum_ = TVorbisBitRate::brAutoSelect;
    int serial_ = 0;

    bool encoderReady_ = false;
    bool endOfStream_ = false;
    bool inputEnded_ = false;
    int bytesPerSample_ = 2;
    int channels_ = 2;
    std::vector<uint8_t> pcm_;
    int pcmFill_ = 0;
    // Where the appended stream starts, so that a failed append can be cut off again.
    int64_t appendStart_ = -1;
    ogg_stream_state oggStream_{};
    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
};

} // namespace quillon
