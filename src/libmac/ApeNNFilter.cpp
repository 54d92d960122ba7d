#include "libmac/ApeNNFilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace quillon {

namespace {

// Values kept beyond the order before the windows slide back to their start.
constexpr int kWindow = 4096;

// The order is a template argument so that the compiler unrolls and vectorises these loops
// (int16 multiply-add, multiply and subtract) at the project's optimisation level.
template <int N> int32_t Dot(const int16_t* __restrict weights, const int16_t* __restrict input) {
    uint32_t sum = 0; // the decoder accumulates modulo 2^32
    for (int j = 0; j < N; ++j) {
        sum += static_cast<uint32_t>(int32_t{weights[j]} * input[j]);
    }
    return static_cast<int32_t>(sum);
}

// Moves the weights against the adaptation steps by `direction` (-1, 0 or 1), wrapping at 16 bits
// as the decoder does.
template <int N>
void Adapt(int16_t* __restrict weights, const int16_t* __restrict adapt, int16_t direction) {
    for (int j = 0; j < N; ++j) {
        weights[j] = static_cast<int16_t>(weights[j] - adapt[j] * direction);
    }
}

int16_t Saturate(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

} // namespace

struct ApeNNFilter::State {
    int order;
    int shift;
    std::vector<int16_t> weights;
    std::vector<int16_t> input; // saturated inputs; the last `order` before `at` feed the dot
    std::vector<int16_t> adapt; // adaptation steps, same positions as input
    int at = 0;
    int32_t average = 0;
};

namespace {

// One filter's state in locals while it runs: stores to the values and to the windows could
// otherwise alias it.
template <int N> class Pass {
public:
    explicit Pass(ApeNNFilter::State& s)
        : state_(s), input_(s.input.data()), adapt_(s.adapt.data()), at_(s.at), average_(s.average),
          shift_(s.shift), round_(int64_t{1} << (s.shift - 1)) {
        std::copy_n(s.weights.data(), N, weights_);
    }

    [[gnu::always_inline]] void Filter(int32_t& value) {
        const int32_t v = value;
        const int64_t prediction = (int64_t{Dot<N>(weights_, input_ + at_ - N)} + round_) >> shift_;
        const auto out = static_cast<int32_t>(static_cast<uint32_t>(int64_t{v} - prediction));
        // Without branches: the signs of the values hardly repeat.
        Adapt<N>(weights_, adapt_ + at_ - N, static_cast<int16_t>((out > 0) - (out < 0)));
        value = out;

        input_[at_] = Saturate(v);
        // The step: 32 above three times the average magnitude, 16 above 4/3 of it, 8 above
        // zero (the average is never negative, so each bound implies the next).
        const int64_t magnitude = std::llabs(int64_t{v});
        const auto step =
            static_cast<int16_t>(8 * (magnitude > 0) + 8 * (magnitude > average_ + average_ / 3) +
                                 16 * (magnitude > 3 * average_));
        adapt_[at_] = static_cast<int16_t>(v > 0 ? -step : step);
        average_ += (magnitude - average_) / 16;
        adapt_[at_ - 1] = static_cast<int16_t>(adapt_[at_ - 1] >> 1);
        adapt_[at_ - 2] = static_cast<int16_t>(adapt_[at_ - 2] >> 1);
        adapt_[at_ - 8] = static_cast<int16_t>(adapt_[at_ - 8] >> 1);

        if (++at_ == N + kWindow) {
            std::memmove(input_, input_ + kWindow, N * sizeof(int16_t));
            std::memmove(adapt_, adapt_ + kWindow, N * sizeof(int16_t));
            at_ = N;
        }
    }

    // Stores the state back.
    void End() {
        std::copy_n(weights_, N, state_.weights.data());
        state_.at = at_;
        state_.average = static_cast<int32_t>(average_);
    }

private:
    ApeNNFilter::State& state_;
    alignas(16) int16_t weights_[N];
    int16_t* input_;
    int16_t* adapt_;
    int at_;
    int64_t average_;
    const int shift_;
    const int64_t round_;
};

template <int N> void ProcessOrder(ApeNNFilter::State& s, int32_t* values, int count) {
    Pass<N> pass(s);
    for (int i = 0; i < count; ++i) {
        pass.Filter(values[i]);
    }
    pass.End();
}

// Two filters side by side: the processor works on one while the other waits for its results.
template <int N>
void ProcessOrderPair(ApeNNFilter::State& x, int32_t* valuesX, ApeNNFilter::State& y,
                      int32_t* valuesY, int count) {
    Pass<N> passX(x);
    Pass<N> passY(y);
    for (int i = 0; i < count; ++i) {
        passX.Filter(valuesX[i]);
        passY.Filter(valuesY[i]);
    }
    passX.End();
    passY.End();
}

template <int N> void Bind(ApeNNFilter::Processor& process, ApeNNFilter::PairProcessor& pair) {
    process = ProcessOrder<N>;
    pair = ProcessOrderPair<N>;
}

} // namespace

ApeNNFilter::ApeNNFilter(int order, int shift) : state_(std::make_unique<State>()) {
    switch (order) {
    case 16:
        Bind<16>(process_, processPair_);
        break;
    case 32:
        Bind<32>(process_, processPair_);
        break;
    case 64:
        Bind<64>(process_, processPair_);
        break;
    case 256:
        Bind<256>(process_, processPair_);
        break;
    case 1280:
        Bind<1280>(process_, processPair_);
        break;
    default:
        throw std::invalid_argument("unsupported filter order");
    }
    state_->order = order;
    state_->shift = shift;
    state_->weights.resize(static_cast<size_t>(order));
    state_->input.resize(static_cast<size_t>(order + kWindow));
    state_->adapt.resize(static_cast<size_t>(order + kWindow));
    Reset();
}

ApeNNFilter::~ApeNNFilter() = default;

void ApeNNFilter::Reset() {
    State& s = *state_;
    std::fill(s.weights.begin(), s.weights.end(), int16_t{0});
    std::fill(s.input.begin(), s.input.begin() + s.order, int16_t{0});
    std::fill(s.adapt.begin(), s.adapt.begin() + s.order, int16_t{0});
    s.at = s.order;
    s.average = 0;
}

void ApeNNFilter::Process(int32_t* values, int count) {
    process_(*state_, values, count);
}

void ApeNNFilter::ProcessPair(ApeNNFilter& x, int32_t* valuesX, ApeNNFilter& y, int32_t* valuesY,
                              int count) {
    if (x.state_->order != y.state_->order) {
        x.Process(valuesX, count);
        y.Process(valuesY, count);
        return;
    }
    x.processPair_(*x.state_, valuesX, *y.state_, valuesY, count);
}

} // namespace quillon
