#pragma once

#include "codecs/AsfHeaderTags.h"
#include "core/PcmOutput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// File sink that writes WMA files (version 2 audio in an ASF file) with FFmpeg. The encoding
// format (sample rate, channels, bit rate) comes from an encoder profile file; input of another
// rate or channel count is resampled. The six tag properties (UTF-8) become the attributes
// "WM/AlbumTitle", "WM/Year", "WM/Genre", "Author", "Description" and "Title", each written
// once when not empty.
class TWMA_Out : public TPcmFileOut {
public:
    // Raises EPcmException "<file name> library could not be loaded." without FFmpeg.
    TWMA_Out();
    ~TWMA_Out() override;

    const std::string& Id3TagAlbum() const { return id3TagAlbum_; }
    void SetId3TagAlbum(const std::string& value) { id3TagAlbum_ = value; }
    const std::string& Id3TagYear() const { return id3TagYear_; }
    void SetId3TagYear(const std::string& value) { id3TagYear_ = value; }
    const std::string& Id3TagGenre() const { return id3TagGenre_; }
    void SetId3TagGenre(const std::string& value) { id3TagGenre_ = value; }
    const std::string& Id3TagArtist() const { return id3TagArtist_; }
    void SetId3TagArtist(const std::string& value) { id3TagArtist_ = value; }
    const std::string& Id3TagComment() const { return id3TagComment_; }
    void SetId3TagComment(const std::string& value) { id3TagComment_ = value; }
    const std::string& Id3TagTitle() const { return id3TagTitle_; }
    void SetId3TagTitle(const std::string& value) { id3TagTitle_ = value; }
    // The encoder profile; at most its first 3000 bytes are read.
    const std::string& ProfileFile() const { return profileFile_; }
    void SetProfileFile(const std::string& value) { profileFile_ = value; }

    // Diagnostic lines of the writer's set-up and end ("Creating the Writer...\r\n", …), on
    // the thread that runs the step; unset, they are discarded.
    std::function<void(const std::string& line)> OnLog;
    // Each block of input handed to the encoder: its presentation time in 100-ns units (counted
    // as 16-bit stereo at 44100 Hz, whatever the input) and its size in bytes. Worker thread.
    std::function<void(int64_t sampleTime, int bytes)> OnWriteSample;

protected:
    void Prepare() override;
    bool ProcessBlock(bool abort) override;
    void Finish() override;

private:
    struct Av;

    void Log(const std::string& line) const;
    // The tag properties as attributes, in the order they are written.
    std::vector<AsfTag> Tags() const;
    // Sets up the encoder, the resampler and the muxer for the profile's format.
    void CreateWriter(int sampleRate, int channels, int bitRate);
    void BeginWriting();
    // Converts the interleaved input to the encoder's format and encodes every whole frame;
    // no data drains the resampler.
    void EncodeBlock(const uint8_t* data, int bytes);
    // Encodes whole frames of pending output; `all` pads the last partial frame with silence.
    void EncodePending(bool all);
    // Sends a frame (nullptr flushes the encoder) and writes the packets that come back.
    void SendFrame(bool flush);
    void EndWriting();
    void ReleaseWriter();

    std::string id3TagAlbum_;
    std::string id3TagYear_;
    std::string id3TagGenre_;
    std::string id3TagArtist_;
    std::string id3TagComment_;
    std::string id3TagTitle_;
    std::string profileFile_;

    std::unique_ptr<Av> av_;
    int64_t sampleTime_ = 0;
    int inputBytesPerSample_ = 2;
    int inputChannels_ = 2;
    std::vector<uint8_t> buffer_;
    // Bytes of a partial input frame kept at the buffer's start for the next pass.
    int carry_ = 0;
    std::vector<float> interleaved_;
    // Resampled audio not yet encoded, one vector per output channel.
    std::vector<std::vector<float>> pending_;
    int64_t samplesEncoded_ = 0;
};

} // namespace quillon
