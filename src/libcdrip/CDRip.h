#pragma once

// The C interface of libcdrip.so, the CD ripping library that the CD source loads by file name
// at run time. Every entry point returns 0 (CR_Ok) for success unless it says otherwise; before
// CR_Init (or after CR_DeInit) the calls fail harmlessly, CR_AddImage included. The library
// serves the physical drives it finds first, then every disc image added with CR_AddImage, in
// the order they were added; the drive index of the other calls counts over both. The calls may
// come from two threads (queries while a rip runs).

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The drive parameter record: the drive's name (UTF-8, zero-terminated) leads it.
typedef struct CR_DriveParameters {
    char Name[256];
    int32_t ParanoiaMode; // the mode the next rip uses (CR_Paranoia*)
    int32_t ReadSpeed;    // requested read speed, 0 = the drive's own choice
    int32_t IsImage;      // non-zero for an added disc image
    uint8_t Reserved[96];
} CR_DriveParameters;

// The bytes of one sector of CD audio: 588 frames of 16-bit stereo PCM; every sector count and
// buffer size of this interface is in these units.
enum { CR_SectorBytes = 2352 };

// One entry of the table of contents: an absolute sector address without the lead-in, the
// control/address byte (audio exactly when (Flags & 0xFC) == 0x10) and the track number.
// Entries 0 .. N-1 are the tracks, entry N the lead-out.
typedef struct CR_TocEntry {
    int32_t StartSector;
    uint8_t Flags;
    uint8_t TrackNumber;
} CR_TocEntry;

// Result codes. A rip that met a sector it could not read delivers the sectors before it, then
// CR_RipChunk returns CR_ReadError (with 0 bytes on every later call) and so does CR_CloseRipper,
// which tells such an end from the end of the range.
enum {
    CR_Ok = 0,
    CR_Error = 1,          // any other failure (CR_AddImage: the reason is in its message)
    CR_NotInitialised = 2, // CR_Init has not been called, or CR_DeInit has
    CR_NoDrive = 3,        // no drive, or no drive at that index
    CR_NoDisc = 4,         // the drive holds no readable disc
    CR_BadArgument = 5,
    CR_NotOpen = 6,   // no rip is open
    CR_ReadError = 7, // a sector could not be read
    CR_Aborted = 8,   // the abort flag was set
    CR_NotSupported = 9
};

// Paranoia modes of the "nParanoiaMode" key of cdr.ini.
enum {
    CR_ParanoiaOff = 0,    // plain reads, no verification
    CR_ParanoiaFull = 1,   // full verification, never skips a sector it cannot verify: the default
    CR_ParanoiaOverlap = 2 // overlap checking only
};

int CR_Init(const char* iniFileName);
int CR_DeInit(void);
int CR_GetCDRipVersion(void);
int CR_GetNumCDROM(void);
int CR_SetActiveCDROM(int index);
int CR_GetActiveCDROM(void);
int CR_SelectCDROMType(int type);
int CR_GetCDROMType(void);
int CR_GetCDROMParameters(CR_DriveParameters* parameters);
int CR_SetCDROMParameters(const CR_DriveParameters* parameters);
// Writes 0 to *state when a disc is present, 1 otherwise.
int CR_IsMediaLoaded(int* state);
int CR_IsAudioPlaying(void);
int CR_ReadToc(void);
int CR_GetNumTocEntries(void);
CR_TocEntry CR_GetTocEntry(int index);
// Opens a rip of the sectors first .. end - 1; may lower *bufferSize to what one chunk holds.
int CR_OpenRipper(int* bufferSize, int32_t firstSector, int32_t endSector);
// Fills buffer (of the size CR_OpenRipper agreed; what *bytes holds on entry does not matter)
// with the next sectors and writes their byte count to *bytes; 0 bytes at the end.
int CR_RipChunk(uint8_t* buffer, int* bytes, int* abort);
int CR_CloseRipper(void);
// Opens the tray when open is non-zero, closes it otherwise; does nothing for a disc image.
int CR_EjectCD(int open);
int CR_GetPercentCompleted(void);
int CR_GetPeakValue(void);
int CR_GetNumberOfJitterErrors(void);
int CR_GetJitterPosition(void);
int CR_LoadSettings(void);
int CR_SaveSettings(void);
int CR_NormalizeChunk(int16_t* samples, int sampleCount, double factor);
int CR_ReadCDText(uint8_t* buffer, int bufferSize, int* bytesRead);
int CR_IsUnitReady(int* ready);
int CR_PlayTrack(int track);
int CR_StopPlayTrack(void);
int CR_PauseCD(int pause);
int CR_GetCDStatusInfo(void);
int CR_LockCD(int lock);
int CR_GetSubChannelTrackInfo(int* track, int* index, int32_t* relativeSector,
                              int32_t* absoluteSector);
int CR_GetPlayPosition(int32_t* sector);
int CR_SetPlayPosition(int32_t sector);
int CR_PlaySection(int32_t firstSector, int32_t endSector);
int CR_GetLastJitterErrorPosition(void);
int CR_GetCurrentRipSector(void);
int CR_SetTransportLayer(int layer);
int CR_GetTransportLayer(void);
int CR_ScanForC2Errors(int32_t firstSector, int sectorCount, int* errorCount, int32_t* positions,
                       int maxPositions);

// Adds a disc image (a CUE sheet or a TOC file, by its path) as the next drive. Returns 0 when
// the image can be read; otherwise non-zero, with the reason in message (UTF-8, cut to
// messageSize bytes including the terminating zero). Adding an image already added does nothing.
int CR_AddImage(const char* sheetFileName, char* message, int messageSize);

#ifdef __cplusplus
}
#endif
