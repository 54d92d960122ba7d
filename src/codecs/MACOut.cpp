#include "codecs/MACOut.h"

#include "codecs/APEException.h"
#include "core/PcmException.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

constexpr int kPcmBytes = 65536;

} // namespace

TMACOut::TMACOut() {
    try {
        mac_ = &MacLibrary::Require();
    } catch (...) {
        TerminateThread();
        throw;
    }
}

TMACOut::~TMACOut() {
    TerminateThread();
    KillCompressor();
}

void TMACOut::SetCompressionLevel(int value) {
    const bool known =
        value == MAC_COMPRESSION_LEVEL_FAST || value == MAC_COMPRESSION_LEVEL_NORMAL ||
        value == MAC_COMPRESSION_LEVEL_HIGH || value == MAC_COMPRESSION_LEVEL_EXTRA_HIGH;
    compressionLevel_ = known ? value : MAC_COMPRESSION_LEVEL_NORMAL;
}

void TMACOut::KillCompressor() {
    if (compress_) {
        compress_->Kill();
        compress_.reset();
    }
}

void TMACOut::Prepare() {
    if (fileName_.empty()) {
        throw EPcmException("File name is not assigned.");
    }
    TPcmInput* input = Input();
    input->Init();
    endOfInput_ = false;
    try {
        compress_ = std::make_unique<TAPECompress>(*mac_);
        format_ = MAC_WaveFormat{};
        int code = mac_->FillWaveFormatEx(&format_, input->GetSampleRate(),
                                          input->GetBitsPerSample(), input->GetChannels());
        if (code == MAC_OK) {
            code = compress_->Start(fileName_, format_, maxAudioBytes_, compressionLevel_, nullptr,
                                    -1);
        }
        if (code != MAC_OK) {
            throw EPcmException("Error starting APECompress.\r\n" + APEErrorText(code));
        }
        pcm_.resize(kPcmBytes);
    } catch (...) {
        KillCompressor();
        input->Flush();
        throw;
    }
}

bool TMACOut::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort || endOfInput_) {
        return false;
    }
    const int n = ReadFromInput(pcm_.data(), kPcmBytes);
    if (n <= 0) {
        endOfInput_ = true;
        return true;
    }
    // The library takes the data in as many pieces as it has room for.
    for (int done = 0; done < n;) {
        int available = 0;
        unsigned char* target = compress_->LockBuffer(available);
        if (target == nullptr || available <= 0) {
            throw EAPEException(MAC_ERROR_INSUFFICIENT_MEMORY);
        }
        const int k = std::min(available, n - done);
        std::memcpy(target, pcm_.data() + done, static_cast<size_t>(k));
        const int code = compress_->UnlockBuffer(k);
        if (code != MAC_OK) {
            throw EPcmException("APECompress.UnlockBuffer Error: " + std::to_string(code));
        }
        done += k;
    }
    return true;
}

void TMACOut::Finish() {
    int code = MAC_OK;
    bool finished = false;
    if (Failing()) {
        KillCompressor();
    } else if (compress_) {
        code = compress_->Finish();
        finished = code == MAC_OK;
        if (!finished) {
            KillCompressor();
        }
        compress_.reset();
    }
    pcm_ = {};
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
    if (finished) {
        code = mac_->TagFileSimple(fileName_.c_str(), artist_.c_str(), album_.c_str(),
                                   title_.c_str(), comment_.c_str(), genre_.c_str(), year_.c_str(),
                                   track_.c_str(), 1, 0);
    }
    if (code != MAC_OK) {
        throw EAPEException(code);
    }
}

} // namespace quillon
