#include "libmac/ApeEncoder.h"

#include "platform/FileStream.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <zlib.h>

namespace quillon {

namespace {

constexpr uint16_t kFileVersion = 3990;
constexpr uint32_t kDescriptorBytes = 52;
constexpr uint32_t kHeaderBytes = 24;
constexpr uint16_t kCreateWavHeader = 0x20;
// Seek-table entries and sizes are 32-bit: the whole file stays below 4 GiB.
constexpr int64_t kMaxFileBytes = int64_t{0xFFFFFFFF};
// Room offered by LockBuffer beyond an incomplete block left from the last call.
constexpr size_t kBufferBytes = 1 << 16;
constexpr int kMaxBlockAlign = 6;
constexpr size_t kMoveChunk = 1 << 20;

int BlocksPerFrame(int level) {
    switch (level) {
    case 4000:
        return 73728 * 4;
    case 5000:
        return 73728 * 16;
    default:
        return 73728;
    }
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

template <int Bytes> int32_t Sample(const uint8_t* data) {
    if constexpr (Bytes == 1) {
        return int32_t{data[0]} - 128;
    } else if constexpr (Bytes == 2) {
        return static_cast<int16_t>(data[0] | (data[1] << 8));
    } else {
        const auto value = static_cast<uint32_t>(data[0] | (data[1] << 8) | (data[2] << 16));
        return static_cast<int32_t>(value << 8) >> 8;
    }
}

template <int Bytes, int Channels>
void ToSamplesOf(const uint8_t* data, int blocks, int32_t* first0, int32_t* first1) {
    for (int i = 0; i < blocks; ++i) {
        first0[i] = Sample<Bytes>(data);
        if constexpr (Channels == 2) {
            first1[i] = Sample<Bytes>(data + Bytes);
        }
        data += Bytes * Channels;
    }
}

// PCM bytes of whole blocks to one int32 per sample and channel.
void ToSamples(const uint8_t* data, int blocks, int bitsPerSample, int channels, int32_t* first0,
               int32_t* first1) {
    using Converter = void (*)(const uint8_t*, int, int32_t*, int32_t*);
    static constexpr Converter kConverters[3][2] = {{ToSamplesOf<1, 1>, ToSamplesOf<1, 2>},
                                                    {ToSamplesOf<2, 1>, ToSamplesOf<2, 2>},
                                                    {ToSamplesOf<3, 1>, ToSamplesOf<3, 2>}};
    kConverters[bitsPerSample / 8 - 1][channels - 1](data, blocks, first0, first1);
}

} // namespace

ApeEncoder::ApeEncoder(const std::string& fileName, const MAC_WaveFormat& format,
                       int64_t maxAudioBytes, int compressionLevel, const uint8_t* header,
                       int headerBytes)
    : level_(compressionLevel), channels_(format.nChannels), bitsPerSample_(format.wBitsPerSample),
      blockAlign_(channels_ * bitsPerSample_ / 8), sampleRate_(format.nSamplesPerSec),
      blocksPerFrame_(BlocksPerFrame(compressionLevel)), maxAudioBytes_(maxAudioBytes) {
    if (bitsPerSample_ != 8 && bitsPerSample_ != 16 && bitsPerSample_ != 24) {
        throw EApeCompressError(MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH);
    }
    if (sampleRate_ == 0) {
        throw EApeCompressError(MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE);
    }
    if (channels_ != 1 && channels_ != 2) {
        throw EApeCompressError(MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT);
    }
    const bool pcm = format.wFormatTag == 1 || format.wFormatTag == 0xFFFE;
    if (!pcm || format.nBlockAlign != blockAlign_ || level_ < 1000 || level_ > 5000 ||
        level_ % 1000 != 0 || maxAudioBytes < -1 || (headerBytes > 0 && header == nullptr)) {
        throw EApeCompressError(MAC_ERROR_INVALID_FUNCTION_PARAMETER);
    }
    std::error_code error;
    if (fileName.empty() || std::filesystem::is_directory(fileName, error)) {
        throw EApeCompressError(MAC_ERROR_INVALID_OUTPUT_FILE);
    }
    if (headerBytes > 0) {
        wavHeader_.assign(header, header + headerBytes);
    }

    try {
        file_ = std::make_unique<FileStream>(fileName, FileStream::Mode::Create);
    } catch (const EStreamError&) {
        throw EApeCompressError(MAC_ERROR_INVALID_OUTPUT_FILE);
    }
    // A known length gives the seek table its size now, so the frames need not move later.
    const int64_t expectedFrames =
        maxAudioBytes > 0 ? (maxAudioBytes / blockAlign_ + blocksPerFrame_ - 1) / blocksPerFrame_
                          : 0;
    dataStart_ = FrameStart(expectedFrames);
    if (dataStart_ >= kMaxFileBytes) {
        throw EApeCompressError(MAC_ERROR_INPUT_FILE_TOO_LARGE);
    }
    file_->Seek(dataStart_, SeekOrigin::Begin);

    md5_init(&digest_);
    md5_update(&digest_, wavHeader_.size(), wavHeader_.data());
    stream_ = std::make_unique<ApeWordStream>(*file_, digest_);
    frameEncoder_ = std::make_unique<ApeFrameEncoder>(level_, channels_, *stream_);
    buffer_.resize(kBufferBytes + kMaxBlockAlign);
    samples0_.resize(static_cast<size_t>(blocksPerFrame_));
    samples1_.resize(channels_ == 2 ? static_cast<size_t>(blocksPerFrame_) : 0);
}

ApeEncoder::~ApeEncoder() = default;

int64_t ApeEncoder::FrameStart(int64_t entries) const {
    return kDescriptorBytes + kHeaderBytes + 4 * entries + static_cast<int64_t>(wavHeader_.size());
}

uint8_t* ApeEncoder::LockBuffer(int& available) {
    available = BytesAvailable();
    return buffer_.data() + fill_;
}

void ApeEncoder::Unlock(int bytes) {
    if (bytes < 0 || bytes > BytesAvailable()) {
        throw EApeCompressError(MAC_ERROR_BAD_PARAMETER);
    }
    if (maxAudioBytes_ >= 0 && bytesTaken_ + bytes > maxAudioBytes_) {
        throw EApeCompressError(MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA);
    }
    bytesTaken_ += bytes;
    fill_ += static_cast<size_t>(bytes);
    const int64_t blocks = static_cast<int64_t>(fill_) / blockAlign_;
    Consume(buffer_.data(), blocks);
    const size_t used = static_cast<size_t>(blocks * blockAlign_);
    std::memmove(buffer_.data(), buffer_.data() + used, fill_ - used);
    fill_ -= used;
}

void ApeEncoder::Add(const uint8_t* data, int bytes) {
    if (bytes < 0 || (bytes > 0 && data == nullptr)) {
        throw EApeCompressError(MAC_ERROR_BAD_PARAMETER);
    }
    if (maxAudioBytes_ >= 0 && bytesTaken_ + bytes > maxAudioBytes_) {
        throw EApeCompressError(MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA);
    }
    while (bytes > 0) {
        int available = 0;
        uint8_t* to = LockBuffer(available);
        const int n = std::min(available, bytes);
        std::memcpy(to, data, static_cast<size_t>(n));
        Unlock(n);
        data += n;
        bytes -= n;
    }
}

void ApeEncoder::Consume(const uint8_t* data, int64_t blocks) {
    while (blocks > 0) {
        const int n = static_cast<int>(std::min<int64_t>(blocks, blocksPerFrame_ - frameFill_));
        const auto bytes = static_cast<size_t>(n) * static_cast<size_t>(blockAlign_);
        frameCrc_ = static_cast<uint32_t>(crc32(frameCrc_, data, static_cast<uInt>(bytes)));
        ToSamples(data, n, bitsPerSample_, channels_, samples0_.data() + frameFill_,
                  samples1_.data() + (channels_ == 2 ? frameFill_ : 0));
        frameFill_ += n;
        data += bytes;
        blocks -= n;
        if (frameFill_ == blocksPerFrame_) {
            EncodeFrame();
        }
    }
}

void ApeEncoder::EncodeFrame() {
    const uint64_t at = stream_->Position();
    if (FrameStart(static_cast<int64_t>(frameOffsets_.size()) + 1) + static_cast<int64_t>(at) >=
        kMaxFileBytes) {
        throw EApeCompressError(MAC_ERROR_INPUT_FILE_TOO_LARGE);
    }
    frameOffsets_.push_back(at);
    try {
        frameEncoder_->Encode(samples0_.data(), samples1_.data(), frameFill_, frameCrc_);
    } catch (const EStreamError&) {
        throw EApeCompressError(MAC_ERROR_IO_WRITE);
    }
    lastFrameBlocks_ = frameFill_;
    frameFill_ = 0;
    frameCrc_ = 0;
}

void ApeEncoder::MoveFrames(int64_t from, int64_t to, int64_t bytes) {
    std::vector<uint8_t> chunk(kMoveChunk);
    // Later bytes first when moving up, so that nothing is overwritten before it is read.
    const bool up = to > from;
    for (int64_t done = 0; done < bytes;) {
        const int64_t n = std::min<int64_t>(static_cast<int64_t>(kMoveChunk), bytes - done);
        const int64_t offset = up ? bytes - done - n : done;
        file_->Seek(from + offset, SeekOrigin::Begin);
        if (file_->Read(chunk.data(), static_cast<size_t>(n)) != static_cast<size_t>(n)) {
            throw EStreamError("short read");
        }
        file_->Seek(to + offset, SeekOrigin::Begin);
        file_->Write(chunk.data(), static_cast<size_t>(n));
        done += n;
    }
}

std::vector<uint8_t> ApeEncoder::Headers(uint64_t frameBytes, int wavTerminatingBytes) {
    const auto frames = static_cast<uint32_t>(frameOffsets_.size());
    std::vector<uint8_t> header;
    Put16(header, static_cast<uint32_t>(level_));
    Put16(header, wavHeader_.empty() ? kCreateWavHeader : 0);
    Put32(header, static_cast<uint32_t>(blocksPerFrame_));
    Put32(header, static_cast<uint32_t>(frames == 0 ? 0 : lastFrameBlocks_));
    Put32(header, frames);
    Put16(header, static_cast<uint32_t>(bitsPerSample_));
    Put16(header, static_cast<uint32_t>(channels_));
    Put32(header, sampleRate_);
    const auto firstFrame = static_cast<uint32_t>(FrameStart(frames));
    for (const uint64_t offset : frameOffsets_) {
        Put32(header, firstFrame + static_cast<uint32_t>(offset));
    }
    md5_update(&digest_, header.size(), header.data());
    uint8_t md5[MD5_DIGEST_SIZE];
    md5_digest(&digest_, sizeof md5, md5);

    std::vector<uint8_t> out = {'M', 'A', 'C', ' '};
    Put16(out, kFileVersion);
    Put16(out, 0);
    Put32(out, kDescriptorBytes);
    Put32(out, kHeaderBytes);
    Put32(out, 4 * frames);
    Put32(out, static_cast<uint32_t>(wavHeader_.size()));
    Put32(out, static_cast<uint32_t>(frameBytes));
    Put32(out, static_cast<uint32_t>(frameBytes >> 32));
    Put32(out, static_cast<uint32_t>(wavTerminatingBytes));
    out.insert(out.end(), md5, md5 + sizeof md5);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), wavHeader_.begin(), wavHeader_.end());
    return out;
}

void ApeEncoder::Finish(const uint8_t* terminating, int terminatingBytes, int wavTerminatingBytes) {
    if (terminatingBytes < 0 || wavTerminatingBytes < 0 || wavTerminatingBytes > terminatingBytes ||
        (terminatingBytes > 0 && terminating == nullptr)) {
        throw EApeCompressError(MAC_ERROR_BAD_PARAMETER);
    }
    if (frameFill_ > 0) {
        EncodeFrame();
    }
    try {
        const uint64_t frameBytes = stream_->Finish();
        const int64_t start = FrameStart(static_cast<int64_t>(frameOffsets_.size()));
        const int64_t end = start + static_cast<int64_t>(frameBytes);
        if (end + terminatingBytes >= kMaxFileBytes) {
            throw EApeCompressError(MAC_ERROR_INPUT_FILE_TOO_LARGE);
        }
        if (start != dataStart_) {
            MoveFrames(dataStart_, start, static_cast<int64_t>(frameBytes));
        }
        file_->Seek(end, SeekOrigin::Begin);
        file_->Write(terminating, static_cast<size_t>(terminatingBytes));
        file_->SetSize(end + terminatingBytes);
        md5_update(&digest_, static_cast<size_t>(wavTerminatingBytes), terminating);

        const std::vector<uint8_t> headers = Headers(frameBytes, wavTerminatingBytes);
        file_->Seek(0, SeekOrigin::Begin);
        file_->Write(headers.data(), headers.size());
        file_->Commit();
    } catch (const EStreamError&) {
        throw EApeCompressError(MAC_ERROR_IO_WRITE);
    }
}

} // namespace quillon
