#include "tags/StreamCopy.h"

#include <algorithm>
#include <vector>

namespace quillon {

bool CopyStreamRange(Stream& source, int64_t from, int64_t count, TagRewriteOutput& output) {
    source.SetPosition(from);
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
    while (count > 0) {
        const size_t n =
            source.Read(chunk.data(), static_cast<size_t>(std::min<int64_t>(count, chunk.size())));
        if (n == 0) {
            return false;
        }
        output.Write(chunk.data(), n);
        count -= static_cast<int64_t>(n);
    }
    return true;
}

} // namespace quillon
