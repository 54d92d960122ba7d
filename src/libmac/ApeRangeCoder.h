#pragma once

#include "libmac/ApeWordStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

// The range coder of a Monkey's Audio frame and the adaptive coding of residuals on top of it.
// Coded bytes collect in a buffer of the coder's own, where a carry is added to the bytes
// already written; they go on to the stream once no carry can change them any more (every byte
// before the last one that is not 0xFF).
class ApeRangeCoder {
public:
    explicit ApeRangeCoder(ApeWordStream& out) : out_(out) {}

    // Starts the coded part of a frame.
    void Start();
    // Codes the residuals of a channel whose adaptive state is ksum (16384 at frame start).
    void Encode(uint32_t& ksum, const int32_t* residuals, int count);
    // Codes the residuals of two channels, alternating, the first channel's first.
    void EncodeAlternating(uint32_t& ksumX, const int32_t* residualsX, uint32_t& ksumY,
                           const int32_t* residualsY, int count);
    // Ends the coded part of a frame with the bytes the decoder reads ahead.
    void Flush();

private:
    // Passes the final bytes on and makes room for `bytes` more; returns where they go.
    uint8_t* Room(size_t bytes);

    ApeWordStream& out_;
    std::vector<uint8_t> buffer_;
    size_t fill_ = 0;
    uint32_t low_ = 0;
    uint32_t range_ = 0;
};

} // namespace quillon
