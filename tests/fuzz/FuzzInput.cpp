#include "FuzzInput.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace quillon::fuzz {

namespace {

// The per-process folder, made on first use and removed at exit.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error)) {
            base = std::filesystem::temp_directory_path();
        }
        auto path = base / ("quillon-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return path;
    }();
    return folder;
}

} // namespace

std::string WriteInputFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = (Folder() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

SplitInput SplitFirstLine(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* newline = std::find(data, end, '\n');
    SplitInput out;
    out.firstLine.assign(data, newline);
    if (newline != end) {
        out.rest.assign(newline + 1, end);
    }
    return out;
}

} // namespace quillon::fuzz
