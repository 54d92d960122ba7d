#include "codecs/AudioFileReader.h"

#include "codecs/AudioReadError.h"
#include "platform/FFmpegLibrary.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;
constexpr AVRational kUnitTimeBase{1, kUnitsPerSecond};

} // namespace

// The FFmpeg objects of one open file, released on every path.
struct TAudioFileReader::Av {
    explicit Av(const FFmpegEntries& entries) : f(entries) {}
    ~Av() {
        FreeResampler();
        f.av_channel_layout_uninit(&outLayout);
        f.av_frame_free(&frame);
        f.av_packet_free(&packet);
        f.avcodec_free_context(&codec);
        f.avformat_close_input(&format);
    }
    Av(const Av&) = delete;
    Av& operator=(const Av&) = delete;

    void FreeResampler() {
        f.swr_free(&resampler);
        f.av_channel_layout_uninit(&resamplerLayout);
    }

    const FFmpegEntries& f;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* resampler = nullptr;
    // The input format the resampler was set up for.
    int resamplerFormat = -1;
    int resamplerRate = 0;
    AVChannelLayout resamplerLayout{};
    AVChannelLayout outLayout{};
};

TAudioFileReader::TAudioFileReader(const std::string& fileName) : fileName_(fileName) {
    const FFmpegEntries* entries = FFmpeg();
    if (entries == nullptr) {
        throw EAudioReadError(kAudioReadClassNotRegistered);
    }
    av_ = std::make_unique<Av>(*entries);
    const FFmpegEntries& f = av_->f;
    if (const int r = f.avformat_open_input(&av_->format, fileName.c_str(), nullptr, nullptr);
        r < 0) {
        Fail(r);
    }
    if (const int r = f.avformat_find_stream_info(av_->format, nullptr); r < 0) {
        Fail(r);
    }
    const AVCodec* decoder = nullptr;
    streamIndex_ = f.av_find_best_stream(av_->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex_ < 0) {
        Fail(streamIndex_);
    }
    // Packets of the other streams (cover art, video) are not even read.
    for (unsigned i = 0; i < av_->format->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex_) {
            av_->format->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    const AVStream* stream = av_->format->streams[streamIndex_];
    av_->codec = f.avcodec_alloc_context3(decoder);
    av_->packet = f.av_packet_alloc();
    av_->frame = f.av_frame_alloc();
    if (av_->codec == nullptr || av_->packet == nullptr || av_->frame == nullptr) {
        Fail(AVERROR(ENOMEM));
    }
    if (const int r = f.avcodec_parameters_to_context(av_->codec, stream->codecpar); r < 0) {
        Fail(r);
    }
    av_->codec->pkt_timebase = stream->time_base;
    if (const int r = f.avcodec_open2(av_->codec, decoder, nullptr); r < 0) {
        Fail(r);
    }
    const int channels = av_->codec->ch_layout.nb_channels;
    const int rate = av_->codec->sample_rate;
    if (channels <= 0 || channels > 255 || rate <= 0) {
        Fail(AVERROR_INVALIDDATA);
    }
    f.av_channel_layout_default(&av_->outLayout, channels);
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = static_cast<uint16_t>(channels);
    format_.nSamplesPerSec = static_cast<uint32_t>(rate);
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = static_cast<uint16_t>(channels * 2);
    format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
    format_.cbSize = 0;
    if (stream->duration != AV_NOPTS_VALUE) {
        duration_ = f.av_rescale_q(stream->duration, stream->time_base, kUnitTimeBase);
    } else if (av_->format->duration != AV_NOPTS_VALUE) {
        duration_ = f.av_rescale_q(av_->format->duration, AV_TIME_BASE_Q, kUnitTimeBase);
    }
    duration_ = std::max<int64_t>(duration_, 0);
}

TAudioFileReader::~TAudioFileReader() = default;

void TAudioFileReader::Fail(int ffmpegError) const {
    throw EAudioReadError(AudioReadCodeOf(ffmpegError));
}

int TAudioFileReader::Read(void* buffer, int size) {
    if (size <= 0) {
        throw EAudioReadError(kAudioReadInvalidBufferSize);
    }
    auto* out = static_cast<uint8_t*>(buffer);
    const int frameBytes = format_.nBlockAlign;
    const int wanted = size >= frameBytes ? size - size % frameBytes : size;
    int delivered = 0;
    while (delivered < wanted) {
        if (pendingStart_ == pending_.size()) {
            pending_.clear();
            pendingStart_ = 0;
            Refill();
            if (pending_.empty()) {
                break;
            }
        }
        const size_t n =
            std::min(static_cast<size_t>(wanted - delivered), pending_.size() - pendingStart_);
        std::memcpy(out + delivered, pending_.data() + pendingStart_, n);
        pendingStart_ += n;
        delivered += static_cast<int>(n);
    }
    bytesSinceSeek_ += delivered;
    position_ = seekBase_ + bytesSinceSeek_ * kUnitsPerSecond / format_.nAvgBytesPerSec;
    return delivered;
}

void TAudioFileReader::Refill() {
    const FFmpegEntries& f = av_->f;
    while (pending_.empty() && !decoderDrained_) {
        if (!inputEnded_) {
            const int r = f.av_read_frame(av_->format, av_->packet);
            if (r == AVERROR_EOF) {
                inputEnded_ = true;
                f.avcodec_send_packet(av_->codec, nullptr);
            } else if (r < 0) {
                Fail(r);
            } else if (av_->packet->stream_index == streamIndex_) {
                int sent = f.avcodec_send_packet(av_->codec, av_->packet);
                while (sent == AVERROR(EAGAIN)) {
                    DecodeFrames();
                    sent = f.avcodec_send_packet(av_->codec, av_->packet);
                }
                f.av_packet_unref(av_->packet);
                // A damaged packet is dropped and decoding goes on with the next one.
                if (sent < 0 && sent != AVERROR_INVALIDDATA) {
                    Fail(sent);
                }
            } else {
                f.av_packet_unref(av_->packet);
            }
        }
        DecodeFrames();
    }
    if (pending_.empty() && decoderDrained_ && av_->resampler != nullptr) {
        // What the resampler still holds is the last of the stream.
        Convert(nullptr);
        av_->FreeResampler();
    }
}

void TAudioFileReader::DecodeFrames() {
    const FFmpegEntries& f = av_->f;
    for (;;) {
        const int r = f.avcodec_receive_frame(av_->codec, av_->frame);
        if (r == AVERROR(EAGAIN)) {
            return;
        }
        if (r == AVERROR_EOF) {
            decoderDrained_ = true;
            return;
        }
        if (r == AVERROR_INVALIDDATA) {
            continue;
        }
        if (r < 0) {
            Fail(r);
        }
        Convert(av_->frame);
        f.av_frame_unref(av_->frame);
    }
}

void TAudioFileReader::ConfigureResampler(const AVFrame* frame) {
    const FFmpegEntries& f = av_->f;
    AVChannelLayout sourceLayout{};
    // A layout without channel order (WAV without a channel mask) is taken as the usual one.
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        f.av_channel_layout_default(&sourceLayout, frame->ch_layout.nb_channels);
    } else if (const int r = f.av_channel_layout_copy(&sourceLayout, &frame->ch_layout); r < 0) {
        Fail(r);
    }
    if (av_->resampler != nullptr && frame->format == av_->resamplerFormat &&
        frame->sample_rate == av_->resamplerRate &&
        f.av_channel_layout_compare(&sourceLayout, &av_->resamplerLayout) == 0) {
        f.av_channel_layout_uninit(&sourceLayout);
        return;
    }
    if (av_->resampler != nullptr) {
        // The stream changed its format: what the old resampler holds back comes first.
        Convert(nullptr);
        av_->FreeResampler();
    }
    av_->resamplerLayout = sourceLayout;
    av_->resamplerFormat = frame->format;
    av_->resamplerRate = frame->sample_rate;
    const int made = f.swr_alloc_set_opts2(
        &av_->resampler, &av_->outLayout, AV_SAMPLE_FMT_S16,
        static_cast<int>(format_.nSamplesPerSec), &av_->resamplerLayout,
        static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    if (made < 0) {
        Fail(made);
    }
    if (const int r = f.swr_init(av_->resampler); r < 0) {
        av_->FreeResampler();
        Fail(r);
    }
}

void TAudioFileReader::Convert(const AVFrame* frame) {
    const FFmpegEntries& f = av_->f;
    if (frame != nullptr) {
        ConfigureResampler(frame);
    }
    const int inputFrames = frame != nullptr ? frame->nb_samples : 0;
    const int capacity = f.swr_get_out_samples(av_->resampler, inputFrames);
    if (capacity < 0) {
        Fail(capacity);
    }
    if (capacity == 0) {
        return;
    }
    const size_t frameBytes = format_.nBlockAlign;
    const size_t start = pending_.size();
    pending_.resize(start + static_cast<size_t>(capacity) * frameBytes);
    uint8_t* out = pending_.data() + start;
    const int made = f.swr_convert(
        av_->resampler, &out, capacity,
        frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
        inputFrames);
    if (made < 0) {
        pending_.resize(start);
        Fail(made);
    }
    pending_.resize(start + static_cast<size_t>(made) * frameBytes);
    if (frame == nullptr || skipBefore_ == INT64_MIN) {
        return;
    }
    // After a seek the demuxer lands on the packet at or before the target: the samples
    // before it are dropped so that delivery resumes at the time asked for.
    const int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        skipBefore_ = INT64_MIN;
        return;
    }
    const AVStream* stream = av_->format->streams[streamIndex_];
    const int64_t early = f.av_rescale_q(skipBefore_ - pts, stream->time_base,
                                         AVRational{1, static_cast<int>(format_.nSamplesPerSec)});
    const int64_t drop = std::clamp<int64_t>(early, 0, made);
    if (drop < made) {
        skipBefore_ = INT64_MIN;
    }
    const auto first = pending_.begin() + static_cast<ptrdiff_t>(start);
    pending_.erase(first, first + static_cast<ptrdiff_t>(drop * static_cast<int64_t>(frameBytes)));
}

int64_t TAudioFileReader::Seek(int64_t time) {
    if (time == position_) {
        return position_;
    }
    time = std::max<int64_t>(time, 0);
    if (duration_ > 0) {
        time = std::min(time, duration_);
    }
    const FFmpegEntries& f = av_->f;
    const AVStream* stream = av_->format->streams[streamIndex_];
    int64_t target = f.av_rescale_q(time, kUnitTimeBase, stream->time_base);
    if (stream->start_time != AV_NOPTS_VALUE) {
        target += stream->start_time;
    }
    int r = f.av_seek_frame(av_->format, streamIndex_, target, AVSEEK_FLAG_BACKWARD);
    if (r < 0) {
        // Some demuxers find no key frame at or before a target at the very start.
        r = f.av_seek_frame(av_->format, streamIndex_, target, 0);
    }
    if (r < 0) {
        Fail(r);
    }
    f.avcodec_flush_buffers(av_->codec);
    av_->FreeResampler();
    pending_.clear();
    pendingStart_ = 0;
    inputEnded_ = false;
    decoderDrained_ = false;
    skipBefore_ = target;
    seekBase_ = time;
    bytesSinceSeek_ = 0;
    position_ = time;
    return time;
}

} // namespace quillon
