#pragma once

#include "codecs/MacLibrary.h"

#include <cstdint>
#include <string>

namespace quillon {

// The Monkey's Audio library's decompressor handle for one file.
class TAPEDecompress {
public:
    // Raises EAPEException with the library's code when it cannot open the file.
    TAPEDecompress(const MacEntries& mac, const std::string& fileName);
    ~TAPEDecompress();
    TAPEDecompress(const TAPEDecompress&) = delete;
    TAPEDecompress& operator=(const TAPEDecompress&) = delete;

    const std::string& FileName() const { return fileName_; }
    // Up to `blocks` blocks (one sample per channel) of PCM; the library's error code.
    int GetData(char* buffer, int blocks, int& retrieved);
    intptr_t GetInfo(int field);
    int Seek(int block);

private:
    const MacEntries& mac_;
    std::string fileName_;
    APE_DECOMPRESS_HANDLE handle_ = nullptr;
};

} // namespace quillon
