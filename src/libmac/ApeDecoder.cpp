#include "libmac/ApeDecoder.h"

#include "libmac/MACDll.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cstring>

namespace quillon::mac {

namespace {

uint32_t LE16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}

uint32_t LE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Files of version 3980 and later begin with a descriptor that gives the header's offset.
constexpr int kFirstDescriptorVersion = 3980;
constexpr size_t kHeaderBytes = 24;
constexpr size_t kMaxDescriptorBytes = 1024;
// The longest frame any compression level writes. FFmpeg allocates the last frame's packet and
// every frame's samples from the block counts, so larger counts are refused before it sees them.
constexpr uint32_t kMaxBlocksPerFrame = 73728 * 16;

// Every frame must start inside the file, in order: FFmpeg sizes frames (and allocates their
// packets) from these offsets.
int CheckSeekTable(const std::string& fileName, int64_t offset, uint32_t frames, int64_t fileSize) {
    std::vector<uint8_t> table(static_cast<size_t>(frames) * 4);
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        file.SetPosition(offset);
        if (file.Read(table.data(), table.size()) != table.size()) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
    } catch (const std::exception&) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    int64_t previous = offset + static_cast<int64_t>(table.size());
    for (uint32_t i = 0; i < frames; ++i) {
        const int64_t position = LE32(&table[static_cast<size_t>(i) * 4]);
        if (position < previous || position >= fileSize) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        previous = position;
    }
    return MAC_OK;
}

// FFmpeg reads an APE tag at the very end of the file and allocates each item's stated size
// before reading it; items larger than the tag are refused here instead.
bool TailTagFits(const std::string& fileName, int64_t fileSize) {
    constexpr int64_t kFooter = 32;
    if (fileSize < kFooter) {
        return true;
    }
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        uint8_t footer[kFooter];
        file.SetPosition(fileSize - kFooter);
        if (file.Read(footer, sizeof footer) != sizeof footer ||
            std::memcmp(footer, "APETAGEX", 8) != 0) {
            return true;
        }
        const int64_t tagSize = LE32(footer + 12);
        const uint32_t count = LE32(footer + 16);
        if (tagSize < kFooter || tagSize > fileSize) {
            return false;
        }
        std::vector<uint8_t> items(static_cast<size_t>(tagSize - kFooter));
        file.SetPosition(fileSize - tagSize);
        if (file.Read(items.data(), items.size()) != items.size()) {
            return false;
        }
        size_t at = 0;
        for (uint32_t i = 0; i < count && at < items.size(); ++i) {
            if (items.size() - at < 8) {
                return false;
            }
            const size_t valueSize = LE32(&items[at]);
            at += 8;
            while (at < items.size() && items[at] != 0) {
                ++at;
            }
            if (at >= items.size() || valueSize > items.size() - at - 1) {
                return false;
            }
            at += 1 + valueSize;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

struct ApeDecoder::Handles {
    const FFmpegEntries* av;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    // The stream position of the next block wanted after a seek, until its packet arrives.
    int64_t seekTarget = -1;

    explicit Handles(const FFmpegEntries* entries) : av(entries) {}
    ~Handles() {
        av->av_frame_free(&frame);
        av->av_packet_free(&packet);
        av->avcodec_free_context(&codec);
        if (format != nullptr) {
            av->avformat_close_input(&format);
        }
    }
};

ApeDecoder::ApeDecoder() = default;
ApeDecoder::~ApeDecoder() = default;

int ApeDecoder::Open(const std::string& fileName) {
    const int code = ReadHeader(fileName);
    if (code != MAC_OK || empty_) {
        return code;
    }
    return OpenFFmpeg(fileName);
}

int ApeDecoder::ReadHeader(const std::string& fileName) {
    std::vector<uint8_t> start(kMaxDescriptorBytes + kHeaderBytes);
    size_t got = 0;
    int64_t fileSize = 0;
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (file.IsFolder()) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        fileSize = file.Size();
        got = file.Read(start.data(), start.size());
    } catch (const std::exception&) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    if (got < 32 || std::memcmp(start.data(), "MAC ", 4) != 0) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    // A frame count the file cannot hold would have FFmpeg allocate and fill tables for it.
    if (static_cast<int>(LE16(&start[4])) < kFirstDescriptorVersion) {
        return LE32(&start[24]) <= fileSize && LE32(&start[28]) <= kMaxBlocksPerFrame &&
                       TailTagFits(fileName, fileSize)
                   ? MAC_OK
                   : MAC_ERROR_INVALID_INPUT_FILE;
    }
    const size_t descriptorBytes = LE32(&start[8]);
    if (descriptorBytes < 32 || descriptorBytes > kMaxDescriptorBytes ||
        descriptorBytes + kHeaderBytes > got) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    const uint8_t* header = &start[descriptorBytes];
    const uint32_t totalFrames = LE32(header + 12);
    const uint32_t seekTableBytes = LE32(&start[16]);
    const uint32_t blocksPerFrame = LE32(header + 4);
    if (blocksPerFrame > kMaxBlocksPerFrame || LE32(header + 8) > blocksPerFrame ||
        !TailTagFits(fileName, fileSize)) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    if (totalFrames != 0) {
        if (seekTableBytes > fileSize || totalFrames > seekTableBytes / 4) {
            return MAC_ERROR_INVALID_INPUT_FILE;
        }
        return CheckSeekTable(fileName, descriptorBytes + LE32(&start[12]), totalFrames, fileSize);
    }
    // No frames: the format is all there is to know.
    empty_ = true;
    bitsPerSample_ = static_cast<int>(LE16(header + 16));
    channels_ = static_cast<int>(LE16(header + 18));
    sampleRate_ = static_cast<int>(std::min<uint32_t>(LE32(header + 20), 0x7FFFFFFF));
    return CheckFormat();
}

int ApeDecoder::CheckFormat() const {
    if (bitsPerSample_ != 8 && bitsPerSample_ != 16 && bitsPerSample_ != 24) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    }
    if (channels_ < 1 || channels_ > 2) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
    }
    if (sampleRate_ <= 0) {
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
    }
    return MAC_OK;
}

int ApeDecoder::OpenFFmpeg(const std::string& fileName) {
    av_ = FFmpeg();
    if (av_ == nullptr) {
        return MAC_ERROR_INITIALIZING_UNMAC;
    }
    handles_ = std::make_unique<Handles>(av_);
    Handles& h = *handles_;
    if (av_->avformat_open_input(&h.format, fileName.c_str(), nullptr, nullptr) < 0) {
        h.format = nullptr;
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    if (std::strcmp(h.format->iformat->name, "ape") != 0 || h.format->nb_streams < 1 ||
        h.format->streams[0]->codecpar->codec_id != AV_CODEC_ID_APE) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    AVStream* stream = h.format->streams[0];
    const AVCodecParameters* parameters = stream->codecpar;
    sampleRate_ = parameters->sample_rate;
    channels_ = parameters->ch_layout.nb_channels;
    bitsPerSample_ = parameters->bits_per_coded_sample;
    if (const int code = CheckFormat(); code != MAC_OK) {
        return code;
    }
    if (stream->duration <= 0) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    totalBlocks_ =
        av_->av_rescale_q(stream->duration, stream->time_base, AVRational{1, sampleRate_});

    const AVCodec* decoder = av_->avcodec_find_decoder(AV_CODEC_ID_APE);
    h.codec = decoder != nullptr ? av_->avcodec_alloc_context3(decoder) : nullptr;
    h.packet = av_->av_packet_alloc();
    h.frame = av_->av_frame_alloc();
    if (h.codec == nullptr || h.packet == nullptr || h.frame == nullptr) {
        return MAC_ERROR_INSUFFICIENT_MEMORY;
    }
    if (av_->avcodec_parameters_to_context(h.codec, parameters) < 0) {
        return MAC_ERROR_INITIALIZING_UNMAC;
    }
    // Damaged frames are errors, not silently replaced audio.
    h.codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
    h.codec->pkt_timebase = stream->time_base;
    if (av_->avcodec_open2(h.codec, decoder, nullptr) < 0) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    return MAC_OK;
}

int64_t ApeDecoder::LengthMs() const {
    return sampleRate_ > 0 ? totalBlocks_ * 1000 / sampleRate_ : 0;
}

int ApeDecoder::GetData(char* buffer, int blocks, int& retrieved) {
    retrieved = 0;
    if (buffer == nullptr || blocks < 0) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    const size_t align = static_cast<size_t>(BlockAlign());
    int64_t wanted = std::min<int64_t>(blocks, totalBlocks_ - currentBlock_);
    while (wanted > 0) {
        if (pendingStart_ >= pending_.size()) {
            if (empty_ || ended_ || error_ != 0) {
                break;
            }
            const int code = DecodeMore();
            if (code != MAC_OK) {
                error_ = code;
                break;
            }
            continue;
        }
        const int64_t available = static_cast<int64_t>((pending_.size() - pendingStart_) / align);
        const int64_t n = std::min(available, wanted);
        const size_t bytes = static_cast<size_t>(n) * align;
        std::memcpy(buffer + static_cast<size_t>(retrieved) * align, &pending_[pendingStart_],
                    bytes);
        pendingStart_ += bytes;
        retrieved += static_cast<int>(n);
        currentBlock_ += n;
        wanted -= n;
    }
    if (retrieved > 0) {
        return MAC_OK;
    }
    if (error_ != 0) {
        return error_;
    }
    // The stream ended before the blocks its header promises: frames are missing.
    return blocks > 0 && currentBlock_ < totalBlocks_ ? MAC_ERROR_DECOMPRESSING_FRAME : MAC_OK;
}

int ApeDecoder::DecodeMore() {
    Handles& h = *handles_;
    pending_.clear();
    pendingStart_ = 0;
    while (pending_.empty()) {
        int result = av_->avcodec_receive_frame(h.codec, h.frame);
        if (result == 0) {
            AppendFrame(*h.frame);
            av_->av_frame_unref(h.frame);
            continue;
        }
        if (result == AVERROR_EOF || (result == AVERROR(EAGAIN) && draining_)) {
            ended_ = true;
            return MAC_OK;
        }
        if (result != AVERROR(EAGAIN)) {
            return MAC_ERROR_DECOMPRESSING_FRAME;
        }
        result = av_->av_read_frame(h.format, h.packet);
        if (result < 0) {
            // The end of the file, or a read that failed: the decoder gives what it holds.
            draining_ = true;
            if (av_->avcodec_send_packet(h.codec, nullptr) < 0) {
                ended_ = true;
                return MAC_OK;
            }
            continue;
        }
        if (h.packet->stream_index != 0) {
            av_->av_packet_unref(h.packet);
            continue;
        }
        if (h.seekTarget >= 0) {
            // The first packet after a seek starts the frame the target lies in.
            if (h.packet->pts == AV_NOPTS_VALUE || h.packet->pts > h.seekTarget) {
                av_->av_packet_unref(h.packet);
                return MAC_ERROR_DECOMPRESSING_FRAME;
            }
            const AVStream* stream = h.format->streams[0];
            skip_ = av_->av_rescale_q(h.seekTarget - h.packet->pts, stream->time_base,
                                      AVRational{1, sampleRate_});
            h.seekTarget = -1;
        }
        result = av_->avcodec_send_packet(h.codec, h.packet);
        av_->av_packet_unref(h.packet);
        if (result < 0) {
            return MAC_ERROR_DECOMPRESSING_FRAME;
        }
    }
    return MAC_OK;
}

void ApeDecoder::AppendFrame(const AVFrame& frame) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar =
        format == AV_SAMPLE_FMT_U8P || format == AV_SAMPLE_FMT_S16P || format == AV_SAMPLE_FMT_S32P;
    int inBytes = 0;
    switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
        inBytes = 1;
        break;
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        inBytes = 2;
        break;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        inBytes = 4;
        break;
    default:
        return;
    }
    if (frame.ch_layout.nb_channels != channels_) {
        return;
    }
    const int64_t dropped = std::min<int64_t>(skip_, frame.nb_samples);
    skip_ -= dropped;
    const int outBytes = bitsPerSample_ / 8;
    // 24-bit samples arrive in the upper three bytes of 32-bit ones.
    const int shift = inBytes == 4 ? 32 - bitsPerSample_ : 0;
    const size_t oldSize = pending_.size();
    pending_.resize(oldSize + static_cast<size_t>(frame.nb_samples - dropped) * BlockAlign());
    uint8_t* out = pending_.data() + oldSize;
    for (int64_t i = dropped; i < frame.nb_samples; ++i) {
        for (int c = 0; c < channels_; ++c) {
            const uint8_t* in = planar ? frame.extended_data[c] + i * inBytes
                                       : frame.extended_data[0] + (i * channels_ + c) * inBytes;
            uint32_t value = 0;
            std::memcpy(&value, in, static_cast<size_t>(inBytes));
            value >>= shift;
            for (int b = 0; b < outBytes; ++b) {
                *out++ = static_cast<uint8_t>(value >> (8 * b));
            }
        }
    }
}

int ApeDecoder::Seek(int64_t block) {
    if (block < 0 || block > totalBlocks_) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    pending_.clear();
    pendingStart_ = 0;
    skip_ = 0;
    error_ = 0;
    ended_ = false;
    draining_ = false;
    currentBlock_ = block;
    if (empty_ || block == totalBlocks_) {
        return MAC_OK;
    }
    Handles& h = *handles_;
    AVStream* stream = h.format->streams[0];
    const int64_t target = av_->av_rescale_q(block, AVRational{1, sampleRate_}, stream->time_base);
    if (av_->av_seek_frame(h.format, 0, target, AVSEEK_FLAG_BACKWARD) < 0) {
        error_ = MAC_ERROR_DECOMPRESSING_FRAME;
        return error_;
    }
    av_->avcodec_flush_buffers(h.codec);
    h.seekTarget = target;
    return MAC_OK;
}

} // namespace quillon::mac
