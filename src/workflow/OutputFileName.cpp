#include "workflow/OutputFileName.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace quillon {

namespace {

std::string SafeNamePart(std::string text) {
    std::replace(text.begin(), text.end(), '/', '-');
    return WithoutControlCharacters(std::move(text));
}

std::string TwoDigits(int number) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.2d", number);
    return buffer;
}

} // namespace

std::string MakeOutputFileName(int pattern, int number, const std::string& extension,
                               const std::string& title, const std::string& artist,
                               const std::string& folder) {
    const std::string t = SafeNamePart(title);
    const std::string a = SafeNamePart(artist);
    std::string name;
    switch (pattern) {
    case 0:
        name = TwoDigits(number);
        break;
    case 2:
        name = TwoDigits(number) + "-" + t;
        break;
    case 3:
        name = a + "-" + t;
        break;
    case 4:
        name = TwoDigits(number) + "-" + a + "-" + t;
        break;
    default:
        name = t;
        break;
    }
    return folder + "/" + name + "." + extension;
}

std::string WithoutTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') {
        return folder.substr(0, folder.size() - 1);
    }
    return folder;
}

std::string WithoutControlCharacters(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) {
            c = '-';
        }
    }
    return text;
}

std::string OutputFolderProblem(const std::string& folder, const std::string& settingName) {
    if (folder.find_first_not_of(" \t") == std::string::npos) {
        return "no output folder is set (" + settingName + " is empty)";
    }
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) {
        return "the output folder '" + folder + "' (" + settingName + ") is not a folder";
    }
    return {};
}

std::string MakeOutputFolder(const std::string& folder, const std::string& settingName) {
    std::string problem = OutputFolderProblem(folder, settingName);
    if (problem.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (!std::filesystem::is_directory(folder, error)) {
            problem = "cannot make the output folder '" + folder + "'";
        }
    }
    return problem;
}

} // namespace quillon
