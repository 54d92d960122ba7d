#pragma once

#include "dsp/BlockConverter.h"

namespace quillon {

// Where a mono input's samples go in the stereo output.
enum TMSConverterMode { msmMonoToBoth, msmMonoToLeft, msmMonoToRight };

// Turns 16-bit mono into stereo and 16-bit stereo into mono (the mean of each frame).
class TMSConverter : public TBlockConverter {
public:
    int GetBitsPerSample() override { return 16; }
    int GetChannels() override { return RequireInput().GetChannels() == 1 ? 2 : 1; }
    int GetSampleRate() override { return RequireInput().GetSampleRate(); }

    TMSConverterMode Mode() const { return mode_; }
    void SetMode(TMSConverterMode value) { mode_ = value; }

    // The in-place conversions, for a block of n bytes; they return the converted length.
    static int StereoToMono(uint8_t* data, int n);
    static int MonoToStereo(uint8_t* data, int n, TMSConverterMode mode);

protected:
    int ReadSizeFor(TPcmInput& input) override;
    int64_t ConvertedSize(TPcmInput& input, int64_t inputSize) override;
    int Convert(uint8_t* data, int n) override;

private:
    TMSConverterMode mode_ = msmMonoToBoth;
    bool stereoInput_ = true;
};

} // namespace quillon
