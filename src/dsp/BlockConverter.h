#pragma once

#include "core/PcmInput.h"

#include <array>
#include <cstdint>

namespace quillon {

// One signed 16-bit little-endian sample, read and written without alignment assumptions.
inline int16_t Load16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
inline void Store16(uint8_t* p, int16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
}

// A converter that refills a fixed 32 KB buffer from its input, converts the block in place
// and hands it out in the sizes its caller asks for. Subclasses choose the read size and the
// conversion.
class TBlockConverter : public TPcmConverter {
public:
    static constexpr int kBufferSize = 32768;

    int ReadBlock(void* buffer, int bufferSize) override;
    void Init() override;
    void Flush() override;

protected:
    // The input, or "Input not assigned".
    TPcmInput& RequireInput() const;
    // Bytes requested from the input per refill, so that the converted block fits the buffer.
    virtual int ReadSizeFor(TPcmInput& input) = 0;
    // The size of the converted stream for an input of inputSize bytes (not negative).
    virtual int64_t ConvertedSize(TPcmInput& input, int64_t inputSize) = 0;
    // Converts the first n bytes of the buffer in place; returns the converted length.
    virtual int Convert(uint8_t* data, int n) = 0;

private:
    int Refill();

    std::array<uint8_t, kBufferSize> buffer_{};
    int readSize_ = kBufferSize;
    bool endOfInput_ = false;
    int64_t delivered_ = 0;
};

} // namespace quillon
