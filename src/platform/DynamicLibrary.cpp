#include "platform/DynamicLibrary.h"

#include "platform/ProgramFiles.h"

#include <array>
#include <dlfcn.h>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace quillon {

namespace {

struct LibraryEntry {
    const char* fileName;
    bool besideProgram; // built by this project and found with the program's private files
};

constexpr std::array<LibraryEntry, 8> kLibraries = {{
    {"libmp3lame.so.0", false},
    {"libogg.so.0", false},
    {"libvorbis.so.0", false},
    {"libvorbisenc.so.2", false},
    {"libvorbisfile.so.3", false},
    {"libFLAC.so.12", false},
    {"libcdrip.so", true},
    {"libMACDll.so", true},
}};

std::mutex& OverrideMutex() {
    static std::mutex m;
    return m;
}

std::array<std::optional<std::string>, kLibraries.size()>& Overrides() {
    static std::array<std::optional<std::string>, kLibraries.size()> overrides;
    return overrides;
}

} // namespace

std::string LibraryNames::FileName(LibraryId id) {
    const auto index = static_cast<size_t>(id);
    std::lock_guard lock(OverrideMutex());
    if (Overrides()[index]) {
        return *Overrides()[index];
    }
    return kLibraries[index].fileName;
}

std::string LibraryNames::LoadPath(LibraryId id) {
    const std::string name = FileName(id);
    if (kLibraries[static_cast<size_t>(id)].besideProgram && name.find('/') == std::string::npos) {
        return ProgramFile(name, ProgramFileKind::Private);
    }
    return name;
}

void LibraryNames::Override(LibraryId id, const std::string& fileName) {
    std::lock_guard lock(OverrideMutex());
    Overrides()[static_cast<size_t>(id)] = fileName;
}

void LibraryNames::ClearOverrides() {
    std::lock_guard lock(OverrideMutex());
    for (auto& entry : Overrides()) {
        entry.reset();
    }
}

std::string ExecutableDir() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) {
        return ".";
    }
    path.resize(static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

DynamicLibrary::DynamicLibrary(const std::string& path, bool keepLoaded) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | (keepLoaded ? RTLD_NODELETE : 0));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

} // namespace quillon
