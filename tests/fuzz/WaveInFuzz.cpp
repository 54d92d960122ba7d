// TWaveIn: the file read to its end, then with seeks.
#include "SourceDrive.h"
#include "codecs/WaveIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::TWaveIn source;
    quillon::fuzz::DriveSource(source, "input.wav", data, size);
    return 0;
}
