// DiscImage: the first line of the input picks the sheet's kind ("toc" for a TOC file, a CUE sheet
// otherwise), the rest is the sheet, written beside a small data file "image.bin" of 20 audio
// sectors. An image that opens has its sectors read back through libcdio.
#include "FuzzInput.h"
#include "libcdrip/DiscImage.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string bin = [] {
        const std::vector<uint8_t> sectors(20 * 2352, 0x5A);
        return quillon::fuzz::WriteInputFile("image.bin", sectors.data(), sectors.size());
    }();
    const quillon::fuzz::SplitInput input = quillon::fuzz::SplitFirstLine(data, size);
    const std::string sheet = quillon::fuzz::WriteInputFile(
        input.firstLine == "toc" ? "input.toc" : "input.cue", input.rest.data(), input.rest.size());
    std::string problem;
    const std::unique_ptr<quillon::DiscImage> image = quillon::DiscImage::Open(sheet, problem);
    if (image == nullptr) {
        // A refusal always says why.
        if (problem.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    std::vector<uint8_t> sector(2352);
    for (const quillon::DiscImageTrack& track : image->Tracks()) {
        if (track.Audio && track.StartSector < image->LeadOutSector()) {
            cdio_read_audio_sector(image->Cdio(), sector.data(), track.StartSector);
        }
    }
    return 0;
}
