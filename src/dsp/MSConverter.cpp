#include "dsp/MSConverter.h"

namespace quillon {

int TMSConverter::ReadSizeFor(TPcmInput& input) {
    stereoInput_ = input.GetChannels() == 2;
    return stereoInput_ ? kBufferSize : kBufferSize / 2;
}

int64_t TMSConverter::ConvertedSize(TPcmInput&, int64_t inputSize) {
    return stereoInput_ ? static_cast<int64_t>(static_cast<uint64_t>(inputSize) >> 1)
                        : inputSize * 2;
}

int TMSConverter::Convert(uint8_t* data, int n) {
    return stereoInput_ ? StereoToMono(data, n) : MonoToStereo(data, n, mode_);
}

int TMSConverter::StereoToMono(uint8_t* data, int n) {
    // Front to back: each output sample lands at or before the frame it comes from.
    const int frames = n / 4;
    for (int i = 0; i < frames; ++i) {
        const int32_t first = Load16(data + i * 4);
        const int32_t second = Load16(data + i * 4 + 2);
        Store16(data + i * 2, static_cast<int16_t>((first + second) / 2));
    }
    return frames * 2;
}

int TMSConverter::MonoToStereo(uint8_t* data, int n, TMSConverterMode mode) {
    // Back to front, so that no sample is overwritten before it is read. A trailing odd byte
    // is half a sample and is dropped rather than shifting the channels of everything after.
    const int samples = n / 2;
    for (int i = samples - 1; i >= 0; --i) {
        const int16_t s = Load16(data + i * 2);
        Store16(data + i * 4, mode == msmMonoToLeft ? int16_t{0} : s);
        Store16(data + i * 4 + 2, mode == msmMonoToRight ? int16_t{0} : s);
    }
    return samples * 4;
}

} // namespace quillon
