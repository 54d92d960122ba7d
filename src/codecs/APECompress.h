#pragma once

#include "codecs/MacLibrary.h"

#include <string>

namespace quillon {

// The Monkey's Audio library's compressor handle; the library writes the output file itself.
class TAPECompress {
public:
    // Raises EAPEException when the library refuses to create a compressor.
    explicit TAPECompress(const MacEntries& mac);
    ~TAPECompress();
    TAPECompress(const TAPECompress&) = delete;
    TAPECompress& operator=(const TAPECompress&) = delete;

    // The library's error code.
    int Start(const std::string& fileName, const MAC_WaveFormat& format, int maxAudioBytes,
              int level, const void* headerData, int headerBytes);
    // Where up to `available` bytes of PCM go next.
    unsigned char* LockBuffer(int& available);
    // Hands over the bytes written to the locked buffer and compresses what it can.
    int UnlockBuffer(int bytesAdded);
    // Completes the file; the library's error code.
    int Finish();
    // Abandons the output: the library removes what it had written.
    int Kill();

private:
    const MacEntries& mac_;
    APE_COMPRESS_HANDLE handle_ = nullptr;
};

} // namespace quillon
