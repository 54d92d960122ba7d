#include "workflow/ConvertRows.h"

#include "codecs/WaveOut.h"
#include "tags/SongInformation.h"
#include "workflow/SourceChain.h"

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

std::string ImaBlockSizesText(int channels) {
    int smallest = 0;
    int largest = 0;
    int step = 0;
    for (int size = 4; size <= 65532; size += 4) {
        const bool fits = channels == 0 ? TWaveOut::ImaBlockSizeFits(size, 1) ||
                                              TWaveOut::ImaBlockSizeFits(size, 2)
                                        : TWaveOut::ImaBlockSizeFits(size, channels);
        if (fits) {
            step = smallest == 0 ? 0 : (step == 0 ? size - largest : step);
            smallest = smallest == 0 ? size : smallest;
            largest = size;
        }
    }
    if (smallest == 0) {
        return "none";
    }
    return "multiples of " + std::to_string(step == 0 ? smallest : step) + " from " +
           std::to_string(smallest) + " to " + std::to_string(largest);
}

std::string WavOutputProblem(const std::string& fileName, const WavOutputOptions& wav) {
    if (!wav.imaAdpcm) {
        return {};
    }
    int channels = 0;
    int bits = 0;
    try {
        auto source = MakeSource(fileName);
        if (!source) {
            return {};
        }
        // The writer gets what the converters make of the file's audio.
        TSourceChain chain(std::move(source));
        TPcmFileIn& file = chain.Source();
        file.OpenFile();
        if (file.Valid()) {
            channels = chain.Output().GetChannels();
            bits = chain.Output().GetBitsPerSample();
        }
        file.CloseFile();
    } catch (const std::exception&) {
        return {}; // the conversion reports what is wrong with the file
    }
    if (channels == 0) {
        return {};
    }
    if (bits != 16) {
        return "IMA ADPCM takes 16-bit audio only, and the file has " + std::to_string(bits) +
               "-bit samples";
    }
    if (!TWaveOut::ImaBlockSizeFits(wav.blockSize, channels)) {
        const std::string layout = channels == 1   ? "mono"
                                   : channels == 2 ? "stereo"
                                                   : std::to_string(channels) + "-channel";
        return "block size " + std::to_string(wav.blockSize) + " does not suit " + layout +
               " audio; valid sizes: " + ImaBlockSizesText(channels);
    }
    return {};
}

} // namespace quillon
