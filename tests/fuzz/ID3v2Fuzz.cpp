// ID3v2 of every version: the tag is read, then written back into the input's file, which
// rebuilds the tag from its frames and rewrites the file.
#include "FuzzInput.h"
#include "tags/ID3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.mp3", data, size);
    quillon::TID3v2 tag;
    if (tag.ReadTag(file)) {
        tag.SetTitle("fuzz");
        tag.WriteTag(file);
    }
    return 0;
}
