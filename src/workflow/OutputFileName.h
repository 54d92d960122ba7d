#pragma once

#include <string>

namespace quillon {

// The entries of the "Output filename format" list, in list order.
inline constexpr const char* kOutputFileNamePatterns[] = {
    "<Track Number>", "<Title>", "<Track Number>-<Title>", "<Artist>-<Title>",
    "<Track Number>-<Artist>-<Title>"};
inline constexpr int kDefaultOutputFileNamePattern = 4;

// Names an output file: folder, then the pattern's fields (number with at least two digits),
// a dot and the extension. Any other pattern than 0..4 names the file by its title. A "/" or a
// control character in the title or artist becomes "-", so tag texts can never lead outside
// the folder nor break a name into lines.
std::string MakeOutputFileName(int pattern, int number, const std::string& extension,
                               const std::string& title, const std::string& artist,
                               const std::string& folder);

// The folder text with one trailing "/" removed, as rips and conversions use it.
std::string WithoutTrailingSeparator(const std::string& folder);

// The text with each control character (below 32, and 127) replaced by "-": for file names,
// and for playlist lines, which a line break would split.
std::string WithoutControlCharacters(std::string text);

// Why outputs cannot go into a folder setting (settingName names it in the message): it is
// empty or blank, or names something other than a folder. "" when it is a folder or does not
// exist yet.
std::string OutputFolderProblem(const std::string& folder, const std::string& settingName);

// Creates the folder of a folder setting with its missing parents, after the checks of
// OutputFolderProblem; "" when the folder exists afterwards, otherwise why it cannot be used.
std::string MakeOutputFolder(const std::string& folder, const std::string& settingName);

} // namespace quillon
