// ID3v1: the record at the end of a file, read and written back.
#include "FuzzInput.h"
#include "tags/ID3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.mp3", data, size);
    quillon::TID3v1 tag;
    if (tag.ReadTag(file)) {
        tag.WriteTag(file);
    }
    return 0;
}
