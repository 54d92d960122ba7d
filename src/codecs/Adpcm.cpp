#include "codecs/Adpcm.h"

#include <algorithm>
#include <array>
#include <climits>

namespace quillon {

namespace {

constexpr std::array<int, 89> kImaStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int, 16> kImaIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::array<int, 16> kMsAdaptationTable = {230, 230, 230, 230, 307, 409, 512, 614,
                                                    768, 614, 512, 409, 307, 230, 230, 230};

constexpr int kImaMaxIndex = static_cast<int>(kImaStepTable.size()) - 1;
// Keeps delta × adaptation within int; no real stream comes near it.
constexpr int kMsMaxDelta = INT_MAX / 768;

int16_t GetLE16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

void PutLE16(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

struct MsChannel {
    int predictorIndex = 0;
    int delta = 0;
    int sample1 = 0;
    int sample2 = 0;
};

int MsDecodeNibble(MsChannel& channel, const TMsAdpcmCoef& coef, unsigned nibble) {
    const int signedNibble = nibble >= 8 ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble);
    // Integer division truncates toward zero, as the format's reference decoder does.
    const int64_t predicted = (static_cast<int64_t>(channel.sample1) * coef.coef1 +
                               static_cast<int64_t>(channel.sample2) * coef.coef2) /
                              256;
    const int64_t value = std::clamp<int64_t>(
        predicted + static_cast<int64_t>(signedNibble) * channel.delta, -32768, 32767);
    channel.delta = std::min(channel.delta * kMsAdaptationTable[nibble] / 256, kMsMaxDelta);
    if (channel.delta < 16) {
        channel.delta = 16;
    }
    channel.sample2 = channel.sample1;
    channel.sample1 = static_cast<int>(value);
    return channel.sample1;
}

} // namespace

int16_t ImaDecodeNibble(TImaChannel& channel, unsigned nibble) {
    const int step = kImaStepTable[std::min<int>(channel.stepIndex, kImaMaxIndex)];
    int diff = step >> 3;
    if (nibble & 4) {
        diff += step;
    }
    if (nibble & 2) {
        diff += step >> 1;
    }
    if (nibble & 1) {
        diff += step >> 2;
    }
    const int predictor = (nibble & 8) ? channel.predictor - diff : channel.predictor + diff;
    channel.predictor = static_cast<int16_t>(std::clamp(predictor, -32767, 32767));
    channel.stepIndex = static_cast<uint8_t>(
        std::clamp(channel.stepIndex + kImaIndexTable[nibble & 15], 0, kImaMaxIndex));
    return channel.predictor;
}

unsigned ImaEncodeSample(TImaChannel& channel, int sample) {
    const int step = kImaStepTable[std::min<int>(channel.stepIndex, kImaMaxIndex)];
    int diff = sample - channel.predictor;
    unsigned code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= step >> 1) {
        code |= 2;
        diff -= step >> 1;
    }
    if (diff >= step >> 2) {
        code |= 1;
    }
    ImaDecodeNibble(channel, code);
    return code;
}

int ImaFramesPerBlock(int blockAlign, int channels) {
    if (channels == 1 && blockAlign > 4) {
        return 2 * (blockAlign - 4) + 1;
    }
    if (channels == 2 && blockAlign > 8 && blockAlign % 8 == 0) {
        return blockAlign - 7;
    }
    return 0;
}

int ImaDecodeBlock(const uint8_t* block, int blockAlign, int channels, uint8_t* out) {
    const int frames = ImaFramesPerBlock(blockAlign, channels);
    if (frames == 0) {
        return 0;
    }
    TImaChannel state[2];
    for (int c = 0; c < channels; ++c) {
        const uint8_t* header = block + 4 * c;
        state[c].predictor = GetLE16(header);
        // An index beyond the table would read outside it; the nearest valid step is used.
        state[c].stepIndex = std::min<uint8_t>(header[2], kImaMaxIndex);
        PutLE16(out + 2 * c, state[c].predictor);
    }
    const uint8_t* data = block + 4 * channels;
    if (channels == 1) {
        for (int k = 0; k < frames - 1; ++k) {
            const unsigned nibble = (data[k / 2] >> ((k % 2) * 4)) & 15;
            PutLE16(out + 2 * (k + 1), ImaDecodeNibble(state[0], nibble));
        }
        return frames;
    }
    for (int k = 0; k < frames - 1; ++k) {
        const int byteOffset = 8 * (k / 8) + (k % 8) / 2;
        const int shift = (k % 2) * 4;
        for (int c = 0; c < 2; ++c) {
            const unsigned nibble = (data[byteOffset + 4 * c] >> shift) & 15;
            PutLE16(out + 4 * (k + 1) + 2 * c, ImaDecodeNibble(state[c], nibble));
        }
    }
    return frames;
}

void ImaEncodeBlock(const int16_t* pcm, int channels, TImaChannel* state, uint8_t* block,
                    int blockSize) {
    const int frames = ImaFramesPerBlock(blockSize, channels);
    std::fill(block, block + blockSize, uint8_t{0});
    if (frames == 0) {
        return;
    }
    for (int c = 0; c < channels; ++c) {
        state[c].predictor = pcm[c];
        uint8_t* header = block + 4 * c;
        PutLE16(header, state[c].predictor);
        header[2] = state[c].stepIndex;
    }
    uint8_t* data = block + 4 * channels;
    for (int k = 0; k < frames - 1; ++k) {
        const int shift = (k % 2) * 4;
        const int byteOffset = channels == 1 ? k / 2 : 8 * (k / 8) + (k % 8) / 2;
        for (int c = 0; c < channels; ++c) {
            const unsigned code = ImaEncodeSample(state[c], pcm[(k + 1) * channels + c]);
            data[byteOffset + 4 * c] |= static_cast<uint8_t>(code << shift);
        }
    }
}

int MsAdpcmMaxFramesPerBlock(int blockAlign, int channels) {
    if ((channels != 1 && channels != 2) || blockAlign < 7 * channels) {
        return 0;
    }
    return (blockAlign - 7 * channels) * 2 / channels + 2;
}

int MsAdpcmDecodeBlock(const uint8_t* block, int blockAlign, int channels, int samplesPerBlock,
                       std::span<const TMsAdpcmCoef> coefs, uint8_t* out) {
    if (samplesPerBlock < 2 || samplesPerBlock > MsAdpcmMaxFramesPerBlock(blockAlign, channels)) {
        return -1;
    }
    MsChannel state[2];
    for (int c = 0; c < channels; ++c) {
        state[c].predictorIndex = block[c];
        if (state[c].predictorIndex >= static_cast<int>(coefs.size())) {
            return -1;
        }
        state[c].delta = GetLE16(block + channels + 2 * c);
        state[c].sample1 = GetLE16(block + 3 * channels + 2 * c);
        state[c].sample2 = GetLE16(block + 5 * channels + 2 * c);
        PutLE16(out + 2 * c, state[c].sample2);
        PutLE16(out + 2 * (channels + c), state[c].sample1);
    }
    const uint8_t* data = block + 7 * channels;
    uint8_t* sample = out + 4 * channels;
    if (channels == 1) {
        const TMsAdpcmCoef& coef = coefs[state[0].predictorIndex];
        const int bytes = (samplesPerBlock - 2) / 2;
        for (int i = 0; i < bytes; ++i) {
            PutLE16(sample, MsDecodeNibble(state[0], coef, data[i] >> 4));
            PutLE16(sample + 2, MsDecodeNibble(state[0], coef, data[i] & 15));
            sample += 4;
        }
        return 2 + 2 * bytes;
    }
    const TMsAdpcmCoef& left = coefs[state[0].predictorIndex];
    const TMsAdpcmCoef& right = coefs[state[1].predictorIndex];
    for (int i = 0; i < samplesPerBlock - 2; ++i) {
        PutLE16(sample, MsDecodeNibble(state[0], left, data[i] >> 4));
        PutLE16(sample + 2, MsDecodeNibble(state[1], right, data[i] & 15));
        sample += 4;
    }
    return samplesPerBlock;
}

} // namespace quillon
