#include "SourceDrive.h"

#include "FuzzInput.h"
#include "core/PcmException.h"
#include "platform/Stream.h"

#include <vector>

namespace quillon::fuzz {

namespace {

// Enough to reach the end of any small input; a source that decodes far more than its input
// justifies stops here rather than running into the time limit.
constexpr int kMaxBlocks = 2048;
constexpr int kBlockSize = 4096;

void ReadOn(TPcmFileIn& source, std::vector<uint8_t>& buffer, int blocks) {
    for (int i = 0; i < blocks; ++i) {
        if (source.ReadBlock(buffer.data(), kBlockSize) <= 0) {
            return;
        }
    }
}

} // namespace

void DriveSource(TPcmFileIn& source, const std::string& name, const uint8_t* data, size_t size) {
    source.SetFileName(WriteInputFile(name, data, size));
    std::vector<uint8_t> buffer(kBlockSize);
    try {
        source.Init();
        ReadOn(source, buffer, kMaxBlocks);
        source.Flush();

        source.Init();
        ReadOn(source, buffer, 1);
        const int64_t total = source.TotalSamples();
        source.SeekSample(total / 2);
        ReadOn(source, buffer, kMaxBlocks);
        source.SeekSample(total + 1000);
        ReadOn(source, buffer, 1);
        source.SeekSample(0);
        ReadOn(source, buffer, 1);
        source.Flush();
    } catch (const EPcmException&) {
    } catch (const EStreamError&) {
    }
    source.Reset();
}

} // namespace quillon::fuzz
