#pragma once

#include "libmac/MACDll.h"

namespace quillon {

// The entry points of the Monkey's Audio codec library that the APE components call.
struct MacEntries {
    decltype(&::c_APECompress_Create) c_APECompress_Create = nullptr;
    decltype(&::c_APECompress_Destroy) c_APECompress_Destroy = nullptr;
    decltype(&::c_APECompress_Start) c_APECompress_Start = nullptr;
    decltype(&::c_APECompress_LockBuffer) c_APECompress_LockBuffer = nullptr;
    decltype(&::c_APECompress_UnlockBuffer) c_APECompress_UnlockBuffer = nullptr;
    decltype(&::c_APECompress_Finish) c_APECompress_Finish = nullptr;
    decltype(&::c_APECompress_Kill) c_APECompress_Kill = nullptr;
    decltype(&::c_APEDecompress_Create) c_APEDecompress_Create = nullptr;
    decltype(&::c_APEDecompress_Destroy) c_APEDecompress_Destroy = nullptr;
    decltype(&::c_APEDecompress_GetData) c_APEDecompress_GetData = nullptr;
    decltype(&::c_APEDecompress_GetInfo) c_APEDecompress_GetInfo = nullptr;
    decltype(&::c_APEDecompress_Seek) c_APEDecompress_Seek = nullptr;
    decltype(&::FillWaveFormatEx) FillWaveFormatEx = nullptr;
    decltype(&::TagFileSimple) TagFileSimple = nullptr;
};

// libMACDll.so beside the program, process-wide: loaded once when the program starts (or by
// the first component when the program did not) and released when it ends.
class MacLibrary {
public:
    // Loads the library unless it is loaded; idempotent.
    static void Load();
    // Releases the library; the next Load or component construction loads it again. Only for
    // when no APE component exists.
    static void Unload();
    // The entry points, loading the library first if that was never tried. Raises
    // EPcmException "<file name> library could not be loaded." when it is not loaded or lacks
    // one of the entry points above.
    static const MacEntries& Require();
};

} // namespace quillon
