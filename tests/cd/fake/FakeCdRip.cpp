#include "FakeCdRip.h"

#include <algorithm>
#include <cstring>

namespace {

FakeCdRipDisc disc = {1, 0, 0, 0, {}, 75, 0, 0};
int openRips = 0;
int activeDrive = 0;
int32_t nextSector = 0;
int32_t endSector = 0;
int chunks = 0;

} // namespace

extern "C" {

void FakeCdRip_Configure(const FakeCdRipDisc* value) {
    disc = *value;
    openRips = 0;
}

int FakeCdRip_OpenRips(void) {
    return openRips;
}

int FakeCdRip_ActiveDrive(void) {
    return activeDrive;
}

int CR_Init(const char*) {
    return 0;
}

int CR_DeInit(void) {
    return 0;
}

int CR_GetNumCDROM(void) {
    return disc.Drives;
}

int CR_SetActiveCDROM(int index) {
    activeDrive = index;
    return index >= 0 && index < disc.Drives ? 0 : 1;
}

int CR_GetCDROMParameters(CR_DriveParameters* parameters) {
    std::memset(parameters->Name, 'n', sizeof parameters->Name);
    return 0;
}

int CR_IsMediaLoaded(int* state) {
    *state = disc.MediaState;
    return 0;
}

int CR_IsAudioPlaying(void) {
    return 0;
}

int CR_ReadToc(void) {
    return disc.TocResult;
}

int CR_GetNumTocEntries(void) {
    return disc.Entries;
}

CR_TocEntry CR_GetTocEntry(int index) {
    return index >= 0 && index <= disc.Entries ? disc.Toc[index] : CR_TocEntry{};
}

int CR_OpenRipper(int* bufferSize, int32_t firstSector, int32_t end) {
    *bufferSize = std::min(*bufferSize, disc.ChunkSectors * 2352);
    nextSector = firstSector;
    endSector = end;
    chunks = 0;
    ++openRips;
    return 0;
}

// Each sector's bytes are its address, so a test can tell which sectors it got.
int CR_RipChunk(uint8_t* buffer, int* bytes, int*) {
    ++chunks;
    *bytes = 0;
    if (chunks == disc.FailingChunk) {
        return 1;
    }
    if (disc.EndAfterChunk != 0 && chunks > disc.EndAfterChunk) {
        return 0;
    }
    const int sectors = std::min(disc.ChunkSectors, endSector - nextSector);
    for (int s = 0; s < sectors; ++s) {
        std::memset(buffer + s * 2352, (nextSector + s) & 0xFF, 2352);
    }
    nextSector += sectors;
    *bytes = sectors * 2352;
    return 0;
}

int CR_CloseRipper(void) {
    --openRips;
    return 0;
}

int CR_EjectCD(int) {
    return 0;
}

int CR_AddImage(const char*, char*, int) {
    return 0;
}
}
