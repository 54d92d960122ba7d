#include "libmac/ApeEncoder.h"
#include "libmac/Export.h"
#include "libmac/MACDll.h"
#include "platform/Stream.h"

#include <memory>
#include <new>

namespace {

using quillon::ApeEncoder;
using quillon::EApeCompressError;

// What a compressor handle points to: the file being written, or the failure that ended it.
struct Compressor {
    std::unique_ptr<ApeEncoder> encoder;
    int failure = MAC_OK;
};

Compressor* Of(APE_COMPRESS_HANDLE handle) {
    return static_cast<Compressor*>(handle);
}

// Runs a step of the file being written. A rejected argument leaves the file going; any other
// failure abandons it (the temporary file goes) and is returned by the calls that follow.
template <typename Step> int Run(Compressor* compressor, Step step) {
    if (compressor == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    if (!compressor->encoder) {
        return compressor->failure != MAC_OK ? compressor->failure
                                             : MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    int code = MAC_OK;
    try {
        step(*compressor->encoder);
        return MAC_OK;
    } catch (const EApeCompressError& error) {
        code = error.Code();
        if (code == MAC_ERROR_BAD_PARAMETER || code == MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA) {
            return code;
        }
    } catch (const quillon::EStreamError&) {
        code = MAC_ERROR_IO_WRITE;
    } catch (const std::bad_alloc&) {
        code = MAC_ERROR_INSUFFICIENT_MEMORY;
    } catch (...) {
        code = MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    compressor->encoder.reset();
    compressor->failure = code;
    return code;
}

} // namespace

extern "C" {

MACDLL_EXPORT APE_COMPRESS_HANDLE c_APECompress_Create(int* errorCode) {
    auto* compressor = new (std::nothrow) Compressor;
    if (errorCode != nullptr) {
        *errorCode = compressor != nullptr ? MAC_OK : MAC_ERROR_INSUFFICIENT_MEMORY;
    }
    return compressor;
}

MACDLL_EXPORT void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle) {
    delete Of(handle);
}

MACDLL_EXPORT int c_APECompress_Start(APE_COMPRESS_HANDLE handle, const char* outputFileName,
                                      const MAC_WaveFormat* format, int maxAudioBytes,
                                      int compressionLevel, const void* headerData,
                                      int headerBytes) {
    Compressor* compressor = Of(handle);
    if (compressor == nullptr || compressor->encoder || outputFileName == nullptr ||
        format == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    compressor->failure = MAC_OK;
    try {
        compressor->encoder =
            std::make_unique<ApeEncoder>(outputFileName, *format, maxAudioBytes, compressionLevel,
                                         static_cast<const uint8_t*>(headerData), headerBytes);
        return MAC_OK;
    } catch (const EApeCompressError& error) {
        return error.Code();
    } catch (const std::bad_alloc&) {
        return MAC_ERROR_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAC_ERROR_INVALID_OUTPUT_FILE;
    }
}

MACDLL_EXPORT int c_APECompress_AddData(APE_COMPRESS_HANDLE handle, unsigned char* data,
                                        int bytes) {
    return Run(Of(handle), [&](ApeEncoder& encoder) { encoder.Add(data, bytes); });
}

MACDLL_EXPORT int c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE handle) {
    const Compressor* compressor = Of(handle);
    return compressor != nullptr && compressor->encoder ? compressor->encoder->BytesAvailable() : 0;
}

MACDLL_EXPORT unsigned char* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle,
                                                      int* bytesAvailable) {
    Compressor* compressor = Of(handle);
    int available = 0;
    unsigned char* buffer = nullptr;
    if (compressor != nullptr && compressor->encoder) {
        buffer = compressor->encoder->LockBuffer(available);
    }
    if (bytesAvailable != nullptr) {
        *bytesAvailable = available;
    }
    return buffer;
}

// The data is always processed at once; the flag of callers that batch is accepted.
MACDLL_EXPORT int c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, int bytesAdded, int) {
    return Run(Of(handle), [&](ApeEncoder& encoder) { encoder.Unlock(bytesAdded); });
}

MACDLL_EXPORT int c_APECompress_Finish(APE_COMPRESS_HANDLE handle, unsigned char* terminatingData,
                                       int terminatingBytes, int wavTerminatingBytes) {
    Compressor* compressor = Of(handle);
    const int code = Run(compressor, [&](ApeEncoder& encoder) {
        encoder.Finish(terminatingData, terminatingBytes, wavTerminatingBytes);
    });
    if (code == MAC_OK) {
        compressor->encoder.reset(); // the handle may start another file
    }
    return code;
}

MACDLL_EXPORT int c_APECompress_Kill(APE_COMPRESS_HANDLE handle) {
    Compressor* compressor = Of(handle);
    if (compressor == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    compressor->encoder.reset();
    compressor->failure = MAC_OK;
    return MAC_OK;
}
}
