#pragma once

#include <string>

namespace quillon {

// The libraries that components load at run time by file name.
enum class LibraryId { Lame, Ogg, Vorbis, VorbisEnc, VorbisFile, Flac, CdRip, Mac };

// The one table of library file names. A name can be overridden (a test points one at a
// missing file to see the component refuse construction).
class LibraryNames {
public:
    // The file name used in messages ("libFLAC.so.12").
    static std::string FileName(LibraryId id);
    // What dlopen is given: the file name, or the path of our own libraries (ProgramFile).
    static std::string LoadPath(LibraryId id);
    static void Override(LibraryId id, const std::string& fileName);
    static void ClearOverrides();
};

// The folder of the running executable, without a trailing separator.
std::string ExecutableDir();

// A library opened with dlopen and closed on destruction.
class DynamicLibrary {
public:
    // A library opened with keepLoaded stays mapped after it is closed, for libraries whose
    // global state must outlive their use (FFmpeg keeps tables it allocates once).
    explicit DynamicLibrary(const std::string& path, bool keepLoaded = false);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Address of an exported symbol, or nullptr when it is missing.
    void* Symbol(const char* name) const;

    // Resolves an entry point into a typed function pointer; nullptr when missing.
    template <typename F> void Resolve(F& entry, const char* name) const {
        entry = reinterpret_cast<F>(Symbol(name));
    }

private:
    void* handle_ = nullptr;
};

} // namespace quillon
