// WMA encoder profile: the input is the profile file; its text is read (at most 3000 bytes,
// UTF-16 narrowed) and its wave format parsed.
#include "FuzzInput.h"
#include "codecs/WMAProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto text =
        quillon::ReadWmaProfileText(quillon::fuzz::WriteInputFile("input.prx", data, size));
    if (text) {
        quillon::ParseWmaProfile(*text);
    }
    return 0;
}
