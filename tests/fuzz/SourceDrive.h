#pragma once

#include "core/PcmFileIn.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::fuzz {

// Feeds an input to a file source as the file `name`: reads it to the end, then again with
// seeks to its middle, past its end and back to its start. The source's own errors
// (EPcmException, EStreamError) are expected; anything else escapes and counts as a crash.
void DriveSource(TPcmFileIn& source, const std::string& name, const uint8_t* data, size_t size);

} // namespace quillon::fuzz
