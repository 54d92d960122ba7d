// TFLACIn: the file read to its end, then with seeks.
#include "SourceDrive.h"
#include "codecs/FLACIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::TFLACIn source;
    quillon::fuzz::DriveSource(source, "input.flac", data, size);
    return 0;
}
