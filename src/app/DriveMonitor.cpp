#include "app/DriveMonitor.h"

#include <QSocketNotifier>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <libudev.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon {

namespace {

// udev's control socket exists only where udevd runs; elsewhere (containers) no events come.
constexpr const char* kUdevControl = "/run/udev/control";

std::string Property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? value : "";
}

bool IsCdDrive(udev_device* device) {
    const char* name = udev_device_get_sysname(device);
    return Property(device, "ID_CDROM") == "1" ||
           (name != nullptr && std::strncmp(name, "sr", 2) == 0);
}

std::string DeviceKey(udev_device* device) {
    const char* node = udev_device_get_devnode(device);
    const char* path = udev_device_get_syspath(device);
    return node != nullptr ? node : (path != nullptr ? path : "");
}

} // namespace

struct TDriveMonitor::Udev {
    ~Udev() {
        notifier.reset();
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        if (context != nullptr) {
            udev_unref(context);
        }
    }

    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
};

TDriveMonitor::TDriveMonitor(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleDelay);
    connect(&settle_, &QTimer::timeout, this, &TDriveMonitor::DrivesChanged);
    if (access(kUdevControl, F_OK) == 0 && StartUdev()) {
        return;
    }
    probe_ = &TDriveMonitor::ProbeDrives;
    StartPolling(kPollInterval);
}

TDriveMonitor::TDriveMonitor(std::function<DriveStates()> probe, int pollInterval, int settleDelay,
                             QObject* parent)
    : QObject(parent), probe_(std::move(probe)) {
    settle_.setSingleShot(true);
    settle_.setInterval(settleDelay);
    connect(&settle_, &QTimer::timeout, this, &TDriveMonitor::DrivesChanged);
    StartPolling(pollInterval);
}

TDriveMonitor::~TDriveMonitor() = default;

bool TDriveMonitor::StartUdev() {
    auto state = std::make_unique<Udev>();
    state->context = udev_new();
    if (state->context == nullptr) {
        return false;
    }
    state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
    if (state->monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(state->monitor, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(state->monitor) < 0) {
        return false;
    }
    const int fd = udev_monitor_get_fd(state->monitor);
    if (fd < 0) {
        return false;
    }
    // The media each drive holds now, so that the first change event is compared with it.
    if (udev_enumerate* enumerate = udev_enumerate_new(state->context)) {
        udev_enumerate_add_match_subsystem(enumerate, "block");
        udev_enumerate_add_match_property(enumerate, "ID_CDROM", "1");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
            udev_device* device =
                udev_device_new_from_syspath(state->context, udev_list_entry_get_name(entry));
            if (device != nullptr) {
                media_[DeviceKey(device)] = Property(device, "ID_CDROM_MEDIA");
                udev_device_unref(device);
            }
        }
        udev_enumerate_unref(enumerate);
    }
    state->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(state->notifier.get(), &QSocketNotifier::activated, this,
            &TDriveMonitor::ReadUdevEvents);
    udev_ = std::move(state);
    return true;
}

void TDriveMonitor::StartPolling(int pollInterval) {
    last_ = probe_();
    if (pollInterval > 0) {
        poll_.setInterval(pollInterval);
        connect(&poll_, &QTimer::timeout, this, &TDriveMonitor::Poll);
        poll_.start();
    }
}

void TDriveMonitor::ReadUdevEvents() {
    // The monitor's socket does not block: this reads what has arrived and no more.
    while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
        if (IsCdDrive(device)) {
            const std::string action =
                udev_device_get_action(device) != nullptr ? udev_device_get_action(device) : "";
            const std::string key = DeviceKey(device);
            if (action == "add" || action == "remove") {
                media_.erase(key);
                if (action == "add") {
                    media_[key] = Property(device, "ID_CDROM_MEDIA");
                }
                Changed();
            } else if (action == "change") {
                const std::string media = Property(device, "ID_CDROM_MEDIA");
                const auto known = media_.find(key);
                const bool mediaChanged = known == media_.end() || known->second != media;
                media_[key] = media;
                if (Property(device, "DISK_MEDIA_CHANGE") == "1" || mediaChanged) {
                    Changed();
                }
            }
        }
        udev_device_unref(device);
    }
}

void TDriveMonitor::Poll() {
    DriveStates now = probe_();
    if (now != last_) {
        last_ = std::move(now);
        Changed();
    }
}

void TDriveMonitor::Changed() {
    settle_.start();
}

DriveStates TDriveMonitor::ProbeDrives() {
    DriveStates drives;
    glob_t found{};
    if (glob("/dev/sr[0-9]*", 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            DriveState drive{found.gl_pathv[i], -1};
            // Non-blocking: the kernel neither waits for a disc nor locks the tray for this.
            const int fd = open(found.gl_pathv[i], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                drive.Status = ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
                close(fd);
            }
            drives.push_back(std::move(drive));
        }
    }
    globfree(&found);
    return drives;
}

} // namespace quillon
