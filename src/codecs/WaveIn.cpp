#include "codecs/WaveIn.h"

#include "codecs/WaveConverter.h"
#include "core/PcmException.h"

#include <algorithm>
#include <cstring>

namespace quillon {

void TWaveIn::OpenFile() {
    if (openCount_ > 0) {
        ++openCount_;
        return;
    }
    valid_ = true;
    OpenOwnStream();
    bool supported = false;
    try {
        supported = ReadHeader();
    } catch (...) {
        ClearFormat();
        CloseStreams();
        throw;
    }
    if (!supported) {
        valid_ = false;
        ClearFormat();
        CloseStreams();
        return;
    }
    ++openCount_;
}

void TWaveIn::CloseFile() {
    if (openCount_ == 1) {
        CloseStreams();
    }
    if (openCount_ > 0) {
        --openCount_;
    }
}

void TWaveIn::CloseStreams() {
    if (decoded_) {
        decoded_.reset();
        stream_ = fileStream_;
        fileStream_ = nullptr;
    }
    CloseOwnStream();
}

void TWaveIn::ClearFormat() {
    header_ = WaveHeader{};
    bitsPerSample_ = 0;
    sampleRate_ = 0;
    channels_ = 0;
    totalSamples_ = 0;
    size_ = 0;
}

bool TWaveIn::ReadHeader() {
    if (stream_ == nullptr) {
        return false;
    }
    header_ = ScanWaveHeader(*stream_, WaveScanMode::Reader);
    channels_ = header_.channels;
    sampleRate_ = header_.sampleRate;
    bitsPerSample_ = header_.bitsPerSample;
    switch (header_.kind) {
    case wtPCM:
        size_ = header_.dataSize;
        totalSamples_ = size_ / ((bitsPerSample_ / 8) * channels_);
        return true;
    case wtDVIADPCM:
    case wtMSADPCM:
        if (header_.kind == wtDVIADPCM && bitsPerSample_ != 4) {
            valid_ = false;
        }
        bitsPerSample_ = 16;
        // No more samples than the blocks of the data chunk hold, whatever "fact" claims.
        totalSamples_ = std::min(header_.factCount, (header_.dataSize + header_.blockAlign - 1) /
                                                        std::max(header_.blockAlign, 1) *
                                                        header_.samplesPerBlock);
        size_ = static_cast<int64_t>(channels_) * totalSamples_ * 2;
        return true;
    case wtACM:
        return DecodeCompressedFile();
    default:
        return false;
    }
}

bool TWaveIn::DecodeCompressedFile() {
    try {
        TWaveConverter converter;
        stream_->SetPosition(0);
        converter.LoadWaveFromStream(*stream_);
        converter.TargetFormat.wFormatTag = WAVE_FORMAT_PCM;
        if (acmFormatSuggest(nullptr, &converter.SourceFormat, &converter.TargetFormat,
                             sizeof(TWaveFormatEx), ACM_FORMATSUGGESTF_WFORMATTAG) != 0 ||
            converter.Convert() != 0) {
            return false;
        }
        auto decoded = std::make_unique<MemoryStream>();
        if (converter.SaveWaveToStream(*decoded) != 0) {
            return false;
        }
        decoded->SetPosition(0);
        header_ = ScanWaveHeader(*decoded, WaveScanMode::Reader);
        if (header_.kind != wtPCM) {
            return false;
        }
        fileStream_ = stream_;
        decoded_ = std::move(decoded);
        stream_ = decoded_.get();
    } catch (const std::exception&) {
        return false;
    }
    header_.kind = wtACM;
    channels_ = header_.channels;
    sampleRate_ = header_.sampleRate;
    bitsPerSample_ = header_.bitsPerSample;
    size_ = header_.dataSize;
    totalSamples_ = size_ / ((bitsPerSample_ / 8) * channels_);
    return true;
}

int TWaveIn::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    if (bufferSize <= 0) {
        return 0;
    }
    if (bufferEnd_ < bufferStart_) {
        int filled = Refill();
        if (filled == 0 && loop_ && header_.kind != wtUnsupported) {
            // Start again at StartSample; one attempt, so an empty range cannot spin.
            Flush();
            Init();
            filled = Refill();
        }
        bufferStart_ = 1;
        bufferEnd_ = filled;
        if (filled == 0) {
            return 0;
        }
    }
    const int n = std::min(bufferSize, bufferEnd_ - bufferStart_ + 1);
    std::memcpy(buffer, buffer_.data() + bufferStart_ - 1, static_cast<size_t>(n));
    bufferStart_ += n;
    position_ += n;
    return n;
}

int TWaveIn::Refill() {
    if (stream_ == nullptr) {
        return 0;
    }
    switch (header_.kind) {
    case wtPCM:
    case wtACM:
        return RefillPcm();
    case wtDVIADPCM:
    case wtMSADPCM:
        return RefillAdpcm();
    default:
        return 0;
    }
}

int TWaveIn::RefillPcm() {
    const int64_t left = size_ - position_;
    if (left <= 0) {
        return 0;
    }
    const size_t count = static_cast<size_t>(std::min<int64_t>(left, kWaveBlockBufferSize));
    return static_cast<int>(stream_->Read(buffer_.data(), count));
}

int TWaveIn::RefillAdpcm() {
    const int64_t left = size_ - position_;
    if (left <= 0 || !ReadAdpcmBlock()) {
        return 0;
    }
    int frames = 0;
    if (header_.kind == wtDVIADPCM) {
        frames = ImaDecodeBlock(block_.data(), header_.blockAlign, channels_, buffer_.data());
    } else {
        frames = MsAdpcmDecodeBlock(block_.data(), header_.blockAlign, channels_,
                                    header_.samplesPerBlock, header_.coefs, buffer_.data());
        if (frames < 0) {
            valid_ = false; // a block that names no coefficient pair: nothing more is decoded
            return 0;
        }
    }
    // The last block is padded out; what lies beyond the announced length is not audio.
    return static_cast<int>(std::min<int64_t>(frames * channels_ * 2, left));
}

bool TWaveIn::ReadAdpcmBlock() {
    const int64_t dataEnd = header_.dataOffset + header_.dataSize;
    const int64_t position = stream_->Position();
    if (position >= dataEnd) {
        return false;
    }
    const size_t count =
        static_cast<size_t>(std::min<int64_t>(header_.blockAlign, dataEnd - position));
    std::fill_n(block_.begin(), header_.blockAlign, uint8_t{0});
    return stream_->Read(block_.data(), count) > 0;
}

bool TWaveIn::SeekSample(int64_t sampleNumber) {
    if (!streamSeekable_) {
        return false;
    }
    OpenFile();
    struct Closer {
        TWaveIn* self;
        ~Closer() { self->CloseFile(); }
    } closer{this};
    if (stream_ == nullptr) {
        return false;
    }
    const int64_t sample = std::max<int64_t>(sampleNumber, 0);
    switch (header_.kind) {
    case wtPCM:
    case wtACM:
        stream_->SetPosition(header_.dataOffset +
                             sample * (header_.bitsPerSample / 8) * header_.channels);
        return true;
    case wtDVIADPCM:
    case wtMSADPCM:
        // The whole block that holds the sample is delivered.
        stream_->SetPosition(header_.dataOffset +
                             sample / header_.samplesPerBlock * header_.blockAlign);
        return true;
    default:
        return false;
    }
}

} // namespace quillon
