#include "dsp/BlockConverter.h"

#include "core/PcmException.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon {

TPcmInput& TBlockConverter::RequireInput() const {
    TPcmInput* input = Input();
    if (input == nullptr) {
        throw EPcmException("Input not assigned");
    }
    return *input;
}

void TBlockConverter::Init() {
    TPcmInput& input = RequireInput();
    input.Init();
    busy_ = true;
    position_ = 0;
    bufferStart_ = 1;
    bufferEnd_ = 0;
    inputLock_.Release();
    endOfInput_ = false;
    delivered_ = 0;
    readSize_ = ReadSizeFor(input);
    // An input of unknown length gives a converted stream of unknown length, not a size
    // computed from -1.
    const int64_t inputSize = input.Size();
    size_ = inputSize < 0 ? -1 : ConvertedSize(input, inputSize);
}

void TBlockConverter::Flush() {
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
    busy_ = false;
}

int TBlockConverter::Refill() {
    bufferStart_ = 1;
    int filled = ReadFromInput(buffer_.data(), readSize_);
    if (filled == 0) {
        endOfInput_ = true;
        return 0;
    }
    int last = filled;
    while (last > 0 && filled < readSize_) {
        last = ReadFromInput(buffer_.data() + filled, readSize_ - filled);
        filled += last;
    }
    if (last == 0) {
        endOfInput_ = true;
    }
    return Convert(buffer_.data(), filled);
}

int TBlockConverter::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    if (bufferEnd_ < bufferStart_) {
        if (endOfInput_) {
            return 0;
        }
        bufferEnd_ = Refill();
        if (bufferEnd_ == 0) {
            return 0;
        }
    }
    const int count = std::min(std::max(bufferSize, 0), bufferEnd_ - bufferStart_ + 1);
    std::memcpy(buffer, buffer_.data() + bufferStart_ - 1, static_cast<size_t>(count));
    bufferStart_ += count;
    delivered_ += count;

    // The position follows the input's, scaled to the converted size; where the input's size
    // is unknown or 0 that scale does not exist and the bytes handed out are counted instead.
    TPcmInput* input = Input();
    const int64_t inputSize = input != nullptr ? input->Size() : -1;
    if (inputSize > 0 && size_ >= 0) {
        position_ = static_cast<int64_t>(
            std::nearbyint(static_cast<double>(size_) / static_cast<double>(inputSize) *
                           static_cast<double>(input->Position())));
    } else {
        position_ = delivered_;
    }
    return count;
}

} // namespace quillon
