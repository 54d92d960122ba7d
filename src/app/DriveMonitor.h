#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// A CD drive as the poll sees it: its device and what CDROM_DRIVE_STATUS answered (no disc,
// tray open, not ready, disc present), -1 when it could not be asked.
struct DriveState {
    std::string Device;
    int Status = -1;
    bool operator==(const DriveState&) const = default;
};
using DriveStates = std::vector<DriveState>;

// Watches for CD drives and discs that appear or disappear (udev's block subsystem where udev
// runs, a light poll of the drives' media state where it does not) and signals DrivesChanged
// 1000 ms after such a change, once for a burst of changes.
class TDriveMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kSettleDelay = 1000;
    static constexpr int kPollInterval = 2000;

    explicit TDriveMonitor(QObject* parent = nullptr);
    // Polls probe instead of the system's drives: every pollInterval ms, or only when Poll is
    // called when pollInterval is 0; signals settleDelay ms after the last difference.
    TDriveMonitor(std::function<DriveStates()> probe, int pollInterval, int settleDelay,
                  QObject* parent = nullptr);
    ~TDriveMonitor() override;

    // The /dev/sr* drives and their media state, asked without spinning a disc up or locking a
    // tray (the devices are opened non-blocking, as for a status query only).
    static DriveStates ProbeDrives();
    // Reads the drives and compares them with the last reading; a difference (re)starts the
    // settle delay.
    void Poll();
    // True when udev reports the changes, false when the drives are polled.
    bool UsesUdev() const { return udev_ != nullptr; }

signals:
    void DrivesChanged();

private:
    struct Udev;

    bool StartUdev();
    void StartPolling(int pollInterval);
    void ReadUdevEvents();
    // A change seen: DrivesChanged follows once the changes have stopped for the settle delay.
    void Changed();

    std::unique_ptr<Udev> udev_;
    std::function<DriveStates()> probe_;
    DriveStates last_;
    // The media each CD drive reported last (udev's ID_CDROM_MEDIA), to tell media changes
    // from other change events.
    std::map<std::string, std::string> media_;
    QTimer poll_;
    QTimer settle_;
};

} // namespace quillon
