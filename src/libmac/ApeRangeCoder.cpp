#include "libmac/ApeRangeCoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace quillon {

namespace {

// Cumulative frequencies (out of 2^16) of the overflow symbols 0..20; 21..62 have width 1
// above the last entry, and 63 escapes to a 32-bit overflow.
constexpr uint32_t kOverflowStart[22] = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                         64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                         65485, 65488, 65490, 65491, 65492, 65493};
constexpr uint32_t kEscape = 63;

struct Symbol {
    uint32_t start;
    uint32_t width;
};

// Every overflow symbol with its share of 2^16.
constexpr std::array<Symbol, kEscape + 1> kSymbols = [] {
    std::array<Symbol, kEscape + 1> symbols{};
    for (uint32_t k = 0; k <= kEscape; ++k) {
        symbols[k] = k < 21 ? Symbol{kOverflowStart[k], kOverflowStart[k + 1] - kOverflowStart[k]}
                            : Symbol{65472 + k, 1};
    }
    return symbols;
}();

constexpr uint32_t kBottom = 1u << 23;
// A coding step shifts out at most three bytes (the range never falls below 2^7), stored as
// one four-byte word; a residual takes at most five steps.
constexpr size_t kStepBytes = 3;
constexpr size_t kWordBytes = 4;
constexpr size_t kResidualBytes = 5 * kStepBytes;

// Adds a carry (0 or 1) to the bytes before `end`, on through any 0xFF bytes it turns to 0, but
// not past `first`: the coder's arithmetic never carries that far, and the bytes before it
// are the stream's already.
inline void AddCarry(uint8_t* first, uint8_t* end, uint32_t carry) {
    uint8_t* at = end - 1;
    if (__builtin_add_overflow(*at, static_cast<uint8_t>(carry), at)) [[unlikely]] {
        while (at != first) {
            --at;
            if (++*at != 0) {
                break;
            }
        }
    }
}

// The coder's registers while it codes a run of residuals: a local object, so that the
// compiler keeps them in registers however the bytes it stores might alias.
struct Core {
    uint32_t low;
    uint32_t range;
    uint8_t* out;
    uint8_t* first; // the first byte a carry may change

    // Moves a carry into the bytes written, then shifts out the bytes the range needs to
    // exceed 2^23 again (at most three, as the range is >= 2^7): without branches, as their
    // number hardly repeats, and with comparisons that run side by side.
    void Normalize() {
        AddCarry(first, out, low >> 31);
        low &= 0x7FFFFFFFu;
        const uint32_t bytes =
            (range <= kBottom) + (range <= kBottom >> 8) + (range <= kBottom >> 16);
        const uint32_t top = __builtin_bswap32(low << 1); // bits 30..7, first byte first
        std::memcpy(out, &top, kWordBytes);
        out += bytes;
        low = (low << (8 * bytes)) & 0x7FFFFFFFu;
        range <<= 8 * bytes;
    }
    void EncodeShift16(uint32_t start, uint32_t width) {
        Normalize();
        const uint32_t q = range >> 16;
        low += q * start;
        range = q * width;
    }
    void EncodeTotal(uint32_t start, uint32_t total) {
        Normalize();
        const uint32_t q = range / total;
        low += q * start;
        range = q;
    }

    [[gnu::always_inline]] void EncodeResidual(uint32_t& ksum, int32_t residual) {
        // Positive residuals to odd values (2r - 1, the complement of -2r), the others to even
        // ones (-2r).
        const uint32_t x =
            (0 - 2 * static_cast<uint32_t>(residual)) ^ (residual > 0 ? 0xFFFFFFFFu : 0);
        const uint32_t pivot = std::max(ksum / 32, 1u);
        // In double precision, so that it runs beside the integer division of the range;
        // the quotient of integers below 2^53 is exact after truncation.
        const auto overflow = static_cast<uint32_t>(static_cast<double>(x) / pivot);
        const uint32_t base = x - overflow * pivot;
        ksum += ((x + 1) / 2) - ((ksum + 16) / 32);

        if (overflow < kEscape && pivot < 65536) [[likely]] {
            EncodeShift16(kSymbols[overflow].start, kSymbols[overflow].width);
            EncodeTotal(base, pivot);
        } else {
            EncodeUncommon(overflow, base, pivot);
        }
    }

    // The overflow escape and pivots beyond 16 bits.
    [[gnu::always_inline]] void EncodeUncommon(uint32_t overflow, uint32_t base, uint32_t pivot) {
        if (overflow < kEscape) {
            EncodeShift16(kSymbols[overflow].start, kSymbols[overflow].width);
        } else {
            EncodeShift16(kSymbols[kEscape].start, kSymbols[kEscape].width);
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
};

} // namespace

uint8_t* ApeRangeCoder::Room(size_t bytes) {
    // A carry stops at the last byte that is not 0xFF: the bytes before it are final.
    size_t last = fill_ - 1;
    while (last > 0 && buffer_[last] == 0xFF) {
        --last;
    }
    if (last > 0) {
        out_.Write(buffer_.data(), last);
        std::memmove(buffer_.data(), buffer_.data() + last, fill_ - last);
        fill_ -= last;
    }
    if (buffer_.size() < fill_ + bytes + kWordBytes) {
        buffer_.resize(fill_ + bytes + kWordBytes);
    }
    return buffer_.data() + fill_;
}

void ApeRangeCoder::Start() {
    low_ = 0;
    range_ = 1u << 31;
    // The byte a carry may still change comes first: zero at the start.
    buffer_.resize(std::max<size_t>(buffer_.size(), 1));
    buffer_[0] = 0;
    fill_ = 1;
}

void ApeRangeCoder::Encode(uint32_t& ksum, const int32_t* residuals, int count) {
    uint8_t* out = Room(kResidualBytes * static_cast<size_t>(count));
    Core core{low_, range_, out, buffer_.data()};
    uint32_t k = ksum;
    for (int i = 0; i < count; ++i) {
        core.EncodeResidual(k, residuals[i]);
    }
    ksum = k;
    low_ = core.low;
    range_ = core.range;
    fill_ = static_cast<size_t>(core.out - buffer_.data());
}

void ApeRangeCoder::EncodeAlternating(uint32_t& ksumX, const int32_t* residualsX, uint32_t& ksumY,
                                      const int32_t* residualsY, int count) {
    uint8_t* out = Room(2 * kResidualBytes * static_cast<size_t>(count));
    Core core{low_, range_, out, buffer_.data()};
    uint32_t kx = ksumX;
    uint32_t ky = ksumY;
    for (int i = 0; i < count; ++i) {
        core.EncodeResidual(kx, residualsX[i]);
        core.EncodeResidual(ky, residualsY[i]);
    }
    ksumX = kx;
    ksumY = ky;
    low_ = core.low;
    range_ = core.range;
    fill_ = static_cast<size_t>(core.out - buffer_.data());
}

void ApeRangeCoder::Flush() {
    uint8_t* out = Room(kStepBytes + sizeof(uint32_t));
    Core core{low_, range_, out, buffer_.data()};
    core.Normalize();
    const uint32_t top = (core.low >> 23) + 1;
    AddCarry(core.first, core.out, top >> 8);
    const uint8_t tail[4] = {static_cast<uint8_t>(top), 0, 0, 0};
    std::memcpy(core.out, tail, sizeof tail);
    out_.Write(buffer_.data(), static_cast<size_t>(core.out - buffer_.data()) + sizeof tail);
    fill_ = 0;
}

} // namespace quillon
