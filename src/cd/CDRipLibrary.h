#pragma once

#include "cd/CDTypes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

// libcdrip.so, the CD ripping library, process-wide: loaded by file name the first time a CD
// source is made (or an image added), its entry points resolved by name, its settings file
// cdr.ini written and CR_Init called once; CR_DeInit and the unload happen when the program
// ends. A call whose entry point the library lacks does nothing and reports failure.
class CDRipLibrary {
public:
    // Loads and initialises the library unless it is loaded; a failed load is tried again next
    // time. Images added before are handed to the library again. True when loaded.
    static bool Load();
    // Deinitialises and releases the library (tests load it again under another file name).
    static void Unload();
    static bool Loaded();
    // How many of the library's 42 published entry points (CR_AddImage aside) it provides.
    static size_t ResolvedCount();
    // "libcdrip.so could not be loaded.", with the file name in use.
    static std::string LoadFailureMessage();
    // The library's settings file: $XDG_CONFIG_HOME/Tovalen/cdr.ini, by default under
    // ~/.config.
    static std::string IniFileName();

    static int GetNumCDROM();
    static int SetActiveCDROM(int index);
    static int GetCDROMParameters(CR_DriveParameters& parameters);
    // Leaves 1 (no disc) in state when the library does not answer.
    static int IsMediaLoaded(int& state);
    static int IsAudioPlaying();
    static int ReadToc();
    static int GetNumTocEntries();
    static LibraryTocEntry GetTocEntry(int index);
    static int OpenRipper(int& bufferSize, int32_t firstSector, int32_t endSector);
    // The byte count goes in holding the buffer's size, which the library may rely on.
    static int RipChunk(uint8_t* buffer, int capacity, int& bytes);
    static int CloseRipper();
    static int EjectCD(bool open);

    // Hands a disc image to the library and keeps it in the process-wide list of added images
    // (AddedImages.h). Loads the library first; false with the reason in problem when it cannot
    // be loaded or refuses the image.
    static bool AddImage(const std::string& sheetFileName, std::string& problem);
    static std::vector<std::string> Images();
};

} // namespace quillon
