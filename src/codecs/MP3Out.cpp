#include "codecs/MP3Out.h"

#include "codecs/CodecLibrary.h"
#include "codecs/PcmSamples.h"
#include "core/PcmException.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

constexpr int kPcmBufferBytes = 16384;
constexpr int kOutputBufferBytes = 17440;
// The output buffer holds what LAME may produce for this many frames (1.25 × frames + 7200).
constexpr int kMaxFramesPerCall = 8192;

constexpr int kOutSampleRates[] = {0, 32000, 41000, 48000};

} // namespace

int MP3BitRateKbps(TMP3BitRate value) {
    constexpr int kKbps[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                             96, 112, 128, 144, 160, 192, 224, 256, 320};
    return kKbps[static_cast<int>(value)];
}

TMP3Out::TMP3Out() {
    if (!LameLibrary::Acquire()) {
        TerminateThread();
        throw EPcmException(LibraryMissingMessage(LibraryId::Lame));
    }
    lame_ = &LameLibrary::Entries();
}

TMP3Out::~TMP3Out() {
    TerminateThread();
    CloseEncoder();
    LameLibrary::Release();
}

void TMP3Out::Prepare() {
    if (!streamAssigned_ && fileName_.empty()) {
        throw EPcmException("File name is not assigned.");
    }
    CreateOutputFile();
    TPcmInput* input = InitInput();
    try {
        bytesPerSample_ = input->GetBitsPerSample() / 8;
        channels_ = input->GetChannels();
        // LAME encodes one or two channels; the sample conversion handles 1 to 4 bytes.
        if (channels_ < 1 || channels_ > 2 || bytesPerSample_ < 1 || bytesPerSample_ > 4) {
            throw EPcmException("Failed to initialize MP3 encoder.");
        }
        handle_ = lame_->lame_init();
        if (handle_ == nullptr) {
            throw EPcmException("Failed to initialize MP3 encoder.");
        }
        const int64_t size = input->Size();
        if (size >= 1) {
            lame_->lame_set_num_samples(
                handle_, static_cast<unsigned long>(size / (bytesPerSample_ * channels_)));
        }
        lame_->lame_set_in_samplerate(handle_, input->GetSampleRate());
        lame_->lame_set_num_channels(handle_, channels_);
        lame_->lame_set_out_samplerate(handle_, kOutSampleRates[static_cast<int>(sampleRate_)]);
        lame_->lame_set_mode(handle_, static_cast<MPEG_mode>(mode_));
        lame_->lame_set_copyright(handle_, copyright_ ? 1 : 0);
        lame_->lame_set_original(handle_, original_ ? 1 : 0);
        lame_->lame_set_error_protection(handle_, crc_ ? 1 : 0);
        if (!enableVBR_) {
            lame_->lame_set_brate(handle_, MP3BitRateKbps(bitRate_));
            lame_->lame_set_quality(handle_, static_cast<int>(quality_));
        } else {
            if (writeVBRHeader_) {
                lame_->lame_set_bWriteVbrTag(handle_, 1);
            }
            lame_->lame_set_VBR(handle_, vbr_rh);
            lame_->lame_set_VBR_q(handle_, static_cast<int>(vbrQuality_));
            if (vbrMaxBitrate_ < vbrMinBitrate_) {
                std::swap(vbrMinBitrate_, vbrMaxBitrate_);
            }
            lame_->lame_set_VBR_min_bitrate_kbps(handle_, vbrMinBitrate_);
            lame_->lame_set_VBR_max_bitrate_kbps(handle_, vbrMaxBitrate_);
        }
        if (lame_->lame_init_params(handle_) < 0) {
            throw EPcmException("Failed to initialize MP3 encoder.");
        }
        output_.assign(kOutputBufferBytes, 0);
        pcm_.assign(kPcmBufferBytes / 2, 0);
        pcmFill_ = 0;
        if (!leadingTag_.empty()) {
            stream_->Write(leadingTag_.data(), leadingTag_.size());
        }
        streamStart_ = stream_->Position();
    } catch (...) {
        CloseEncoder();
        DiscardOutputFile();
        input->Flush();
        throw;
    }
}

bool TMP3Out::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort) {
        return false;
    }
    auto* buffer = reinterpret_cast<uint8_t*>(pcm_.data());
    const int n = ReadFromInput(buffer + pcmFill_, kPcmBufferBytes - pcmFill_);
    if (n <= 0) {
        return false;
    }
    pcmFill_ += n;
    EncodePending();
    return true;
}

void TMP3Out::EncodePending() {
    auto* buffer = reinterpret_cast<uint8_t*>(pcm_.data());
    const int frameBytes = bytesPerSample_ * channels_;
    const int frames = pcmFill_ / frameBytes;
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, kMaxFramesPerCall);
        const short* samples = pcm_.data() + static_cast<ptrdiff_t>(done) * channels_;
        if (bytesPerSample_ != 2) {
            samples_.resize(static_cast<size_t>(count) * channels_);
            const uint8_t* in = buffer + static_cast<ptrdiff_t>(done) * frameBytes;
            for (size_t i = 0; i < samples_.size(); ++i) {
                samples_[i] = SampleAs16(in + i * bytesPerSample_, bytesPerSample_);
            }
            samples = samples_.data();
        }
        const int r =
            channels_ == 2
                ? lame_->lame_encode_buffer_interleaved(handle_, const_cast<short*>(samples), count,
                                                        output_.data(), kOutputBufferBytes)
                : lame_->lame_encode_buffer(handle_, samples, samples, count, output_.data(),
                                            kOutputBufferBytes);
        if (r < 0) {
            throw EPcmException("Failed to encode data.");
        }
        WriteOutput(r);
        done += count;
    }
    // A partial frame waits at the start of the buffer for the rest of its bytes.
    const int used = frames * frameBytes;
    std::memmove(buffer, buffer + used, static_cast<size_t>(pcmFill_ - used));
    pcmFill_ -= used;
}

void TMP3Out::WriteOutput(int bytes) {
    if (bytes > 0) {
        stream_->Write(output_.data(), static_cast<size_t>(bytes));
    }
}

// LAME reserves the first frame of the stream for its Info/VBR header and can only fill it in
// once everything is encoded: lengths, gapless information and the VBR seek table.
void TMP3Out::WriteLameTag() {
    if (lame_->lame_get_lametag_frame == nullptr) {
        return;
    }
    const size_t size = lame_->lame_get_lametag_frame(handle_, output_.data(), output_.size());
    if (size == 0 || size > output_.size()) {
        return;
    }
    const int64_t end = stream_->Position();
    stream_->SetPosition(streamStart_);
    stream_->Write(output_.data(), size);
    stream_->SetPosition(end);
}

void TMP3Out::Finish() {
    if (handle_ != nullptr) {
        try {
            if (!Failing()) {
                // The library's ID3v1 tag holds Latin-1 texts.
                lame_->id3tag_init(handle_);
                lame_->id3tag_set_title(handle_, Latin1FromUtf8(id3TagTitle_).c_str());
                lame_->id3tag_set_artist(handle_, Latin1FromUtf8(id3TagArtist_).c_str());
                lame_->id3tag_set_album(handle_, Latin1FromUtf8(id3TagAlbum_).c_str());
                lame_->id3tag_set_year(handle_, Latin1FromUtf8(id3TagYear_).c_str());
                lame_->id3tag_set_track(handle_, Latin1FromUtf8(id3TagTrack_).c_str());
                lame_->id3tag_set_comment(handle_, Latin1FromUtf8(id3TagComment_).c_str());
                lame_->id3tag_set_genre(handle_, Latin1FromUtf8(id3TagGenre_).c_str());
                const int r = lame_->lame_encode_flush(handle_, output_.data(), kOutputBufferBytes);
                if (r < 0) {
                    throw EPcmException("Failed to encode data.");
                }
                WriteOutput(r);
                WriteLameTag();
            }
        } catch (...) {
            // The exception handler calls Finish again to discard the file and flush the input.
            CloseEncoder();
            throw;
        }
        CloseEncoder();
    }
    CloseOutputFile();
    output_ = {};
    pcm_ = {};
    samples_ = {};
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
}

void TMP3Out::CloseEncoder() {
    if (handle_ != nullptr) {
        lame_->lame_close(handle_);
        handle_ = nullptr;
    }
}

} // namespace quillon
