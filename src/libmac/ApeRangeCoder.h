#pragma once

#include "libmac/ApeWordStream.h"

#include <cstdint>

namespace quillon {

// The range coder of a Monkey's Audio frame and the adaptive coding of residuals on top of it.
// Bytes are final when they reach the stream: a carry is resolved through the one held-back
// byte and the count of pending 0xFF bytes.
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
    void EncodeResidual(uint32_t& ksum, int32_t residual);
    void Normalize() {
        while (range_ <= kBottom) {
            Shift();
        }
    }
    // Moves the top byte of low out: held back while a carry could still change it.
    void Shift();
    void EmitCarry(bool carry);
    // The overflow escapes and pivots beyond 16 bits.
    void EncodeUncommon(uint32_t overflow, uint32_t base, uint32_t pivot);
    void EncodeShift16(uint32_t start, uint32_t width) {
        Normalize();
        const uint32_t q = range_ >> 16;
        low_ += q * start;
        range_ = q * width;
    }
    void EncodeTotal(uint32_t start, uint32_t total) {
        Normalize();
        const uint32_t q = range_ / total;
        low_ += q * start;
        range_ = q;
    }

    static constexpr uint32_t kBottom = 1u << 23;

    ApeWordStream& out_;
    uint32_t low_ = 0;
    uint32_t range_ = 0;
    uint8_t cache_ = 0;
    uint32_t pending_ = 0;
};

} // namespace quillon
