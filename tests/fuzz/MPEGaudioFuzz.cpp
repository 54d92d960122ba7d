// MPEG audio: the frame search, the VBR headers and the figures computed from them.
#include "FuzzInput.h"
#include "tags/MPEGaudio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = quillon::fuzz::WriteInputFile("input.mp3", data, size);
    quillon::TMPEGaudio mpeg;
    if (mpeg.ReadInfo(file)) {
        mpeg.Version();
        mpeg.Layer();
        mpeg.ChannelMode();
        mpeg.Emphasis();
        mpeg.Frames();
        mpeg.Duration();
        mpeg.Encoder();
    }
    return 0;
}
