#include "fixtures/Fixtures.h"
#include "libmac/MACDll.h"
#include "platform/DynamicLibrary.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFrame = 73728; // blocks per frame at levels 1000-3000

// The compress calls of libMACDll.so, loaded as the program loads it. It stays mapped after
// the test: the platform layer keeps a registry of unfinished files for the whole process.
struct MacLibrary {
    MacLibrary() : library(std::string(QUILLON_BIN_DIR) + "/libMACDll.so", true) {
        library.Resolve(Create, "c_APECompress_Create");
        library.Resolve(Destroy, "c_APECompress_Destroy");
        library.Resolve(Start, "c_APECompress_Start");
        library.Resolve(AddData, "c_APECompress_AddData");
        library.Resolve(LockBuffer, "c_APECompress_LockBuffer");
        library.Resolve(UnlockBuffer, "c_APECompress_UnlockBuffer");
        library.Resolve(Finish, "c_APECompress_Finish");
        library.Resolve(Kill, "c_APECompress_Kill");
    }

    DynamicLibrary library;
    decltype(&c_APECompress_Create) Create = nullptr;
    decltype(&c_APECompress_Destroy) Destroy = nullptr;
    decltype(&c_APECompress_Start) Start = nullptr;
    decltype(&c_APECompress_AddData) AddData = nullptr;
    decltype(&c_APECompress_LockBuffer) LockBuffer = nullptr;
    decltype(&c_APECompress_UnlockBuffer) UnlockBuffer = nullptr;
    decltype(&c_APECompress_Finish) Finish = nullptr;
    decltype(&c_APECompress_Kill) Kill = nullptr;
};

enum class Signal { Noise, Square, Silence, SilenceThenFull, SameChannels };

MAC_WaveFormat Format(int channels, int bits, uint32_t rate = 44100) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {1,     static_cast<uint16_t>(channels), rate, rate * align,
            align, static_cast<uint16_t>(bits),     0};
}

void PutSample(std::vector<uint8_t>& out, int32_t v, int bits) {
    if (bits == 8) {
        out.push_back(static_cast<uint8_t>(v + 128));
    } else {
        for (int b = 0; b < bits; b += 8) {
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> b));
        }
    }
}

// PCM bytes as a WAV file holds them, every signal at full scale.
std::vector<uint8_t> Pcm(Signal signal, int channels, int bits, int blocks) {
    const int32_t top = (1 << (bits - 1)) - 1;
    std::mt19937 random(static_cast<uint32_t>(blocks * 31 + bits));
    std::uniform_int_distribution<int32_t> full(-top - 1, top);
    std::vector<uint8_t> out;
    for (int i = 0; i < blocks; ++i) {
        const int32_t shared = full(random);
        for (int c = 0; c < channels; ++c) {
            int32_t v = 0;
            switch (signal) {
            case Signal::Noise:
                v = full(random);
                break;
            case Signal::Square:
                v = (i / (40 + 13 * c)) % 2 != 0 ? top : -top - 1;
                break;
            case Signal::Silence:
                break;
            case Signal::SilenceThenFull:
                v = i < blocks / 2 ? 0 : full(random);
                break;
            case Signal::SameChannels:
                v = shared;
                break;
            }
            PutSample(out, v, bits);
        }
    }
    return out;
}

// Tones over soft noise, silence, then full-scale noise, from integer arithmetic alone (the
// same bytes on every platform).
std::vector<uint8_t> Mixed(int channels, int bits, int blocks) {
    const int32_t top = (1 << (bits - 1)) - 1;
    uint32_t state = 12345;
    std::vector<uint8_t> out;
    for (int i = 0; i < blocks; ++i) {
        for (int c = 0; c < channels; ++c) {
            state = state * 1664525u + 1013904223u;
            int32_t v = 0;
            if (i < blocks / 3) {
                v = ((i * (7 + 3 * c)) % 200 - 100) * (top / 200) +
                    static_cast<int32_t>((state >> 8) % static_cast<uint32_t>(top / 8 + 1));
            } else if (i >= blocks / 2) {
                v = static_cast<int32_t>(state >> (32 - bits)) - top - 1;
            }
            PutSample(out, v, bits);
        }
    }
    return out;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (const uint8_t byte : bytes) {
        hash = (hash ^ byte) * 0x100000001b3u;
    }
    return hash;
}

// The sample bytes of a WAV file.
std::vector<uint8_t> WavData(const std::vector<uint8_t>& wav) {
    for (size_t at = 12; at + 8 <= wav.size();) {
        const uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 |
                              static_cast<uint32_t>(wav[at + 7]) << 24;
        if (std::memcmp(&wav[at], "data", 4) == 0) {
            return {wav.begin() + static_cast<long>(at + 8),
                    wav.begin() + static_cast<long>(std::min<size_t>(wav.size(), at + 8 + size))};
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

std::string FfmpegFormat(int bits) {
    return bits == 8 ? "-f u8" : bits == 16 ? "-f s16le" : "-c:a pcm_s24le -f s24le";
}

class ApeCompress : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mac.library.Loaded()); }

    // Compresses the bytes into a file: through LockBuffer/UnlockBuffer in pieces that split
    // blocks, or through AddData at once. Returns the first error code.
    int Compress(const std::string& file, const std::vector<uint8_t>& pcm, int channels, int bits,
                 int level, bool addData, int maxAudioBytes = -1,
                 const std::vector<uint8_t>& header = {}, const std::vector<uint8_t>& tail = {}) {
        int error = -1;
        APE_COMPRESS_HANDLE handle = mac.Create(&error);
        EXPECT_EQ(error, MAC_OK);
        const MAC_WaveFormat format = Format(channels, bits);
        int code = mac.Start(handle, file.c_str(), &format, maxAudioBytes, level,
                             header.empty() ? nullptr : header.data(),
                             header.empty() ? -1 : static_cast<int>(header.size()));
        if (code == MAC_OK && addData) {
            std::vector<uint8_t> copy = pcm;
            code = mac.AddData(handle, copy.data(), static_cast<int>(copy.size()));
        }
        for (size_t done = 0; code == MAC_OK && !addData && done < pcm.size();) {
            int available = 0;
            unsigned char* to = mac.LockBuffer(handle, &available);
            const size_t n = std::min<size_t>({pcm.size() - done, 4099, size_t(available)});
            std::memcpy(to, pcm.data() + done, n);
            code = mac.UnlockBuffer(handle, static_cast<int>(n), 1);
            done += n;
        }
        if (code == MAC_OK) {
            std::vector<uint8_t> copy = tail;
            code = mac.Finish(handle, copy.empty() ? nullptr : copy.data(),
                              static_cast<int>(copy.size()), static_cast<int>(copy.size()));
        }
        mac.Destroy(handle);
        return code;
    }

    // Decodes with FFmpeg, frame CRCs checked; expects the input back and nothing on stderr.
    void ExpectFfmpegDecodes(const std::string& file, const std::vector<uint8_t>& pcm, int bits) {
        const std::string raw = file + ".raw";
        const std::string errors = file + ".err";
        EXPECT_EQ(Shell("ffmpeg -nostdin -v error -err_detect crccheck+explode -i " + Quote(file) +
                        " " + FfmpegFormat(bits) + " -y " + Quote(raw) + " 2>" + Quote(errors)),
                  0);
        EXPECT_EQ(ReadFileBytes(errors), std::vector<uint8_t>{});
        EXPECT_TRUE(ReadFileBytes(raw) == pcm) << "FFmpeg decodes other samples";
    }

    // Decodes with jmac, which also checks the MD5 when verifying.
    void ExpectJmacDecodes(const std::string& file, const std::vector<uint8_t>& pcm) {
        const std::string wav = file + ".wav";
        EXPECT_EQ(Shell("jmac d " + Quote(file) + " " + Quote(wav) + " >/dev/null 2>&1"), 0);
        EXPECT_TRUE(WavData(ReadFileBytes(wav)) == pcm) << "jmac decodes other samples";
        const std::string verify = ShellOutput("jmac v " + Quote(file) + " 2>&1");
        EXPECT_EQ(verify.find("Exception"), std::string::npos) << verify;
    }

    MacLibrary mac;
    TempDir dir;
};

TEST_F(ApeCompress, FilesDecodeToTheInputAtEveryLevelAndWidth) {
    struct Case {
        int level;
        int channels;
        int bits;
        int blocks;
        Signal signal;
        bool addData;
        bool jmac;
    };
    const Case cases[] = {
        {1000, 1, 16, 1, Signal::Noise, false, false}, // jmac cannot open files under 128 bytes
        {2000, 2, 16, 2, Signal::Square, true, false},
        {3000, 2, 8, 3, Signal::Noise, false, false},
        {4000, 2, 24, 17, Signal::Noise, false, true},
        {5000, 1, 24, 17, Signal::Square, true, false},
        {5000, 2, 16, 3, Signal::Noise, false, false},
        // Exact multiples of the frame size, and one block past them.
        {1000, 1, 8, 2 * kFrame, Signal::Noise, false, true},
        {2000, 2, 16, kFrame, Signal::Square, true, false},
        {3000, 2, 24, kFrame + 1, Signal::SilenceThenFull, false, false},
        {4000, 1, 16, 4 * kFrame, Signal::Noise, true, true},
        // Silent and pseudo-stereo frames take special codes.
        {1000, 2, 16, 2 * kFrame + 5, Signal::Silence, false, true},
        {2000, 2, 16, kFrame + 100, Signal::SameChannels, false, true},
        {3000, 1, 8, 5000, Signal::Silence, false, false},
        // Silence then full scale: overflows that escape the symbol table.
        {1000, 1, 16, kFrame + 7, Signal::SilenceThenFull, false, false},
        {2000, 2, 8, 5000, Signal::SilenceThenFull, true, false},
        {4000, 2, 24, 20000, Signal::SilenceThenFull, false, false},
        // Loud 24-bit stereo: wide pivots, 32-bit prediction below level 5000, 64-bit at it
        // (where jmac computes otherwise: FFmpeg is the reference).
        {4000, 2, 24, 30000, Signal::Noise, false, true},
        {5000, 2, 24, 30000, Signal::Noise, false, false},
        {5000, 2, 24, 20000, Signal::Square, true, false},
        {3000, 1, 8, 20000, Signal::Square, false, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "case " << index << ": level " << c.level << ", " << c.channels << " ch, "
                     << c.bits << " bits, " << c.blocks << " blocks");
        const std::string file = dir.File("case" + std::to_string(index++) + ".ape");
        const std::vector<uint8_t> pcm = Pcm(c.signal, c.channels, c.bits, c.blocks);
        ASSERT_EQ(Compress(file, pcm, c.channels, c.bits, c.level, c.addData), MAC_OK);
        ExpectFfmpegDecodes(file, pcm, c.bits);
        if (c.jmac && HaveProgram("jmac")) {
            ExpectJmacDecodes(file, pcm);
        }
    }
}

// Other encoders' files are compared byte for byte: the coded bytes of each level and width
// stay what they were when checked against the decoders.
TEST_F(ApeCompress, CodesTheSameBytesAsEver) {
    struct Case {
        int level;
        int channels;
        int bits;
        uint64_t hash;
    };
    const Case cases[] = {
        {1000, 2, 16, 1795875774049199642u},  {2000, 2, 16, 14105007495714422656u},
        {3000, 2, 16, 1462017991128887492u},  {4000, 2, 24, 7720427998557138426u},
        {5000, 2, 24, 11842428521762355676u}, {1000, 1, 8, 13750573129524367901u},
        {2000, 1, 24, 14421834640668111921u}, {3000, 2, 8, 7283110636558728000u},
        {4000, 1, 16, 8662746283104125048u},  {5000, 1, 16, 1071808737176608242u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "level " << c.level << ", " << c.channels << " ch, " << c.bits << " bits");
        const std::string file = dir.File("same.ape");
        ASSERT_EQ(Compress(file, Mixed(c.channels, c.bits, kFrame + 6300), c.channels, c.bits,
                           c.level, false),
                  MAC_OK);
        EXPECT_EQ(Fnv1a(ReadFileBytes(file)), c.hash);
    }
}

TEST_F(ApeCompress, AnnouncedLengthStoredHeaderAndTailGiveTheSameFrames) {
    const std::vector<uint8_t> pcm = Pcm(Signal::Noise, 2, 16, 3 * kFrame + 9);
    const auto bytes = static_cast<int>(pcm.size());
    // Unknown, exact and too large announced lengths: the seek table is sized in advance or
    // the frames move when Finish knows their number; the files must not differ.
    const std::string unknown = dir.File("unknown.ape");
    ASSERT_EQ(Compress(unknown, pcm, 2, 16, 2000, false, -1), MAC_OK);
    for (const int announced : {bytes, 2 * bytes}) {
        const std::string file = dir.File("announced" + std::to_string(announced) + ".ape");
        ASSERT_EQ(Compress(file, pcm, 2, 16, 2000, true, announced), MAC_OK);
        EXPECT_TRUE(ReadFileBytes(file) == ReadFileBytes(unknown)) << announced;
    }
    ExpectFfmpegDecodes(unknown, pcm, 16);

    // A stored WAV header and tail: both decoders still find every frame, the MD5 covers them.
    std::vector<uint8_t> header = PcmWavBytes(44100, 16, 2, pcm);
    header.resize(44);
    const std::vector<uint8_t> tail = {'L', 'I', 'S', 'T', 2, 0, 0, 0, 'a', 'b'};
    const std::string stored = dir.File("stored.ape");
    ASSERT_EQ(Compress(stored, pcm, 2, 16, 1000, false, -1, header, tail), MAC_OK);
    ExpectFfmpegDecodes(stored, pcm, 16);
    if (HaveProgram("jmac")) {
        ExpectJmacDecodes(stored, pcm);
    }
}

TEST_F(ApeCompress, RefusesBadArgumentsAndKeepsAnOlderFileUntilFinish) {
    const std::string target = dir.File("old.ape");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    WriteFileBytes(target, old);
    fs::create_directory(dir.File("folder"));

    struct StartCase {
        const char* name;
        MAC_WaveFormat format;
        int level;
        std::string file;
        int expected;
    };
    const StartCase starts[] = {
        {"12 bits", Format(2, 12), 2000, target, MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH},
        {"rate 0", Format(2, 16, 0), 2000, target, MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE},
        {"3 channels", Format(3, 16), 2000, target, MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT},
        {"level 1500", Format(2, 16), 1500, target, MAC_ERROR_INVALID_FUNCTION_PARAMETER},
        {"level 6000", Format(2, 16), 6000, target, MAC_ERROR_INVALID_FUNCTION_PARAMETER},
        {"missing folder", Format(2, 16), 2000, dir.File("none/x.ape"),
         MAC_ERROR_INVALID_OUTPUT_FILE},
        {"a folder", Format(2, 16), 2000, dir.File("folder"), MAC_ERROR_INVALID_OUTPUT_FILE},
        {"ok", Format(1, 24, 7), 5000, target, MAC_OK},
    };
    for (const StartCase& c : starts) {
        SCOPED_TRACE(c.name);
        int error = 0;
        APE_COMPRESS_HANDLE handle = mac.Create(&error);
        EXPECT_EQ(mac.Start(handle, c.file.c_str(), &c.format, -1, c.level, nullptr, -1),
                  c.expected);
        mac.Destroy(handle); // without Finish: nothing is written
    }
    EXPECT_EQ(mac.Start(nullptr, target.c_str(), &starts[0].format, -1, 2000, nullptr, -1),
              MAC_ERROR_INVALID_FUNCTION_PARAMETER);

    // More than offered, more than announced: refused, and the run goes on.
    int error = 0;
    APE_COMPRESS_HANDLE handle = mac.Create(&error);
    const MAC_WaveFormat format = Format(2, 16);
    ASSERT_EQ(mac.Start(handle, target.c_str(), &format, 8000, 2000, nullptr, -1), MAC_OK);
    int available = 0;
    unsigned char* buffer = mac.LockBuffer(handle, &available);
    ASSERT_NE(buffer, nullptr);
    ASSERT_GE(available, 8000);
    std::memset(buffer, 0x11, 8000);
    EXPECT_EQ(mac.UnlockBuffer(handle, available + 1, 1), MAC_ERROR_BAD_PARAMETER);
    EXPECT_EQ(mac.UnlockBuffer(handle, 6000, 1), MAC_OK);
    std::vector<uint8_t> more(4000, 0x22);
    EXPECT_EQ(mac.AddData(handle, more.data(), 4000), MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA);
    EXPECT_EQ(mac.AddData(handle, more.data(), 2000), MAC_OK);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(mac.Kill(handle), MAC_OK);
    EXPECT_EQ(mac.Finish(handle, nullptr, 0, 0), MAC_ERROR_INVALID_FUNCTION_PARAMETER);
    mac.Destroy(handle);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(dir.Count(), 2) << "a temporary file was left behind";

    // No samples at all: a file of no frames, with default permissions.
    ASSERT_EQ(Compress(target, {}, 2, 16, 3000, false), MAC_OK);
    const std::vector<uint8_t> empty = ReadFileBytes(target);
    ASSERT_EQ(empty.size(), 76u);
    EXPECT_EQ(std::string(empty.begin(), empty.begin() + 4), "MAC ");
    EXPECT_EQ(empty[4] | empty[5] << 8, 3990);
    EXPECT_EQ(std::vector<uint8_t>(empty.begin() + 60, empty.begin() + 68),
              std::vector<uint8_t>(8, 0)); // final-frame blocks, total frames
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

} // namespace
} // namespace quillon::test
