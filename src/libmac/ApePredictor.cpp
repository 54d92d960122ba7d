#include "libmac/ApePredictor.h"

#include <algorithm>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
__m128i Load(const int32_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

void Store(int32_t* at, __m128i value) {
    _mm_store_si128(reinterpret_cast<__m128i*>(at), value);
}

// v with lane 0 replaced by `first`.
__m128i WithFirst(__m128i v, int32_t first) {
    return _mm_castps_si128(
        _mm_move_ss(_mm_castsi128_ps(v), _mm_castsi128_ps(_mm_cvtsi32_si128(first))));
}

// The sign of each lane: 1, 0 or -1.
__m128i Signs(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_sub_epi32(_mm_cmpgt_epi32(zero, v), _mm_cmpgt_epi32(v, zero));
}

// The sign of each lane as an int16 in its low half: a 16-bit multiply-add of these with lanes
// of -1, 0 or 1 gives the products of the signs.
__m128i Signs16(__m128i v) {
    return _mm_and_si128(Signs(v), _mm_set1_epi32(0xFFFF));
}

// One input of the adaptive stage over a block of values: the first stage's outputs, their
// differences from the one before, and the signs of both (as Signs16). kBack entries of
// history come first; the last vector may reach past the block.
struct Block {
    static constexpr int kSize = 256;
    static constexpr int kBack = 4;
    static constexpr int kLength = kBack + kSize + 4;

    alignas(16) int32_t value[kLength];
    alignas(16) int32_t delta[kLength];
    alignas(16) int32_t valueSign[kLength];
    alignas(16) int32_t deltaSign[kLength];

    // Takes the history: filtered values, newest first. The oldest difference is never used.
    void Begin(const int32_t (&history)[kBack]) {
        for (int k = 0; k < kBack; ++k) {
            value[k] = history[kBack - 1 - k];
            delta[k] = k == 0 ? 0 : value[k] - value[k - 1];
            valueSign[k] = Sign(value[k]) & 0xFFFF;
            deltaSign[k] = Sign(delta[k]) & 0xFFFF;
        }
    }
    // Filters n values after the history; returns the last of them unfiltered.
    int32_t Fill(const int32_t* input, int32_t last, int n) {
        int32_t* to = value + kBack;
        int i = 0;
        __m128i before = _mm_cvtsi32_si128(last);
        for (; i + 4 <= n; i += 4) {
            const __m128i in = Load(input + i);
            const __m128i previous = _mm_or_si128(_mm_slli_si128(in, 4), before);
            const __m128i scaled = _mm_sub_epi32(_mm_slli_epi32(previous, 5), previous);
            Store(to + i, _mm_sub_epi32(in, _mm_srai_epi32(scaled, 5)));
            before = _mm_srli_si128(in, 12);
        }
        last = _mm_cvtsi128_si32(before);
        for (; i < n; ++i) {
            to[i] = FirstStage(input[i], last);
            last = input[i];
        }
        const int end = kBack + (n + 4) / 4 * 4;
        for (int k = kBack + n; k < end; ++k) {
            value[k] = 0;
        }
        for (int k = kBack; k < end; k += 4) {
            const __m128i v = Load(value + k);
            const __m128i d = _mm_sub_epi32(v, Load(value + k - 1));
            Store(delta + k, d);
            Store(valueSign + k, Signs16(v));
            Store(deltaSign + k, Signs16(d));
        }
        return last;
    }
    // Keeps the last kBack entries of n as the history of the next block.
    void Next(int n) {
        for (int32_t* entries : {value, delta, valueSign, deltaSign}) {
            std::copy(entries + n, entries + n + kBack, entries);
        }
    }
    // Gives the history back, newest first.
    void End(int32_t (&history)[kBack]) const {
        for (int k = 0; k < kBack; ++k) {
            history[k] = value[kBack - 1 - k];
        }
    }
};
#endif

} // namespace

#if defined(__SSE2__)
// The adaptive stage of one channel with 32-bit arithmetic, over blocks, all of it in vector
// registers: the loop carries a chain from each residual through the weights to the next, and
// moves between scalar and vector registers would lengthen it. The own weights are held as
// (c0, c3, c2, c1), applied to (a0, a2 - a3, a1 - a2, a0 - a1); the cross weights as
// (e4, e3, e2, e1) and e0 on its own, applied to the four latest differences of the cross input
// and to its current value. The products of lanes 0 and 2 come from one 32x32-bit multiply,
// those of lanes 1 and 3 from another.
template <bool Cross> struct ApePredictor::Lane {
    // The weights, held in registers by the loops.
    struct Weights {
        __m128i own;
        __m128i cross = _mm_setzero_si128();
        __m128i crossFirst = _mm_setzero_si128();
    };

    explicit Lane(ApePredictor& p) : predictor(p) {
        own.Begin(p.a_);
        if constexpr (Cross) {
            cross.Begin(p.b_);
        }
    }

    Weights Start() const {
        const ApePredictor& p = predictor;
        Weights w;
        w.own =
            _mm_setr_epi32(p.ownWeights_[0], p.ownWeights_[3], p.ownWeights_[2], p.ownWeights_[1]);
        if constexpr (Cross) {
            w.cross = _mm_setr_epi32(p.crossWeights_[4], p.crossWeights_[3], p.crossWeights_[2],
                                     p.crossWeights_[1]);
            w.crossFirst = _mm_cvtsi32_si128(p.crossWeights_[0]);
        }
        return w;
    }

    void Fill(const Channel& channel, int start, int n) {
        predictor.lastOwn_ = own.Fill(channel.own + start, predictor.lastOwn_, n);
        if constexpr (Cross) {
            predictor.lastCross_ = cross.Fill(channel.cross + start, predictor.lastCross_, n);
        }
    }

    // The residual of value i of the block.
    [[gnu::always_inline]] int32_t Step(Weights& w, int i) const {
        const int32_t* value = own.value + Block::kBack;
        const int32_t* delta = own.delta + Block::kBack;
        const __m128i recent = WithFirst(Load(delta + i - 4), value[i - 1]);
        __m128i sums = _mm_add_epi64(_mm_mul_epu32(w.own, recent),
                                     _mm_mul_epu32(_mm_srli_epi64(w.own, 32), Load(delta + i - 3)));
        if constexpr (Cross) {
            const int32_t* crossDelta = cross.delta + Block::kBack;
            const __m128i crossSums = _mm_add_epi64(
                _mm_add_epi64(_mm_mul_epu32(w.cross, Load(crossDelta + i - 3)),
                              _mm_mul_epu32(_mm_srli_epi64(w.cross, 32), Load(crossDelta + i - 2))),
                _mm_mul_epu32(w.crossFirst, _mm_cvtsi32_si128(cross.value[Block::kBack + i])));
            // The own sum in lane 0, the cross sum in lane 2; lane 0 then takes half the latter.
            sums = _mm_add_epi64(_mm_unpacklo_epi64(sums, crossSums),
                                 _mm_unpackhi_epi64(sums, crossSums));
            sums = _mm_add_epi32(sums, _mm_srli_si128(_mm_srai_epi32(sums, 1), 8));
        } else {
            sums = _mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums));
        }
        const __m128i residual =
            _mm_sub_epi32(_mm_cvtsi32_si128(value[i]), _mm_srai_epi32(sums, 10));

        // Each weight moves by the product of the residual's sign and its input's.
        const __m128i sign = _mm_shuffle_epi32(Signs(residual), 0);
        const int32_t* valueSign = own.valueSign + Block::kBack;
        const int32_t* deltaSign = own.deltaSign + Block::kBack;
        w.own = _mm_add_epi32(
            w.own, _mm_madd_epi16(sign, WithFirst(Load(deltaSign + i - 4), valueSign[i - 1])));
        if constexpr (Cross) {
            const int32_t* crossDeltaSign = cross.deltaSign + Block::kBack;
            w.cross = _mm_add_epi32(w.cross, _mm_madd_epi16(sign, Load(crossDeltaSign + i - 3)));
            w.crossFirst = _mm_add_epi32(
                w.crossFirst,
                _mm_madd_epi16(sign, _mm_cvtsi32_si128(cross.valueSign[Block::kBack + i])));
        }
        return _mm_cvtsi128_si32(residual);
    }

    void Next(int n) {
        own.Next(n);
        if constexpr (Cross) {
            cross.Next(n);
        }
    }

    // Stores the state back into the predictor.
    void End(const Weights& w) {
        ApePredictor& p = predictor;
        own.End(p.a_);
        alignas(16) int32_t lanes[4];
        Store(lanes, w.own);
        p.ownWeights_[0] = lanes[0], p.ownWeights_[1] = lanes[3], p.ownWeights_[2] = lanes[2],
        p.ownWeights_[3] = lanes[1];
        if constexpr (Cross) {
            cross.End(p.b_);
            Store(lanes, w.cross);
            p.crossWeights_[0] = _mm_cvtsi128_si32(w.crossFirst);
            p.crossWeights_[1] = lanes[3], p.crossWeights_[2] = lanes[2],
            p.crossWeights_[3] = lanes[1], p.crossWeights_[4] = lanes[0];
        }
    }

    // The whole stage over count values.
    static void Run(ApePredictor& p, const Channel& channel, int count) {
        Lane lane(p);
        Weights w = lane.Start();
        for (int start = 0; start < count; start += Block::kSize) {
            const int n = std::min(Block::kSize, count - start);
            lane.Fill(channel, start, n);
            for (int i = 0; i < n; ++i) {
                channel.out[start + i] = lane.Step(w, i);
            }
            lane.Next(n);
        }
        lane.End(w);
    }

    ApePredictor& predictor;
    Block own;
    Block cross;
};
#endif

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

void ApePredictor::Adapt(const Channel& channel, int count) {
    if (channel.cross == nullptr) {
#if defined(__SSE2__)
        Lane<false>::Run(*this, channel, count);
#else
        Stage<false, false>(channel.own, nullptr, channel.out, count);
#endif
    } else if (wide_) {
        Stage<true, true>(channel.own, channel.cross, channel.out, count);
    } else {
#if defined(__SSE2__)
        Lane<true>::Run(*this, channel, count);
#else
        Stage<false, true>(channel.own, channel.cross, channel.out, count);
#endif
    }
}

void ApePredictor::Process(const Channel& channel, int count) {
    Adapt(channel, count);
    for (auto& filter : filters_) {
        filter->Process(channel.out, count);
    }
}

void ApePredictor::ProcessPair(ApePredictor& x, const Channel& channelX, ApePredictor& y,
                               const Channel& channelY, int count) {
#if defined(__SSE2__)
    if (!x.wide_ && !y.wide_) {
        Lane<true> laneX(x);
        Lane<true> laneY(y);
        auto weightsX = laneX.Start();
        auto weightsY = laneY.Start();
        for (int start = 0; start < count; start += Block::kSize) {
            const int n = std::min(Block::kSize, count - start);
            laneX.Fill(channelX, start, n);
            laneY.Fill(channelY, start, n);
            int32_t* outX = channelX.out + start;
            int32_t* outY = channelY.out + start;
            for (int i = 0; i < n; ++i) {
                outX[i] = laneX.Step(weightsX, i);
                outY[i] = laneY.Step(weightsY, i);
            }
            laneX.Next(n);
            laneY.Next(n);
        }
        laneX.End(weightsX);
        laneY.End(weightsY);
    } else
#endif
    {
        x.Adapt(channelX, count);
        y.Adapt(channelY, count);
    }
    // Both channels have the filters of one level.
    for (size_t k = 0; k < x.filters_.size(); ++k) {
        ApeNNFilter::ProcessPair(*x.filters_[k], channelX.out, *y.filters_[k], channelY.out, count);
    }
}

} // namespace quillon
