// The entry points of libcdrip.so. The drives are the physical drives libcdio finds when the
// library starts, then the disc images added since, in order. Queries come from the main thread
// while a rip runs on a worker, so the drive state has a lock of its own and the running rip
// another (a slow read then does not hold up the queries); a call that needs both takes the
// rip's lock first.
#include "libcdrip/CDRip.h"

#include "libcdrip/DiscImage.h"
#include "libcdrip/PhysicalDrive.h"
#include "libcdrip/Ripper.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#define CR_EXPORT extern "C" __attribute__((visibility("default")))

namespace quillon {
namespace {

constexpr int kSectorBytes = CR_SectorBytes;
constexpr int kVersion = 100;

struct Drive {
    std::string device;               // a physical drive
    std::shared_ptr<DiscImage> image; // or an added image
};

struct Library {
    std::mutex mutex; // everything but the rip
    bool initialised = false;
    std::vector<Drive> drives;
    int active = 0;
    int paranoiaMode = CR_ParanoiaFull;
    int readSpeed = 0;
    int transportLayer = 0;
    std::string iniFileName;
    std::vector<CR_TocEntry> toc; // of the active drive, lead-out last; empty when unread

    std::mutex ripMutex; // the running rip
    std::unique_ptr<Ripper> ripper;
    int ripResult = CR_Ok;
    int chunkSectors = 0; // what one chunk holds, as CR_OpenRipper agreed it
};

Library library;

const Drive* ActiveDrive() {
    if (!library.initialised || library.active < 0 ||
        library.active >= static_cast<int>(library.drives.size())) {
        return nullptr;
    }
    return &library.drives[static_cast<size_t>(library.active)];
}

void LoadSettings() {
    library.active = 0;
    library.paranoiaMode = CR_ParanoiaFull;
    if (library.iniFileName.empty()) {
        return;
    }
    const IniFile ini(library.iniFileName);
    const auto number = [&](const char* key, int fallback) {
        const std::string text = ini.ReadString("CD-ROM", key, "");
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        return text.empty() || *end != '\0' || value < 0 || value > 1000 ? fallback
                                                                         : static_cast<int>(value);
    };
    library.active = number("nActive", 0);
    const int mode = number("nParanoiaMode", CR_ParanoiaFull);
    library.paranoiaMode = mode <= CR_ParanoiaOverlap ? mode : CR_ParanoiaFull;
}

bool ReadToc(const Drive& drive, std::vector<CR_TocEntry>& toc) {
    if (drive.image == nullptr) {
        return ReadPhysicalToc(drive.device, toc);
    }
    toc.clear();
    for (const DiscImageTrack& track : drive.image->Tracks()) {
        toc.push_back({track.StartSector, static_cast<uint8_t>(track.Audio ? 0x10 : 0x14),
                       static_cast<uint8_t>(track.Number)});
    }
    toc.push_back({drive.image->LeadOutSector(), 0x10, 0xAA});
    return true;
}

// Copies text into a zero-terminated field, cut at a character boundary.
void CopyText(const std::string& text, char* field, size_t size) {
    size_t length = std::min(text.size(), size - 1);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// Whether two names reach the same file ("a.cue" and "./a.cue").
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return a == b || std::filesystem::equivalent(a, b, error);
}

void CloseRip() {
    library.ripper.reset();
    library.ripResult = CR_Ok;
}

} // namespace
} // namespace quillon

using namespace quillon;

CR_EXPORT int CR_Init(const char* iniFileName) {
    const std::lock_guard ripLock(library.ripMutex);
    const std::lock_guard lock(library.mutex);
    CloseRip();
    library.iniFileName = iniFileName != nullptr ? iniFileName : "";
    library.drives.clear();
    for (std::string& device : PhysicalDrives()) {
        library.drives.push_back({std::move(device), nullptr});
    }
    library.toc.clear();
    LoadSettings();
    library.initialised = true;
    return CR_Ok;
}

CR_EXPORT int CR_DeInit(void) {
    const std::lock_guard ripLock(library.ripMutex);
    const std::lock_guard lock(library.mutex);
    if (!library.initialised) {
        return CR_NotInitialised;
    }
    CloseRip();
    library.drives.clear();
    library.toc.clear();
    library.initialised = false;
    return CR_Ok;
}

CR_EXPORT int CR_AddImage(const char* sheetFileName, char* message, int messageSize) {
    std::string problem;
    std::shared_ptr<DiscImage> image;
    {
        const std::lock_guard lock(library.mutex);
        if (!library.initialised) {
            problem = "the CD ripping library is not initialised";
        } else if (sheetFileName == nullptr || *sheetFileName == '\0') {
            problem = "no disc image named";
        } else {
            for (const Drive& drive : library.drives) {
                if (drive.image != nullptr &&
                    SameFile(drive.image->SheetFileName(), sheetFileName)) {
                    return CR_Ok;
                }
            }
        }
    }
    if (problem.empty()) {
        // Opening reads the sheet and checks the data file: done outside the lock.
        image = DiscImage::Open(sheetFileName, problem);
    }
    if (image != nullptr) {
        const std::lock_guard lock(library.mutex);
        if (library.initialised) {
            library.drives.push_back({"", std::move(image)});
            return CR_Ok;
        }
        problem = "the CD ripping library is not initialised";
    }
    if (message != nullptr && messageSize > 0) {
        CopyText(problem, message, static_cast<size_t>(messageSize));
    }
    return CR_Error;
}

CR_EXPORT int CR_GetCDRipVersion(void) {
    return kVersion;
}

CR_EXPORT int CR_GetNumCDROM(void) {
    const std::lock_guard lock(library.mutex);
    return library.initialised ? static_cast<int>(library.drives.size()) : 0;
}

CR_EXPORT int CR_SetActiveCDROM(int index) {
    const std::lock_guard lock(library.mutex);
    if (!library.initialised) {
        return CR_NotInitialised;
    }
    if (index < 0 || index >= static_cast<int>(library.drives.size())) {
        return CR_BadArgument;
    }
    if (index != library.active) {
        library.active = index;
        library.toc.clear();
    }
    return CR_Ok;
}

CR_EXPORT int CR_GetActiveCDROM(void) {
    const std::lock_guard lock(library.mutex);
    return library.initialised ? library.active : -1;
}

CR_EXPORT int CR_SelectCDROMType(int) {
    return CR_Ok;
}

CR_EXPORT int CR_GetCDROMType(void) {
    return 0;
}

CR_EXPORT int CR_GetCDROMParameters(CR_DriveParameters* parameters) {
    if (parameters == nullptr) {
        return CR_BadArgument;
    }
    std::memset(parameters, 0, sizeof *parameters);
    std::string device;
    {
        const std::lock_guard lock(library.mutex);
        const Drive* drive = ActiveDrive();
        if (drive == nullptr) {
            return library.initialised ? CR_NoDrive : CR_NotInitialised;
        }
        parameters->ParanoiaMode = library.paranoiaMode;
        parameters->ReadSpeed = library.readSpeed;
        parameters->IsImage = drive->image != nullptr ? 1 : 0;
        if (drive->image != nullptr) {
            CopyText(drive->image->SheetFileName(), parameters->Name, sizeof parameters->Name);
            return CR_Ok;
        }
        device = drive->device;
    }
    CopyText(PhysicalDriveName(device), parameters->Name, sizeof parameters->Name);
    return CR_Ok;
}

CR_EXPORT int CR_SetCDROMParameters(const CR_DriveParameters* parameters) {
    const std::lock_guard lock(library.mutex);
    if (!library.initialised) {
        return CR_NotInitialised;
    }
    if (parameters == nullptr || parameters->ParanoiaMode < CR_ParanoiaOff ||
        parameters->ParanoiaMode > CR_ParanoiaOverlap || parameters->ReadSpeed < 0) {
        return CR_BadArgument;
    }
    library.paranoiaMode = parameters->ParanoiaMode;
    library.readSpeed = parameters->ReadSpeed;
    return CR_Ok;
}

CR_EXPORT int CR_IsMediaLoaded(int* state) {
    std::string device;
    {
        const std::lock_guard lock(library.mutex);
        const Drive* drive = ActiveDrive();
        if (state == nullptr || drive == nullptr) {
            if (state != nullptr) {
                *state = 1;
            }
            return !library.initialised ? CR_NotInitialised
                   : state == nullptr   ? CR_BadArgument
                                        : CR_NoDrive;
        }
        if (drive->image != nullptr) {
            *state = 0;
            return CR_Ok;
        }
        device = drive->device;
    }
    *state = PhysicalDiscPresent(device) ? 0 : 1;
    return CR_Ok;
}

CR_EXPORT int CR_IsAudioPlaying(void) {
    return 0;
}

CR_EXPORT int CR_ReadToc(void) {
    const std::lock_guard lock(library.mutex);
    const Drive* drive = ActiveDrive();
    library.toc.clear();
    if (drive == nullptr) {
        return library.initialised ? CR_NoDrive : CR_NotInitialised;
    }
    return ReadToc(*drive, library.toc) ? CR_Ok : CR_NoDisc;
}

CR_EXPORT int CR_GetNumTocEntries(void) {
    const std::lock_guard lock(library.mutex);
    return library.toc.empty() ? 0 : static_cast<int>(library.toc.size()) - 1;
}

CR_EXPORT CR_TocEntry CR_GetTocEntry(int index) {
    const std::lock_guard lock(library.mutex);
    if (index < 0 || index >= static_cast<int>(library.toc.size())) {
        return CR_TocEntry{0, 0, 0};
    }
    return library.toc[static_cast<size_t>(index)];
}

CR_EXPORT int CR_OpenRipper(int* bufferSize, int32_t firstSector, int32_t endSector) {
    const std::lock_guard ripLock(library.ripMutex);
    CloseRip();
    Drive drive;
    int mode = CR_ParanoiaFull;
    int speed = 0;
    {
        const std::lock_guard lock(library.mutex);
        const Drive* active = ActiveDrive();
        if (active == nullptr) {
            return library.initialised ? CR_NoDrive : CR_NotInitialised;
        }
        drive = *active;
        mode = library.paranoiaMode;
        speed = library.readSpeed;
    }
    if (bufferSize == nullptr || *bufferSize < kSectorBytes || firstSector < 0 ||
        endSector < firstSector) {
        return CR_BadArgument;
    }
    std::vector<CR_TocEntry> toc;
    if (!ReadToc(drive, toc)) {
        return CR_NoDisc;
    }
    if (endSector > toc.back().StartSector) {
        return CR_BadArgument;
    }
    *bufferSize -= *bufferSize % kSectorBytes;
    library.chunkSectors = *bufferSize / kSectorBytes;
    library.ripper = drive.image != nullptr
                         ? Ripper::OpenImage(drive.image, firstSector, endSector, mode)
                         : Ripper::OpenDevice(drive.device, firstSector, endSector, mode, speed);
    return library.ripper != nullptr ? CR_Ok : CR_ReadError;
}

CR_EXPORT int CR_RipChunk(uint8_t* buffer, int* bytes, int* abort) {
    const std::lock_guard ripLock(library.ripMutex);
    if (bytes == nullptr) {
        return CR_BadArgument;
    }
    *bytes = 0;
    if (library.ripper == nullptr) {
        return CR_NotOpen;
    }
    if (library.ripper->Failed()) {
        return CR_ReadError;
    }
    if (buffer == nullptr) {
        return CR_BadArgument;
    }
    if (abort != nullptr && *abort != 0) {
        return CR_Aborted;
    }
    *bytes = library.ripper->Read(buffer, library.chunkSectors) * kSectorBytes;
    if (library.ripper->Failed()) {
        library.ripResult = CR_ReadError;
    }
    return library.ripResult;
}

CR_EXPORT int CR_CloseRipper(void) {
    const std::lock_guard ripLock(library.ripMutex);
    const int result = library.ripper == nullptr ? CR_NotOpen : library.ripResult;
    CloseRip();
    return result;
}

CR_EXPORT int CR_EjectCD(int open) {
    std::string device;
    {
        const std::lock_guard lock(library.mutex);
        const Drive* drive = ActiveDrive();
        if (drive == nullptr) {
            return library.initialised ? CR_NoDrive : CR_NotInitialised;
        }
        if (drive->image != nullptr) {
            return CR_Ok;
        }
        device = drive->device;
        library.toc.clear();
    }
    return EjectPhysical(device, open != 0) ? CR_Ok : CR_Error;
}

CR_EXPORT int CR_GetPercentCompleted(void) {
    const std::lock_guard ripLock(library.ripMutex);
    return library.ripper != nullptr ? library.ripper->PercentCompleted() : 0;
}

CR_EXPORT int CR_GetCurrentRipSector(void) {
    const std::lock_guard ripLock(library.ripMutex);
    return library.ripper != nullptr ? library.ripper->CurrentSector() : -1;
}

// Entry points that nothing in this program needs: results that do no harm.

CR_EXPORT int CR_GetPeakValue(void) {
    return 0;
}

CR_EXPORT int CR_GetNumberOfJitterErrors(void) {
    return 0;
}

CR_EXPORT int CR_GetJitterPosition(void) {
    return 0;
}

CR_EXPORT int CR_GetLastJitterErrorPosition(void) {
    return -1;
}

CR_EXPORT int CR_LoadSettings(void) {
    const std::lock_guard lock(library.mutex);
    if (!library.initialised) {
        return CR_NotInitialised;
    }
    LoadSettings();
    library.toc.clear();
    return CR_Ok;
}

CR_EXPORT int CR_SaveSettings(void) {
    return CR_Ok;
}

CR_EXPORT int CR_NormalizeChunk(int16_t* samples, int sampleCount, double factor) {
    if (samples == nullptr || sampleCount < 0 || !(factor >= 0.0 && factor <= 1000.0)) {
        return CR_BadArgument;
    }
    for (int i = 0; i < sampleCount; ++i) {
        samples[i] = static_cast<int16_t>(std::clamp(samples[i] * factor, -32768.0, 32767.0));
    }
    return CR_Ok;
}

CR_EXPORT int CR_ReadCDText(uint8_t*, int, int* bytesRead) {
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    return CR_NotSupported;
}

CR_EXPORT int CR_IsUnitReady(int* ready) {
    int state = 1;
    const int result = CR_IsMediaLoaded(&state);
    if (ready != nullptr) {
        *ready = result == CR_Ok && state == 0 ? 1 : 0;
    }
    return ready == nullptr ? CR_BadArgument : result;
}

CR_EXPORT int CR_PlayTrack(int) {
    return CR_NotSupported;
}

CR_EXPORT int CR_StopPlayTrack(void) {
    return CR_Ok;
}

CR_EXPORT int CR_PauseCD(int) {
    return CR_NotSupported;
}

CR_EXPORT int CR_GetCDStatusInfo(void) {
    return 0;
}

CR_EXPORT int CR_LockCD(int) {
    return CR_Ok;
}

CR_EXPORT int CR_GetSubChannelTrackInfo(int* track, int* index, int32_t* relativeSector,
                                        int32_t* absoluteSector) {
    for (int* value : {track, index}) {
        if (value != nullptr) {
            *value = 0;
        }
    }
    for (int32_t* value : {relativeSector, absoluteSector}) {
        if (value != nullptr) {
            *value = 0;
        }
    }
    return CR_NotSupported;
}

CR_EXPORT int CR_GetPlayPosition(int32_t* sector) {
    if (sector != nullptr) {
        *sector = 0;
    }
    return CR_NotSupported;
}

CR_EXPORT int CR_SetPlayPosition(int32_t) {
    return CR_NotSupported;
}

CR_EXPORT int CR_PlaySection(int32_t, int32_t) {
    return CR_NotSupported;
}

CR_EXPORT int CR_SetTransportLayer(int layer) {
    const std::lock_guard lock(library.mutex);
    library.transportLayer = layer;
    return CR_Ok;
}

CR_EXPORT int CR_GetTransportLayer(void) {
    const std::lock_guard lock(library.mutex);
    return library.transportLayer;
}

CR_EXPORT int CR_ScanForC2Errors(int32_t, int, int* errorCount, int32_t*, int) {
    if (errorCount != nullptr) {
        *errorCount = 0;
    }
    return CR_NotSupported;
}
