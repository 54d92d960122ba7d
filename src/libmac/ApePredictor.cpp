#include "libmac/ApePredictor.h"

#include <type_traits>

namespace quillon {

namespace {

struct FilterSpec {
    int order;
    int shift;
};

std::vector<FilterSpec> FiltersOfLevel(int level) {
    switch (level) {
    case 2000:
        return {{16, 11}};
    case 3000:
        return {{64, 11}};
    case 4000:
        return {{256, 13}, {32, 10}};
    case 5000:
        return {{1280, 15}, {256, 13}, {16, 11}};
    default:
        return {};
    }
}

int32_t Sign(int32_t value) {
    return (value > 0) - (value < 0);
}

// The fixed first stage: the value less 31/32 of the one before.
int32_t FirstStage(int32_t value, int32_t previous) {
    return value - ((31 * previous) >> 5);
}

} // namespace

ApePredictor::ApePredictor(int compressionLevel) {
    for (const FilterSpec& spec : FiltersOfLevel(compressionLevel)) {
        filters_.push_back(std::make_unique<ApeNNFilter>(spec.order, spec.shift));
    }
}

ApePredictor::~ApePredictor() = default;

void ApePredictor::Reset(bool wide) {
    wide_ = wide;
    lastOwn_ = 0;
    lastCross_ = 0;
    std::fill(std::begin(a_), std::end(a_), 0);
    std::fill(std::begin(b_), std::end(b_), 0);
    const int32_t initial[4] = {360, 317, -109, 98};
    std::copy(std::begin(initial), std::end(initial), ownWeights_);
    std::fill(std::begin(crossWeights_), std::end(crossWeights_), 0);
    for (auto& filter : filters_) {
        filter->Reset();
    }
}

template <bool Wide, bool Cross>
void ApePredictor::Stage(const int32_t* own, const int32_t* cross, int32_t* out, int count) {
    // The state lives in locals for the loop: stores to `out` could otherwise alias it.
    using Sum = std::conditional_t<Wide, int64_t, uint32_t>;
    int32_t lastOwn = lastOwn_;
    int32_t lastCross = lastCross_;
    int32_t a0 = a_[0], a1 = a_[1], a2 = a_[2], a3 = a_[3];
    int32_t b1 = b_[0], b2 = b_[1], b3 = b_[2], b4 = b_[3];
    int32_t c0 = ownWeights_[0], c1 = ownWeights_[1], c2 = ownWeights_[2], c3 = ownWeights_[3];
    int32_t e0 = crossWeights_[0], e1 = crossWeights_[1], e2 = crossWeights_[2],
            e3 = crossWeights_[3], e4 = crossWeights_[4];
    for (int i = 0; i < count; ++i) {
        const int32_t a = FirstStage(own[i], lastOwn);
        lastOwn = own[i];
        int32_t b0 = 0;
        if constexpr (Cross) {
            b0 = FirstStage(cross[i], lastCross);
            lastCross = cross[i];
        }

        const int32_t p0 = a0, p1 = a0 - a1, p2 = a1 - a2, p3 = a2 - a3;
        const int32_t q0 = b0, q1 = b0 - b1, q2 = b1 - b2, q3 = b2 - b3, q4 = b3 - b4;
        const Sum pa =
            Sum(c0) * Sum(p0) + Sum(c1) * Sum(p1) + Sum(c2) * Sum(p2) + Sum(c3) * Sum(p3);
        const Sum pb = !Cross ? 0
                              : Sum(e0) * Sum(q0) + Sum(e1) * Sum(q1) + Sum(e2) * Sum(q2) +
                                    Sum(e3) * Sum(q3) + Sum(e4) * Sum(q4);
        int32_t residual;
        if constexpr (Wide) {
            residual = static_cast<int32_t>(a - ((pa + (pb >> 1)) >> 10));
        } else {
            // 32-bit wrapping arithmetic, shifts on the signed values.
            const auto sum =
                static_cast<int32_t>(pa + static_cast<uint32_t>(static_cast<int32_t>(pb) >> 1));
            residual =
                static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(sum >> 10));
        }
        out[i] = residual;

        if (residual != 0) {
            const int32_t sign = Sign(residual);
            c0 += sign * Sign(p0);
            c1 += sign * Sign(p1);
            c2 += sign * Sign(p2);
            c3 += sign * Sign(p3);
            if constexpr (Cross) {
                e0 += sign * Sign(q0);
                e1 += sign * Sign(q1);
                e2 += sign * Sign(q2);
                e3 += sign * Sign(q3);
                e4 += sign * Sign(q4);
            }
        }
        a3 = a2;
        a2 = a1;
        a1 = a0;
        a0 = a;
        b4 = b3;
        b3 = b2;
        b2 = b1;
        b1 = b0;
    }
    lastOwn_ = lastOwn;
    lastCross_ = lastCross;
    a_[0] = a0, a_[1] = a1, a_[2] = a2, a_[3] = a3;
    b_[0] = b1, b_[1] = b2, b_[2] = b3, b_[3] = b4;
    ownWeights_[0] = c0, ownWeights_[1] = c1, ownWeights_[2] = c2, ownWeights_[3] = c3;
    crossWeights_[0] = e0, crossWeights_[1] = e1, crossWeights_[2] = e2, crossWeights_[3] = e3,
    crossWeights_[4] = e4;
}

void ApePredictor::Process(const int32_t* own, const int32_t* cross, int32_t* out, int count) {
    if (cross == nullptr) {
        Stage<false, false>(own, cross, out, count);
    } else if (wide_) {
        Stage<true, true>(own, cross, out, count);
    } else {
        Stage<false, true>(own, cross, out, count);
    }
    for (auto& filter : filters_) {
        filter->Process(out, count);
    }
}

} // namespace quillon
