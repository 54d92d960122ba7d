#pragma once

#include "codecs/VorbisLibrary.h"
#include "core/PcmFileIn.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

// File source that decodes an Ogg Vorbis file to 16-bit PCM through libvorbisfile.
class TVorbisIn : public TPcmFileIn {
public:
    // Raises EPcmException naming the first of the four libraries that is not loaded.
    TVorbisIn();
    ~TVorbisIn() override;

    // Raises EPcmException "Error reading Ogg Vorbis file" when the file is not one.
    void Init() override;
    int ReadBlock(void* buffer, int bufferSize) override;
    void OpenFile() override;
    void CloseFile() override;
    bool SeekSample(int64_t sampleNumber) override;

    // The comment strings (NAME=value) of the file, read at the first OpenFile.
    const std::vector<std::string>& Comments() const { return comments_; }
    long BitrateUpper() const { return bitrateUpper_; }
    long BitrateNominal() const { return bitrateNominal_; }
    long BitrateLower() const { return bitrateLower_; }

private:
    void FillBuffer();
    void CloseDecoder();

    static size_t ReadCallback(void* ptr, size_t size, size_t count, void* source);
    static int SeekCallback(void* source, ogg_int64_t offset, int whence);
    static long TellCallback(void* source);

    const VorbisEntries* vorbis_ = nullptr;
    std::unique_ptr<OggVorbis_File> file_;
    int currentStream_ = -1;
    bool endOfFile_ = false;
    long bitrateUpper_ = 0;
    long bitrateNominal_ = 0;
    long bitrateLower_ = 0;
    std::vector<std::string> comments_;
    std::vector<char> buffer_;
};

} // namespace quillon
