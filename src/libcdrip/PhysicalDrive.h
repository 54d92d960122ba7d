#pragma once

#include "libcdrip/CDRip.h"

#include <string>
#include <vector>

namespace quillon {

// The physical drives as libcdio's device driver sees them, each opened afresh for a query so
// that a changed disc is noticed.
std::vector<std::string> PhysicalDrives();
bool PhysicalDiscPresent(const std::string& device);
// The table of contents with the lead-out as its last entry; false when no disc can be read.
bool ReadPhysicalToc(const std::string& device, std::vector<CR_TocEntry>& toc);
// "Vendor Model Revision", or the device path when the drive does not tell.
std::string PhysicalDriveName(const std::string& device);
bool EjectPhysical(const std::string& device, bool open);

} // namespace quillon
