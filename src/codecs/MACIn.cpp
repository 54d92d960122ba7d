#include "codecs/MACIn.h"

#include "codecs/APEException.h"
#include "core/PcmException.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillon {

namespace {

constexpr int kBufferBytes = 8192;

} // namespace

TMACIn::TMACIn() : mac_(&MacLibrary::Require()), buffer_(kBufferBytes) {}

TMACIn::~TMACIn() {
    decompress_.reset();
}

void TMACIn::OpenFile() {
    if (openCount_ == 0) {
        // A Reset may have dropped the count without closing what was open.
        decompress_.reset();
        if (fileName_.empty()) {
            throw EPcmException("File name is not assigned");
        }
        valid_ = true;
        endOfFile_ = false;
        bufferStart_ = 1;
        bufferEnd_ = 0;
        decompress_ = std::make_unique<TAPEDecompress>(*mac_, fileName_);
        size_ = decompress_->GetInfo(MAC_INFO_WAV_DATA_BYTES);
        sampleRate_ = static_cast<int>(decompress_->GetInfo(MAC_INFO_SAMPLE_RATE));
        bitsPerSample_ = static_cast<int>(decompress_->GetInfo(MAC_INFO_BITS_PER_SAMPLE));
        channels_ = static_cast<int>(decompress_->GetInfo(MAC_INFO_CHANNELS));
        totalTime_ = static_cast<int>(decompress_->GetInfo(MAC_INFO_LENGTH_MS) / 1000);
        blockAlign_ = bitsPerSample_ / 8 * channels_;
        totalSamples_ = blockAlign_ > 0 ? size_ / blockAlign_ : 0;
        if (blockAlign_ <= 0 || blockAlign_ > kBufferBytes) {
            valid_ = false;
        }
    }
    ++openCount_;
}

void TMACIn::CloseFile() {
    if (openCount_ == 1) {
        decompress_.reset();
    }
    if (openCount_ > 0) {
        --openCount_;
    }
}

int TMACIn::GetTotalTime() {
    OpenFile();
    const int seconds =
        decompress_ ? static_cast<int>(decompress_->GetInfo(MAC_DECOMPRESS_LENGTH_MS) / 1000) : 0;
    CloseFile();
    return seconds;
}

void TMACIn::FillBuffer() {
    bufferStart_ = 1;
    bufferEnd_ = 0;
    if (!valid_ || !decompress_) {
        endOfFile_ = true;
        return;
    }
    // Whole blocks only, as many as the buffer has room for.
    while (kBufferBytes - bufferEnd_ >= blockAlign_) {
        int retrieved = 0;
        const int code = decompress_->GetData(buffer_.data() + bufferEnd_,
                                              (kBufferBytes - bufferEnd_) / blockAlign_, retrieved);
        if (code != MAC_OK) {
            throw EAPEException(code);
        }
        const int bytes = retrieved * blockAlign_;
        if (bytes <= 0) {
            endOfFile_ = true;
            return;
        }
        bufferEnd_ += bytes;
        if (endSample_ != -1) {
            const int64_t limit = (endSample_ - startSample_) * blockAlign_ - position_;
            if (limit <= 0) {
                bufferEnd_ = 0;
                endOfFile_ = true;
                return;
            }
            if (limit < bufferEnd_) {
                bufferEnd_ = static_cast<int>(limit);
                return;
            }
        }
    }
}

int TMACIn::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    if (bufferEnd_ < bufferStart_) {
        if (!endOfFile_) {
            FillBuffer();
        }
        if (bufferEnd_ < bufferStart_ && endOfFile_ && loop_) {
            Flush();
            Init();
            endOfFile_ = false;
            FillBuffer();
        }
    }
    const int count = std::max(0, std::min(bufferSize, bufferEnd_ - bufferStart_ + 1));
    if (count > 0) {
        std::memcpy(buffer, buffer_.data() + bufferStart_ - 1, static_cast<size_t>(count));
        bufferStart_ += count;
        position_ += count;
    }
    return count;
}

bool TMACIn::SeekSample(int64_t sampleNumber) {
    if (!streamSeekable_ || sampleNumber < 0 || sampleNumber > INT_MAX) {
        return false;
    }
    OpenFile();
    const bool done = decompress_ && decompress_->Seek(static_cast<int>(sampleNumber)) == MAC_OK;
    bufferStart_ = 1;
    bufferEnd_ = 0;
    endOfFile_ = false;
    CloseFile();
    return done;
}

} // namespace quillon
