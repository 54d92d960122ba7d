#pragma once

#include "cd/DiscToc.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

// One drive of the drive table.
struct DriveRecord {
    uint8_t HostAdapter = 0; // the SCSI address, 0 when the kernel does not give one
    uint8_t Target = 0;
    uint8_t Lun = 0;
    std::string Vendor;   // from the drive's INQUIRY reply, padded as the drive sends
    std::string Product;  // them; empty for a disc image and for a drive that could not
    std::string Revision; // be opened or asked
    std::string VendorSpecific;
    std::string Description; // Vendor + Product + Revision
    std::string Device;      // the device path (/dev/sr0), or the sheet file of a disc image
    bool IsImage = false;    // an added disc image rather than a physical drive
};

constexpr int kMaxDrives = 26;

struct DriveTable {
    uint8_t CurrentDriveIndex = 0; // the drive whose table of contents was read last
    uint8_t Count = 0;
    std::array<DriveRecord, kMaxDrives> Drives{};
};

// The operating-system class that chooses the drive interface. Linux has a value of its own:
// the drives are reached through SG_IO and the kernel's CD-ROM ioctls, which every kernel has.
constexpr int kOsClassLinux = 6;
constexpr int OperatingSystemClass() {
    return kOsClassLinux;
}
// There is no ASPI layer on Linux.
constexpr int AspiHostAdapterCount() {
    return -1;
}
// Whether the drives can be reached at all; always so on Linux.
constexpr bool InterfaceAvailable() {
    return OperatingSystemClass() == kOsClassLinux;
}

// The drive access of the CD database client: finds the CD drives, describes them and reads
// the table of contents of the disc in one, without the CD ripping library. The drives are the
// physical drives in the order libcdio lists them, then the added disc images in the order
// added, as in the CD source, so both agree on drive positions.
class DriveToc {
public:
    // Refills the table, up to kMaxDrives drives; true when it holds any.
    bool EnumerateDrives();

    // Reads the table of contents of drive index (a position in the table) into toc. Returns
    // true on FAILURE: no such drive, no disc, nothing read. A failed read still fills toc as
    // far as the drive answered; with no answer at all, one track and a lead-out at zero times.
    bool ReadToc(int index, DiscToc& toc);

    const DriveTable& Table() const { return table_; }

    // What went wrong during the last EnumerateDrives or ReadToc, for a caller to show or log:
    // drives that could not be opened or asked, a failed read and why, or a read that SCSI
    // commands could not make and the CD-ROM ioctl made instead. Empty when all went well.
    const std::string& Problem() const { return problem_; }

private:
    void AddPhysicalDrive(const char* devicePath);
    bool ReadPhysicalToc(const DriveRecord& drive, DiscToc& toc);
    bool ReadImageToc(const DriveRecord& drive, DiscToc& toc);
    void NoteProblem(const std::string& problem);

    DriveTable table_;
    std::string problem_;
};

} // namespace quillon
