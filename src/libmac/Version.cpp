#include "libmac/Export.h"
#include "libmac/MACDll.h"

namespace {
constexpr int kVersion = 3990;
// The oldest interface version whose callers this library serves.
constexpr int kOldestCompatible = 3990;
} // namespace

extern "C" {

MACDLL_EXPORT int GetVersionNumber(void) {
    return kVersion;
}

MACDLL_EXPORT int GetInterfaceCompatibility(int version, int, void*) {
    return version >= kOldestCompatible && version <= kVersion ? MAC_OK
                                                               : MAC_ERROR_UNSUPPORTED_FILE_TYPE;
}

MACDLL_EXPORT int ShowFileInfoDialog(const char*, void*) {
    return MAC_ERROR_BAD_PARAMETER;
}

MACDLL_EXPORT void ProgressCallback(int) {}
}
