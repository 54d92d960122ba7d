#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The audio format an encoder profile asks for: its stream's wave format.
struct TWmaProfileFormat {
    int sampleRate = 0;
    int channels = 0;
    int bitRate = 0; // bit/s, from the average bytes per second
};

// Profiles are read no further than this many bytes.
constexpr size_t kWmaProfileMaxBytes = 3000;

// The first kWmaProfileMaxBytes bytes of a profile file as text (UTF-16 files, which carry a
// byte-order mark, are narrowed to their ASCII content); nullopt when it cannot be read.
std::optional<std::string> ReadWmaProfileText(const std::string& fileName);

// The wave format of a profile text's first audio stream; nullopt without one that an encoder
// can use (one or two channels, 8000 to 48000 Hz, a positive bit rate).
std::optional<TWmaProfileFormat> ParseWmaProfile(std::string_view text);

// The folder of the program's profiles ("Profiles" beside the program).
std::string WmaProfileFolder();

// The profile names of a folder (".prx" files, without the extension) in name order, numbers
// compared by value ("WMA 32 kbps" before "WMA 128 kbps"); positions in this list are what the
// "WMABitrate" setting stores.
std::vector<std::string> WmaProfileNames(const std::string& folder);

// The profile file at a position of WmaProfileNames(folder); the name of a profile without a
// name (folder + "/.prx") when the position is outside the list, so that loading it fails.
std::string WmaProfileFile(const std::string& folder, int position);

} // namespace quillon
