// FLAC metadata blocks: read, the comments changed, written back.
#include "FuzzInput.h"
#include "tags/FLACfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.flac", data, size);
    quillon::TFLACfile flac;
    if (flac.ReadInfo(file)) {
        flac.Duration();
        flac.BitRate();
        flac.SetTitle("fuzz");
        flac.WriteTag(file);
    }
    return 0;
}
