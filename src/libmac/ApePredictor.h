#pragma once

#include "libmac/ApeNNFilter.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillon {

// The prediction of one coded channel of a Monkey's Audio frame, in the encoder's direction:
// a first-order fixed filter, an adaptive stage that also sees a second (cross-channel) input,
// then the level's neural-network filters, largest first. What comes out are the residuals the
// entropy coder writes.
class ApePredictor {
public:
    // The values of one channel, with the cross-channel input of the same instants (nullptr:
    // none, as for mono), and where its residuals go.
    struct Channel {
        const int32_t* own;
        const int32_t* cross;
        int32_t* out;
    };

    explicit ApePredictor(int compressionLevel);
    ~ApePredictor();
    ApePredictor(const ApePredictor&) = delete;
    ApePredictor& operator=(const ApePredictor&) = delete;

    // Back to the state at the start of a frame. wide: the adaptive stage computes exactly in
    // 64 bits (stereo at the highest level) instead of wrapping at 32 bits.
    void Reset(bool wide);
    // Turns count values of a channel into residuals.
    void Process(const Channel& channel, int count);
    // The same for the two channels of stereo at once: their adaptive stages interleaved, so
    // that the processor works on one while the other waits for its results.
    static void ProcessPair(ApePredictor& x, const Channel& channelX, ApePredictor& y,
                            const Channel& channelY, int count);

private:
    // The adaptive stage with 32-bit arithmetic in vector registers, where the processor has
    // them.
    template <bool Cross> struct Lane;
    // The adaptive stage one value at a time: exact in 64 bits (Wide) or wrapping at 32.
    template <bool Wide, bool Cross>
    void Stage(const int32_t* own, const int32_t* cross, int32_t* out, int count);
    // The first stage and the adaptive one, into channel.out.
    void Adapt(const Channel& channel, int count);

    std::vector<std::unique_ptr<ApeNNFilter>> filters_;
    bool wide_ = false;
    int32_t lastOwn_ = 0;   // previous raw value of the channel
    int32_t lastCross_ = 0; // previous raw cross-channel value
    int32_t a_[4] = {};     // filtered own values, newest first
    int32_t b_[4] = {};     // filtered cross values before the current one, newest first
    int32_t ownWeights_[4] = {};
    int32_t crossWeights_[5] = {};
};

} // namespace quillon
