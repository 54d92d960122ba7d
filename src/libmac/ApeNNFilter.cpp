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
// (int16 multiply-add and add) at the project's optimisation level.
template <int N> int32_t Dot(const int16_t* __restrict weights, const int16_t* __restrict input) {
    uint32_t sum = 0; // the decoder accumulates modulo 2^32
    for (int j = 0; j < N; ++j) {
        sum += static_cast<uint32_t>(int32_t{weights[j]} * input[j]);
    }
    return static_cast<int32_t>(sum);
}

template <int N> void Add(int16_t* __restrict weights, const int16_t* __restrict adapt) {
    for (int j = 0; j < N; ++j) {
        weights[j] = static_cast<int16_t>(weights[j] + adapt[j]);
    }
}

template <int N> void Subtract(int16_t* __restrict weights, const int16_t* __restrict adapt) {
    for (int j = 0; j < N; ++j) {
        weights[j] = static_cast<int16_t>(weights[j] - adapt[j]);
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

template <int N> void ProcessOrder(ApeNNFilter::State& s, int32_t* values, int count) {
    // Locals for the loop: stores to `values` could otherwise alias the state.
    int16_t* weights = s.weights.data();
    int16_t* input = s.input.data();
    int16_t* adapt = s.adapt.data();
    int at = s.at;
    int64_t average = s.average;
    const int shift = s.shift;
    const int64_t round = int64_t{1} << (shift - 1);
    for (int i = 0; i < count; ++i) {
        const int32_t v = values[i];
        const int64_t prediction = (int64_t{Dot<N>(weights, input + at - N)} + round) >> shift;
        const auto out = static_cast<int32_t>(static_cast<uint32_t>(int64_t{v} - prediction));
        if (out > 0) {
            Subtract<N>(weights, adapt + at - N);
        } else if (out < 0) {
            Add<N>(weights, adapt + at - N);
        }
        values[i] = out;

        input[at] = Saturate(v);
        const int64_t magnitude = std::llabs(int64_t{v});
        int16_t step = 0;
        if (magnitude > 3 * average) {
            step = 32;
        } else if (magnitude > average + average / 3) {
            step = 16;
        } else if (magnitude > 0) {
            step = 8;
        }
        adapt[at] = static_cast<int16_t>(v > 0 ? -step : step);
        average += (magnitude - average) / 16;
        adapt[at - 1] = static_cast<int16_t>(adapt[at - 1] >> 1);
        adapt[at - 2] = static_cast<int16_t>(adapt[at - 2] >> 1);
        adapt[at - 8] = static_cast<int16_t>(adapt[at - 8] >> 1);

        if (++at == N + kWindow) {
            std::memmove(input, input + kWindow, N * sizeof(int16_t));
            std::memmove(adapt, adapt + kWindow, N * sizeof(int16_t));
            at = N;
        }
    }
    s.at = at;
    s.average = static_cast<int32_t>(average);
}

} // namespace

ApeNNFilter::ApeNNFilter(int order, int shift) : state_(std::make_unique<State>()) {
    switch (order) {
    case 16:
        process_ = ProcessOrder<16>;
        break;
    case 32:
        process_ = ProcessOrder<32>;
        break;
    case 64:
        process_ = ProcessOrder<64>;
        break;
    case 256:
        process_ = ProcessOrder<256>;
        break;
    case 1280:
        process_ = ProcessOrder<1280>;
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

} // namespace quillon
