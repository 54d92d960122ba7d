#pragma once

#include <string>
#include <vector>

namespace quillon {

// An initialisation file (language files, PLS playlists, cdr.ini) with the usual semantics:
// section and key names compare without regard to case; a write updates the file in place,
// keeping every other line, key and section as it was and appending a new key at the end of
// its section (or a new section at the end of the file); the file is created by the first
// write; write failures are ignored. Text is UTF-8.
class IniFile {
public:
    explicit IniFile(std::string fileName);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Returns false when the file could not be written (callers may ignore it).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Key names of a section, in file order.
    std::vector<std::string> ReadSection(const std::string& section) const;
    // The keys and values of a section in file order, read in one pass; where a key occurs
    // twice, ReadString gives the first.
    std::vector<std::pair<std::string, std::string>>
    ReadSectionValues(const std::string& section) const;

    const std::string& FileName() const { return fileName_; }

private:
    std::vector<std::string> LoadLines() const;

    std::string fileName_;
};

} // namespace quillon
