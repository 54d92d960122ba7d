// WAV stream information.
#include "FuzzInput.h"
#include "tags/WAVfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.wav", data, size);
    quillon::TWAVfile wav;
    if (wav.ReadInfo(file)) {
        wav.ChannelMode();
        wav.Duration();
    }
    return 0;
}
