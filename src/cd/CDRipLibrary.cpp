#include "cd/CDRipLibrary.h"

#include "platform/DynamicLibrary.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace quillon {

namespace {

// The library's published entry points, all resolved at load even though the CD source
// calls only some of them.
constexpr std::array<const char*, 42> kEntryNames = {
    "CR_Init",
    "CR_DeInit",
    "CR_GetCDRipVersion",
    "CR_GetNumCDROM",
    "CR_SetActiveCDROM",
    "CR_GetActiveCDROM",
    "CR_SelectCDROMType",
    "CR_GetCDROMType",
    "CR_GetCDROMParameters",
    "CR_SetCDROMParameters",
    "CR_IsMediaLoaded",
    "CR_IsAudioPlaying",
    "CR_ReadToc",
    "CR_GetNumTocEntries",
    "CR_GetTocEntry",
    "CR_OpenRipper",
    "CR_RipChunk",
    "CR_CloseRipper",
    "CR_EjectCD",
    "CR_GetPercentCompleted",
    "CR_GetPeakValue",
    "CR_GetNumberOfJitterErrors",
    "CR_GetJitterPosition",
    "CR_LoadSettings",
    "CR_SaveSettings",
    "CR_NormalizeChunk",
    "CR_ReadCDText",
    "CR_IsUnitReady",
    "CR_PlayTrack",
    "CR_StopPlayTrack",
    "CR_PauseCD",
    "CR_GetCDStatusInfo",
    "CR_LockCD",
    "CR_GetSubChannelTrackInfo",
    "CR_GetPlayPosition",
    "CR_SetPlayPosition",
    "CR_PlaySection",
    "CR_GetLastJitterErrorPosition",
    "CR_GetCurrentRipSector",
    "CR_SetTransportLayer",
    "CR_GetTransportLayer",
    "CR_ScanForC2Errors",
};

// Result of a call the library could not serve.
constexpr int kNotServed = -1;

// What the CD source calls.
struct CDRipEntries {
    decltype(&::CR_Init) CR_Init = nullptr;
    decltype(&::CR_DeInit) CR_DeInit = nullptr;
    decltype(&::CR_GetNumCDROM) CR_GetNumCDROM = nullptr;
    decltype(&::CR_SetActiveCDROM) CR_SetActiveCDROM = nullptr;
    decltype(&::CR_GetCDROMParameters) CR_GetCDROMParameters = nullptr;
    decltype(&::CR_IsMediaLoaded) CR_IsMediaLoaded = nullptr;
    decltype(&::CR_IsAudioPlaying) CR_IsAudioPlaying = nullptr;
    decltype(&::CR_ReadToc) CR_ReadToc = nullptr;
    decltype(&::CR_GetNumTocEntries) CR_GetNumTocEntries = nullptr;
    decltype(&::CR_GetTocEntry) CR_GetTocEntry = nullptr;
    decltype(&::CR_OpenRipper) CR_OpenRipper = nullptr;
    decltype(&::CR_RipChunk) CR_RipChunk = nullptr;
    decltype(&::CR_CloseRipper) CR_CloseRipper = nullptr;
    decltype(&::CR_EjectCD) CR_EjectCD = nullptr;
    decltype(&::CR_AddImage) CR_AddImage = nullptr;
};

#define QUILLON_BIND_CDRIP(name) library.Resolve(e.name, #name)

CDRipEntries BindEntries(const DynamicLibrary& library) {
    CDRipEntries e;
    QUILLON_BIND_CDRIP(CR_Init);
    QUILLON_BIND_CDRIP(CR_DeInit);
    QUILLON_BIND_CDRIP(CR_GetNumCDROM);
    QUILLON_BIND_CDRIP(CR_SetActiveCDROM);
    QUILLON_BIND_CDRIP(CR_GetCDROMParameters);
    QUILLON_BIND_CDRIP(CR_IsMediaLoaded);
    QUILLON_BIND_CDRIP(CR_IsAudioPlaying);
    QUILLON_BIND_CDRIP(CR_ReadToc);
    QUILLON_BIND_CDRIP(CR_GetNumTocEntries);
    QUILLON_BIND_CDRIP(CR_GetTocEntry);
    QUILLON_BIND_CDRIP(CR_OpenRipper);
    QUILLON_BIND_CDRIP(CR_RipChunk);
    QUILLON_BIND_CDRIP(CR_CloseRipper);
    QUILLON_BIND_CDRIP(CR_EjectCD);
    QUILLON_BIND_CDRIP(CR_AddImage);
    return e;
}

#undef QUILLON_BIND_CDRIP

struct CDRipState {
    std::mutex mutex;
    std::unique_ptr<DynamicLibrary> library;
    size_t resolved = 0;
    CDRipEntries entries;
    std::vector<std::string> images;

    ~CDRipState() { UnloadLocked(); }

    void UnloadLocked() {
        if (library && entries.CR_DeInit) {
            entries.CR_DeInit();
        }
        entries = CDRipEntries{};
        resolved = 0;
        library.reset();
    }
};

CDRipState& State() {
    static CDRipState state;
    return state;
}

std::string ConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        return xdg;
    }
    if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        return std::string(home) + "/.config";
    }
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) {
        return std::string(user->pw_dir) + "/.config";
    }
    return ".config";
}

// The library uses the first drive until told otherwise; the paranoia mode is the user's to
// choose, so it is only written when absent, to show where it is set.
void WriteSettings(const std::string& fileName) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path(), ignored);
    IniFile ini(fileName);
    ini.WriteString("CD-ROM", "nActive", "0");
    const std::string absent = "\x01";
    if (ini.ReadString("CD-ROM", "nParanoiaMode", absent) == absent) {
        ini.WriteString("CD-ROM", "nParanoiaMode", std::to_string(CR_ParanoiaFull));
    }
}

// Hands an image to the library; false with the library's reason in problem.
bool AddToLibrary(const CDRipEntries& e, const std::string& sheetFileName, std::string& problem) {
    if (!e.CR_AddImage) {
        problem = "The CD ripping library cannot open disc images.";
        return false;
    }
    std::array<char, 1024> message{};
    if (e.CR_AddImage(sheetFileName.c_str(), message.data(), static_cast<int>(message.size())) ==
        0) {
        return true;
    }
    message.back() = '\0';
    problem = message[0] != '\0' ? std::string(message.data())
                                 : "The disc image " + sheetFileName + " cannot be read.";
    return false;
}

bool LoadLocked(CDRipState& s) {
    if (s.library) {
        return true;
    }
    auto library = std::make_unique<DynamicLibrary>(LibraryNames::LoadPath(LibraryId::CdRip));
    if (!library->Loaded()) {
        return false;
    }
    s.entries = BindEntries(*library);
    s.resolved = static_cast<size_t>(
        std::count_if(kEntryNames.begin(), kEntryNames.end(),
                      [&library](const char* name) { return library->Symbol(name) != nullptr; }));
    s.library = std::move(library);
    // At exit the library's own static state is destroyed before this binding's, which was
    // made first; a handler registered now runs before either and closes the library in time.
    static const bool unloadAtExit = std::atexit([] { CDRipLibrary::Unload(); }) == 0;
    (void)unloadAtExit;
    const std::string ini = CDRipLibrary::IniFileName();
    WriteSettings(ini);
    if (s.entries.CR_Init) {
        s.entries.CR_Init(ini.c_str());
    }
    // The library starts without images: give it those added before, in their order. One that
    // cannot be read any more leaves the list, so that drive numbers stay the same everywhere.
    std::erase_if(s.images, [&s](const std::string& image) {
        std::string problem;
        return !AddToLibrary(s.entries, image, problem);
    });
    return true;
}

// Calls an entry point, or returns fallback when the library lacks it. The library serves
// calls from two threads itself (a query while a rip runs), so only the look-up is locked.
template <typename F, typename R, typename... Args>
R Call(F CDRipEntries::*entry, R fallback, Args... args) {
    F function = nullptr;
    {
        CDRipState& s = State();
        std::lock_guard lock(s.mutex);
        function = s.entries.*entry;
    }
    return function ? function(args...) : fallback;
}

} // namespace

bool CDRipLibrary::Load() {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    return LoadLocked(s);
}

void CDRipLibrary::Unload() {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    s.UnloadLocked();
}

bool CDRipLibrary::Loaded() {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    return s.library != nullptr;
}

size_t CDRipLibrary::ResolvedCount() {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    return s.resolved;
}

std::string CDRipLibrary::LoadFailureMessage() {
    return LibraryNames::FileName(LibraryId::CdRip) + " could not be loaded.";
}

std::string CDRipLibrary::IniFileName() {
    return ConfigHome() + "/Tovalen/cdr.ini";
}

int CDRipLibrary::GetNumCDROM() {
    return std::max(0, Call(&CDRipEntries::CR_GetNumCDROM, 0));
}

int CDRipLibrary::SetActiveCDROM(int index) {
    return Call(&CDRipEntries::CR_SetActiveCDROM, kNotServed, index);
}

int CDRipLibrary::GetCDROMParameters(CR_DriveParameters& parameters) {
    parameters = CR_DriveParameters{};
    const int result = Call(&CDRipEntries::CR_GetCDROMParameters, kNotServed, &parameters);
    parameters.Name[sizeof parameters.Name - 1] = '\0';
    return result;
}

int CDRipLibrary::IsMediaLoaded(int& state) {
    state = 1;
    return Call(&CDRipEntries::CR_IsMediaLoaded, kNotServed, &state);
}

int CDRipLibrary::IsAudioPlaying() {
    return Call(&CDRipEntries::CR_IsAudioPlaying, 0);
}

int CDRipLibrary::ReadToc() {
    return Call(&CDRipEntries::CR_ReadToc, kNotServed);
}

int CDRipLibrary::GetNumTocEntries() {
    return std::max(0, Call(&CDRipEntries::CR_GetNumTocEntries, 0));
}

LibraryTocEntry CDRipLibrary::GetTocEntry(int index) {
    return Call(&CDRipEntries::CR_GetTocEntry, LibraryTocEntry{}, index);
}

int CDRipLibrary::OpenRipper(int& bufferSize, int32_t firstSector, int32_t endSector) {
    return Call(&CDRipEntries::CR_OpenRipper, kNotServed, &bufferSize, firstSector, endSector);
}

int CDRipLibrary::RipChunk(uint8_t* buffer, int capacity, int& bytes) {
    bytes = capacity;
    int abort = 0;
    return Call(&CDRipEntries::CR_RipChunk, kNotServed, buffer, &bytes, &abort);
}

int CDRipLibrary::CloseRipper() {
    return Call(&CDRipEntries::CR_CloseRipper, kNotServed);
}

int CDRipLibrary::EjectCD(bool open) {
    return Call(&CDRipEntries::CR_EjectCD, kNotServed, open ? 1 : 0);
}

bool CDRipLibrary::AddImage(const std::string& sheetFileName, std::string& problem) {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    if (std::find(s.images.begin(), s.images.end(), sheetFileName) != s.images.end()) {
        return true;
    }
    if (!LoadLocked(s)) {
        problem = LoadFailureMessage();
        return false;
    }
    if (!AddToLibrary(s.entries, sheetFileName, problem)) {
        return false;
    }
    s.images.push_back(sheetFileName);
    return true;
}

std::vector<std::string> CDRipLibrary::Images() {
    CDRipState& s = State();
    std::lock_guard lock(s.mutex);
    return s.images;
}

} // namespace quillon
