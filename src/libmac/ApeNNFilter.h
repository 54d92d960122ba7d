#pragma once

#include <cstdint>
#include <memory>

namespace quillon {

// One adaptive neural-network filter stage of the Monkey's Audio predictor, in the encoder's
// direction: each input value is replaced by its difference from a prediction made out of the
// previous `order` inputs (saturated to 16 bits) with int16 weights that adapt after every value.
// The decoder runs the same stage backwards, so every step here is bit-exact with it.
class ApeNNFilter {
public:
    // Orders 16, 32, 64, 256 and 1280 are supported.
    ApeNNFilter(int order, int shift);
    ~ApeNNFilter();
    ApeNNFilter(const ApeNNFilter&) = delete;
    ApeNNFilter& operator=(const ApeNNFilter&) = delete;

    // Back to the state at the start of a frame.
    void Reset();
    // Filters count values in place.
    void Process(int32_t* values, int count);
    // The same for two filters of one order at once, interleaved, so that the processor works
    // on one while the other waits for its results.
    static void ProcessPair(ApeNNFilter& x, int32_t* valuesX, ApeNNFilter& y, int32_t* valuesY,
                            int count);

    struct State;
    using Processor = void (*)(State&, int32_t*, int);
    using PairProcessor = void (*)(State&, int32_t*, State&, int32_t*, int);

private:
    std::unique_ptr<State> state_;
    Processor process_;
    PairProcessor processPair_;
};

} // namespace quillon
