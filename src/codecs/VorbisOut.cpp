#include "codecs/VorbisOut.h"

#include "codecs/PcmSamples.h"
#include "core/PcmException.h"

#include <cstring>
#include <filesystem>

namespace quillon {

namespace {

constexpr int kPcmBufferBytes = 65536;

} // namespace

int VorbisBitRateValue(TVorbisBitRate value) {
    // br56 is given 46000 bit/s: the options' list has always encoded it so.
    constexpr int kRates[] = {-1,     45000,  48000,  46000,  64000,  80000,  96000,  112000,
                              128000, 144000, 160000, 192000, 224000, 256000, 320000, 499000};
    return kRates[static_cast<int>(value)];
}

TVorbisOut::TVorbisOut() {
    try {
        vorbis_ = &VorbisLibraries::Require();
    } catch (...) {
        TerminateThread();
        throw;
    }
}

TVorbisOut::~TVorbisOut() {
    TerminateThread();
    ClearEncoder();
}

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate value) {
    nominal_ = value;
    if (value < minimum_) {
        minimum_ = value;
    }
    if (maximum_ < value) {
        maximum_ = value;
    }
    if (value == TVorbisBitRate::brAutoSelect) {
        maximum_ = TVorbisBitRate::brAutoSelect;
    }
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate value) {
    if (nominal_ != TVorbisBitRate::brAutoSelect &&
        (value == TVorbisBitRate::brAutoSelect || value >= nominal_)) {
        maximum_ = value;
    }
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate value) {
    if (value <= nominal_) {
        minimum_ = value;
    }
}

void TVorbisOut::OpenOutput() {
    appendStart_ = -1;
    if (streamAssigned_) {
        return;
    }
    std::error_code error;
    if (fileMode_ != foRewrite && std::filesystem::exists(fileName_, error)) {
        OpenOutputFileForUpdate();
        appendStart_ = stream_->Seek(0, SeekOrigin::End);
    } else {
        CreateOutputFile();
    }
}

void TVorbisOut::Prepare() {
    if (!streamAssigned_ && fileName_.empty()) {
        throw EPcmException("File name is not assigned.");
    }
    OpenOutput();
    TPcmInput* input = InitInput();
    try {
        InitEncoder();
    } catch (...) {
        ClearEncoder();
        CutAppendedStream();
        DiscardOutputFile();
        input->Flush();
        throw;
    }
}

void TVorbisOut::InitEncoder() {
    TPcmInput* input = Input();
    bytesPerSample_ = input->GetBitsPerSample() / 8;
    channels_ = input->GetChannels();
    const int sampleRate = input->GetSampleRate();
    if (bytesPerSample_ < 1 || bytesPerSample_ > 4 || channels_ < 1 || channels_ > 255) {
        throw EPcmException("Failed to initialize Vorbis encoder.");
    }
    endOfStream_ = false;
    inputEnded_ = false;
    vorbis_->vorbis_info_init(&info_);
    vorbis_->vorbis_comment_init(&comment_);
    encoderReady_ = true;
    int status = 0;
    if (nominal_ == TVorbisBitRate::brAutoSelect) {
        status = vorbis_->vorbis_encode_init_vbr(&info_, channels_, sampleRate, compression_);
    } else {
        const long nominal = VorbisBitRateValue(nominal_);
        long maximum = VorbisBitRateValue(maximum_);
        if (maximum < nominal) {
            maximum = nominal;
        }
        long minimum = VorbisBitRateValue(minimum_);
        if (minimum == -1) {
            minimum = nominal;
        }
        status =
            vorbis_->vorbis_encode_init(&info_, channels_, sampleRate, maximum, nominal, minimum);
    }
    // An encoder the library could not set up would crash the analysis calls that follow.
    if (status != 0) {
        throw EPcmException("Failed to initialize Vorbis encoder.");
    }
    for (const std::string& line : comments_) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        vorbis_->vorbis_comment_add_tag(&comment_, name.c_str(), value.c_str());
    }
    if (vorbis_->vorbis_analysis_init(&dsp_, &info_) != 0) {
        throw EPcmException("Failed to initialize Vorbis encoder.");
    }
    vorbis_->vorbis_block_init(&dsp_, &block_);
    vorbis_->ogg_stream_init(&oggStream_, serial_);
    ogg_packet header{};
    ogg_packet commentHeader{};
    ogg_packet codeHeader{};
    vorbis_->vorbis_analysis_headerout(&dsp_, &comment_, &header, &commentHeader, &codeHeader);
    vorbis_->ogg_stream_packetin(&oggStream_, &header);
    vorbis_->ogg_stream_packetin(&oggStream_, &commentHeader);
    vorbis_->ogg_stream_packetin(&oggStream_, &codeHeader);
    // The headers get pages of their own, so that the audio starts on a fresh page.
    ogg_page page{};
    while (vorbis_->ogg_stream_flush(&oggStream_, &page) != 0) {
        WritePage(page);
    }
    pcm_.assign(kPcmBufferBytes, 0);
    pcmFill_ = 0;
}

bool TVorbisOut::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort || endOfStream_ || inputEnded_) {
        return false;
    }
    const int n = ReadFromInput(pcm_.data() + pcmFill_, kPcmBufferBytes - pcmFill_);
    if (n > 0) {
        pcmFill_ += n;
        AnalysePending();
    } else {
        vorbis_->vorbis_analysis_wrote(&dsp_, 0);
        inputEnded_ = true;
    }
    WritePages();
    return true;
}

void TVorbisOut::AnalysePending() {
    const int frameBytes = bytesPerSample_ * channels_;
    const int frames = pcmFill_ / frameBytes;
    if (frames > 0) {
        float** buffer = vorbis_->vorbis_analysis_buffer(&dsp_, frames);
        const uint8_t* in = pcm_.data();
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < channels_; ++c) {
                buffer[c][i] = SampleAsFloat(in, bytesPerSample_);
                in += bytesPerSample_;
            }
        }
        vorbis_->vorbis_analysis_wrote(&dsp_, frames);
    }
    const int used = frames * frameBytes;
    std::memmove(pcm_.data(), pcm_.data() + used, static_cast<size_t>(pcmFill_ - used));
    pcmFill_ -= used;
}

void TVorbisOut::WritePages() {
    ogg_packet packet{};
    ogg_page page{};
    while (vorbis_->vorbis_analysis_blockout(&dsp_, &block_) == 1) {
        vorbis_->vorbis_analysis(&block_, nullptr);
        vorbis_->vorbis_bitrate_addblock(&block_);
        while (vorbis_->vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
            vorbis_->ogg_stream_packetin(&oggStream_, &packet);
            while (!endOfStream_ && vorbis_->ogg_stream_pageout(&oggStream_, &page) != 0) {
                WritePage(page);
                if (vorbis_->ogg_page_eos(&page) != 0) {
                    endOfStream_ = true;
                }
            }
        }
    }
}

void TVorbisOut::WritePage(const ogg_page& page) {
    stream_->Write(page.header, static_cast<size_t>(page.header_len));
    stream_->Write(page.body, static_cast<size_t>(page.body_len));
}

void TVorbisOut::Finish() {
    try {
        // After a Stop the encoder still holds audio: end the stream properly so that the
        // file is complete up to where the output stopped.
        if (encoderReady_ && !Failing() && !endOfStream_) {
            if (!inputEnded_) {
                vorbis_->vorbis_analysis_wrote(&dsp_, 0);
                inputEnded_ = true;
            }
            WritePages();
        }
        if (Failing()) {
            CutAppendedStream();
        }
        comments_.clear();
        ClearEncoder();
        CloseOutputFile();
    } catch (...) {
        ClearEncoder();
        throw;
    }
    pcm_ = {};
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
}

void TVorbisOut::CutAppendedStream() {
    if (appendStart_ < 0 || stream_ == nullptr) {
        return;
    }
    try {
        stream_->SetSize(appendStart_);
    } catch (const std::exception&) {
        // The failure being reported matters more than the tail left behind.
    }
}

void TVorbisOut::ClearEncoder() {
    if (!encoderReady_) {
        return;
    }
    vorbis_->ogg_stream_clear(&oggStream_);
    vorbis_->vorbis_block_clear(&block_);
    vorbis_->vorbis_dsp_clear(&dsp_);
    vorbis_->vorbis_comment_clear(&comment_);
    vorbis_->vorbis_info_clear(&info_);
    oggStream_ = {};
    block_ = {};
    dsp_ = {};
    comment_ = {};
    info_ = {};
    encoderReady_ = false;
}

} // namespace quillon
