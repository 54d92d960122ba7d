#pragma once

#include "dsp/BlockConverter.h"

namespace quillon {

// Turns 16-bit samples into unsigned 8-bit ones and 8-bit samples into 16-bit ones.
class TSampleConverter : public TBlockConverter {
public:
    int GetBitsPerSample() override { return RequireInput().GetBitsPerSample() == 16 ? 8 : 16; }
    int GetChannels() override { return RequireInput().GetChannels(); }
    int GetSampleRate() override { return RequireInput().GetSampleRate(); }

    // The in-place conversions, for a block of n bytes; they return the converted length.
    static int SixteenToEight(uint8_t* data, int n);
    static int EightToSixteen(uint8_t* data, int n);

protected:
    int ReadSizeFor(TPcmInput& input) override;
    int64_t ConvertedSize(TPcmInput& input, int64_t inputSize) override;
    int Convert(uint8_t* data, int n) override;

private:
    bool sixteenBitInput_ = true;
};

} // namespace quillon
