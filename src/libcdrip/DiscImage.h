#pragma once

#include <cdio/cdio.h>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

struct DiscImageTrack {
    int Number; // track number as the sheet gives it
    bool Audio;
    int32_t StartSector; // from the start of the disc, without the 150-sector lead-in
};

// A disc image: a CUE sheet with one BINARY data file, or a cdrdao TOC file. The sheet is read
// here and checked against the data file; libcdio then opens a normalised copy of it (in a
// private temporary folder, beside a link to the data file) so that paranoia can read it. Sector
// positions follow the data file: a gap the sheet declares without data (PREGAP, a TOC track's
// silence) takes no sectors.
class DiscImage {
public:
    // Opens a CUE sheet or a TOC file; nullptr with a clear UTF-8 `problem` naming the file when
    // it cannot be used (missing sheet or data file, unreadable, not a sheet, data file shorter
    // than the sheet says, no tracks, ...).
    static std::unique_ptr<DiscImage> Open(const std::string& sheetFileName, std::string& problem);
    ~DiscImage();
    DiscImage(const DiscImage&) = delete;
    DiscImage& operator=(const DiscImage&) = delete;

    const std::vector<DiscImageTrack>& Tracks() const { return tracks_; }
    // The sector after the last track.
    int32_t LeadOutSector() const { return leadOut_; }
    const std::string& SheetFileName() const { return sheetFileName_; }
    // The image opened through libcdio, for paranoia reads.
    CdIo_t* Cdio() const { return cdio_; }
    // Whether the data files still hold every track. They may shrink after Open, and libcdio
    // then passes off a short read as a full one, so a rip checks before each read.
    bool DataFilesIntact() const;

private:
    DiscImage() = default;

    std::vector<DiscImageTrack> tracks_;
    int32_t leadOut_ = 0;
    std::string sheetFileName_;
    std::vector<std::pair<std::string, int64_t>> dataFiles_; // each with the size it needs
    std::string folder_; // the private temporary folder, removed with the image
    CdIo_t* cdio_ = nullptr;
};

} // namespace quillon
