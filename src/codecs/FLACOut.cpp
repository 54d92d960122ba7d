#include "codecs/FLACOut.h"

#include "codecs/PcmSamples.h"
#include "core/PcmException.h"

#include <cmath>
#include <cstdlib>

namespace quillon {

namespace {

// Frames per pass when the library chooses the block size itself (BlockSize 0).
constexpr int kDefaultBufferFrames = 4608;
// Room left after the comments so that a later tag edit need not move the audio.
constexpr unsigned kPaddingBytes = 4096;

} // namespace

TFLACOut::TFLACOut() {
    try {
        flac_ = &FlacLibrary::Require();
    } catch (...) {
        TerminateThread();
        throw;
    }
}

TFLACOut::~TFLACOut() {
    TerminateThread();
    encoder_.reset();
}

void TFLACOut::SetEnableLooseMidSideStereo(bool value) {
    enableLooseMidSideStereo_ = value;
    if (value) {
        enableMidSideStereo_ = true;
    }
}

void TFLACOut::SetBestModelSearch(bool value) {
    bestModelSearch_ = value;
    if (value) {
        enableMidSideStereo_ = true;
        enableLooseMidSideStereo_ = false;
    }
}

FLAC__StreamEncoderWriteStatus TFLACOut::WriteCallback(const FLAC__StreamEncoder*,
                                                       const FLAC__byte buffer[], size_t bytes,
                                                       uint32_t, uint32_t, void* client) {
    auto* self = static_cast<TFLACOut*>(client);
    try {
        self->stream_->Write(buffer, bytes);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
}

FLAC__StreamEncoderSeekStatus TFLACOut::SeekCallback(const FLAC__StreamEncoder*,
                                                     FLAC__uint64 offset, void* client) {
    auto* self = static_cast<TFLACOut*>(client);
    try {
        self->stream_->SetPosition(self->streamStart_ + static_cast<int64_t>(offset));
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
}

FLAC__StreamEncoderTellStatus TFLACOut::TellCallback(const FLAC__StreamEncoder*,
                                                     FLAC__uint64* offset, void* client) {
    auto* self = static_cast<TFLACOut*>(client);
    try {
        *offset = static_cast<FLAC__uint64>(self->stream_->Position() - self->streamStart_);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    } catch (const std::exception&) {
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
}

void TFLACOut::Prepare() {
    if (!streamAssigned_ && fileName_.empty()) {
        throw EPcmException("File name is not assigned.");
    }
    CreateOutputFile();
    endOfInput_ = false;
    encoder_ = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>(
        flac_->FLAC__stream_encoder_new(), EncoderDeleter{flac_});
    if (!encoder_) {
        DiscardOutputFile();
        throw EPcmException("Failed to initialize FLAC encoder.");
    }
    TPcmInput* input = Input();
    try {
        input->Init();
    } catch (...) {
        encoder_.reset();
        DiscardOutputFile();
        throw;
    }
    try {
        ConfigureEncoder(*input);
        SetMetadata();
        streamStart_ = stream_->Position();
        if (flac_->FLAC__stream_encoder_init_stream(encoder_.get(), WriteCallback, SeekCallback,
                                                    TellCallback, nullptr,
                                                    this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
            throw EPcmException("Failed to initialize FLAC encoder.");
        }
        const int frames = blockSize_ > 0 ? blockSize_ : kDefaultBufferFrames;
        pcm_.assign(static_cast<size_t>(bytesPerSample_) * frames * channels_, 0);
    } catch (...) {
        encoder_.reset();
        DiscardOutputFile();
        input->Flush();
        throw;
    }
}

void TFLACOut::SetMetadata() {
    metadata_.clear();
    metadataList_.clear();
    Metadata comments(flac_->FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT),
                      MetadataDeleter{flac_});
    Metadata padding(flac_->FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING),
                     MetadataDeleter{flac_});
    if (!comments || !padding) {
        throw EPcmException("Failed to initialize FLAC encoder.");
    }
    for (const std::string& line : comments_) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals + 1 == line.size()) {
            continue;
        }
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        // The library refuses names outside printable ASCII and values that are not UTF-8.
        FLAC__StreamMetadata_VorbisComment_Entry entry{};
        if (flac_->FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(
                &entry, name.c_str(), value.c_str()) &&
            !flac_->FLAC__metadata_object_vorbiscomment_append_comment(comments.get(), entry,
                                                                       false)) {
            std::free(entry.entry);
        }
    }
    padding->length = kPaddingBytes;
    metadata_.push_back(std::move(comments));
    metadata_.push_back(std::move(padding));
    for (const Metadata& block : metadata_) {
        metadataList_.push_back(block.get());
    }
    flac_->FLAC__stream_encoder_set_metadata(encoder_.get(), metadataList_.data(),
                                             static_cast<uint32_t>(metadataList_.size()));
}

void TFLACOut::ConfigureEncoder(TPcmInput& input) {
    FLAC__StreamEncoder* encoder = encoder_.get();
    const int bits = input.GetBitsPerSample();
    bytesPerSample_ = bits / 8;
    channels_ = input.GetChannels();
    // The sample conversion reads whole bytes of 1 to 4; anything else cannot be encoded.
    if (bytesPerSample_ < 1 || bytesPerSample_ > 4 || bits % 8 != 0 || channels_ < 1) {
        throw EPcmException("Failed to initialize FLAC encoder.");
    }
    flac_->FLAC__stream_encoder_set_verify(encoder, verify_);
    flac_->FLAC__stream_encoder_set_channels(encoder, static_cast<uint32_t>(channels_));
    flac_->FLAC__stream_encoder_set_bits_per_sample(encoder, static_cast<uint32_t>(bits));
    flac_->FLAC__stream_encoder_set_sample_rate(encoder,
                                                static_cast<uint32_t>(input.GetSampleRate()));
    if (channels_ == 2) {
        flac_->FLAC__stream_encoder_set_do_mid_side_stereo(encoder, enableMidSideStereo_);
        flac_->FLAC__stream_encoder_set_loose_mid_side_stereo(encoder, enableLooseMidSideStereo_);
    }
    flac_->FLAC__stream_encoder_set_blocksize(encoder, blockSize_);
    if (compressionLevel_ >= 0) {
        flac_->FLAC__stream_encoder_set_compression_level(encoder,
                                                          static_cast<uint32_t>(compressionLevel_));
    } else {
        flac_->FLAC__stream_encoder_set_max_lpc_order(encoder, maxLPCOrder_);
        if (bits + qlpCoeffPrecision_ > 31) {
            qlpCoeffPrecision_ = static_cast<uint16_t>(31 - bits);
        }
        flac_->FLAC__stream_encoder_set_qlp_coeff_precision(encoder, qlpCoeffPrecision_);
        flac_->FLAC__stream_encoder_set_do_qlp_coeff_prec_search(encoder, qlpCoeffPrecisionSearch_);
        flac_->FLAC__stream_encoder_set_min_residual_partition_order(encoder,
                                                                     minResidualPartitionOrder_);
        flac_->FLAC__stream_encoder_set_max_residual_partition_order(encoder,
                                                                     maxResidualPartitionOrder_);
        flac_->FLAC__stream_encoder_set_do_exhaustive_model_search(encoder, bestModelSearch_);
    }
    const int64_t size = input.Size();
    if (size > 0) {
        const double frames = static_cast<double>(size) / bytesPerSample_ / channels_;
        flac_->FLAC__stream_encoder_set_total_samples_estimate(
            encoder, static_cast<FLAC__uint64>(std::llround(frames)));
    }
}

bool TFLACOut::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort || endOfInput_) {
        return false;
    }
    const int capacity = static_cast<int>(pcm_.size());
    int filled = 0;
    while (filled < capacity) {
        const int n = ReadFromInput(pcm_.data() + filled, capacity - filled);
        if (n <= 0) {
            endOfInput_ = true;
            break;
        }
        filled += n;
    }
    if (filled == 0) {
        return false;
    }
    // A partial sample frame at the very end of the input cannot be encoded and is dropped.
    const int frames = filled / (bytesPerSample_ * channels_);
    samples_.resize(static_cast<size_t>(frames) * channels_);
    const uint8_t* in = pcm_.data();
    for (FLAC__int32& sample : samples_) {
        sample = SampleValue(in, bytesPerSample_);
        in += bytesPerSample_;
    }
    if (frames > 0 && !flac_->FLAC__stream_encoder_process_interleaved(
                          encoder_.get(), samples_.data(), static_cast<uint32_t>(frames))) {
        throw EPcmException("Failed to encode data.");
    }
    return true;
}

void TFLACOut::Finish() {
    if (encoder_) {
        // Finishing writes the last block and the final stream information; when it fails
        // the file is incomplete and must not take the place of the named one.
        const bool finished = Failing() || flac_->FLAC__stream_encoder_finish(encoder_.get()) != 0;
        encoder_.reset();
        metadataList_.clear();
        metadata_.clear();
        if (!finished) {
            throw EPcmException("Failed to encode data.");
        }
    }
    CloseOutputFile();
    comments_.clear();
    pcm_ = {};
    samples_ = {};
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
}

} // namespace quillon
