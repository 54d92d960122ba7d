#pragma once

#include <cstdint>

namespace quillon {

// Reading one little-endian PCM sample of 1 to 4 bytes. 8-bit samples are unsigned (128 is
// silence); wider ones are signed.

// The sample as a signed, right-aligned integer of its own width.
inline int32_t SampleValue(const uint8_t* p, int bytesPerSample) {
    switch (bytesPerSample) {
    case 1:
        return static_cast<int32_t>(p[0]) - 128;
    case 2:
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    case 3: {
        const uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                           (static_cast<uint32_t>(p[2]) << 16);
        return static_cast<int32_t>(v << 8) >> 8;
    }
    default:
        return static_cast<int32_t>(
            static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
            (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
    }
}

// The sample scaled to the 16-bit range (wider samples keep their top 16 bits).
inline int16_t SampleAs16(const uint8_t* p, int bytesPerSample) {
    if (bytesPerSample == 1) {
        return static_cast<int16_t>((static_cast<int32_t>(p[0]) - 128) * 256);
    }
    return static_cast<int16_t>(
        static_cast<uint16_t>(p[bytesPerSample - 2] | (p[bytesPerSample - 1] << 8)));
}

// The sample scaled to -1 .. 1.
inline float SampleAsFloat(const uint8_t* p, int bytesPerSample) {
    constexpr float kScale[] = {1.0f / 128, 1.0f / 32768, 1.0f / 8388608, 1.0f / 2147483648.0f};
    return static_cast<float>(SampleValue(p, bytesPerSample)) * kScale[bytesPerSample - 1];
}

} // namespace quillon
