#include "cd/DriveToc.h"

#include "cd/AddedImages.h"
#include "cd/DriveReplies.h"
#include "cd/ScsiDevice.h"
#include "libcdrip/DiscImage.h"

#include <algorithm>
#include <cdio/device.h>
#include <memory>

namespace quillon {
namespace {

constexpr unsigned kCommandTimeoutMilliseconds = 5000;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kReadToc = 0x43;
constexpr uint8_t kMsfBit = 0x02;
constexpr int32_t kLeadInSectors = 150;
constexpr int kMaxTracks = 99;

struct DeviceListFree {
    void operator()(char** list) const { cdio_free_device_list(list); }
};
using DeviceList = std::unique_ptr<char*, DeviceListFree>;

using TocReply = std::array<uint8_t, kTocReplySize>;

// Writes READ TOC descriptor index for a track starting at an absolute sector (lead-in
// included); addresses beyond what MSF bytes hold saturate.
void PutDescriptor(TocReply& reply, int index, int track, bool audio, int32_t sector) {
    constexpr int32_t kSectorsPerMinute = 60 * 75;
    sector = std::clamp<int32_t>(sector, 0, 256 * kSectorsPerMinute - 1);
    uint8_t* descriptor = reply.data() + 4 + 8 * index;
    descriptor[1] = audio ? 0x10 : 0x14; // ADR 1 (position), data bit for data tracks
    descriptor[2] = static_cast<uint8_t>(track);
    descriptor[5] = static_cast<uint8_t>(sector / kSectorsPerMinute);
    descriptor[6] = static_cast<uint8_t>(sector / 75 % 60);
    descriptor[7] = static_cast<uint8_t>(sector % 75);
}

// The table of contents of a disc image, laid out as the reply of a drive holding that disc.
TocReply ImageTocReply(const DiscImage& image) {
    TocReply reply{};
    const auto& tracks = image.Tracks();
    const int count = static_cast<int>(std::min<size_t>(tracks.size(), kMaxTracks));
    if (count == 0) {
        return reply;
    }
    const int first = tracks.front().Number;
    for (int i = 0; i < count; ++i) {
        const DiscImageTrack& track = tracks[static_cast<size_t>(i)];
        PutDescriptor(reply, i, first + i, track.Audio, track.StartSector + kLeadInSectors);
    }
    PutDescriptor(reply, count, 0xAA, false, image.LeadOutSector() + kLeadInSectors);
    const int length = 2 + 8 * (count + 1);
    reply[0] = static_cast<uint8_t>(length >> 8);
    reply[1] = static_cast<uint8_t>(length);
    reply[2] = static_cast<uint8_t>(first);
    reply[3] = static_cast<uint8_t>(first + count - 1);
    return reply;
}

} // namespace

void DriveToc::NoteProblem(const std::string& problem) {
    if (!problem.empty()) {
        problem_ += (problem_.empty() ? "" : "; ") + problem;
    }
}

bool DriveToc::EnumerateDrives() {
    table_ = DriveTable{};
    problem_.clear();
    // libcdio answers NULL, not an empty list, when there is no drive.
    const DeviceList devices(cdio_get_devices(DRIVER_DEVICE));
    for (char** device = devices.get(); device && *device && table_.Count < kMaxDrives; ++device) {
        AddPhysicalDrive(*device);
    }
    for (const std::string& sheet : AddedDiscImages()) {
        if (table_.Count == kMaxDrives) {
            break;
        }
        DriveRecord& drive = table_.Drives[table_.Count++];
        drive.Device = sheet;
        drive.IsImage = true;
    }
    return table_.Count > 0;
}

void DriveToc::AddPhysicalDrive(const char* devicePath) {
    DriveRecord& drive = table_.Drives[table_.Count++];
    drive.Device = devicePath;
    ScsiDevice device(drive.Device);
    std::array<uint8_t, kInquiryReplySize> reply{};
    const uint8_t inquiry[6] = {kInquiry, 0, 0, 0, kInquiryReplySize, 0};
    const ScsiResult result = device.Read(inquiry, reply, kCommandTimeoutMilliseconds);
    if (!result.Ok) {
        NoteProblem(result.Problem);
        return;
    }
    const InquiryStrings strings = ParseInquiryReply(std::span(reply).first(result.Received));
    drive.Vendor = strings.Vendor;
    drive.Product = strings.Product;
    drive.Revision = strings.Revision;
    drive.VendorSpecific = strings.VendorSpecific;
    drive.Description = drive.Vendor + drive.Product + drive.Revision;
    device.Address(drive.HostAdapter, drive.Target, drive.Lun);
}

bool DriveToc::ReadToc(int index, DiscToc& toc) {
    problem_.clear();
    if (index < 0 || index >= table_.Count) {
        problem_ = "There is no drive " + std::to_string(index);
        return ConvertTocReply(TocReply{}, toc);
    }
    table_.CurrentDriveIndex = static_cast<uint8_t>(index);
    const DriveRecord& drive = table_.Drives[static_cast<size_t>(index)];
    const bool failed = drive.IsImage ? ReadImageToc(drive, toc) : ReadPhysicalToc(drive, toc);
    if (failed && problem_.empty()) {
        problem_ = "No table of contents could be read from " + drive.Device;
    }
    return failed;
}

bool DriveToc::ReadPhysicalToc(const DriveRecord& drive, DiscToc& toc) {
    ScsiDevice device(drive.Device);
    TocReply reply{};
    if (!device.IsOpen()) {
        NoteProblem(device.OpenProblem());
        return ConvertTocReply(reply, toc);
    }
    const uint8_t readToc[10] = {
        kReadToc, kMsfBit, 0, 0, 0, 0, 0, kTocReplySize >> 8, kTocReplySize & 0xFF, 0};
    const ScsiResult result = device.Read(readToc, reply, kCommandTimeoutMilliseconds);
    if (!result.Ok) {
        // Where the drive refuses or fails SCSI commands, the kernel's own table-of-contents
        // request may still answer.
        NoteProblem(result.Problem);
        reply.fill(0);
        const ScsiResult fallback = device.ReadTocThroughIoctl(reply);
        if (fallback.Ok) {
            NoteProblem("read through the CD-ROM ioctl instead");
        } else {
            reply.fill(0);
            NoteProblem(fallback.Problem);
        }
    }
    return ConvertTocReply(reply, toc);
}

bool DriveToc::ReadImageToc(const DriveRecord& drive, DiscToc& toc) {
    std::string problem;
    const std::unique_ptr<DiscImage> image = DiscImage::Open(drive.Device, problem);
    if (!image) {
        NoteProblem(problem);
        return ConvertTocReply(TocReply{}, toc);
    }
    return ConvertTocReply(ImageTocReply(*image), toc);
}

} // namespace quillon
