#pragma once

#include "codecs/APECompress.h"
#include "codecs/MacLibrary.h"
#include "core/PcmOutput.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

// File sink that compresses PCM into a Monkey's Audio (.ape) file through the codec library,
// which writes the file by name, and then tags it with an APE tag. A failed or stopped output
// is abandoned: the library removes it and a file of that name stays as it was.
class TMACOut : public TPcmFileOut {
public:
    // Raises EPcmException "<file name> library could not be loaded." without the library.
    TMACOut();
    ~TMACOut() override;

    int CompressionLevel() const { return compressionLevel_; }
    // 1000, 2000, 3000 or 4000; any other value is stored as 2000.
    void SetCompressionLevel(int value);
    // The most audio bytes the file will hold, -1 when not known.
    int MaxAudioBytes() const { return maxAudioBytes_; }
    void SetMaxAudioBytes(int value) { maxAudioBytes_ = value; }

    const std::string& Id3TagArtist() const { return artist_; }
    void SetId3TagArtist(const std::string& value) { artist_ = value; }
    const std::string& Id3TagAlbum() const { return album_; }
    void SetId3TagAlbum(const std::string& value) { album_ = value; }
    const std::string& Id3TagTitle() const { return title_; }
    void SetId3TagTitle(const std::string& value) { title_ = value; }
    const std::string& Id3TagYear() const { return year_; }
    void SetId3TagYear(const std::string& value) { year_ = value; }
    const std::string& Id3TagTrack() const { return track_; }
    void SetId3TagTrack(const std::string& value) { track_ = value; }
    const std::string& Id3TagComment() const { return comment_; }
    void SetId3TagComment(const std::string& value) { comment_ = value; }
    const std::string& Id3TagGenre() const { return genre_; }
    void SetId3TagGenre(const std::string& value) { genre_ = value; }

protected:
    void Prepare() override;
    bool ProcessBlock(bool abort) override;
    void Finish() override;

private:
    // Abandons the compressor's output and releases it.
    void KillCompressor();

    const MacEntries* mac_ = nullptr;
    int compressionLevel_ = MAC_COMPRESSION_LEVEL_NORMAL;
    int maxAudioBytes_ = -1;
    std::string artist_, album_, title_, year_, track_, comment_, genre_;

    std::vector<unsigned char> pcm_;
    std::unique_ptr<TAPECompress> compress_;
    MAC_WaveFormat format_{};
    bool endOfInput_ = false;
};

} // namespace quillon
