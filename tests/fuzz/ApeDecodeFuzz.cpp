// TMACIn over the codec library's decoder: the file read to its end, then with seeks. The
// library's refusals (EAPEException) are expected like the source's own errors.
#include "SourceDrive.h"
#include "codecs/APEException.h"
#include "codecs/MACIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::TMACIn source;
    try {
        quillon::fuzz::DriveSource(source, "input.ape", data, size);
    } catch (const quillon::EAPEException&) {
        source.Reset();
    }
    return 0;
}
