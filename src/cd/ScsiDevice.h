#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon {

// The outcome of one command sent to a drive.
struct ScsiResult {
    bool Ok = false;
    int Error = 0;       // errno of a refused request; 0 when the drive answered
    size_t Received = 0; // bytes the drive transferred
    std::string Problem; // why it failed, naming the device; empty when Ok
};

// A CD drive's device node, opened read-only and non-blocking (so an empty drive opens too) for
// SCSI commands through SG_IO and for the kernel's CD-ROM ioctls; closed on destruction.
class ScsiDevice {
public:
    explicit ScsiDevice(const std::string& path);
    ~ScsiDevice();
    ScsiDevice(const ScsiDevice&) = delete;
    ScsiDevice& operator=(const ScsiDevice&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Why the device could not be opened; empty when it is open.
    const std::string& OpenProblem() const { return openProblem_; }

    // Sends a command that reads data into reply.
    ScsiResult Read(std::span<const uint8_t> command, std::span<uint8_t> reply,
                    unsigned timeoutMilliseconds);

    // Reads the table of contents through CDROMREADTOCHDR and CDROMREADTOCENTRY (MSF) and
    // writes it into reply laid out as a READ TOC reply, as many descriptors as fit.
    ScsiResult ReadTocThroughIoctl(std::span<uint8_t> reply);

    // The drive's SCSI host adapter, target and LUN; false when the kernel does not say.
    bool Address(uint8_t& hostAdapter, uint8_t& target, uint8_t& lun);

private:
    ScsiResult Refused(const char* request, int error) const;

    std::string path_;
    int fd_ = -1;
    std::string openProblem_;
};

} // namespace quillon
