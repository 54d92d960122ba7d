#include "libcdrip/Ripper.h"

#include "libcdrip/CDRip.h"
#include "libcdrip/DiscImage.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillon {

namespace {

// Retries of one sector before paranoia gives up on it (and the read counts as failed).
constexpr int kRetries = 20;

constexpr long kWordsPerSector = CDIO_CD_FRAMESIZE_RAW / 2;

// What paranoia's callback reports on this thread: the first sector it could not read (it
// reports by 16-bit word position, and may report sectors it reads ahead).
thread_local int32_t firstBadSector = INT32_MAX;
// Whether a plain read error counts: with verification off nothing reads the sector again.
thread_local bool readErrorsCount = false;

int ParanoiaFlags(int mode) {
    switch (mode) {
    case CR_ParanoiaOff:
        return PARANOIA_MODE_DISABLE;
    case CR_ParanoiaOverlap:
        return PARANOIA_MODE_OVERLAP;
    default:
        // Full verification; a sector that fails every retry ends the rip with an error rather
        // than being skipped (or retried for ever).
        return PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
    }
}

} // namespace

void Ripper::Callback(long position, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP || (mode == PARANOIA_CB_READERR && readErrorsCount)) {
        const long sector = std::max(position, 0L) / kWordsPerSector;
        firstBadSector = std::min<int32_t>(firstBadSector,
                                           static_cast<int32_t>(std::min<long>(sector, INT32_MAX)));
    }
}

std::unique_ptr<Ripper> Ripper::OpenDevice(const std::string& device, int32_t first, int32_t end,
                                           int paranoiaMode) {
    std::unique_ptr<Ripper> ripper(new Ripper());
    ripper->device_ = cdio_open(device.c_str(), DRIVER_DEVICE);
    if (ripper->device_ == nullptr || !ripper->Start(ripper->device_, first, end, paranoiaMode)) {
        return nullptr;
    }
    return ripper;
}

std::unique_ptr<Ripper> Ripper::OpenImage(std::shared_ptr<DiscImage> image, int32_t first,
                                          int32_t end, int paranoiaMode) {
    std::unique_ptr<Ripper> ripper(new Ripper());
    ripper->image_ = std::move(image);
    if (!ripper->Start(ripper->image_->Cdio(), first, end, paranoiaMode)) {
        return nullptr;
    }
    return ripper;
}

bool Ripper::Start(CdIo_t* cdio, int32_t first, int32_t end, int paranoiaMode) {
    first_ = next_ = first;
    end_ = end;
    drive_ = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (drive_ == nullptr || cdio_cddap_open(drive_) != 0) {
        return false;
    }
    paranoia_ = cdio_paranoia_init(drive_);
    if (paranoia_ == nullptr) {
        return false;
    }
    cdio_paranoia_modeset(paranoia_, ParanoiaFlags(paranoiaMode));
    readErrorsCount_ = paranoiaMode == CR_ParanoiaOff;
    cdio_paranoia_seek(paranoia_, first, SEEK_SET);
    return true;
}

Ripper::~Ripper() {
    if (paranoia_ != nullptr) {
        cdio_paranoia_free(paranoia_);
    }
    if (drive_ != nullptr) {
        cdio_cddap_close_no_free_cdio(drive_);
    }
    if (device_ != nullptr) {
        cdio_destroy(device_);
    }
}

int Ripper::Read(uint8_t* buffer, int maxSectors) {
    int count = 0;
    if (image_ != nullptr && next_ < end_ && !image_->DataFilesIntact()) {
        failed_ = true;
    }
    firstBadSector = firstBadSector_;
    readErrorsCount = readErrorsCount_;
    while (!failed_ && count < maxSectors && next_ < end_) {
        const int16_t* sector = cdio_paranoia_read_limited(paranoia_, Callback, kRetries);
        firstBadSector_ = firstBadSector;
        if (sector == nullptr || firstBadSector_ <= next_) {
            // What paranoia hands back for a sector it could not read is not the audio.
            failed_ = true;
            break;
        }
        std::memcpy(buffer + static_cast<size_t>(count) * CDIO_CD_FRAMESIZE_RAW, sector,
                    CDIO_CD_FRAMESIZE_RAW);
        ++count;
        ++next_;
    }
    return count;
}

int Ripper::PercentCompleted() const {
    const int64_t total = end_ - first_;
    return total <= 0 ? 100 : static_cast<int>((next_ - first_) * 100 / total);
}

} // namespace quillon
