#include "codecs/APEDecompress.h"

#include "codecs/APEException.h"

namespace quillon {

TAPEDecompress::TAPEDecompress(const MacEntries& mac, const std::string& fileName)
    : mac_(mac), fileName_(fileName) {
    int code = MAC_OK;
    handle_ = mac_.c_APEDecompress_Create(fileName_.c_str(), &code);
    if (code != MAC_OK || handle_ == nullptr) {
        if (handle_ != nullptr) {
            mac_.c_APEDecompress_Destroy(handle_);
        }
        throw EAPEException(code != MAC_OK ? code : MAC_ERROR_INVALID_INPUT_FILE);
    }
}

TAPEDecompress::~TAPEDecompress() {
    mac_.c_APEDecompress_Destroy(handle_);
}

int TAPEDecompress::GetData(char* buffer, int blocks, int& retrieved) {
    retrieved = 0;
    return mac_.c_APEDecompress_GetData(handle_, buffer, blocks, &retrieved);
}

intptr_t TAPEDecompress::GetInfo(int field) {
    return mac_.c_APEDecompress_GetInfo(handle_, field, 0, 0);
}

int TAPEDecompress::Seek(int block) {
    return mac_.c_APEDecompress_Seek(handle_, block);
}

} // namespace quillon
