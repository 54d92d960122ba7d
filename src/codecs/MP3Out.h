#pragma once

#include "codecs/LameLibrary.h"
#include "core/PcmOutput.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// Constant bit rate in kbit/s: the number in the name.
enum class TMP3BitRate : uint8_t {
    br8,
    br16,
    br24,
    br32,
    br40,
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
};
// Encoder quality; the ordinal is passed on.
enum class TMP3Quality : uint8_t { ql0, ql1, ql2, ql3, ql4, ql5, ql6, ql7, ql8, ql9 };
// Output sample rate; srDefault lets the encoder choose.
enum class TMP3SampleRate : uint8_t { srDefault, sr32kHz, sr41kHz, sr48kHz };
// Channel mode; the ordinal is passed on.
enum class TMP3Mode : uint8_t { STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO };

// kbit/s of a bit-rate value.
int MP3BitRateKbps(TMP3BitRate value);

// File sink that encodes PCM into an MP3 file with the LAME library, which is loaded by the
// first instance and released with the last. The library appends an ID3v1 tag from the seven
// tag properties (UTF-8, stored as Latin-1); a leading tag given by the caller (an ID3v2 tag
// holding the full texts) is written in front of the audio.
class TMP3Out : public TPcmFileOut {
public:
    // Raises EPcmException "<file name> library could not be loaded." without the library.
    TMP3Out();
    ~TMP3Out() override;

    TMP3BitRate BitRate() const { return bitRate_; }
    void SetBitRate(TMP3BitRate value) { bitRate_ = value; }
    TMP3Quality Quality() const { return quality_; }
    void SetQuality(TMP3Quality value) { quality_ = value; }
    TMP3SampleRate SampleRate() const { return sampleRate_; }
    void SetSampleRate(TMP3SampleRate value) { sampleRate_ = value; }
    TMP3Mode Mode() const { return mode_; }
    void SetMode(TMP3Mode value) { mode_ = value; }
    bool CRC() const { return crc_; }
    void SetCRC(bool value) { crc_ = value; }
    bool Copyright() const { return copyright_; }
    void SetCopyright(bool value) { copyright_ = value; }
    bool Original() const { return original_; }
    void SetOriginal(bool value) { original_ = value; }
    bool EnableVBR() const { return enableVBR_; }
    void SetEnableVBR(bool value) { enableVBR_ = value; }
    bool WriteVBRHeader() const { return writeVBRHeader_; }
    void SetWriteVBRHeader(bool value) { writeVBRHeader_ = value; }
    TMP3Quality VBRQuality() const { return vbrQuality_; }
    void SetVBRQuality(TMP3Quality value) { vbrQuality_ = value; }
    int VBRMinBitrate() const { return vbrMinBitrate_; }
    void SetVBRMinBitrate(int value) { vbrMinBitrate_ = value; }
    int VBRMaxBitrate() const { return vbrMaxBitrate_; }
    void SetVBRMaxBitrate(int value) { vbrMaxBitrate_ = value; }

    const std::string& Id3TagTitle() const { return id3TagTitle_; }
    void SetId3TagTitle(const std::string& value) { id3TagTitle_ = value; }
    const std::string& Id3TagArtist() const { return id3TagArtist_; }
    void SetId3TagArtist(const std::string& value) { id3TagArtist_ = value; }
    const std::string& Id3TagAlbum() const { return id3TagAlbum_; }
    void SetId3TagAlbum(const std::string& value) { id3TagAlbum_ = value; }
    const std::string& Id3TagYear() const { return id3TagYear_; }
    void SetId3TagYear(const std::string& value) { id3TagYear_ = value; }
    const std::string& Id3TagTrack() const { return id3TagTrack_; }
    void SetId3TagTrack(const std::string& value) { id3TagTrack_ = value; }
    const std::string& Id3TagComment() const { return id3TagComment_; }
    void SetId3TagComment(const std::string& value) { id3TagComment_ = value; }
    const std::string& Id3TagGenre() const { return id3TagGenre_; }
    void SetId3TagGenre(const std::string& value) { id3TagGenre_ = value; }
    // Bytes written at the start of the output, before the first audio frame (the Info/VBR
    // frame written back after flushing follows them). Empty writes nothing.
    const std::vector<uint8_t>& LeadingTag() const { return leadingTag_; }
    void SetLeadingTag(std::vector<uint8_t> value) { leadingTag_ = std::move(value); }

protected:
    void Prepare() override;
    bool ProcessBlock(bool abort) override;
    void Finish() override;

private:
    // Encodes whole frames of what the PCM buffer holds; partial frames wait for more input.
    void EncodePending();
    void WriteOutput(int bytes);
    void WriteLameTag();
    void CloseEncoder();

    const LameEntries* lame_ = nullptr;
    TMP3BitRate bitRate_ = TMP3BitRate::br128;
    TMP3Quality quality_ = TMP3Quality::ql5;
    TMP3SampleRate sampleRate_ = TMP3SampleRate::srDefault;
    TMP3Mode mode_ = TMP3Mode::STEREO;
    bool crc_ = false;
    bool copyright_ = false;
    bool original_ = true;
    bool enableVBR_ = false;
    bool writeVBRHeader_ = false;
    TMP3Quality vbrQuality_ = TMP3Quality::ql5;
    int vbrMinBitrate_ = 128;
    int vbrMaxBitrate_ = 192;
    std::string id3TagTitle_;
    std::string id3TagArtist_;
    std::string id3TagAlbum_;
    std::string id3TagYear_;
    std::string id3TagTrack_;
    std::string id3TagComment_;
    std::string id3TagGenre_;
    std::vector<uint8_t> leadingTag_;

    lame_global_flags* handle_ = nullptr;
    int bytesPerSample_ = 2;
    int channels_ = 2;
    // Input bytes as read; 16-bit input is encoded from here directly.
    std::vector<int16_t> pcm_;
    int pcmFill_ = 0;
    // Other widths are converted to 16 bits here first.
    std::vector<int16_t> samples_;
    std::vector<unsigned char> output_;
    int64_t streamStart_ = 0;
};

} // namespace quillon
