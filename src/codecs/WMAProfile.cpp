#include "codecs/WMAProfile.h"

#include "platform/ProgramFiles.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quillon {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextAt(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - at < word.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[at + i]) != Lower(word[i])) {
            return false;
        }
    }
    return true;
}

size_t FindText(std::string_view text, std::string_view word) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (SameTextAt(text, at, word)) {
            return at;
        }
    }
    return std::string_view::npos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The number of attribute `name` in the element's attribute text; nullopt without it.
std::optional<long> NumberAttribute(std::string_view attributes, std::string_view name) {
    size_t at = 0;
    while (at < attributes.size()) {
        while (at < attributes.size() && IsSpace(attributes[at])) {
            ++at;
        }
        const size_t nameStart = at;
        while (at < attributes.size() && attributes[at] != '=' && !IsSpace(attributes[at])) {
            ++at;
        }
        const std::string_view attribute = attributes.substr(nameStart, at - nameStart);
        while (at < attributes.size() && (IsSpace(attributes[at]) || attributes[at] == '=')) {
            ++at;
        }
        if (at >= attributes.size() || (attributes[at] != '"' && attributes[at] != '\'')) {
            return std::nullopt;
        }
        const char quote = attributes[at++];
        const size_t end = attributes.find(quote, at);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view value = attributes.substr(at, end - at);
        at = end + 1;
        if (attribute.size() == name.size() && SameTextAt(attribute, 0, name)) {
            long number = 0;
            const auto [rest, error] =
                std::from_chars(value.data(), value.data() + value.size(), number);
            if (error != std::errc() || rest != value.data() + value.size()) {
                return std::nullopt;
            }
            return number;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ReadWmaProfileText(const std::string& fileName) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) {
        return std::nullopt;
    }
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes(kWmaProfileMaxBytes, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        // The elements and attributes that matter are ASCII: keep those code units.
        std::string narrow;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            narrow +=
                bytes[i + 1] == 0 && static_cast<unsigned char>(bytes[i]) < 0x80 ? bytes[i] : '?';
        }
        return narrow;
    }
    return bytes;
}

std::optional<TWmaProfileFormat> ParseWmaProfile(std::string_view text) {
    const size_t element = FindText(text, "<waveformatex");
    if (element == std::string_view::npos) {
        return std::nullopt;
    }
    const size_t start = element + std::strlen("<waveformatex");
    const size_t end = text.find('>', start);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view attributes = text.substr(start, end - start);
    if (!attributes.empty() && attributes.back() == '/') {
        attributes.remove_suffix(1);
    }
    const auto rate = NumberAttribute(attributes, "nSamplesPerSec");
    const auto channels = NumberAttribute(attributes, "nChannels");
    const auto bytesPerSecond = NumberAttribute(attributes, "nAvgBytesPerSec");
    if (!rate || !channels || !bytesPerSecond || *rate < 8000 || *rate > 48000 || *channels < 1 ||
        *channels > 2 || *bytesPerSecond <= 0 || *bytesPerSecond > 1'000'000) {
        return std::nullopt;
    }
    return TWmaProfileFormat{static_cast<int>(*rate), static_cast<int>(*channels),
                             static_cast<int>(*bytesPerSecond * 8)};
}

std::string WmaProfileFolder() {
    return ProgramFile("Profiles", ProgramFileKind::Data);
}

std::vector<std::string> WmaProfileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 4 && name.ends_with(".prx")) {
            names.push_back(name.substr(0, name.size() - 4));
        }
    }
    // The file system's own order is arbitrary; version order compares digit runs by value.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return ::strverscmp(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

std::string WmaProfileFile(const std::string& folder, int position) {
    const std::vector<std::string> names = WmaProfileNames(folder);
    const std::string name =
        position >= 0 && position < static_cast<int>(names.size()) ? names[position] : "";
    return folder + "/" + name + ".prx";
}

} // namespace quillon
