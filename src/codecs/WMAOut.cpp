#include "codecs/WMAOut.h"

#include "codecs/AsfHeaderTags.h"
#include "codecs/PcmSamples.h"
#include "codecs/WMAProfile.h"
#include "core/PcmException.h"
#include "platform/FFmpegLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

// One second of 16-bit stereo at 44100 Hz: the most that one pass reads.
constexpr int kBufferBytes = 176400;
constexpr int kIoBufferBytes = 32768;

std::string Hex(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}

std::string ErrorText(const FFmpegEntries& f, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    f.av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

// The FFmpeg objects of one run, released on every path.
struct TWMA_Out::Av {
    explicit Av(const FFmpegEntries& entries, Stream& out) : f(entries), stream(out) {}
    ~Av() {
        f.swr_free(&resampler);
        f.av_frame_free(&frame);
        f.av_packet_free(&packet);
        f.avcodec_free_context(&codec);
        if (io != nullptr) {
            f.av_freep(&io->buffer);
            f.avio_context_free(&io);
        }
        if (format != nullptr) {
            format->pb = nullptr;
            f.avformat_free_context(format);
        }
    }
    Av(const Av&) = delete;
    Av& operator=(const Av&) = delete;

    // The muxer writes through the sink's stream, so that the file is published like every
    // other sink's output. A stream error is kept for the message of the run's failure.
    static int Write(void* opaque, uint8_t* data, int size) {
        auto* self = static_cast<Av*>(opaque);
        try {
            self->stream.Write(data, static_cast<size_t>(size));
            return size;
        } catch (const std::exception& e) {
            self->writeError = e.what();
            return AVERROR(EIO);
        }
    }
    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<Av*>(opaque);
        try {
            switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return self->stream.Size();
            case SEEK_SET:
                return self->stream.Seek(offset, SeekOrigin::Begin);
            case SEEK_CUR:
                return self->stream.Seek(offset, SeekOrigin::Current);
            case SEEK_END:
                return self->stream.Seek(offset, SeekOrigin::End);
            default:
                return AVERROR(EINVAL);
            }
        } catch (const std::exception& e) {
            self->writeError = e.what();
            return AVERROR(EIO);
        }
    }

    const FFmpegEntries& f;
    Stream& stream;
    std::string writeError;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* avStream = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
};

TWMA_Out::TWMA_Out() {
    if (FFmpeg() == nullptr) {
        TerminateThread();
        throw EPcmException("libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR) +
                            " library could not be loaded.");
    }
}

TWMA_Out::~TWMA_Out() {
    TerminateThread();
}

void TWMA_Out::Log(const std::string& line) const {
    if (OnLog) {
        OnLog(line);
    }
}

void TWMA_Out::Prepare() {
    if (!streamAssigned_ && fileName_.empty()) {
        throw EPcmException("File name is not assigned.");
    }
    sampleTime_ = 0;
    const std::optional<std::string> text = ReadWmaProfileText(profileFile_);
    const std::optional<TWmaProfileFormat> format =
        text ? ParseWmaProfile(*text) : std::optional<TWmaProfileFormat>();
    Log("Creating the Writer...\r\n");
    if (!format) {
        const int code = text ? AVERROR_INVALIDDATA : AVERROR(ENOENT);
        Log("Could not create the Writer for file " + fileName_ + " (hr=" + Hex(code) + ").\r\n");
        // Without a format there can be no file: the run fails rather than end with nothing.
        throw EPcmException(text ? "The WMA profile \"" + profileFile_ +
                                       "\" holds no usable audio format."
                                 : "The WMA profile \"" + profileFile_ + "\" could not be read.");
    }
    CreateOutputFile();
    TPcmInput* input = InitInput();
    try {
        inputBytesPerSample_ = input->GetBitsPerSample() / 8;
        inputChannels_ = input->GetChannels();
        if (inputBytesPerSample_ < 1 || inputBytesPerSample_ > 4 || inputChannels_ < 1 ||
            inputChannels_ > 8 || input->GetSampleRate() <= 0) {
            throw EPcmException("The input's audio format cannot be encoded as WMA.");
        }
        CreateWriter(format->sampleRate, format->channels, format->bitRate);
        BeginWriting();
    } catch (...) {
        ReleaseWriter();
        DiscardOutputFile();
        input->Flush();
        throw;
    }
}

void TWMA_Out::CreateWriter(int sampleRate, int channels, int bitRate) {
    const FFmpegEntries& f = *FFmpeg();
    av_ = std::make_unique<Av>(f, *stream_);
    const auto fail = [&](int code, const std::string& message) {
        Log("Could not create the Writer for file " + fileName_ + " (hr=" + Hex(code) + ").\r\n");
        throw EPcmException(message + ": " + ErrorText(f, code));
    };
    const AVCodec* encoder = f.avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (encoder == nullptr) {
        Log("BeginWriting failed: Audio codec not installed\r\n");
        throw EPcmException("The WMA encoder is not available.");
    }
    av_->codec = f.avcodec_alloc_context3(encoder);
    av_->frame = f.av_frame_alloc();
    av_->packet = f.av_packet_alloc();
    if (av_->codec == nullptr || av_->frame == nullptr || av_->packet == nullptr) {
        fail(AVERROR(ENOMEM), "Could not create the WMA writer");
    }
    AVCodecContext& codec = *av_->codec;
    codec.sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec.sample_rate = sampleRate;
    codec.bit_rate = bitRate;
    codec.time_base = AVRational{1, sampleRate};
    f.av_channel_layout_default(&codec.ch_layout, channels);
    if (const int r = f.avcodec_open2(av_->codec, encoder, nullptr); r < 0) {
        Log("BeginWriting failed: Invalid output format \r\n");
        throw EPcmException("The WMA encoder does not accept the profile's format (" +
                            std::to_string(sampleRate) + " Hz, " + std::to_string(channels) +
                            " channels, " + std::to_string(bitRate) + " bit/s).");
    }

    if (const int r = f.avformat_alloc_output_context2(&av_->format, nullptr, "asf", nullptr);
        r < 0) {
        fail(r, "Could not create the WMA writer");
    }
    // Bit-exact output leaves out the muxer's own encoder attribute.
    av_->format->flags |= AVFMT_FLAG_BITEXACT;
    auto* ioBuffer = static_cast<unsigned char*>(f.av_malloc(kIoBufferBytes));
    if (ioBuffer != nullptr) {
        av_->io = f.avio_alloc_context(ioBuffer, kIoBufferBytes, 1, av_.get(), nullptr, &Av::Write,
                                       &Av::Seek);
        if (av_->io == nullptr) {
            f.av_freep(&ioBuffer);
        }
    }
    av_->avStream = f.avformat_new_stream(av_->format, nullptr);
    if (av_->io == nullptr || av_->avStream == nullptr) {
        fail(AVERROR(ENOMEM), "Could not create the WMA writer");
    }
    av_->format->pb = av_->io;
    if (const int r = f.avcodec_parameters_from_context(av_->avStream->codecpar, av_->codec);
        r < 0) {
        fail(r, "Could not create the WMA writer");
    }
    av_->avStream->time_base = codec.time_base;

    AVChannelLayout inLayout{};
    f.av_channel_layout_default(&inLayout, inputChannels_);
    const int r =
        f.swr_alloc_set_opts2(&av_->resampler, &codec.ch_layout, AV_SAMPLE_FMT_FLTP, sampleRate,
                              &inLayout, AV_SAMPLE_FMT_FLT, Input()->GetSampleRate(), 0, nullptr);
    f.av_channel_layout_uninit(&inLayout);
    if (r < 0) {
        fail(r, "Could not create the WMA writer");
    }
    if (const int e = f.swr_init(av_->resampler); e < 0) {
        fail(e, "Could not create the WMA writer");
    }
    av_->frame->format = AV_SAMPLE_FMT_FLTP;
    av_->frame->nb_samples = codec.frame_size;
    av_->frame->sample_rate = sampleRate;
    f.av_channel_layout_copy(&av_->frame->ch_layout, &codec.ch_layout);
    if (const int e = f.av_frame_get_buffer(av_->frame, 0); e < 0) {
        fail(e, "Could not create the WMA writer");
    }
    pending_.assign(static_cast<size_t>(channels), {});
    samplesEncoded_ = 0;
    buffer_.assign(kBufferBytes, 0);
    carry_ = 0;
}

std::vector<AsfTag> TWMA_Out::Tags() const {
    return {{"WM/AlbumTitle", id3TagAlbum_}, {"WM/Year", id3TagYear_},
            {"WM/Genre", id3TagGenre_},      {"Author", id3TagArtist_},
            {"Description", id3TagComment_}, {"Title", id3TagTitle_}};
}

void TWMA_Out::BeginWriting() {
    const FFmpegEntries& f = av_->f;
    for (const auto& [name, value] : AsfTagReserve(Tags())) {
        f.av_dict_set(&av_->format->metadata, name.c_str(), value.c_str(), 0);
    }
    if (const int r = f.avformat_write_header(av_->format, nullptr); r < 0) {
        Log("BeginWriting failed: Error (hr=" + Hex(r) + ")\r\n");
        throw EPcmException("Could not start the WMA file: " +
                            (av_->writeError.empty() ? ErrorText(f, r) : av_->writeError));
    }
}

bool TWMA_Out::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort) {
        return false;
    }
    const int frameBytes = inputChannels_ * inputBytesPerSample_;
    // One second at 44100 Hz, but never more than the buffer holds.
    const int blockSize = std::min(inputChannels_ * 44100 * inputBytesPerSample_,
                                   kBufferBytes - kBufferBytes % frameBytes);
    const int n = ReadFromInput(buffer_.data() + carry_, blockSize - carry_);
    if (n <= 0) {
        return false;
    }
    if (OnWriteSample) {
        OnWriteSample(sampleTime_, n);
    }
    const int whole = (carry_ + n) / frameBytes * frameBytes;
    EncodeBlock(buffer_.data(), whole);
    carry_ += n - whole;
    std::memmove(buffer_.data(), buffer_.data() + whole, static_cast<size_t>(carry_));
    sampleTime_ += std::llround(static_cast<double>(n / 4) / 44100 * 10'000'000);
    return true;
}

void TWMA_Out::EncodeBlock(const uint8_t* data, int bytes) {
    const FFmpegEntries& f = av_->f;
    const int frames = bytes / (inputChannels_ * inputBytesPerSample_);
    if (data != nullptr && frames == 0) {
        return;
    }
    interleaved_.resize(static_cast<size_t>(frames) * static_cast<size_t>(inputChannels_));
    for (float& sample : interleaved_) {
        sample = SampleAsFloat(data, inputBytesPerSample_);
        data += inputBytesPerSample_;
    }
    const auto* in = reinterpret_cast<const uint8_t*>(interleaved_.data());
    const int room = f.swr_get_out_samples(av_->resampler, frames);
    std::vector<uint8_t*> out;
    const size_t before = pending_[0].size();
    for (auto& channel : pending_) {
        channel.resize(before + static_cast<size_t>(std::max(room, 0)));
        out.push_back(reinterpret_cast<uint8_t*>(channel.data() + before));
    }
    const int got =
        f.swr_convert(av_->resampler, out.data(), room, frames > 0 ? &in : nullptr, frames);
    for (auto& channel : pending_) {
        channel.resize(before + static_cast<size_t>(std::max(got, 0)));
    }
    if (got < 0) {
        throw EPcmException("Could not resample the audio for WMA: " + ErrorText(f, got));
    }
    EncodePending(false);
}

void TWMA_Out::EncodePending(bool all) {
    const FFmpegEntries& f = av_->f;
    AVFrame& frame = *av_->frame;
    const size_t frameSize = static_cast<size_t>(av_->codec->frame_size);
    const size_t available = pending_[0].size();
    size_t used = 0;
    while (available - used >= frameSize || (all && used < available)) {
        if (const int r = f.av_frame_make_writable(&frame); r < 0) {
            throw EPcmException("Could not encode WMA audio: " + ErrorText(f, r));
        }
        const size_t count = std::min(frameSize, available - used);
        for (size_t c = 0; c < pending_.size(); ++c) {
            auto* target = reinterpret_cast<float*>(frame.data[c]);
            std::copy_n(pending_[c].begin() + static_cast<std::ptrdiff_t>(used), count, target);
            // The last frame is filled up with silence: the encoder takes whole frames only.
            std::fill(target + count, target + frameSize, 0.0f);
        }
        frame.pts = samplesEncoded_;
        samplesEncoded_ += static_cast<int64_t>(frameSize);
        used += count;
        SendFrame(false);
    }
    for (auto& channel : pending_) {
        channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(used));
    }
}

void TWMA_Out::SendFrame(bool flush) {
    const FFmpegEntries& f = av_->f;
    if (const int r = f.avcodec_send_frame(av_->codec, flush ? nullptr : av_->frame); r < 0) {
        throw EPcmException("Could not encode WMA audio: " + ErrorText(f, r));
    }
    AVPacket* packet = av_->packet;
    for (;;) {
        const int r = f.avcodec_receive_packet(av_->codec, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            return;
        }
        if (r < 0) {
            throw EPcmException("Could not encode WMA audio: " + ErrorText(f, r));
        }
        f.av_packet_rescale_ts(packet, av_->codec->time_base, av_->avStream->time_base);
        packet->stream_index = av_->avStream->index;
        const int w = f.av_write_frame(av_->format, packet);
        f.av_packet_unref(packet);
        if (w < 0) {
            throw EPcmException("Could not write the WMA file: " +
                                (av_->writeError.empty() ? ErrorText(f, w) : av_->writeError));
        }
    }
}

void TWMA_Out::EndWriting() {
    const FFmpegEntries& f = av_->f;
    // What the resampler still holds, then the partial last frame and the encoder's delay.
    EncodeBlock(nullptr, 0);
    EncodePending(true);
    SendFrame(true);
    if (const int r = f.av_write_trailer(av_->format); r < 0) {
        Log("Could not end writing (hr=" + Hex(r) + ").\r\n");
        throw EPcmException("Could not end the WMA file: " +
                            (av_->writeError.empty() ? ErrorText(f, r) : av_->writeError));
    }
    f.avio_flush(av_->io);
    if (!WriteAsfTags(*stream_, Tags())) {
        Log("Could not set WMTags (hr=" + Hex(AVERROR_INVALIDDATA) + ").\r\n");
    }
    Log("Recompression finished.\r\n");
}

void TWMA_Out::Finish() {
    try {
        // A stopped or failed run is discarded, so it is not ended properly either.
        if (av_ && !Failing()) {
            EndWriting();
        }
        ReleaseWriter();
        CloseOutputFile();
    } catch (...) {
        ReleaseWriter();
        throw;
    }
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
}

void TWMA_Out::ReleaseWriter() {
    av_.reset();
    pending_.clear();
    interleaved_ = {};
    buffer_ = {};
}

} // namespace quillon
