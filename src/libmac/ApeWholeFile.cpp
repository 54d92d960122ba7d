#include "libmac/ApeDecoder.h"
#include "libmac/Export.h"
#include "libmac/MACDll.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

using quillon::FileStream;
using quillon::mac::ApeDecoder;

namespace {

constexpr int kChunkBytes = 1 << 16;

uint32_t LE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t LE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The caller's percentage, its callback and its stop flag.
class Progress {
public:
    Progress(int* percentageDone, APE_PROGRESS_CALLBACK callback, int* killFlag)
        : percentageDone_(percentageDone), callback_(callback), killFlag_(killFlag) {}

    void Report(int64_t done, int64_t total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (percent == last_) {
            return;
        }
        last_ = percent;
        if (percentageDone_ != nullptr) {
            *percentageDone_ = percent;
        }
        if (callback_ != nullptr) {
            callback_(percent);
        }
    }
    bool Killed() const { return killFlag_ != nullptr && *killFlag_ != 0; }

private:
    int* percentageDone_;
    APE_PROGRESS_CALLBACK callback_;
    int* killFlag_;
    int last_ = -1;
};

// The PCM data of a WAV file: its format and where its samples lie.
struct WavInput {
    MAC_WaveFormat format{};
    int64_t dataStart = 0;
    int64_t dataBytes = 0;
};

int ReadWavHeader(FileStream& file, WavInput& wav) {
    const int64_t fileSize = file.Size();
    uint8_t riff[12];
    if (file.Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return MAC_ERROR_INVALID_INPUT_FILE;
    }
    bool haveFormat = false;
    int64_t position = 12;
    while (position + 8 <= fileSize) {
        uint8_t chunk[8];
        file.SetPosition(position);
        if (file.Read(chunk, sizeof chunk) != sizeof chunk) {
            break;
        }
        const int64_t size = LE32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            uint8_t fmt[16];
            if (file.Read(fmt, sizeof fmt) != sizeof fmt || LE16(fmt) != 1) {
                return MAC_ERROR_UNSUPPORTED_FILE_TYPE;
            }
            const int code = FillWaveFormatEx(&wav.format, static_cast<int>(LE32(fmt + 4)),
                                              LE16(fmt + 14), LE16(fmt + 2));
            if (code != MAC_OK) {
                return code;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return MAC_ERROR_INVALID_INPUT_FILE;
            }
            wav.dataStart = position + 8;
            // A data chunk longer than the file (a header never completed) holds what is there.
            wav.dataBytes = std::min<int64_t>(size, fileSize - wav.dataStart);
            wav.dataBytes -= wav.dataBytes % wav.format.nBlockAlign;
            return MAC_OK;
        }
        position += 8 + size + (size & 1);
    }
    return MAC_ERROR_INVALID_INPUT_FILE;
}

// A compressor whose output is abandoned unless Finish succeeds.
class Compressor {
public:
    ~Compressor() {
        if (handle_ != nullptr) {
            if (!finished_) {
                c_APECompress_Kill(handle_);
            }
            c_APECompress_Destroy(handle_);
        }
    }
    int Start(const char* outputFileName, const MAC_WaveFormat& format, int64_t bytes, int level) {
        int code = MAC_OK;
        handle_ = c_APECompress_Create(&code);
        if (handle_ == nullptr) {
            return code != MAC_OK ? code : MAC_ERROR_INSUFFICIENT_MEMORY;
        }
        const int maxBytes = bytes >= 0 && bytes <= INT32_MAX ? static_cast<int>(bytes) : -1;
        return c_APECompress_Start(handle_, outputFileName, &format, maxBytes, level, nullptr, 0);
    }
    int Add(uint8_t* data, int bytes) { return c_APECompress_AddData(handle_, data, bytes); }
    int Finish() {
        const int code = c_APECompress_Finish(handle_, nullptr, 0, 0);
        finished_ = code == MAC_OK;
        return code;
    }

private:
    APE_COMPRESS_HANDLE handle_ = nullptr;
    bool finished_ = false;
};

// Feeds a decoder's PCM to a consumer in chunks; the decoder's error, the consumer's, or
// MAC_ERROR_USER_STOPPED_PROCESSING.
template <typename Consume>
int DrainDecoder(ApeDecoder& decoder, Progress& progress, Consume consume) {
    const int align = std::max(decoder.BlockAlign(), 1);
    std::vector<char> buffer(static_cast<size_t>(kChunkBytes / align * align));
    const int blocks = static_cast<int>(buffer.size()) / align;
    for (;;) {
        if (progress.Killed()) {
            return MAC_ERROR_USER_STOPPED_PROCESSING;
        }
        int retrieved = 0;
        const int code = decoder.GetData(buffer.data(), blocks, retrieved);
        if (code != MAC_OK) {
            return code;
        }
        if (retrieved == 0) {
            return MAC_OK;
        }
        const int consumed = consume(reinterpret_cast<uint8_t*>(buffer.data()), retrieved * align);
        if (consumed != MAC_OK) {
            return consumed;
        }
        progress.Report(decoder.CurrentBlock(), decoder.TotalBlocks());
    }
}

int OpenDecoder(const char* fileName, ApeDecoder& decoder) {
    return fileName != nullptr ? decoder.Open(fileName) : MAC_ERROR_INVALID_FUNCTION_PARAMETER;
}

// Opens the decoder and describes its PCM in format.
int OpenDecoder(const char* fileName, ApeDecoder& decoder, MAC_WaveFormat& format) {
    const int code = OpenDecoder(fileName, decoder);
    return code != MAC_OK ? code
                          : FillWaveFormatEx(&format, decoder.SampleRate(), decoder.BitsPerSample(),
                                             decoder.Channels());
}

// Runs an operation, turning what it raises into error codes.
template <typename Operation> int Guarded(Operation operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return MAC_ERROR_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAC_ERROR_IO_WRITE;
    }
}

} // namespace

extern "C" {

MACDLL_EXPORT int CompressFile(const char* inputFileName, const char* outputFileName,
                               int compressionLevel, int* percentageDone,
                               APE_PROGRESS_CALLBACK progressCallback, int* killFlag) {
    if (inputFileName == nullptr || outputFileName == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    return Guarded([&] {
        std::unique_ptr<FileStream> input;
        WavInput wav;
        try {
            input = std::make_unique<FileStream>(inputFileName, FileStream::Mode::Read);
            const int code = ReadWavHeader(*input, wav);
            if (code != MAC_OK) {
                return code;
            }
        } catch (const std::exception&) {
            return static_cast<int>(MAC_ERROR_INVALID_INPUT_FILE);
        }
        Progress progress(percentageDone, progressCallback, killFlag);
        Compressor compressor;
        int code = compressor.Start(outputFileName, wav.format, wav.dataBytes, compressionLevel);
        if (code != MAC_OK) {
            return code;
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(kChunkBytes));
        input->SetPosition(wav.dataStart);
        for (int64_t done = 0; done < wav.dataBytes;) {
            if (progress.Killed()) {
                return static_cast<int>(MAC_ERROR_USER_STOPPED_PROCESSING);
            }
            const size_t want = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(buffer.size()), wav.dataBytes - done));
            const size_t got = input->Read(buffer.data(), want);
            if (got != want) {
                return static_cast<int>(MAC_ERROR_IO_READ);
            }
            code = compressor.Add(buffer.data(), static_cast<int>(got));
            if (code != MAC_OK) {
                return code;
            }
            done += static_cast<int64_t>(got);
            progress.Report(done, wav.dataBytes);
        }
        code = compressor.Finish();
        if (code == MAC_OK) {
            progress.Report(1, 1);
        }
        return code;
    });
}

MACDLL_EXPORT int DecompressFile(const char* inputFileName, const char* outputFileName,
                                 int* percentageDone, APE_PROGRESS_CALLBACK progressCallback,
                                 int* killFlag) {
    if (outputFileName == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    return Guarded([&] {
        ApeDecoder decoder;
        MAC_WaveFormat format{};
        MAC_WaveHeader header{};
        int code = OpenDecoder(inputFileName, decoder, format);
        const int64_t audioBytes = decoder.TotalBlocks() * decoder.BlockAlign();
        if (code != MAC_OK || audioBytes > INT32_MAX - static_cast<int64_t>(sizeof header)) {
            return code != MAC_OK ? code : static_cast<int>(MAC_ERROR_INPUT_FILE_TOO_LARGE);
        }
        FillWaveHeader(&header, static_cast<int>(audioBytes), &format, 0);
        // The WAV file takes its name only when it is complete (FileStream's Commit).
        std::unique_ptr<FileStream> output;
        try {
            output = std::make_unique<FileStream>(outputFileName, FileStream::Mode::Create);
            output->Write(&header, sizeof header);
        } catch (const std::exception&) {
            return static_cast<int>(MAC_ERROR_INVALID_OUTPUT_FILE);
        }
        Progress progress(percentageDone, progressCallback, killFlag);
        code = DrainDecoder(decoder, progress, [&](uint8_t* data, int bytes) {
            output->Write(data, static_cast<size_t>(bytes));
            return static_cast<int>(MAC_OK);
        });
        if (code == MAC_OK) {
            output->Commit();
            progress.Report(1, 1);
        }
        return code;
    });
}

MACDLL_EXPORT int ConvertFile(const char* inputFileName, const char* outputFileName,
                              int compressionLevel, int* percentageDone,
                              APE_PROGRESS_CALLBACK progressCallback, int* killFlag) {
    if (outputFileName == nullptr) {
        return MAC_ERROR_INVALID_FUNCTION_PARAMETER;
    }
    return Guarded([&] {
        ApeDecoder decoder;
        MAC_WaveFormat format{};
        int code = OpenDecoder(inputFileName, decoder, format);
        if (code != MAC_OK) {
            return code;
        }
        Compressor compressor;
        code = compressor.Start(outputFileName, format,
                                decoder.TotalBlocks() * decoder.BlockAlign(), compressionLevel);
        if (code != MAC_OK) {
            return code;
        }
        Progress progress(percentageDone, progressCallback, killFlag);
        code = DrainDecoder(decoder, progress,
                            [&](uint8_t* data, int bytes) { return compressor.Add(data, bytes); });
        if (code == MAC_OK) {
            code = compressor.Finish();
        }
        return code;
    });
}

MACDLL_EXPORT int VerifyFile(const char* inputFileName, int* percentageDone,
                             APE_PROGRESS_CALLBACK progressCallback, int* killFlag) {
    return Guarded([&] {
        ApeDecoder decoder;
        const int code = OpenDecoder(inputFileName, decoder);
        if (code != MAC_OK) {
            return code;
        }
        Progress progress(percentageDone, progressCallback, killFlag);
        return DrainDecoder(decoder, progress,
                            [](uint8_t*, int) { return static_cast<int>(MAC_OK); });
    });
}
}
