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
    void Shift() {
        if (low_ < 0x7F800000u) {
            EmitCarry(false);
            cache_ = static_cast<uint8_t>(low_ >> 23);
        } else if (low_ >= 0x80000000u) {
            EmitCarry(true);
            cache_ = static_cast<uint8_t>(low_ >> 23);
        } else {
            ++pending_;
        }
        low_ = (low_ << 8) & 0x7FFFFFFFu;
        range_ <<= 8;
    }
    void EmitCarry(bool carry) {
        out_.Put(static_cast<uint8_t>(cache_ + (carry ? 1 : 0)));
        for (; pending_ > 0; --pending_) {
            out_.Put(carry ? 0x00 : 0xFF);
        }
    }
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
