#pragma once

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class DiscImage;

// One paranoia read of a range of sectors, on a physical drive (a libcdio device of its own) or
// on a disc image (whose libcdio handle the image keeps).
class Ripper {
public:
    // Opens the read of sectors first .. end - 1; nullptr when the drive cannot be read.
    // paranoiaMode is one of CR_Paranoia*.
    static std::unique_ptr<Ripper> OpenDevice(const std::string& device, int32_t first, int32_t end,
                                              int paranoiaMode);
    static std::unique_ptr<Ripper> OpenImage(std::shared_ptr<DiscImage> image, int32_t first,
                                             int32_t end, int paranoiaMode);
    ~Ripper();
    Ripper(const Ripper&) = delete;
    Ripper& operator=(const Ripper&) = delete;

    // Reads up to maxSectors sectors into buffer and returns how many it read. Stops before a
    // sector that could not be read without error; Failed() then tells.
    int Read(uint8_t* buffer, int maxSectors);
    bool Failed() const { return failed_; }
    int32_t CurrentSector() const { return next_; }
    int PercentCompleted() const;

private:
    Ripper() = default;
    bool Start(CdIo_t* cdio, int32_t first, int32_t end, int paranoiaMode);
    static void Callback(long position, paranoia_cb_mode_t mode);

    std::shared_ptr<DiscImage> image_; // kept open while the read runs
    CdIo_t* device_ = nullptr;         // owned, for a physical drive
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    int32_t first_ = 0;
    int32_t next_ = 0;
    int32_t end_ = 0;
    bool failed_ = false;
    bool readErrorsCount_ = false;
    int32_t firstBadSector_ = INT32_MAX;
};

} // namespace quillon
