#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace quillon {

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[') {
        const auto close = t.find(']');
        if (close != std::string::npos) {
            return Trim(t.substr(1, close - 1));
        }
    }
    return std::nullopt;
}

// The key and value of a "key=value" line.
std::optional<std::pair<std::string, std::string>> EntryOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() == ';') {
        return std::nullopt;
    }
    const auto eq = t.find('=');
    if (eq == std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
}

} // namespace

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::vector<std::string> IniFile::LoadLines() const {
    std::vector<std::string> lines;
    std::ifstream in(fileName_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    bool inSection = false;
    for (const auto& line : LoadLines()) {
        if (const auto name = SectionOf(line)) {
            inSection = SameName(*name, section);
        } else if (inSection) {
            if (const auto entry = EntryOf(line); entry && SameName(entry->first, key)) {
                return entry->second;
            }
        }
    }
    return defaultValue;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    for (auto& entry : ReadSectionValues(section)) {
        keys.push_back(std::move(entry.first));
    }
    return keys;
}

std::vector<std::pair<std::string, std::string>>
IniFile::ReadSectionValues(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    bool inSection = false;
    for (const auto& line : LoadLines()) {
        if (const auto name = SectionOf(line)) {
            inSection = SameName(*name, section);
        } else if (inSection) {
            if (auto entry = EntryOf(line)) {
                entries.push_back(std::move(*entry));
            }
        }
    }
    return entries;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    std::vector<std::string> lines = LoadLines();
    const std::string newLine = key + "=" + value;
    std::optional<size_t> sectionLine;
    std::optional<size_t> lastEntryOfSection;
    bool inSection = false;
    bool replaced = false;
    for (size_t i = 0; i < lines.size() && !replaced; ++i) {
        if (const auto name = SectionOf(lines[i])) {
            if (inSection) {
                break; // the section ended without the key
            }
            inSection = SameName(*name, section);
            if (inSection) {
                sectionLine = i;
                lastEntryOfSection = i;
            }
        } else if (inSection) {
            if (const auto entry = EntryOf(lines[i])) {
                if (SameName(entry->first, key)) {
                    lines[i] = newLine;
                    replaced = true;
                } else {
                    lastEntryOfSection = i;
                }
            }
        }
    }
    if (!replaced) {
        if (sectionLine) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastEntryOfSection + 1),
                         newLine);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(newLine);
        }
    }

    // Write the new text beside the file and rename it over, so a failure keeps the old file.
    const std::string temp = fileName_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines) {
            out << line << "\n";
        }
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), fileName_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace quillon
