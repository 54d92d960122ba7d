#include "platform/Acm.h"

#include "platform/FFmpegLibrary.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace quillon {

namespace {

// Only reached once FFmpeg() proved available (AcmStream::Open checks it).
const FFmpegEntries& Av() {
    return *FFmpeg();
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { Av().avcodec_free_context(&context); }
};
struct ParserDeleter {
    void operator()(AVCodecParserContext* parser) const { Av().av_parser_close(parser); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { Av().av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { Av().av_frame_free(&frame); }
};
struct ResamplerDeleter {
    void operator()(SwrContext* context) const { Av().swr_free(&context); }
};

// Largest first estimate of a conversion's output; longer output is delivered in pieces.
constexpr uint64_t kMaxEstimate = 256u << 20;
// Sample frames of the longest MPEG audio frame.
constexpr uint64_t kFramesPerMpegFrame = 1152;
// The lowest MPEG Layer-3 bit rate, 8 kbit/s, in bytes per second.
constexpr uint32_t kLowestByteRate = 1000;
constexpr size_t kParseChunk = 4096;

bool IsMpegLayer3Source(const TWaveFormatEx& format) {
    return format.wFormatTag == WAVE_FORMAT_MPEGLAYER3 &&
           (format.nChannels == 1 || format.nChannels == 2) && format.nSamplesPerSec >= 8000 &&
           format.nSamplesPerSec <= 48000;
}

// The checks that converting and unpreparing share: a stream, and a header that was prepared.
MmResult CheckPreparedHeader(HAcmStream stream, const TAcmStreamHeader* header) {
    if (stream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (header == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) {
        return ACMERR_UNPREPARED;
    }
    return MMSYSERR_NOERROR;
}

} // namespace

// An open conversion: the MPEG audio parser and decoder, the resampler to the target format,
// and decoded bytes that have not reached a target buffer yet.
class AcmStream {
public:
    AcmStream() = default;
    ~AcmStream() {
        if (FFmpeg() != nullptr) {
            Av().av_channel_layout_uninit(&resamplerLayout_);
        }
    }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    MmResult Open(const TWaveFormatEx& source, const TWaveFormatEx& target);
    uint32_t EstimateTarget(uint32_t sourceBytes) const;
    MmResult Convert(TAcmStreamHeader& header);

private:
    MmResult Feed(const uint8_t* data, size_t size);
    MmResult Finish();
    MmResult Decode(const uint8_t* data, int size);
    MmResult ReceiveFrames();
    MmResult Resample(const AVFrame* frame);
    MmResult ConfigureResampler(const AVFrame* frame);

    TWaveFormatEx source_{};
    TWaveFormatEx target_{};
    std::unique_ptr<AVCodecContext, CodecContextDeleter> codec_;
    std::unique_ptr<AVCodecParserContext, ParserDeleter> parser_;
    std::unique_ptr<AVPacket, PacketDeleter> packet_;
    std::unique_ptr<AVFrame, FrameDeleter> frame_;
    std::unique_ptr<SwrContext, ResamplerDeleter> resampler_;
    int resamplerFormat_ = -1;
    int resamplerRate_ = 0;
    AVChannelLayout resamplerLayout_{};
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
    bool ended_ = false;
};

MmResult AcmStream::Open(const TWaveFormatEx& source, const TWaveFormatEx& target) {
    source_ = source;
    target_ = target;
    if (FFmpeg() == nullptr) {
        return ACMERR_NOTPOSSIBLE;
    }
    const AVCodec* decoder = Av().avcodec_find_decoder(AV_CODEC_ID_MP3);
    if (decoder == nullptr) {
        return ACMERR_NOTPOSSIBLE;
    }
    codec_.reset(Av().avcodec_alloc_context3(decoder));
    parser_.reset(Av().av_parser_init(AV_CODEC_ID_MP3));
    packet_.reset(Av().av_packet_alloc());
    frame_.reset(Av().av_frame_alloc());
    if (!codec_ || !parser_ || !packet_ || !frame_) {
        return MMSYSERR_NOMEM;
    }
    codec_->sample_rate = static_cast<int>(source.nSamplesPerSec);
    Av().av_channel_layout_default(&codec_->ch_layout, source.nChannels);
    if (Av().avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
        return ACMERR_NOTPOSSIBLE;
    }
    return MMSYSERR_NOERROR;
}

uint32_t AcmStream::EstimateTarget(uint32_t sourceBytes) const {
    if (sourceBytes == 0) {
        return 0;
    }
    const uint64_t byteRate = std::max(source_.nAvgBytesPerSec, kLowestByteRate);
    const uint64_t targetRate = static_cast<uint64_t>(target_.nSamplesPerSec) * target_.nBlockAlign;
    const uint64_t margin = 2 * kFramesPerMpegFrame * target_.nBlockAlign;
    return static_cast<uint32_t>(
        std::min(sourceBytes * targetRate / byteRate + margin, kMaxEstimate));
}

MmResult AcmStream::Convert(TAcmStreamHeader& header) {
    if (!ended_) {
        if (const MmResult result = Feed(header.pbSrc, header.cbSrcLength)) {
            return result;
        }
        if (const MmResult result = Finish()) {
            return result;
        }
        ended_ = true;
    }
    header.cbSrcLengthUsed = header.cbSrcLength;
    const size_t available = pending_.size() - pendingStart_;
    const size_t n = std::min<size_t>(available, header.cbDstLength);
    if (n > 0) {
        std::memcpy(header.pbDst, pending_.data() + pendingStart_, n);
    }
    pendingStart_ += n;
    if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
    }
    header.cbDstLengthUsed = static_cast<uint32_t>(n);
    return MMSYSERR_NOERROR;
}

MmResult AcmStream::Feed(const uint8_t* data, size_t size) {
    // The parser may read a little past the end of its input, so it gets padded copies.
    std::vector<uint8_t> chunk(kParseChunk + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    size_t offset = 0;
    while (offset < size) {
        const size_t length = std::min(kParseChunk, size - offset);
        std::memcpy(chunk.data(), data + offset, length);
        std::fill(chunk.begin() + static_cast<ptrdiff_t>(length), chunk.end(), uint8_t{0});
        const uint8_t* input = chunk.data();
        int remaining = static_cast<int>(length);
        while (remaining > 0) {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int used =
                Av().av_parser_parse2(parser_.get(), codec_.get(), &out, &outSize, input, remaining,
                                      AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) {
                return ACMERR_NOTPOSSIBLE;
            }
            input += used;
            remaining -= used;
            if (outSize > 0) {
                if (const MmResult result = Decode(out, outSize)) {
                    return result;
                }
            } else if (used == 0) {
                break;
            }
        }
        offset += length;
    }
    return MMSYSERR_NOERROR;
}

MmResult AcmStream::Finish() {
    for (;;) {
        uint8_t* out = nullptr;
        int outSize = 0;
        Av().av_parser_parse2(parser_.get(), codec_.get(), &out, &outSize, nullptr, 0,
                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (outSize <= 0) {
            break;
        }
        if (const MmResult result = Decode(out, outSize)) {
            return result;
        }
    }
    if (Av().avcodec_send_packet(codec_.get(), nullptr) < 0) {
        return ACMERR_NOTPOSSIBLE;
    }
    if (const MmResult result = ReceiveFrames()) {
        return result;
    }
    if (!resampler_) {
        return MMSYSERR_NOERROR;
    }
    return Resample(nullptr);
}

MmResult AcmStream::Decode(const uint8_t* data, int size) {
    packet_->data = const_cast<uint8_t*>(data);
    packet_->size = size;
    const int sent = Av().avcodec_send_packet(codec_.get(), packet_.get());
    packet_->data = nullptr;
    packet_->size = 0;
    // A damaged frame is dropped and decoding goes on with the next one.
    if (sent < 0 && sent != AVERROR_INVALIDDATA) {
        return ACMERR_NOTPOSSIBLE;
    }
    return ReceiveFrames();
}

MmResult AcmStream::ReceiveFrames() {
    for (;;) {
        const int received = Av().avcodec_receive_frame(codec_.get(), frame_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return MMSYSERR_NOERROR;
        }
        if (received == AVERROR_INVALIDDATA) {
            continue;
        }
        if (received < 0) {
            return ACMERR_NOTPOSSIBLE;
        }
        const MmResult result = Resample(frame_.get());
        Av().av_frame_unref(frame_.get());
        if (result != MMSYSERR_NOERROR) {
            return result;
        }
    }
}

MmResult AcmStream::ConfigureResampler(const AVFrame* frame) {
    if (resampler_ && frame->format == resamplerFormat_ && frame->sample_rate == resamplerRate_ &&
        Av().av_channel_layout_compare(&frame->ch_layout, &resamplerLayout_) == 0) {
        return MMSYSERR_NOERROR;
    }
    if (resampler_) {
        // The stream changed its format: what the old resampler holds back is delivered first.
        if (const MmResult result = Resample(nullptr)) {
            return result;
        }
    }
    AVChannelLayout targetLayout{};
    Av().av_channel_layout_default(&targetLayout, target_.nChannels);
    // This FFmpeg takes the layouts through non-const pointers but only reads them.
    AVChannelLayout* sourceLayout = const_cast<AVChannelLayout*>(&frame->ch_layout);
    SwrContext* context = nullptr;
    const int made = Av().swr_alloc_set_opts2(
        &context, &targetLayout, AV_SAMPLE_FMT_S16, static_cast<int>(target_.nSamplesPerSec),
        sourceLayout, static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    Av().av_channel_layout_uninit(&targetLayout);
    resampler_.reset(context);
    if (made < 0 || Av().swr_init(resampler_.get()) < 0) {
        resampler_.reset();
        return ACMERR_NOTPOSSIBLE;
    }
    resamplerFormat_ = frame->format;
    resamplerRate_ = frame->sample_rate;
    Av().av_channel_layout_uninit(&resamplerLayout_);
    if (Av().av_channel_layout_copy(&resamplerLayout_, &frame->ch_layout) < 0) {
        return MMSYSERR_NOMEM;
    }
    return MMSYSERR_NOERROR;
}

MmResult AcmStream::Resample(const AVFrame* frame) {
    if (frame != nullptr) {
        if (const MmResult result = ConfigureResampler(frame)) {
            return result;
        }
    }
    const int inputFrames = frame != nullptr ? frame->nb_samples : 0;
    const int capacity = Av().swr_get_out_samples(resampler_.get(), inputFrames);
    if (capacity < 0) {
        return ACMERR_NOTPOSSIBLE;
    }
    if (capacity == 0) {
        return MMSYSERR_NOERROR;
    }
    const size_t frameBytes = target_.nBlockAlign;
    const size_t start = pending_.size();
    pending_.resize(start + static_cast<size_t>(capacity) * frameBytes);
    uint8_t* out = pending_.data() + start;
    const int made = Av().swr_convert(
        resampler_.get(), &out, capacity,
        frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
        inputFrames);
    if (made < 0) {
        pending_.resize(start);
        return ACMERR_NOTPOSSIBLE;
    }
    pending_.resize(start + static_cast<size_t>(made) * frameBytes);
    return MMSYSERR_NOERROR;
}

MmResult acmMetrics(void*, uint32_t metric, uint32_t* value) {
    if (value == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) {
        return ACMERR_NOTPOSSIBLE;
    }
    *value = sizeof(TWaveFormatEx);
    return MMSYSERR_NOERROR;
}

MmResult acmFormatSuggest(void*, const TWaveFormatEx* source, TWaveFormatEx* target,
                          uint32_t targetSize, uint32_t flags) {
    if (source == nullptr || target == nullptr || targetSize < 18) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != ACM_FORMATSUGGESTF_WFORMATTAG) {
        return MMSYSERR_INVALFLAG;
    }
    if (target->wFormatTag != WAVE_FORMAT_PCM || !IsMpegLayer3Source(*source)) {
        return ACMERR_NOTPOSSIBLE;
    }
    target->nChannels = source->nChannels;
    target->nSamplesPerSec = source->nSamplesPerSec;
    target->wBitsPerSample = 16;
    target->nBlockAlign = static_cast<uint16_t>(target->nChannels * 2);
    target->nAvgBytesPerSec = target->nSamplesPerSec * target->nBlockAlign;
    target->cbSize = 0;
    return MMSYSERR_NOERROR;
}

MmResult acmStreamOpen(HAcmStream* stream, void*, const TWaveFormatEx* source,
                       const TWaveFormatEx* target, void*, uintptr_t, uintptr_t, uint32_t) {
    if (stream == nullptr || source == nullptr || target == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *stream = nullptr;
    if (!IsMpegLayer3Source(*source) || target->wFormatTag != WAVE_FORMAT_PCM ||
        target->wBitsPerSample != 16 || target->nChannels != source->nChannels ||
        target->nSamplesPerSec != source->nSamplesPerSec ||
        target->nBlockAlign != target->nChannels * 2) {
        return ACMERR_NOTPOSSIBLE;
    }
    auto opened = std::unique_ptr<AcmStream>(new (std::nothrow) AcmStream);
    if (!opened) {
        return MMSYSERR_NOMEM;
    }
    if (const MmResult result = opened->Open(*source, *target)) {
        return result;
    }
    *stream = opened.release();
    return MMSYSERR_NOERROR;
}

MmResult acmStreamSize(HAcmStream stream, uint32_t input, uint32_t* output, uint32_t flags) {
    if (stream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (output == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != ACM_STREAMSIZEF_SOURCE) {
        return MMSYSERR_INVALFLAG;
    }
    *output = stream->EstimateTarget(input);
    return MMSYSERR_NOERROR;
}

MmResult acmStreamPrepareHeader(HAcmStream stream, TAcmStreamHeader* header, uint32_t) {
    if (stream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (header == nullptr || header->cbStruct != sizeof(TAcmStreamHeader) ||
        (header->pbSrc == nullptr && header->cbSrcLength != 0) ||
        (header->pbDst == nullptr && header->cbDstLength != 0)) {
        return MMSYSERR_INVALPARAM;
    }
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult acmStreamConvert(HAcmStream stream, TAcmStreamHeader* header, uint32_t) {
    if (const MmResult refused = CheckPreparedHeader(stream, header); refused != MMSYSERR_NOERROR) {
        return refused;
    }
    try {
        return stream->Convert(*header);
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
}

MmResult acmStreamUnprepareHeader(HAcmStream stream, TAcmStreamHeader* header, uint32_t) {
    if (const MmResult refused = CheckPreparedHeader(stream, header); refused != MMSYSERR_NOERROR) {
        return refused;
    }
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult acmStreamClose(HAcmStream stream, uint32_t) {
    if (stream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    delete stream;
    return MMSYSERR_NOERROR;
}

} // namespace quillon
