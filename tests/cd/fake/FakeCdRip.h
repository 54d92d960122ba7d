#pragma once

// A stand-in for libcdrip.so that the CD tests build for themselves, to reach what real disc
// images cannot show: a drive without a disc, a table of contents that cannot be read, reads
// that fail or stop early, a library that lowers the chunk size.

#include "libcdrip/CDRip.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeCdRipDisc {
    int Drives;     // what CR_GetNumCDROM reports
    int MediaState; // what CR_IsMediaLoaded writes: 0 = disc present
    int TocResult;  // what CR_ReadToc returns: 0 = read
    int Entries;    // track entries; Toc[Entries] is the lead-out
    CR_TocEntry Toc[100];
    int ChunkSectors;  // sectors a chunk holds at most (the buffer size is lowered to it)
    int FailingChunk;  // 1-based chunk whose read fails; 0 = none
    int EndAfterChunk; // chunks after this one deliver 0 bytes without an error; 0 = never
} FakeCdRipDisc;

void FakeCdRip_Configure(const FakeCdRipDisc* disc);
// Rips opened and not closed yet.
int FakeCdRip_OpenRips(void);
// The drive last made active.
int FakeCdRip_ActiveDrive(void);

#ifdef __cplusplus
}
#endif
