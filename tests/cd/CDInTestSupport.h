#pragma once

#include "fixtures/Fixtures.h"

#include <string>

namespace quillon::test {

// For one test: the CD ripping library loaded from libraryFile (empty: the real one beside the
// program), and its settings kept in a configuration folder of the test's own. The library is
// unloaded at both ends, so the next test starts afresh.
class CdRipLibraryScope {
public:
    explicit CdRipLibraryScope(const std::string& libraryFile = "");
    ~CdRipLibraryScope();
    CdRipLibraryScope(const CdRipLibraryScope&) = delete;
    CdRipLibraryScope& operator=(const CdRipLibraryScope&) = delete;

    std::string ConfigHome() const { return config_.Path().string(); }

private:
    TempDir config_;
    bool hadConfigHome_ = false;
    std::string oldConfigHome_;
};

// The EPcmException message of an action, or "(none)".
template <typename F> std::string MessageOf(F action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(none)";
}

} // namespace quillon::test
