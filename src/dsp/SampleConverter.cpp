#include "dsp/SampleConverter.h"

namespace quillon {

int TSampleConverter::ReadSizeFor(TPcmInput& input) {
    sixteenBitInput_ = input.GetBitsPerSample() == 16;
    return sixteenBitInput_ ? kBufferSize : kBufferSize / 2;
}

int64_t TSampleConverter::ConvertedSize(TPcmInput&, int64_t inputSize) {
    return sixteenBitInput_ ? static_cast<int64_t>(static_cast<uint64_t>(inputSize) >> 1)
                            : inputSize * 2;
}

int TSampleConverter::Convert(uint8_t* data, int n) {
    return sixteenBitInput_ ? SixteenToEight(data, n) : EightToSixteen(data, n);
}

int TSampleConverter::SixteenToEight(uint8_t* data, int n) {
    // The high byte in offset form, front to back; no rounding.
    const int samples = n / 2;
    for (int i = 0; i < samples; ++i) {
        const auto offset = static_cast<uint16_t>(Load16(data + i * 2) + 32768);
        data[i] = static_cast<uint8_t>(offset >> 8);
    }
    return samples;
}

int TSampleConverter::EightToSixteen(uint8_t* data, int n) {
    // Back to front, so that no byte is overwritten before it is read.
    for (int i = n - 1; i >= 0; --i) {
        Store16(data + i * 2, static_cast<int16_t>((data[i] - 128) * 256));
    }
    return n * 2;
}

} // namespace quillon
