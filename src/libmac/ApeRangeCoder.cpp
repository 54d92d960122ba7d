#include "libmac/ApeRangeCoder.h"

#include <algorithm>
#include <bit>

namespace quillon {

namespace {

// Cumulative frequencies (out of 2^16) of the overflow symbols 0..20; 21..62 have width 1
// above the last entry, and 63 escapes to a 32-bit overflow.
constexpr uint32_t kOverflowStart[22] = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                         64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                         65485, 65488, 65490, 65491, 65492, 65493};
constexpr uint32_t kEscape = 63;

} // namespace

void ApeRangeCoder::Start() {
    low_ = 0;
    range_ = 1u << 31;
    cache_ = 0;
    pending_ = 0;
}

inline void ApeRangeCoder::EncodeResidual(uint32_t& ksum, int32_t residual) {
    const uint32_t x = residual > 0 ? 2 * static_cast<uint32_t>(residual) - 1
                                    : 0 - 2 * static_cast<uint32_t>(residual);
    const uint32_t pivot = std::max(ksum / 32, 1u);
    // In double precision, so that it runs beside the integer division of the range;
    // the quotient of integers below 2^53 is exact after truncation.
    const auto overflow = static_cast<uint32_t>(static_cast<double>(x) / pivot);
    const uint32_t base = x - overflow * pivot;
    ksum += ((x + 1) / 2) - ((ksum + 16) / 32);

    if (overflow < 21) {
        EncodeShift16(kOverflowStart[overflow],
                      kOverflowStart[overflow + 1] - kOverflowStart[overflow]);
    } else if (overflow < kEscape) {
        EncodeShift16(65472 + overflow, 1);
    } else {
        EncodeShift16(65472 + kEscape, 1);
        EncodeShift16(overflow >> 16, 1);
        EncodeShift16(overflow & 0xFFFF, 1);
    }

    if (pivot < 65536) {
        EncodeTotal(base, pivot);
    } else {
        const int bits = std::bit_width(pivot);
        const uint32_t split = 1u << (bits - 16);
        EncodeTotal(base / split, pivot / split + 1);
        EncodeTotal(base % split, split);
    }
}

void ApeRangeCoder::Encode(uint32_t& ksum, const int32_t* residuals, int count) {
    for (int i = 0; i < count; ++i) {
        EncodeResidual(ksum, residuals[i]);
    }
}

void ApeRangeCoder::EncodeAlternating(uint32_t& ksumX, const int32_t* residualsX, uint32_t& ksumY,
                                      const int32_t* residualsY, int count) {
    for (int i = 0; i < count; ++i) {
        EncodeResidual(ksumX, residualsX[i]);
        EncodeResidual(ksumY, residualsY[i]);
    }
}

void ApeRangeCoder::Flush() {
    Normalize();
    const uint32_t top = (low_ >> 23) + 1;
    EmitCarry(top > 255);
    out_.Put(static_cast<uint8_t>(top & 0xFF));
    out_.Put(0);
    out_.Put(0);
    out_.Put(0);
}

} // namespace quillon
