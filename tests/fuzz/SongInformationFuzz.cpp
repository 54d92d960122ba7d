// ReadSongInformation on each ending (the first byte picks it), and for the endings that can be
// written, WriteSongInformation of what was read.
#include "FuzzInput.h"
#include "tags/SongInformation.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr std::array<const char*, 7> kNames = {
        "input.mp3", "input.ogg", "input.flac", "input.ape", "input.wav", "input.wma", "input.Mp3"};
    if (size == 0) {
        return 0;
    }
    const std::string file =
        quillon::fuzz::WriteInputFile(kNames[data[0] % kNames.size()], data + 1, size - 1);
    const quillon::SongInformation info = quillon::ReadSongInformation(file);
    try {
        quillon::WriteSongInformation(info, file);
    } catch (const quillon::EUnsupportedTagFormat&) {
    }
    return 0;
}
