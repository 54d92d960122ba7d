#include "libmac/ApeFrameEncoder.h"

#include <algorithm>
#include <atomic>
#include <semaphore>
#include <thread>

namespace quillon {

namespace {

// Samples predicted per pass, so that each filter runs over a stretch while its state is hot.
constexpr int kChunk = 8192;

constexpr uint32_t kSpecialCodesFollow = 0x80000000u;
constexpr uint32_t kSilentFirst = 1;  // mono silence, or the first channel of stereo
constexpr uint32_t kSilentSecond = 2; // the second channel of stereo
constexpr uint32_t kPseudoStereo = 4; // both channels equal: coded once
constexpr uint32_t kKsumStart = 16384;

bool AllZero(const int32_t* samples, int count) {
    return std::all_of(samples, samples + count, [](int32_t v) { return v == 0; });
}

} // namespace

ApeFrameEncoder::ApeFrameEncoder(int compressionLevel, int channels, ApeWordStream& out)
    : level_(compressionLevel), channels_(channels), out_(out), coder_(out),
      predictorX_(compressionLevel), predictorY_(compressionLevel) {
    for (Slot& slot : slots_) {
        slot.cross.resize(kChunk);
        slot.x.resize(kChunk);
        slot.y.resize(kChunk);
    }
}

void ApeFrameEncoder::PutWord(uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out_.Put(static_cast<uint8_t>(word >> shift));
    }
}

void ApeFrameEncoder::Encode(int32_t* first0, int32_t* first1, int blocks, uint32_t crc) {
    uint32_t special = 0;
    if (channels_ == 1) {
        special = AllZero(first0, blocks) ? kSilentFirst : 0;
    } else if (AllZero(first0, blocks) && AllZero(first1, blocks)) {
        special = kSilentFirst | kSilentSecond;
    } else if (std::equal(first0, first0 + blocks, first1)) {
        special = kPseudoStereo;
    }
    PutWord((crc >> 1) | (special != 0 ? kSpecialCodesFollow : 0));
    if (special != 0) {
        PutWord(special);
    }

    coder_.Start();
    if (channels_ == 1 || special == kPseudoStereo) {
        if (special != kSilentFirst) {
            EncodeMono(first0, blocks);
        }
    } else if (special == 0) {
        EncodeStereo(first0, first1, blocks);
    }
    coder_.Flush();
}

void ApeFrameEncoder::EncodeMono(const int32_t* samples, int blocks) {
    predictorX_.Reset(false);
    uint32_t ksum = kKsumStart;
    Pipeline(
        blocks,
        [&](Slot& slot, int start, int n) {
            predictorX_.Process({samples + start, nullptr, slot.x.data()}, n);
        },
        [&](const Slot& slot, int n) { coder_.Encode(ksum, slot.x.data(), n); });
}

void ApeFrameEncoder::EncodeStereo(int32_t* first0, int32_t* first1, int blocks) {
    // The difference replaces the second channel, the mid value the first.
    int32_t* mid = first0;
    int32_t* difference = first1;
    for (int i = 0; i < blocks; ++i) {
        const int32_t d = first1[i] - first0[i];
        difference[i] = d;
        mid[i] = first0[i] + d / 2;
    }

    const bool wide = level_ == 5000;
    predictorX_.Reset(wide);
    predictorY_.Reset(wide);
    uint32_t ksumX = kKsumStart;
    uint32_t ksumY = kKsumStart;
    Pipeline(
        blocks,
        [&](Slot& slot, int start, int n) {
            // The difference is predicted from the previous mid value, the mid value from the
            // difference of the same block.
            slot.cross[0] = start == 0 ? 0 : mid[start - 1];
            std::copy(mid + start, mid + start + n - 1, slot.cross.begin() + 1);
            ApePredictor::ProcessPair(
                predictorX_, {difference + start, slot.cross.data(), slot.x.data()}, predictorY_,
                {mid + start, difference + start, slot.y.data()}, n);
        },
        [&](const Slot& slot, int n) {
            coder_.EncodeAlternating(ksumX, slot.x.data(), ksumY, slot.y.data(), n);
        });
}

void ApeFrameEncoder::Pipeline(int blocks, const std::function<void(Slot&, int, int)>& predict,
                               const std::function<void(const Slot&, int)>& code) {
    const int chunks = (blocks + kChunk - 1) / kChunk;
    const auto count = [blocks](int chunk) { return std::min(kChunk, blocks - chunk * kChunk); };
    if (chunks == 1) {
        predict(slots_[0], 0, blocks);
        code(slots_[0], blocks);
        return;
    }
    // Prediction runs ahead on a thread of its own, by up to kSlots chunks.
    std::counting_semaphore<> free(kSlots);
    std::counting_semaphore<> ready(0);
    std::atomic<bool> cancel = false;
    std::jthread predictor([&] {
        for (int chunk = 0; chunk < chunks; ++chunk) {
            free.acquire();
            if (cancel) {
                return;
            }
            predict(slots_[chunk % kSlots], chunk * kChunk, count(chunk));
            ready.release();
        }
    });
    try {
        for (int chunk = 0; chunk < chunks; ++chunk) {
            ready.acquire();
            code(slots_[chunk % kSlots], count(chunk));
            free.release();
        }
    } catch (...) {
        cancel = true;
        free.release(kSlots); // the thread ends at its next chunk; predictor joins it
        throw;
    }
}

} // namespace quillon
