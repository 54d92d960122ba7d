#include "codecs/WaveOut.h"

#include "core/PcmException.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>

namespace quillon {

namespace {

constexpr int64_t kPcmHeaderSize = 44;
constexpr int64_t kImaHeaderSize = 60;

void PutLE16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// Sizes beyond what a 32-bit field holds are written as its largest value.
void PutLE32(std::vector<uint8_t>& out, int64_t value) {
    const auto clamped =
        static_cast<uint32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<uint32_t>::max()));
    PutLE16(out, clamped & 0xFFFF);
    PutLE16(out, clamped >> 16);
}

void PutText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + 4);
}

} // namespace

TWaveOut::~TWaveOut() {
    TerminateThread();
}

void TWaveOut::SetWavType(TWavType value) {
    if (!Busy() && (value == wtPCM || value == wtDVIADPCM)) {
        wavType_ = value;
    }
}

bool TWaveOut::ImaBlockSizeFits(int blockSize, int channels) {
    const int framesPerBlock = ImaFramesPerBlock(blockSize, channels);
    return blockSize > 0 && blockSize % 4 == 0 && framesPerBlock > 0 &&
           framesPerBlock * channels * 2 <= kWaveBlockBufferSize;
}

void TWaveOut::SetBlockSize(uint16_t value) {
    if (!Busy() && value != 0 && value % 4 == 0) {
        blockSize_ = value;
    }
}

void TWaveOut::SetFileMode(TFileOutputMode value) {
    fileMode_ = value;
}

void TWaveOut::Prepare() {
    endOfInput_ = false;
    appending_ = false;
    announcedDataSize_ = -1;
    if (!streamAssigned_) {
        if (fileName_.empty()) {
            throw EPcmException("File name is not assigned.");
        }
        std::error_code ignored;
        if (fileMode_ == foAppend && std::filesystem::exists(fileName_, ignored)) {
            OpenOutputFileForUpdate();
        } else {
            CreateOutputFile();
        }
    }
    TPcmInput* input = InitInput();
    try {
        const int sampleRate = input->GetSampleRate();
        const int bitsPerSample = input->GetBitsPerSample();
        const int channels = input->GetChannels();
        if (fileMode_ == foAppend && stream_->Size() > 0) {
            PrepareAppend(sampleRate, bitsPerSample, channels);
        } else if (wavType_ == wtPCM) {
            WritePcmHeader(sampleRate, bitsPerSample, channels);
        } else {
            WriteImaHeader(sampleRate, channels);
        }
        ima_[0].stepIndex = 0;
        ima_[1].stepIndex = 0;
    } catch (...) {
        try {
            input->Flush();
        } catch (...) {
            // The failure that stopped the output is the one to report.
        }
        if (!streamAssigned_) {
            DiscardOutputFile();
        }
        throw;
    }
}

void TWaveOut::PrepareAppend(int sampleRate, int bitsPerSample, int channels) {
    stream_->SetPosition(0);
    existing_ = ScanWaveHeader(*stream_, WaveScanMode::Append);
    const int64_t dataEnd = existing_.dataOffset + existing_.dataSize;
    const int64_t fileLength = stream_->Size();
    // Audio appended after a chunk that follows the data would be taken for that chunk.
    const bool dataIsLast =
        dataEnd == fileLength || (dataEnd + 1 == fileLength && existing_.dataSize % 2 == 1);
    if ((existing_.kind != wtPCM && existing_.kind != wtDVIADPCM) || !dataIsLast) {
        throw EPcmException("Cannot append data to this .wav file.");
    }
    wavType_ = existing_.kind;
    if (wavType_ == wtPCM) {
        if (sampleRate != existing_.sampleRate || bitsPerSample != existing_.bitsPerSample ||
            channels != existing_.channels) {
            throw EPcmException("Cannot append data in different audio format.");
        }
    } else {
        if (bitsPerSample != 16) {
            throw EPcmException("Cannot encode 8 bit sound into ADPCM.");
        }
        if (sampleRate != existing_.sampleRate || channels != existing_.channels) {
            throw EPcmException("Cannot append data in different audio format.");
        }
        blockSize_ = static_cast<uint16_t>(existing_.blockAlign);
    }
    appendedTo_ = fileLength;
    if (fileLength > dataEnd) {
        stream_->SetSize(dataEnd); // the pad byte after odd-sized data
    }
    stream_->SetPosition(dataEnd);
    channels_ = channels;
    dataOffset_ = existing_.dataOffset;
    appending_ = true;
}

void TWaveOut::WritePcmHeader(int sampleRate, int bitsPerSample, int channels) {
    const int64_t size = Input()->Size();
    const int blockAlign = (bitsPerSample * channels) >> 3;
    std::vector<uint8_t> header;
    PutText(header, "RIFF");
    PutLE32(header, size >= 0 ? size + 36 : 0);
    PutText(header, "WAVE");
    PutText(header, "fmt ");
    PutLE32(header, 16);
    PutLE16(header, 1);
    PutLE16(header, static_cast<uint32_t>(channels));
    PutLE32(header, sampleRate);
    PutLE32(header, static_cast<int64_t>(sampleRate) * blockAlign);
    PutLE16(header, static_cast<uint32_t>(blockAlign));
    PutLE16(header, static_cast<uint32_t>(bitsPerSample));
    PutText(header, "data");
    PutLE32(header, std::max<int64_t>(size, 0));
    stream_->Write(header.data(), header.size());
    channels_ = channels;
    dataOffset_ = kPcmHeaderSize;
    announcedDataSize_ = size;
}

void TWaveOut::WriteImaHeader(int sampleRate, int channels) {
    if (Input()->GetBitsPerSample() != 16) {
        throw EPcmException("Cannot encode 8 bit sound into ADPCM.");
    }
    // Blocks the reader could not take back are not written.
    if (!ImaBlockSizeFits(blockSize_, channels)) {
        throw EPcmException("Cannot encode this audio format into ADPCM.");
    }
    const int framesPerBlock = ImaFramesPerBlock(blockSize_, channels);
    const int64_t size = Input()->Size();
    const int64_t frames = size >= 0 ? size / 2 / channels : 0;
    // Every pass writes a block, and the pass that meets the end of the input writes the
    // last, partly filled one.
    const int64_t dataSize = size >= 0 ? (frames / framesPerBlock + 1) * blockSize_ : 0;
    std::vector<uint8_t> header;
    PutText(header, "RIFF");
    PutLE32(header, dataSize + 52);
    PutText(header, "WAVE");
    PutText(header, "fmt ");
    PutLE32(header, 20);
    PutLE16(header, 0x11);
    PutLE16(header, static_cast<uint32_t>(channels));
    PutLE32(header, sampleRate);
    PutLE32(header, static_cast<int64_t>(sampleRate / framesPerBlock) * blockSize_);
    PutLE16(header, blockSize_);
    PutLE16(header, 4);
    PutLE16(header, 2);
    PutLE16(header, static_cast<uint32_t>(framesPerBlock));
    PutText(header, "fact");
    PutLE32(header, 4);
    PutLE32(header, frames);
    PutText(header, "data");
    PutLE32(header, dataSize);
    stream_->Write(header.data(), header.size());
    channels_ = channels;
    dataOffset_ = kImaHeaderSize;
    announcedDataSize_ = size >= 0 ? dataSize : -1;
}

bool TWaveOut::ProcessBlock(bool abort) {
    if (!outputEnabled_) {
        return true;
    }
    ReportProgress();
    if (abort || endOfInput_) {
        return false;
    }
    if (wavType_ == wtPCM) {
        return ProcessPcmBlock();
    }
    ProcessImaBlock();
    return true;
}

bool TWaveOut::ProcessPcmBlock() {
    const int n = ReadFromInput(pcmBuffer_.data(), static_cast<int>(pcmBuffer_.size()));
    if (n <= 0) {
        return false;
    }
    stream_->Write(pcmBuffer_.data(), static_cast<size_t>(n));
    return true;
}

void TWaveOut::ProcessImaBlock() {
    const int framesPerBlock = ImaFramesPerBlock(blockSize_, channels_);
    const size_t pcmBytes = static_cast<size_t>(framesPerBlock) * channels_ * 2;
    blockPcm_.assign(pcmBytes, 0);
    {
        SpinGuard guard(inputLock_);
        TPcmInput* input = Input();
        size_t gathered = 0;
        while (gathered < pcmBytes) {
            const int n = input != nullptr ? input->ReadBlock(blockPcm_.data() + gathered,
                                                              static_cast<int>(pcmBytes - gathered))
                                           : 0;
            if (n <= 0) {
                endOfInput_ = true;
                break;
            }
            gathered += static_cast<size_t>(n);
        }
    }
    blockSamples_.resize(pcmBytes / 2);
    for (size_t i = 0; i < blockSamples_.size(); ++i) {
        blockSamples_[i] = static_cast<int16_t>(blockPcm_[2 * i] | (blockPcm_[2 * i + 1] << 8));
    }
    block_.resize(blockSize_);
    ImaEncodeBlock(blockSamples_.data(), channels_, ima_, block_.data(), blockSize_);
    stream_->Write(block_.data(), block_.size());
}

void TWaveOut::Finish() {
    std::exception_ptr failure;
    try {
        // A new file that failed is discarded, so only an appended one needs a true header.
        // A stopped append gives the file back as it was (a dropped pad byte returns as zero).
        if (stream_ != nullptr && appending_ && Stopped()) {
            stream_->SetSize(appendedTo_);
        } else if (stream_ != nullptr && (appending_ || !Failing()) && HeaderNeedsPatch()) {
            PatchHeader();
        }
        CloseOutputFile();
    } catch (...) {
        failure = std::current_exception();
        if (!streamAssigned_) {
            DiscardOutputFile();
        }
    }
    if (TPcmInput* input = Input()) {
        input->Flush();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

bool TWaveOut::HeaderNeedsPatch() {
    return appending_ || announcedDataSize_ < 0 ||
           stream_->Size() - dataOffset_ != announcedDataSize_;
}

void TWaveOut::PatchHeader() {
    const int64_t fileLength = stream_->Size();
    const int64_t dataSize = fileLength - dataOffset_;
    const int framesPerBlock = ImaFramesPerBlock(blockSize_, channels_);
    if (appending_) {
        WriteLE32At(existing_.dataSizeOffset, dataSize);
        if (wavType_ == wtDVIADPCM) {
            WriteLE32At(existing_.factOffset,
                        static_cast<int64_t>(framesPerBlock) * (dataSize / blockSize_));
        }
    } else if (wavType_ == wtPCM) {
        WriteLE32At(40, dataSize);
    } else {
        WriteLE32At(56, dataSize);
        WriteLE32At(48, dataSize / blockSize_ * framesPerBlock);
    }
    WriteLE32At(4, fileLength - 8);
}

void TWaveOut::WriteLE32At(int64_t offset, int64_t value) {
    std::vector<uint8_t> bytes;
    PutLE32(bytes, value);
    stream_->SetPosition(offset);
    stream_->Write(bytes.data(), bytes.size());
}

} // namespace quillon
