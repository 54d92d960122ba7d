// Ogg pages and the Vorbis comment packet: read, the comments changed, written back.
#include "FuzzInput.h"
#include "tags/OggVorbis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.ogg", data, size);
    quillon::TOggVorbis ogg;
    if (ogg.ReadInfo(file)) {
        ogg.Duration();
        ogg.BitRate();
        ogg.SetTitle("fuzz");
        ogg.WriteTag(file);
    }
    return 0;
}
