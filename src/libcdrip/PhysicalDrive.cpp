#include "libcdrip/PhysicalDrive.h"

#include <cdio/cdio.h>
#include <memory>

namespace quillon {

namespace {

struct CdioClose {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using Device = std::unique_ptr<CdIo_t, CdioClose>;

Device OpenDevice(const std::string& device) {
    return Device(cdio_open(device.c_str(), DRIVER_DEVICE));
}

std::string Trimmed(const char* text) {
    std::string out(text);
    while (!out.empty() && (out.back() == ' ' || out.back() == '\0')) {
        out.pop_back();
    }
    return out;
}

} // namespace

std::vector<std::string> PhysicalDrives() {
    std::vector<std::string> drives;
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    if (devices == nullptr) {
        return drives;
    }
    for (char** device = devices; *device != nullptr; ++device) {
        drives.emplace_back(*device);
    }
    cdio_free_device_list(devices);
    return drives;
}

bool PhysicalDiscPresent(const std::string& device) {
    const Device cdio = OpenDevice(device);
    return cdio && cdio_get_first_track_num(cdio.get()) != CDIO_INVALID_TRACK;
}

bool ReadPhysicalToc(const std::string& device, std::vector<CR_TocEntry>& toc) {
    toc.clear();
    const Device cdio = OpenDevice(device);
    if (!cdio) {
        return false;
    }
    const track_t first = cdio_get_first_track_num(cdio.get());
    const track_t count = cdio_get_num_tracks(cdio.get());
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        return false;
    }
    for (track_t track = first; track < first + count; ++track) {
        const bool audio = cdio_get_track_format(cdio.get(), track) == TRACK_FORMAT_AUDIO;
        toc.push_back({cdio_get_track_lsn(cdio.get(), track),
                       static_cast<uint8_t>(audio ? 0x10 : 0x14), static_cast<uint8_t>(track)});
    }
    const lsn_t leadOut = cdio_get_track_lsn(cdio.get(), CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN) {
        toc.clear();
        return false;
    }
    toc.push_back({leadOut, 0x10, CDIO_CDROM_LEADOUT_TRACK});
    return true;
}

std::string PhysicalDriveName(const std::string& device) {
    const Device cdio = OpenDevice(device);
    cdio_hwinfo_t info{};
    if (!cdio || !cdio_get_hwinfo(cdio.get(), &info)) {
        return device;
    }
    std::string name = Trimmed(info.psz_vendor);
    for (const char* part : {info.psz_model, info.psz_revision}) {
        const std::string text = Trimmed(part);
        if (!text.empty()) {
            name += (name.empty() ? "" : " ") + text;
        }
    }
    return name.empty() ? device : name;
}

bool EjectPhysical(const std::string& device, bool open) {
    if (open) {
        return cdio_eject_media_drive(device.c_str()) == DRIVER_OP_SUCCESS;
    }
    return cdio_close_tray(device.c_str(), nullptr) == DRIVER_OP_SUCCESS;
}

} // namespace quillon
