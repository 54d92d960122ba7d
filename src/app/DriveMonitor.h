#pragma once

#include <QObject>

namespace quillon {

// Watches for CD drives and discs that appear or disappear (udev's block subsystem where udev
// runs, a light poll of the drives' media state where it does not) and signals DrivesChanged
// 1000 ms after such a change, once for a burst of changes.
class TDriveMonitor : public QObject {
    Q_OBJECT
public:
    explicit TDriveMonitor(QObject* parent = nullptr);
    ~TDriveMonitor() override;

signals:
    void DrivesChanged();
};

} // namespace quillon
