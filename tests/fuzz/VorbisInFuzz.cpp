// TVorbisIn: the file read to its end, then with seeks.
#include "SourceDrive.h"
#include "codecs/VorbisIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::TVorbisIn source;
    quillon::fuzz::DriveSource(source, "input.ogg", data, size);
    return 0;
}
