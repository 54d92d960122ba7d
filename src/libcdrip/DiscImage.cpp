#include "libcdrip/DiscImage.h"

#include "libcdrip/CDRip.h"
#include "libcdrip/DiscSheet.h"

#include <algorithm>
#include <cdio/logging.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>

namespace quillon {

namespace fs = std::filesystem;

namespace {

constexpr int kSectorBytes = CR_SectorBytes;
constexpr uintmax_t kLargestSheet = 1 << 20;

// libcdio reports on stderr by default; keep its errors for the problem text instead.
thread_local std::string lastCdioError;

void CdioLog(cdio_log_level_t level, const char* message) {
    if (level >= CDIO_LOG_ERROR && message != nullptr) {
        lastCdioError = message;
    }
}

void QuietCdio() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(CdioLog); });
}

bool ReadSheetText(const std::string& fileName, std::string& text, std::string& problem) {
    std::error_code error;
    const fs::file_status status = fs::status(fileName, error);
    if (!fs::exists(status)) {
        problem = fileName + ": no such file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        problem = fileName + ": not a file";
        return false;
    }
    if (fs::file_size(fileName, error) > kLargestSheet) {
        problem = fileName + ": too large to be a CUE sheet or TOC file";
        return false;
    }
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream content;
    if (!in || !(content << in.rdbuf())) {
        in.peek();
        if (!in.is_open() || in.bad()) {
            problem = fileName + ": cannot be read (" + std::strerror(errno) + ")";
            return false;
        }
    }
    text = content.str();
    return true;
}

// The size of a data file the sheet names, or a problem naming both files.
bool DataFileSize(const std::string& sheetFileName, const std::string& dataFile, int64_t& size,
                  std::string& problem) {
    std::error_code error;
    const fs::file_status status = fs::status(dataFile, error);
    if (!fs::exists(status)) {
        problem = sheetFileName + ": the data file " + dataFile + " does not exist";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        problem = sheetFileName + ": the data file " + dataFile + " is not a file";
        return false;
    }
    std::ifstream in(dataFile, std::ios::binary);
    if (!in.is_open()) {
        problem = sheetFileName + ": the data file " + dataFile + " cannot be read (" +
                  std::strerror(errno) + ")";
        return false;
    }
    size = static_cast<int64_t>(fs::file_size(dataFile, error));
    return !error;
}

// Fills in open lengths and checks that every track lies within its data file.
bool Measure(const std::string& sheetFileName, Sheet& sheet, std::string& problem) {
    std::map<std::string, int64_t> sizes;
    for (const SheetTrack& track : sheet.tracks) {
        if (!sizes.contains(track.dataFile) &&
            !DataFileSize(sheetFileName, track.dataFile, sizes[track.dataFile], problem)) {
            return false;
        }
    }
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        SheetTrack& track = sheet.tracks[i];
        const int64_t size = sizes[track.dataFile];
        if (track.sectors < 0) {
            const bool nextInFile = sheet.format == SheetFormat::Cue && i + 1 < sheet.tracks.size();
            const int64_t end = nextInFile ? sheet.tracks[i + 1].offset : size;
            track.sectors =
                static_cast<int32_t>(std::max<int64_t>(end - track.offset, 0) / kSectorBytes);
        }
        const int64_t needed = track.offset + static_cast<int64_t>(track.sectors) * kSectorBytes;
        if (track.sectors == 0 || needed > size) {
            problem = sheetFileName + ": the data file " + track.dataFile +
                      " is shorter than the sheet says (" + std::to_string(size) +
                      " bytes; track " + std::to_string(track.number) + " needs " +
                      std::to_string(std::max(needed, track.offset + kSectorBytes)) + ")";
            return false;
        }
    }
    return true;
}

// A sheet that libcdio reads as this reader does: the data files by absolute names of links in
// the image's private folder, every track at its file position, nothing libcdio does not know.
std::string NormalisedSheet(const Sheet& sheet, const std::string& folder,
                            std::map<std::string, std::string>& links) {
    std::string text;
    if (sheet.format == SheetFormat::Cue) {
        links[sheet.tracks.front().dataFile] = folder + "/image.bin";
        text = "FILE \"image.bin\" BINARY\n";
        for (const SheetTrack& track : sheet.tracks) {
            char line[32];
            std::snprintf(line, sizeof line, "  TRACK %02d ", track.number);
            text += line + track.mode + "\n    INDEX 01 " +
                    MsfText(static_cast<int32_t>(track.offset / kSectorBytes)) + "\n";
        }
        return text;
    }
    bool anyData = false;
    for (const SheetTrack& track : sheet.tracks) {
        anyData = anyData || !track.audio;
        if (!links.contains(track.dataFile)) {
            links[track.dataFile] = folder + "/data" + std::to_string(links.size() + 1) + ".bin";
        }
    }
    text = anyData ? "CD_ROM\n" : "CD_DA\n";
    for (const SheetTrack& track : sheet.tracks) {
        text += "\nTRACK " + track.mode + "\nFILE \"" + links[track.dataFile] + "\" " +
                MsfText(static_cast<int32_t>(track.offset / kSectorBytes)) + " " +
                MsfText(track.sectors) + "\n";
    }
    return text;
}

} // namespace

std::unique_ptr<DiscImage> DiscImage::Open(const std::string& sheetFileName, std::string& problem) {
    QuietCdio();
    std::string text;
    Sheet sheet;
    if (!ReadSheetText(sheetFileName, text, problem) ||
        !ParseSheet(sheetFileName, text, sheet, problem) ||
        !Measure(sheetFileName, sheet, problem)) {
        return nullptr;
    }

    std::unique_ptr<DiscImage> image(new DiscImage());
    image->sheetFileName_ = sheetFileName;
    int32_t next = 0;
    for (const SheetTrack& track : sheet.tracks) {
        const int32_t start = sheet.format == SheetFormat::Cue
                                  ? static_cast<int32_t>(track.offset / kSectorBytes)
                                  : next;
        image->tracks_.push_back({track.number, track.audio, start});
        next = start + track.sectors;
    }
    image->leadOut_ = next;
    std::map<std::string, int64_t> needed;
    for (const SheetTrack& track : sheet.tracks) {
        const int64_t end = track.offset + static_cast<int64_t>(track.sectors) * kSectorBytes;
        needed[track.dataFile] = std::max(needed[track.dataFile], end);
    }
    image->dataFiles_.assign(needed.begin(), needed.end());

    std::string folder = (fs::temp_directory_path() / "quillon-image-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        problem =
            sheetFileName + ": cannot create a temporary folder (" + std::strerror(errno) + ")";
        return nullptr;
    }
    image->folder_ = folder;
    std::map<std::string, std::string> links;
    const std::string normalised = NormalisedSheet(sheet, folder, links);
    std::error_code error;
    for (const auto& [target, link] : links) {
        if (target.find('"') != std::string::npos || folder.find('"') != std::string::npos) {
            problem = sheetFileName + ": file names with double quotes are not supported";
            return nullptr;
        }
        fs::create_symlink(fs::absolute(target, error), link, error);
        if (error) {
            problem = sheetFileName + ": cannot link the data file " + target + " (" +
                      error.message() + ")";
            return nullptr;
        }
    }
    const std::string copy =
        folder + (sheet.format == SheetFormat::Cue ? "/image.cue" : "/image.toc");
    std::ofstream(copy, std::ios::binary) << normalised;

    lastCdioError.clear();
    image->cdio_ = sheet.format == SheetFormat::Cue ? cdio_open_cue(copy.c_str())
                                                    : cdio_open_cdrdao(copy.c_str());
    if (image->cdio_ == nullptr) {
        problem = sheetFileName + ": libcdio cannot open the image" +
                  (lastCdioError.empty() ? "" : " (" + lastCdioError + ")");
        return nullptr;
    }
    // Reads go through libcdio: refuse the image unless it sees the same tracks.
    const track_t first = cdio_get_first_track_num(image->cdio_);
    bool same = first != CDIO_INVALID_TRACK &&
                cdio_get_num_tracks(image->cdio_) == image->tracks_.size() &&
                cdio_get_track_lsn(image->cdio_, CDIO_CDROM_LEADOUT_TRACK) == image->leadOut_;
    for (size_t i = 0; same && i < image->tracks_.size(); ++i) {
        same = cdio_get_track_lsn(image->cdio_, static_cast<track_t>(first + i)) ==
               image->tracks_[i].StartSector;
    }
    if (!same) {
        problem = sheetFileName + ": libcdio reads the image's track layout differently";
        return nullptr;
    }
    return image;
}

bool DiscImage::DataFilesIntact() const {
    for (const auto& [fileName, size] : dataFiles_) {
        std::error_code error;
        const uintmax_t actual = fs::file_size(fileName, error);
        if (error || actual < static_cast<uintmax_t>(size)) {
            return false;
        }
    }
    return true;
}

DiscImage::~DiscImage() {
    if (cdio_ != nullptr) {
        cdio_destroy(cdio_);
    }
    if (!folder_.empty()) {
        std::error_code error;
        fs::remove_all(folder_, error);
    }
}

} // namespace quillon
