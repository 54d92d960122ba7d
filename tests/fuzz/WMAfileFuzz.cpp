// WMA/ASF header objects: stream information and the content descriptions.
#include "FuzzInput.h"
#include "tags/WMAfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.wma", data, size);
    quillon::TWMAfile wma;
    if (wma.ReadInfo(file)) {
        wma.ChannelMode();
    }
    return 0;
}
