#include "workflow/ConvertRows.h"

#include "tags/SongInformation.h"

namespace quillon {

bool IsConvertibleFile(const std::string& fileName) {
    const std::string extension = UpperExtension(fileName);
    for (const char* known : {".MP3", ".WMA", ".OGG", ".APE", ".FLAC", ".WAV"}) {
        if (extension == known) {
            return true;
        }
    }
    return false;
}

ConvertRow MakeConvertRow(const std::string& fileName) {
    const SongInformation info = ReadSongInformation(fileName);
    ConvertRow row;
    row.FileName = fileName;
    row.Tags = {info.Title, info.Artist, info.Album, info.Year, info.Genre, info.Comment};
    row.Duration = info.MPEG.Duration;
    return row;
}

} // namespace quillon
