#pragma once

// The C interface of libMACDll.so, the Monkey's Audio codec library that the APE source and
// sink load by file name at run time. It writes version 3990 .ape files with an encoder of its
// own and decodes them (and the files of other encoders) through FFmpeg. File names are UTF-8
// paths. Every function that returns an int returns 0 (MAC_OK) for success or one of the error
// codes below unless it says otherwise. All calls are safe with null handles and pointers.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Error codes.
enum {
    MAC_OK = 0,
    MAC_ERROR_IO_READ = 1000,
    MAC_ERROR_IO_WRITE = 1001,
    MAC_ERROR_INVALID_INPUT_FILE = 1002,
    MAC_ERROR_INVALID_OUTPUT_FILE = 1003,
    MAC_ERROR_INPUT_FILE_TOO_LARGE = 1004,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH = 1005,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE = 1006,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT = 1007,
    MAC_ERROR_INPUT_FILE_TOO_SMALL = 1008,
    MAC_ERROR_INVALID_CHECKSUM = 1009,
    MAC_ERROR_DECOMPRESSING_FRAME = 1010,
    MAC_ERROR_INITIALIZING_UNMAC = 1011,
    MAC_ERROR_INVALID_FUNCTION_PARAMETER = 1012,
    MAC_ERROR_UNSUPPORTED_FILE_TYPE = 1013,
    MAC_ERROR_INSUFFICIENT_MEMORY = 2000,
    MAC_ERROR_USER_STOPPED_PROCESSING = 4000,
    MAC_ERROR_SKIPPED = 4001,
    MAC_ERROR_BAD_PARAMETER = 5000,
    MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA = 6000
};

// Compression levels.
enum {
    MAC_COMPRESSION_LEVEL_FAST = 1000,
    MAC_COMPRESSION_LEVEL_NORMAL = 2000,
    MAC_COMPRESSION_LEVEL_HIGH = 3000,
    MAC_COMPRESSION_LEVEL_EXTRA_HIGH = 4000,
    MAC_COMPRESSION_LEVEL_INSANE = 5000
};

// Information fields of c_APEDecompress_GetInfo.
enum {
    MAC_INFO_SAMPLE_RATE = 1003,
    MAC_INFO_BITS_PER_SAMPLE = 1004,
    MAC_INFO_BYTES_PER_SAMPLE = 1005,
    MAC_INFO_CHANNELS = 1006,
    MAC_INFO_BLOCK_ALIGN = 1007,
    MAC_INFO_TOTAL_BLOCKS = 1016,   // blocks (one sample per channel) of the whole file
    MAC_INFO_WAV_DATA_BYTES = 1014, // bytes of the decoded PCM
    MAC_INFO_LENGTH_MS = 1017,
    MAC_DECOMPRESS_LENGTH_MS = 2003,
    MAC_DECOMPRESS_CURRENT_BLOCK = 2000
};

#pragma pack(push, 1)
// A PCM wave-format record as WAV files store it (18 bytes).
typedef struct MAC_WaveFormat {
    uint16_t wFormatTag; // 1: PCM
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
} MAC_WaveFormat;

// The canonical 44-byte header of a PCM WAV file.
typedef struct MAC_WaveHeader {
    char cRIFFHeader[4];
    uint32_t nRIFFBytes;
    char cDataTypeID[4];
    char cFormatHeader[4];
    uint32_t nFormatBytes;
    uint16_t nFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t nBitsPerSample;
    char cDataHeader[4];
    uint32_t nDataBytes;
} MAC_WaveHeader;

// An ID3v1 tag as stored at the end of a file (128 bytes).
typedef struct MAC_ID3Tag {
    char Header[3];
    char Title[30];
    char Artist[30];
    char Album[30];
    char Year[4];
    char Comment[29];
    unsigned char Track;
    unsigned char Genre;
} MAC_ID3Tag;
#pragma pack(pop)

typedef void* APE_COMPRESS_HANDLE;
typedef void* APE_DECOMPRESS_HANDLE;

// Called by the whole-file operations with the percentage done.
typedef void (*APE_PROGRESS_CALLBACK)(int percentageDone);

// Streaming compression: Create, Start, then LockBuffer/UnlockBuffer (or AddData) as often as
// needed, Finish, Destroy. maxAudioBytes may be -1 (unknown): the header and seek table are
// completed by Finish. The file is written beside the target under a temporary name and takes
// the target's place at Finish; Kill, or Destroy without Finish, abandons it and leaves an
// older file of that name untouched.
// Start: 1005/1006/1007 for a format it cannot store (8, 16 or 24 bits, a sample rate above 0,
// 1 or 2 channels), 1003 when the output cannot be created, 1012 for other bad arguments
// (level not 1000-5000 in steps of 1000, block align not channels x bytes per sample).
// UnlockBuffer/AddData: 5000 for more bytes than LockBuffer offered (or a negative count),
// 6000 beyond maxAudioBytes; both leave the run going. Any other failure ends the run and is
// returned by the calls after it.
APE_COMPRESS_HANDLE c_APECompress_Create(int* errorCode);
void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle);
int c_APECompress_Start(APE_COMPRESS_HANDLE handle, const char* outputFileName,
                        const MAC_WaveFormat* format, int maxAudioBytes, int compressionLevel,
                        const void* headerData, int headerBytes);
int c_APECompress_AddData(APE_COMPRESS_HANDLE handle, unsigned char* data, int bytes);
int c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE handle); // a byte count
unsigned char* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int* bytesAvailable);
int c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, int bytesAdded, int process);
// Finish: terminatingData (terminatingBytes) is stored after the frames, its first
// wavTerminatingBytes being the WAV file's own tail. An incomplete last block is dropped. With no
// samples at all the file is still written: the 76 bytes of descriptor and header with 0 total
// frames and 0 final-frame blocks, no seek table and no frames. FFmpeg refuses such a file, so
// a decoder must read the header itself and report it as empty (0 blocks) without error.
int c_APECompress_Finish(APE_COMPRESS_HANDLE handle, unsigned char* terminatingData,
                         int terminatingBytes, int wavTerminatingBytes);
int c_APECompress_Kill(APE_COMPRESS_HANDLE handle);

// Decompression into interleaved PCM as a WAV file holds it.
APE_DECOMPRESS_HANDLE c_APEDecompress_Create(const char* fileName, int* errorCode);
void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE handle);
int c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE handle, char* buffer, int blocks,
                            int* blocksRetrieved);
int c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE handle, int blockOffset);
intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE handle, int field, intptr_t param1,
                                 intptr_t param2); // the field's value, or an error code

// Whole-file operations. CompressFile reads a WAV file; DecompressFile writes one; ConvertFile
// re-encodes an APE file at another level; VerifyFile decodes the whole file and checks it.
int CompressFile(const char* inputFileName, const char* outputFileName, int compressionLevel,
                 int* percentageDone, APE_PROGRESS_CALLBACK progress, int* killFlag);
int DecompressFile(const char* inputFileName, const char* outputFileName, int* percentageDone,
                   APE_PROGRESS_CALLBACK progress, int* killFlag);
int ConvertFile(const char* inputFileName, const char* outputFileName, int compressionLevel,
                int* percentageDone, APE_PROGRESS_CALLBACK progress, int* killFlag);
int VerifyFile(const char* inputFileName, int* percentageDone, APE_PROGRESS_CALLBACK progress,
               int* killFlag);

// A progress callback that does nothing, for callers without one.
void ProgressCallback(int percentageDone);

int FillWaveFormatEx(MAC_WaveFormat* format, int sampleRate, int bitsPerSample, int channels);
int FillWaveHeader(MAC_WaveHeader* header, int audioBytes, const MAC_WaveFormat* format,
                   int terminatingBytes);

// Tags: writes an APE tag at the end of the file (clearFirst drops the items it had; with
// useOldID3 an ID3v1 tag instead); reads the ID3v1 tag; removes the tags at the end.
int TagFileSimple(const char* fileName, const char* artist, const char* album, const char* title,
                  const char* comment, const char* genre, const char* year, const char* track,
                  int clearFirst, int useOldID3);
int GetID3Tag(const char* fileName, MAC_ID3Tag* tag);
int RemoveTag(const char* fileName);

// The library's version (3990) and whether it serves callers written for a version.
int GetVersionNumber(void);
int GetInterfaceCompatibility(int version, int displayWarnings, void* parentWindow);
// There is no such dialog here: always MAC_ERROR_BAD_PARAMETER.
int ShowFileInfoDialog(const char* fileName, void* parentWindow);

#ifdef __cplusplus
}
#endif
