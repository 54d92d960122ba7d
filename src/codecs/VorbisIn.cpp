#include "codecs/VorbisIn.h"

#include "core/PcmException.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

constexpr int kDecodeBufferBytes = 8192;

} // namespace

TVorbisIn::TVorbisIn() : vorbis_(&VorbisLibraries::Require()) {}

TVorbisIn::~TVorbisIn() {
    CloseDecoder();
}

size_t TVorbisIn::ReadCallback(void* ptr, size_t size, size_t count, void* source) {
    auto* self = static_cast<TVorbisIn*>(source);
    if (size == 0) {
        return 0;
    }
    try {
        return self->stream_->Read(ptr, size * count) / size;
    } catch (const std::exception&) {
        return 0;
    }
}

int TVorbisIn::SeekCallback(void* source, ogg_int64_t offset, int whence) {
    auto* self = static_cast<TVorbisIn*>(source);
    const SeekOrigin origin = whence == SEEK_SET   ? SeekOrigin::Begin
                              : whence == SEEK_CUR ? SeekOrigin::Current
                                                   : SeekOrigin::End;
    try {
        self->stream_->Seek(offset, origin);
        return 0;
    } catch (const std::exception&) {
        return -1;
    }
}

long TVorbisIn::TellCallback(void* source) {
    auto* self = static_cast<TVorbisIn*>(source);
    try {
        return static_cast<long>(self->stream_->Position());
    } catch (const std::exception&) {
        return -1;
    }
}

void TVorbisIn::OpenFile() {
    if (openCount_ == 0) {
        CloseDecoder();
        valid_ = true;
        endOfFile_ = false;
        try {
            OpenOwnStream();
        } catch (const std::exception&) {
            // An unreadable file is not an open one: nothing is counted and nothing is read.
            valid_ = false;
            return;
        }
        channels_ = 0;
        sampleRate_ = 0;
        bitsPerSample_ = 0;
        totalSamples_ = 0;
        size_ = 0;
        bitrateUpper_ = 0;
        bitrateNominal_ = 0;
        bitrateLower_ = 0;
        comments_.clear();
        file_ = std::make_unique<OggVorbis_File>();
        const ov_callbacks callbacks{ReadCallback, streamSeekable_ ? SeekCallback : nullptr,
                                     nullptr, TellCallback};
        if (vorbis_->ov_open_callbacks(this, file_.get(), nullptr, 0, callbacks) != 0) {
            // The library has released its own state; the stream is still ours to close.
            file_.reset();
            valid_ = false;
        } else {
            if (const vorbis_comment* comment = vorbis_->ov_comment(file_.get(), -1)) {
                for (int i = 0; i < comment->comments; ++i) {
                    comments_.emplace_back(comment->user_comments[i],
                                           static_cast<size_t>(comment->comment_lengths[i]));
                }
            }
            if (const vorbis_info* info = vorbis_->ov_info(file_.get(), -1)) {
                channels_ = info->channels;
                sampleRate_ = static_cast<int>(info->rate);
                bitrateUpper_ = info->bitrate_upper;
                bitrateNominal_ = info->bitrate_nominal;
                bitrateLower_ = info->bitrate_lower;
            }
            bitsPerSample_ = 16;
            const ogg_int64_t total = vorbis_->ov_pcm_total(file_.get(), -1);
            totalSamples_ = std::max<ogg_int64_t>(total, 0);
            size_ = total >= 0 ? totalSamples_ * 2 * channels_ : -1;
        }
        currentStream_ = -1;
    }
    ++openCount_;
}

void TVorbisIn::CloseFile() {
    if (openCount_ == 1) {
        CloseDecoder();
    }
    if (openCount_ > 0) {
        --openCount_;
    }
}

void TVorbisIn::CloseDecoder() {
    if (file_) {
        vorbis_->ov_clear(file_.get());
        file_.reset();
    }
    CloseOwnStream();
}

void TVorbisIn::Init() {
    TPcmFileIn::Init();
    if (!valid_) {
        Flush();
        throw EPcmException("Error reading Ogg Vorbis file");
    }
}

void TVorbisIn::FillBuffer() {
    buffer_.resize(kDecodeBufferBytes);
    if (!file_) {
        endOfFile_ = true;
    }
    // Whole sample frames only: the decoder returns nothing when not even one frame fits.
    const int capacity = kDecodeBufferBytes - kDecodeBufferBytes % std::max(1, 2 * channels_);
    while (!endOfFile_ && bufferEnd_ < capacity) {
        const long r = vorbis_->ov_read(file_.get(), buffer_.data() + bufferEnd_,
                                        capacity - bufferEnd_, 0, 2, 1, &currentStream_);
        if (r == OV_HOLE) {
            // A gap in the data: the decoder resumes after it.
            continue;
        }
        if (r <= 0) {
            endOfFile_ = true;
            break;
        }
        bufferEnd_ += static_cast<int>(r);
        if (size_ >= 0 && position_ + bufferEnd_ >= size_) {
            bufferEnd_ = static_cast<int>(std::max<int64_t>(size_ - position_, 0));
            endOfFile_ = true;
        }
    }
}

int TVorbisIn::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    if (bufferEnd_ < bufferStart_) {
        bufferStart_ = 1;
        bufferEnd_ = 0;
        FillBuffer();
        if (bufferEnd_ == 0 && endOfFile_ && loop_) {
            Flush();
            Init();
            endOfFile_ = false;
            FillBuffer();
        }
    }
    const int count = std::max(0, std::min(bufferSize, bufferEnd_ - bufferStart_ + 1));
    if (count > 0) {
        std::memcpy(buffer, buffer_.data() + bufferStart_ - 1, static_cast<size_t>(count));
    }
    bufferStart_ += count;
    position_ += count;
    return count;
}

bool TVorbisIn::SeekSample(int64_t sampleNumber) {
    if (!streamSeekable_) {
        return false;
    }
    OpenFile();
    const bool done = file_ && vorbis_->ov_pcm_seek(file_.get(), sampleNumber) == 0;
    CloseFile();
    bufferStart_ = 1;
    bufferEnd_ = 0;
    endOfFile_ = false;
    return done;
}

} // namespace quillon
