#include "CDInTestSupport.h"

#include "cd/CDRipLibrary.h"
#include "platform/DynamicLibrary.h"

#include <cstdlib>

namespace quillon::test {

CdRipLibraryScope::CdRipLibraryScope(const std::string& libraryFile) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadConfigHome_ = true;
        oldConfigHome_ = old;
    }
    setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
    CDRipLibrary::Unload();
    if (!libraryFile.empty()) {
        LibraryNames::Override(LibraryId::CdRip, libraryFile);
    }
}

CdRipLibraryScope::~CdRipLibraryScope() {
    CDRipLibrary::Unload();
    LibraryNames::ClearOverrides();
    if (hadConfigHome_) {
        setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

} // namespace quillon::test
