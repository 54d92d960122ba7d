#include "platform/ProgramFiles.h"

#include "platform/DynamicLibrary.h"

#include <string_view>
#include <unistd.h>

namespace quillon {

namespace {

// The installed folders relative to the prefix, set by the build (CMakeLists.txt).
constexpr std::string_view kBinDir = QUILLON_INSTALL_BINDIR;
constexpr std::string_view kPrivateDir = QUILLON_INSTALL_PRIVATEDIR;
constexpr std::string_view kDataDir = QUILLON_INSTALL_DATADIR;

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// The prefix of an installed tree whose `dir` folder is `programDir`; false when programDir
// does not end with that folder.
bool PrefixOf(const std::string& programDir, std::string_view dir, std::string& prefix) {
    if (programDir.size() <= dir.size() || !programDir.ends_with(dir) ||
        programDir[programDir.size() - dir.size() - 1] != '/') {
        return false;
    }
    prefix = programDir.substr(0, programDir.size() - dir.size() - 1);
    return true;
}

} // namespace

std::string ProgramFile(const std::string& name, ProgramFileKind kind) {
    return ProgramFile(name, kind, ExecutableDir());
}

std::string ProgramFile(const std::string& name, ProgramFileKind kind,
                        const std::string& programDir) {
    const std::string beside = programDir + "/" + name;
    if (Exists(beside)) {
        return beside;
    }
    const std::string_view place = kind == ProgramFileKind::Private ? kPrivateDir : kDataDir;
    for (const std::string_view dir : {kBinDir, kPrivateDir}) {
        std::string prefix;
        if (PrefixOf(programDir, dir, prefix)) {
            const std::string installed = prefix + "/" + std::string(place) + "/" + name;
            if (Exists(installed)) {
                return installed;
            }
        }
    }
    return beside;
}

} // namespace quillon
