#include "codecs/APECompress.h"

#include "codecs/APEException.h"

namespace quillon {

TAPECompress::TAPECompress(const MacEntries& mac) : mac_(mac) {
    int code = MAC_OK;
    handle_ = mac_.c_APECompress_Create(&code);
    if (code != MAC_OK || handle_ == nullptr) {
        if (handle_ != nullptr) {
            mac_.c_APECompress_Destroy(handle_);
        }
        throw EAPEException(code != MAC_OK ? code : MAC_ERROR_INSUFFICIENT_MEMORY);
    }
}

TAPECompress::~TAPECompress() {
    mac_.c_APECompress_Destroy(handle_);
}

int TAPECompress::Start(const std::string& fileName, const MAC_WaveFormat& format,
                        int maxAudioBytes, int level, const void* headerData, int headerBytes) {
    return mac_.c_APECompress_Start(handle_, fileName.c_str(), &format, maxAudioBytes, level,
                                    headerData, headerBytes);
}

unsigned char* TAPECompress::LockBuffer(int& available) {
    available = 0;
    return mac_.c_APECompress_LockBuffer(handle_, &available);
}

int TAPECompress::UnlockBuffer(int bytesAdded) {
    return mac_.c_APECompress_UnlockBuffer(handle_, bytesAdded, 1);
}

int TAPECompress::Finish() {
    return mac_.c_APECompress_Finish(handle_, nullptr, 0, 0);
}

int TAPECompress::Kill() {
    return mac_.c_APECompress_Kill(handle_);
}

} // namespace quillon
