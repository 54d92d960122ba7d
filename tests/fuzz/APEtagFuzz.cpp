// APE tag: read, one item replaced, written back.
#include "FuzzInput.h"
#include "tags/APEtag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.ape", data, size);
    quillon::TAPEtag tag;
    if (tag.ReadTag(file)) {
        tag.SetTitle("fuzz");
        tag.WriteTag(file);
    }
    return 0;
}
