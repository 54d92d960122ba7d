#include "cd/ScsiDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon {
namespace {

constexpr size_t kSenseSize = 32;

// The sense key and additional sense code of fixed (0x70, 0x71) or descriptor (0x72, 0x73)
// sense data.
std::string SenseText(const uint8_t* sense, size_t length) {
    if (length < 4) {
        return "";
    }
    const uint8_t format = sense[0] & 0x7F;
    int key = -1, asc = 0, ascq = 0;
    if ((format == 0x70 || format == 0x71) && length >= 14) {
        key = sense[2] & 0x0F;
        asc = sense[12];
        ascq = sense[13];
    } else if (format == 0x72 || format == 0x73) {
        key = sense[1] & 0x0F;
        asc = sense[2];
        ascq = sense[3];
    }
    if (key < 0) {
        return "";
    }
    if (asc == 0x3A) {
        return ", no disc";
    }
    char text[64];
    std::snprintf(text, sizeof text, ", sense key %X, additional sense %02X/%02X", key, asc, ascq);
    return text;
}

} // namespace

ScsiDevice::ScsiDevice(const std::string& path) : path_(path) {
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        openProblem_ = "Cannot open " + path + ": " + std::strerror(errno);
    }
}

ScsiDevice::~ScsiDevice() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

ScsiResult ScsiDevice::Refused(const char* request, int error) const {
    return {false, error, 0, path_ + " refused " + request + ": " + std::strerror(error)};
}

ScsiResult ScsiDevice::Read(std::span<const uint8_t> command, std::span<uint8_t> reply,
                            unsigned timeoutMilliseconds) {
    if (fd_ < 0) {
        return {false, EBADF, 0, openProblem_};
    }
    uint8_t sense[kSenseSize] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = static_cast<unsigned char>(command.size());
    io.cmdp = const_cast<uint8_t*>(command.data());
    io.dxfer_len = static_cast<unsigned>(reply.size());
    io.dxferp = reply.data();
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = timeoutMilliseconds;
    if (ioctl(fd_, SG_IO, &io) < 0) {
        return Refused("the SCSI command", errno);
    }
    const size_t residue = io.resid > 0 ? static_cast<size_t>(io.resid) : 0;
    const size_t received = reply.size() - std::min(residue, reply.size());
    if ((io.info & SG_INFO_OK_MASK) != SG_INFO_OK) {
        char text[96];
        std::snprintf(text, sizeof text,
                      " failed the SCSI command (status %02X, host %04X, driver %04X", io.status,
                      io.host_status, io.driver_status);
        return {false, 0, received, path_ + text + SenseText(sense, io.sb_len_wr) + ")"};
    }
    return {true, 0, received, ""};
}

ScsiResult ScsiDevice::ReadTocThroughIoctl(std::span<uint8_t> reply) {
    if (fd_ < 0) {
        return {false, EBADF, 0, openProblem_};
    }
    constexpr size_t kHeaderSize = 4, kDescriptorSize = 8;
    if (reply.size() < kHeaderSize) {
        return Refused("CDROMREADTOCHDR", EINVAL);
    }
    cdrom_tochdr header{};
    if (ioctl(fd_, CDROMREADTOCHDR, &header) < 0) {
        return Refused("CDROMREADTOCHDR", errno);
    }
    reply[2] = header.cdth_trk0;
    reply[3] = header.cdth_trk1;
    size_t length = kHeaderSize;
    // The tracks and then the lead-out, as long as their descriptors fit.
    for (int track = header.cdth_trk0; length + kDescriptorSize <= reply.size(); ++track) {
        const bool leadOut = track > header.cdth_trk1;
        cdrom_tocentry entry{};
        entry.cdte_track = static_cast<uint8_t>(leadOut ? CDROM_LEADOUT : track);
        entry.cdte_format = CDROM_MSF;
        if (ioctl(fd_, CDROMREADTOCENTRY, &entry) < 0) {
            return Refused("CDROMREADTOCENTRY", errno);
        }
        uint8_t* descriptor = reply.data() + length;
        descriptor[1] = static_cast<uint8_t>(entry.cdte_adr << 4 | entry.cdte_ctrl);
        descriptor[2] = entry.cdte_track;
        descriptor[5] = entry.cdte_addr.msf.minute;
        descriptor[6] = entry.cdte_addr.msf.second;
        descriptor[7] = entry.cdte_addr.msf.frame;
        length += kDescriptorSize;
        if (leadOut) {
            break;
        }
    }
    reply[0] = static_cast<uint8_t>((length - 2) >> 8);
    reply[1] = static_cast<uint8_t>(length - 2);
    return {true, 0, length, ""};
}

bool ScsiDevice::Address(uint8_t& hostAdapter, uint8_t& target, uint8_t& lun) {
    // The kernel packs target, LUN, channel and host number into one int, a byte each.
    struct {
        int devId;
        int hostUniqueId;
    } idLun{};
    if (fd_ < 0 || ioctl(fd_, SCSI_IOCTL_GET_IDLUN, &idLun) < 0) {
        return false;
    }
    const auto id = static_cast<uint32_t>(idLun.devId);
    target = static_cast<uint8_t>(id);
    lun = static_cast<uint8_t>(id >> 8);
    hostAdapter = static_cast<uint8_t>(id >> 24);
    return true;
}

} // namespace quillon
