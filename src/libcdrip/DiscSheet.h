#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// One track as a sheet describes it: where its sectors lie in which data file.
struct SheetTrack {
    int number = 0;
    bool audio = true;
    std::string mode;     // the mode as libcdio's sheet readers name it ("AUDIO", "MODE1_RAW", ...)
    std::string dataFile; // the data file, resolved against the sheet's folder
    int64_t offset = 0;   // byte position of the track's first sector in the data file
    int32_t sectors = -1; // length in 2352-byte sectors; -1 up to the next track or the file's end
};

enum class SheetFormat { Cue, Toc };

struct Sheet {
    SheetFormat format = SheetFormat::Cue;
    std::vector<SheetTrack> tracks;
};

// Parses a CUE sheet or a cdrdao TOC file (text already read from sheetFileName, whose folder
// relative data file names are resolved against). Returns false with a UTF-8 problem naming the
// sheet when the text is not a sheet this reader can use. Lengths left open (-1) are filled in
// later against the data file's size.
bool ParseSheet(const std::string& sheetFileName, const std::string& text, Sheet& sheet,
                std::string& problem);

// "mm:ss:ff" of a sector count.
std::string MsfText(int32_t sectors);

} // namespace quillon
