#include "cd/AddedImages.h"

#include "cd/CDRipLibrary.h"

#include <filesystem>

namespace quillon {

bool AddDiscImage(const std::string& sheetFileName, std::string& problem) {
    if (sheetFileName.empty()) {
        problem = "No disc image was given.";
        return false;
    }
    // One spelling per file, so that the same image given twice is recognised, and a path that
    // stays valid when the working folder changes.
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(sheetFileName, error);
    if (error) {
        path = sheetFileName;
    }
    return CDRipLibrary::AddImage(path.lexically_normal().string(), problem);
}

std::vector<std::string> AddedDiscImages() {
    return CDRipLibrary::Images();
}

} // namespace quillon
