#pragma once

#include "libcdrip/CDRip.h"
#include "platform/DynamicLibrary.h"

#include <string>

namespace quillon::test {

// libcdrip.so as the program loads it: by path with dlopen, its entry points by name.
struct CdRipLibrary {
    CdRipLibrary() : library(std::string(QUILLON_BIN_DIR) + "/libcdrip.so") {
        library.Resolve(Init, "CR_Init");
        library.Resolve(DeInit, "CR_DeInit");
        library.Resolve(AddImage, "CR_AddImage");
        library.Resolve(GetNumCDROM, "CR_GetNumCDROM");
        library.Resolve(SetActiveCDROM, "CR_SetActiveCDROM");
        library.Resolve(GetCDROMParameters, "CR_GetCDROMParameters");
        library.Resolve(IsMediaLoaded, "CR_IsMediaLoaded");
        library.Resolve(ReadToc, "CR_ReadToc");
        library.Resolve(GetNumTocEntries, "CR_GetNumTocEntries");
        library.Resolve(GetTocEntry, "CR_GetTocEntry");
        library.Resolve(OpenRipper, "CR_OpenRipper");
        library.Resolve(RipChunk, "CR_RipChunk");
        library.Resolve(CloseRipper, "CR_CloseRipper");
        library.Resolve(EjectCD, "CR_EjectCD");
    }

    DynamicLibrary library;
    decltype(&CR_Init) Init = nullptr;
    decltype(&CR_DeInit) DeInit = nullptr;
    decltype(&CR_AddImage) AddImage = nullptr;
    decltype(&CR_GetNumCDROM) GetNumCDROM = nullptr;
    decltype(&CR_SetActiveCDROM) SetActiveCDROM = nullptr;
    decltype(&CR_GetCDROMParameters) GetCDROMParameters = nullptr;
    decltype(&CR_IsMediaLoaded) IsMediaLoaded = nullptr;
    decltype(&CR_ReadToc) ReadToc = nullptr;
    decltype(&CR_GetNumTocEntries) GetNumTocEntries = nullptr;
    decltype(&CR_GetTocEntry) GetTocEntry = nullptr;
    decltype(&CR_OpenRipper) OpenRipper = nullptr;
    decltype(&CR_RipChunk) RipChunk = nullptr;
    decltype(&CR_CloseRipper) CloseRipper = nullptr;
    decltype(&CR_EjectCD) EjectCD = nullptr;
};

} // namespace quillon::test
