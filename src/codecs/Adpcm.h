#pragma once

#include <cstdint>
#include <span>

namespace quillon {

// State of one channel of an IMA ("DVI") ADPCM stream.
struct TImaChannel {
    int16_t predictor = 0;
    uint8_t stepIndex = 0;
};

// One coefficient pair of a Microsoft ADPCM file, read from its format chunk.
struct TMsAdpcmCoef {
    int16_t coef1 = 0;
    int16_t coef2 = 0;
};

// Decodes one 4-bit code and returns the new sample. The predictor stays within
// -32767 ... 32767.
int16_t ImaDecodeNibble(TImaChannel& channel, unsigned nibble);
// Encodes one sample against the channel's predictor and returns its 4-bit code; the channel
// moves on exactly as the decoder will.
unsigned ImaEncodeSample(TImaChannel& channel, int sample);

// Sample frames in one IMA block of the given size, or 0 when the size cannot hold a block for
// that channel count (1 or 2 channels; stereo data comes in 8-byte groups).
int ImaFramesPerBlock(int blockAlign, int channels);
// Decodes one IMA block into interleaved 16-bit little-endian PCM at out, which must hold
// ImaFramesPerBlock() frames; returns the frame count.
int ImaDecodeBlock(const uint8_t* block, int blockAlign, int channels, uint8_t* out);
// Encodes ImaFramesPerBlock() frames of interleaved 16-bit samples into one block. The first
// frame becomes the block's predictors; the step indexes carry over in state.
void ImaEncodeBlock(const int16_t* pcm, int channels, TImaChannel* state, uint8_t* block,
                    int blockSize);

// The largest samples-per-block value a Microsoft ADPCM block of this size holds, or 0 when
// the size is too small (1 or 2 channels).
int MsAdpcmMaxFramesPerBlock(int blockAlign, int channels);
// Decodes one Microsoft ADPCM block into interleaved 16-bit little-endian PCM at out; returns
// the frame count, or -1 when a predictor index names no coefficient pair.
int MsAdpcmDecodeBlock(const uint8_t* block, int blockAlign, int channels, int samplesPerBlock,
                       std::span<const TMsAdpcmCoef> coefs, uint8_t* out);

} // namespace quillon
