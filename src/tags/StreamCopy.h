#pragma once

#include "platform/Stream.h"
#include "tags/TagFileRewrite.h"

#include <cstdint>

namespace quillon {

// Copies `count` bytes of the source from `from` into a rebuilt file; false when the source
// ends early.
bool CopyStreamRange(Stream& source, int64_t from, int64_t count, TagRewriteOutput& output);

} // namespace quillon
