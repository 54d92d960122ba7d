#include "libmac/ApeDecoder.h"
#include "libmac/Export.h"
#include "libmac/MACDll.h"

#include <memory>
#include <new>

using quillon::mac::ApeDecoder;

namespace {

ApeDecoder* Decoder(APE_DECOMPRESS_HANDLE handle) {
    return static_cast<ApeDecoder*>(handle);
}

} // namespace

extern "C" {

MACDLL_EXPORT APE_DECOMPRESS_HANDLE c_APEDecompress_Create(const char* fileName, int* errorCode) {
    int code = MAC_OK;
    std::unique_ptr<ApeDecoder> decoder;
    if (fileName == nullptr) {
        code = MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    } else {
        try {
            decoder = std::make_unique<ApeDecoder>();
            code = decoder->Open(fileName);
        } catch (const std::bad_alloc&) {
            code = MAC_ERROR_INSUFFICIENT_MEMORY;
        } catch (...) {
            code = MAC_ERROR_INVALID_INPUT_FILE;
        }
    }
    if (errorCode != nullptr) {
        *errorCode = code;
    }
    return code == MAC_OK ? decoder.release() : nullptr;
}

MACDLL_EXPORT void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE handle) {
    delete Decoder(handle);
}

MACDLL_EXPORT int c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE handle, char* buffer, int blocks,
                                          int* blocksRetrieved) {
    int retrieved = 0;
    int code = MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    if (handle != nullptr) {
        try {
            code = Decoder(handle)->GetData(buffer, blocks, retrieved);
        } catch (const std::bad_alloc&) {
            code = MAC_ERROR_INSUFFICIENT_MEMORY;
        } catch (...) {
            code = MAC_ERROR_DECOMPRESSING_FRAME;
        }
    }
    if (blocksRetrieved != nullptr) {
        *blocksRetrieved = retrieved;
    }
    return code;
}

MACDLL_EXPORT int c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE handle, int blockOffset) {
    if (handle == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    try {
        return Decoder(handle)->Seek(blockOffset);
    } catch (...) {
        return MAC_ERROR_DECOMPRESSING_FRAME;
    }
}

MACDLL_EXPORT intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE handle, int field, intptr_t,
                                               intptr_t) {
    const ApeDecoder* decoder = Decoder(handle);
    if (decoder == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    switch (field) {
    case MAC_INFO_SAMPLE_RATE:
        return decoder->SampleRate();
    case MAC_INFO_BITS_PER_SAMPLE:
        return decoder->BitsPerSample();
    case MAC_INFO_BYTES_PER_SAMPLE:
        return decoder->BitsPerSample() / 8;
    case MAC_INFO_CHANNELS:
        return decoder->Channels();
    case MAC_INFO_BLOCK_ALIGN:
        return decoder->BlockAlign();
    case MAC_INFO_TOTAL_BLOCKS:
        return static_cast<intptr_t>(decoder->TotalBlocks());
    case MAC_INFO_WAV_DATA_BYTES:
        return static_cast<intptr_t>(decoder->TotalBlocks() * decoder->BlockAlign());
    case MAC_INFO_LENGTH_MS:
    case MAC_DECOMPRESS_LENGTH_MS:
        return static_cast<intptr_t>(decoder->LengthMs());
    case MAC_DECOMPRESS_CURRENT_BLOCK:
        return static_cast<intptr_t>(decoder->CurrentBlock());
    default:
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
}
}
