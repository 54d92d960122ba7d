#pragma once

#include "codecs/APEDecompress.h"
#include "codecs/MacLibrary.h"
#include "core/PcmFileIn.h"

#include <memory>
#include <vector>

namespace quillon {

// File source that decodes a Monkey's Audio (.ape) file through the codec library, which
// opens the file by name (a handed-in stream is not read). Delivers 8-bit, 16-bit and 24-bit
// PCM of one or two channels as the file holds it.
class TMACIn : public TPcmFileIn {
public:
    // Raises EPcmException "<file name> library could not be loaded." without the library.
    TMACIn();
    ~TMACIn() override;

    int GetTotalTime() override;
    // Raises EAPEException when the library reports a damaged file while decoding.
    int ReadBlock(void* buffer, int bufferSize) override;
    // Raises EAPEException when the library cannot open the file.
    void OpenFile() override;
    void CloseFile() override;
    bool SeekSample(int64_t sampleNumber) override;

private:
    // Refills the decode buffer; sets endOfFile_ when nothing more comes.
    void FillBuffer();

    const MacEntries* mac_ = nullptr;
    std::unique_ptr<TAPEDecompress> decompress_;
    std::vector<char> buffer_;
    // Bytes of one block: a sample of every channel.
    int blockAlign_ = 0;
    bool endOfFile_ = false;
    int totalTime_ = 0;
};

} // namespace quillon
