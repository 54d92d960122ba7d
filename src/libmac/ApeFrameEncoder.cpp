#include "libmac/ApeFrameEncoder.h"

#include <algorithm>

namespace quillon {

namespace {

// Samples predicted per pass, so that each filter runs over a stretch while its state is hot.
constexpr int kChunk = 4096;

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
      predictorX_(compressionLevel), predictorY_(compressionLevel), cross_(kChunk),
      residualX_(kChunk), residualY_(kChunk) {}

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
    for (int start = 0; start < blocks; start += kChunk) {
        const int n = std::min(kChunk, blocks - start);
        predictorX_.Process(samples + start, nullptr, residualX_.data(), n);
        coder_.Encode(ksum, residualX_.data(), n);
    }
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
    for (int start = 0; start < blocks; start += kChunk) {
        const int n = std::min(kChunk, blocks - start);
        // The difference is predicted from the previous mid value, the mid value from the
        // difference of the same block.
        cross_[0] = start == 0 ? 0 : mid[start - 1];
        std::copy(mid + start, mid + start + n - 1, cross_.begin() + 1);
        predictorX_.Process(difference + start, cross_.data(), residualX_.data(), n);
        predictorY_.Process(mid + start, difference + start, residualY_.data(), n);
        coder_.EncodeAlternating(ksumX, residualX_.data(), ksumY, residualY_.data(), n);
    }
}

} // namespace quillon
