#include "CodecTestSupport.h"

#include "codecs/CodecLibraries.h"

#include <string>

namespace quillon::test {

MissingLibrary::MissingLibrary(LibraryId id) {
    LibraryNames::Override(id,
                           "libquillon-missing-" + std::to_string(static_cast<int>(id)) + ".so");
    UnloadCodecLibraries();
}

MissingLibrary::~MissingLibrary() {
    LibraryNames::ClearOverrides();
    UnloadCodecLibraries();
    LoadCodecLibraries();
}

} // namespace quillon::test
