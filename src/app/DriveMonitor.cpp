#include "app/DriveMonitor.h"

namespace quillon {

TDriveMonitor::TDriveMonitor(QObject* parent) : QObject(parent) {}

TDriveMonitor::~TDriveMonitor() = default;

} // namespace quillon
