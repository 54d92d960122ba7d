#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::fuzz {

// Writes a fuzz input to a file named `name` in a folder of this process's own under /dev/shm
// (so in memory; the system temporary folder where /dev/shm is missing), for readers that take
// a file name, and returns the file's path. The folder is removed when the process exits.
std::string WriteInputFile(const std::string& name, const uint8_t* data, size_t size);

// Splits the first line (up to '\n') off an input: the text of a parameter and the rest.
struct SplitInput {
    std::string firstLine;
    std::vector<uint8_t> rest;
};
SplitInput SplitFirstLine(const uint8_t* data, size_t size);

} // namespace quillon::fuzz
