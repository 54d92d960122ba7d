#pragma once

#include "platform/Stream.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// The output side of a file rebuild: buffered writes to the temporary file.
class TagRewriteOutput {
public:
    explicit TagRewriteOutput(int fd) : fd_(fd) {}

    // Raise EStreamError when the disk refuses the data.
    void Write(const void* data, size_t count);
    void Write(const std::vector<uint8_t>& data) { Write(data.data(), data.size()); }
    // Copies the source from its current position to its end.
    void CopyRest(Stream& source);
    // Copies count bytes of the source from position `from`; raises EStreamError when the
    // source ends first.
    void CopyRange(Stream& source, int64_t from, int64_t count);
    void Flush();

private:
    int fd_;
    std::vector<uint8_t> buffer_;
};

// Produces the new content of a file from the original (opened for reading at position 0)
// into the output. Returns false to abandon the rebuild; may also raise.
using TagRewriteProducer = std::function<bool(Stream& original, TagRewriteOutput& output)>;

// Rebuilds a file whose tags change, at its start or its end, through a ReplacementFile: the
// new content is written completely beside the file, synced, and takes the file's place by an
// atomic rename, so the file is never missing and a failure at any step (or a kill) leaves it
// untouched and no temporary file behind. The new file keeps the old one's permissions; a
// symbolic link is followed and the file it points to is rebuilt. The file must be writable
// by the caller and is locked against other writers while it is rebuilt. Never raises.
bool RewriteThroughTempFile(const std::string& fileName, const TagRewriteProducer& produce);

} // namespace quillon
