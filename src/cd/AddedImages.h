#pragma once

#include <string>
#include <vector>

namespace quillon {

// Adds a disc image (a CUE sheet with its BIN file, or a cdrdao TOC file) for the whole
// process: it becomes the next drive after the physical drives, in the CD source and in the
// drive table alike. Adding a file already added does nothing and succeeds. False with a
// readable reason in problem when the image cannot be used or the CD ripping library cannot
// be loaded.
bool AddDiscImage(const std::string& sheetFileName, std::string& problem);

// The images added, as absolute paths in the order they were added.
std::vector<std::string> AddedDiscImages();

} // namespace quillon
