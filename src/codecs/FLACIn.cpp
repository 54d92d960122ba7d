#include "codecs/FLACIn.h"

#include "core/PcmException.h"

#include <algorithm>
#include <cstring>

namespace quillon {

void TFLACIn::DecoderDeleter::operator()(FLAC__StreamDecoder* decoder) const {
    flac->FLAC__stream_decoder_delete(decoder);
}

TFLACIn::TFLACIn() : flac_(&FlacLibrary::Require()) {}

TFLACIn::~TFLACIn() {
    CloseDecoder();
}

FLAC__StreamDecoderReadStatus TFLACIn::ReadCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                    size_t* bytes, void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    try {
        if (self->stream_->Position() >= self->stream_->Size()) {
            *bytes = 0;
            return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
        }
        *bytes = self->stream_->Read(buffer, *bytes);
        return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                           : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    } catch (const std::exception&) {
        *bytes = 0;
        return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
}

FLAC__StreamDecoderSeekStatus TFLACIn::SeekCallback(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                                    void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    if (!self->streamSeekable_) {
        return FLAC__STREAM_DECODER_SEEK_STATUS_UNSUPPORTED;
    }
    try {
        if (offset > static_cast<FLAC__uint64>(self->stream_->Size())) {
            return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        }
        self->stream_->SetPosition(static_cast<int64_t>(offset));
        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
}

FLAC__StreamDecoderTellStatus TFLACIn::TellCallback(const FLAC__StreamDecoder*,
                                                    FLAC__uint64* offset, void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    if (!self->streamSeekable_) {
        return FLAC__STREAM_DECODER_TELL_STATUS_UNSUPPORTED;
    }
    try {
        *offset = static_cast<FLAC__uint64>(self->stream_->Position());
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    }
}

FLAC__StreamDecoderLengthStatus TFLACIn::LengthCallback(const FLAC__StreamDecoder*,
                                                        FLAC__uint64* length, void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    try {
        *length = static_cast<FLAC__uint64>(self->stream_->Size());
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
    }
}

FLAC__bool TFLACIn::EofCallback(const FLAC__StreamDecoder*, void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    try {
        return self->stream_->Position() >= self->stream_->Size();
    } catch (const std::exception&) {
        return true;
    }
}

FLAC__StreamDecoderWriteStatus TFLACIn::WriteCallback(const FLAC__StreamDecoder*,
                                                      const FLAC__Frame* frame,
                                                      const FLAC__int32* const buffer[],
                                                      void* client) {
    auto* self = static_cast<TFLACIn*>(client);
    const int channels = self->channels_;
    const int bytes = self->bitsPerSample_ / 8;
    // A frame that disagrees with the stream information cannot be laid out as PCM.
    if (static_cast<int>(frame->header.channels) != channels || bytes < 1 || bytes > 4) {
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const uint32_t samples = frame->header.blocksize;
    self->block_.resize(static_cast<size_t>(samples) * self->frameBytes_);
    uint8_t* out = self->block_.data();
    const int shift = self->sampleShift_;
    for (uint32_t i = 0; i < samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            uint32_t value = static_cast<uint32_t>(buffer[c][i]) << shift;
            if (bytes == 1) {
                value += 128; // 8-bit PCM is unsigned, FLAC samples are signed
            }
            for (int b = 0; b < bytes; ++b) {
                *out++ = static_cast<uint8_t>(value >> (8 * b));
            }
        }
    }
    self->readIndex_ = 0;
    self->endIndex_ = self->block_.size();
    self->blockDecoded_ = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void TFLACIn::MetadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                               void* client) {
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) {
        return;
    }
    auto* self = static_cast<TFLACIn*>(client);
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    const int bits = static_cast<int>(info.bits_per_sample);
    self->sampleRate_ = static_cast<int>(info.sample_rate);
    self->channels_ = static_cast<int>(info.channels);
    self->bitsPerSample_ = (bits + 7) / 8 * 8;
    self->sampleShift_ = self->bitsPerSample_ - bits;
    self->totalSamples_ = static_cast<int64_t>(info.total_samples);
    self->frameBytes_ = self->bitsPerSample_ / 8 * self->channels_;
    // A stream that does not state its length has an unknown size.
    self->size_ = info.total_samples > 0 ? self->totalSamples_ * self->frameBytes_ : -1;
    if (self->channels_ > 2 || bits > 16) {
        self->valid_ = false;
    }
}

void TFLACIn::ErrorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus,
                            void* client) {
    static_cast<TFLACIn*>(client)->valid_ = false;
}

void TFLACIn::OpenFile() {
    if (openCount_ == 0) {
        // A Reset may have dropped the count without closing what was open.
        CloseDecoder();
        if (!streamAssigned_ && fileName_.empty()) {
            throw EPcmException("File name is not assigned");
        }
        OpenOwnStream();
        valid_ = true;
        channels_ = 0;
        sampleRate_ = 0;
        bitsPerSample_ = 0;
        totalSamples_ = 0;
        frameBytes_ = 0;
        size_ = 0;
        decoder_ = std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter>(
            flac_->FLAC__stream_decoder_new(), DecoderDeleter{flac_});
        if (!decoder_ || flac_->FLAC__stream_decoder_init_stream(
                             decoder_.get(), ReadCallback, SeekCallback, TellCallback,
                             LengthCallback, EofCallback, WriteCallback, MetadataCallback,
                             ErrorCallback, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
            CloseDecoder();
            throw EPcmException("Failed to initialize FLAC decoder.");
        }
        if (!flac_->FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get()) ||
            frameBytes_ == 0 || sampleRate_ == 0) {
            valid_ = false;
        }
        endOfFile_ = false;
        readIndex_ = 0;
        endIndex_ = 0;
    }
    ++openCount_;
}

void TFLACIn::CloseFile() {
    if (openCount_ == 1) {
        CloseDecoder();
    }
    if (openCount_ > 0) {
        --openCount_;
    }
}

void TFLACIn::CloseDecoder() {
    if (decoder_) {
        flac_->FLAC__stream_decoder_finish(decoder_.get());
        decoder_.reset();
    }
    block_ = {};
    readIndex_ = 0;
    endIndex_ = 0;
    CloseOwnStream();
}

void TFLACIn::Init() {
    TPcmFileIn::Init();
    if (!valid_) {
        Flush();
        throw EPcmException("Error reading FLAC file");
    }
}

bool TFLACIn::DecodeNextBlock() {
    blockDecoded_ = false;
    if (!flac_->FLAC__stream_decoder_process_single(decoder_.get())) {
        if (flac_->FLAC__stream_decoder_get_state(decoder_.get()) !=
            FLAC__STREAM_DECODER_END_OF_STREAM) {
            throw EPcmException("Error reading FLAC file");
        }
        endOfFile_ = true;
        return false;
    }
    if (!blockDecoded_) {
        endOfFile_ = true;
        if (stream_->Position() < stream_->Size()) {
            throw EPcmException("Sinc lost or corrupt data");
        }
        return false;
    }
    return true;
}

int TFLACIn::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    // The end of the range (EndSample) or of the stream as its header states it.
    if (size_ >= 0 && position_ >= size_) {
        endOfFile_ = true;
        readIndex_ = endIndex_;
    }
    if (readIndex_ >= endIndex_) {
        readIndex_ = 0;
        endIndex_ = 0;
        if (endOfFile_) {
            if (!loop_) {
                return 0;
            }
            Flush();
            Init();
            endOfFile_ = false;
        }
        // Starting again may already have decoded the first block (a seek to StartSample).
        if (readIndex_ >= endIndex_ && (!decoder_ || !DecodeNextBlock())) {
            return 0;
        }
    }
    int64_t count = std::min<int64_t>(bufferSize, static_cast<int64_t>(endIndex_ - readIndex_));
    if (size_ >= 0) {
        count = std::min<int64_t>(count, size_ - position_);
    }
    count = std::max<int64_t>(count, 0);
    if (count > 0) {
        std::memcpy(buffer, block_.data() + readIndex_, static_cast<size_t>(count));
    }
    readIndex_ += static_cast<size_t>(count);
    position_ += count;
    return static_cast<int>(count);
}

// libFLAC hands the frame that holds the target sample to the write callback during the seek,
// already trimmed to start at that sample, so delivery resumes exactly there.
bool TFLACIn::SeekSample(int64_t sampleNumber) {
    if (!decoder_) {
        return false;
    }
    readIndex_ = 0;
    endIndex_ = 0;
    blockDecoded_ = false;
    endOfFile_ = false;
    const bool done =
        sampleNumber >= 0 && flac_->FLAC__stream_decoder_seek_absolute(
                                 decoder_.get(), static_cast<FLAC__uint64>(sampleNumber));
    if (!done) {
        // A failed seek leaves the decoder unusable until it is reset to the stream's start.
        flac_->FLAC__stream_decoder_reset(decoder_.get());
        readIndex_ = 0;
        endIndex_ = 0;
    }
    position_ = done ? sampleNumber * frameBytes_ : 0;
    return done;
}

} // namespace quillon
