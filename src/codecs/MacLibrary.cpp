#include "codecs/MacLibrary.h"

#include "codecs/CodecLibrary.h"
#include "core/PcmException.h"

#include <memory>
#include <mutex>

namespace quillon {

namespace {

// The library's whole published interface, resolved by name; the components call a part. It
// stays mapped when released: what it keeps for the process (the FFmpeg tables, the files it
// is still to remove) must outlive the release at exit.
std::unique_ptr<CodecLibrary> OpenMac() {
    return std::make_unique<CodecLibrary>(LibraryId::Mac,
                                          std::initializer_list<const char*>{
                                              "ProgressCallback",
                                              "RemoveTag",
                                              "CompressFile",
                                              "ConvertFile",
                                              "DecompressFile",
                                              "FillWaveFormatEx",
                                              "FillWaveHeader",
                                              "GetID3Tag",
                                              "GetInterfaceCompatibility",
                                              "GetVersionNumber",
                                              "ShowFileInfoDialog",
                                              "TagFileSimple",
                                              "VerifyFile",
                                              "c_APECompress_AddData",
                                              "c_APECompress_Create",
                                              "c_APECompress_Destroy",
                                              "c_APECompress_Finish",
                                              "c_APECompress_GetBufferBytesAvailable",
                                              "c_APECompress_Kill",
                                              "c_APECompress_LockBuffer",
                                              "c_APECompress_Start",
                                              "c_APECompress_UnlockBuffer",
                                              "c_APEDecompress_Create",
                                              "c_APEDecompress_Destroy",
                                              "c_APEDecompress_GetData",
                                              "c_APEDecompress_GetInfo",
                                              "c_APEDecompress_Seek",
                                          },
                                          true);
}

struct MacState {
    std::mutex mutex;
    bool attempted = false;
    std::unique_ptr<CodecLibrary> library;
    MacEntries entries;
    bool complete = false;
};

MacState& State() {
    static MacState state;
    return state;
}

#define QUILLON_BIND_MAC(name)                                                                     \
    library.Bind(e.name, #name);                                                                   \
    complete = complete && e.name != nullptr

// True when every entry point the components call is there.
bool BindEntries(const CodecLibrary& library, MacEntries& e) {
    bool complete = true;
    QUILLON_BIND_MAC(c_APECompress_Create);
    QUILLON_BIND_MAC(c_APECompress_Destroy);
    QUILLON_BIND_MAC(c_APECompress_Start);
    QUILLON_BIND_MAC(c_APECompress_LockBuffer);
    QUILLON_BIND_MAC(c_APECompress_UnlockBuffer);
    QUILLON_BIND_MAC(c_APECompress_Finish);
    QUILLON_BIND_MAC(c_APECompress_Kill);
    QUILLON_BIND_MAC(c_APEDecompress_Create);
    QUILLON_BIND_MAC(c_APEDecompress_Destroy);
    QUILLON_BIND_MAC(c_APEDecompress_GetData);
    QUILLON_BIND_MAC(c_APEDecompress_GetInfo);
    QUILLON_BIND_MAC(c_APEDecompress_Seek);
    QUILLON_BIND_MAC(FillWaveFormatEx);
    QUILLON_BIND_MAC(TagFileSimple);
    return complete;
}

#undef QUILLON_BIND_MAC

void LoadLocked(MacState& s) {
    if (!s.library) {
        auto library = OpenMac();
        if (library->Loaded()) {
            s.complete = BindEntries(*library, s.entries);
            s.library = std::move(library);
        }
    }
    s.attempted = true;
}

} // namespace

void MacLibrary::Load() {
    MacState& s = State();
    std::lock_guard lock(s.mutex);
    LoadLocked(s);
}

void MacLibrary::Unload() {
    MacState& s = State();
    std::lock_guard lock(s.mutex);
    s.entries = MacEntries{};
    s.library.reset();
    s.complete = false;
    s.attempted = false;
}

const MacEntries& MacLibrary::Require() {
    MacState& s = State();
    std::lock_guard lock(s.mutex);
    if (!s.attempted) {
        LoadLocked(s);
    }
    if (!s.library || !s.complete) {
        throw EPcmException(LibraryMissingMessage(LibraryId::Mac));
    }
    return s.entries;
}

} // namespace quillon
