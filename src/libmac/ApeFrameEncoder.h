#pragma once

#include "libmac/ApePredictor.h"
#include "libmac/ApeRangeCoder.h"
#include "libmac/ApeWordStream.h"

#include <cstdint>
#include <vector>

namespace quillon {

// Codes the frames of a Monkey's Audio file into its frame stream: per frame the CRC word, the
// special codes of silent and pseudo-stereo frames, and the range-coded residuals of the
// channels (stereo as difference and mid values). Every state starts afresh with each frame.
class ApeFrameEncoder {
public:
    ApeFrameEncoder(int compressionLevel, int channels, ApeWordStream& out);

    // Codes one frame of `blocks` samples per channel (first0 and, for stereo, first1), whose
    // PCM bytes as a WAV file stores them have the CRC-32 `crc`. Overwrites the samples.
    void Encode(int32_t* first0, int32_t* first1, int blocks, uint32_t crc);

private:
    void EncodeMono(const int32_t* samples, int blocks);
    void EncodeStereo(int32_t* first0, int32_t* first1, int blocks);
    void PutWord(uint32_t word);

    int level_;
    int channels_;
    ApeWordStream& out_;
    ApeRangeCoder coder_;
    ApePredictor predictorX_; // mono, or the difference of stereo
    ApePredictor predictorY_; // the mid value of stereo
    std::vector<int32_t> cross_;
    std::vector<int32_t> residualX_;
    std::vector<int32_t> residualY_;
};

} // namespace quillon
