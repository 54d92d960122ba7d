// Encodes a PCM WAV file into a Monkey's Audio file through libMACDll.so, as the APE sink feeds
// it: unknown length, the library's own buffer filled piece by piece.
// Usage: ape_encode LEVEL IN.wav OUT.ape
#include "libmac/MACDll.h"
#include "platform/DynamicLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

uint32_t Le32(const char* p) {
    return static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8 |
           static_cast<uint8_t>(p[2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "ape_encode: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return Fail("usage: ape_encode LEVEL IN.wav OUT.ape");
    }
    quillon::DynamicLibrary library(quillon::ExecutableDir() + "/libMACDll.so");
    decltype(&c_APECompress_Create) create = nullptr;
    decltype(&c_APECompress_Start) start = nullptr;
    decltype(&c_APECompress_LockBuffer) lock = nullptr;
    decltype(&c_APECompress_UnlockBuffer) unlock = nullptr;
    decltype(&c_APECompress_Finish) finish = nullptr;
    decltype(&c_APECompress_Destroy) destroy = nullptr;
    library.Resolve(create, "c_APECompress_Create");
    library.Resolve(start, "c_APECompress_Start");
    library.Resolve(lock, "c_APECompress_LockBuffer");
    library.Resolve(unlock, "c_APECompress_UnlockBuffer");
    library.Resolve(finish, "c_APECompress_Finish");
    library.Resolve(destroy, "c_APECompress_Destroy");
    if (!create || !start || !lock || !unlock || !finish || !destroy) {
        return Fail("libMACDll.so could not be loaded");
    }

    std::ifstream in(argv[2], std::ios::binary);
    char riff[12];
    if (!in.read(riff, 12) || std::memcmp(riff, "RIFF", 4) != 0) {
        return Fail("not a WAV file");
    }
    MAC_WaveFormat format{};
    uint32_t dataBytes = 0;
    for (char chunk[8]; in.read(chunk, 8);) {
        const uint32_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::vector<char> fmt(size);
            in.read(fmt.data(), size);
            std::memcpy(&format, fmt.data(), std::min<size_t>(size, 16));
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            dataBytes = size;
            break;
        } else {
            in.seekg(size + (size & 1), std::ios::cur);
        }
    }

    int error = 0;
    APE_COMPRESS_HANDLE handle = create(&error);
    int code = start(handle, argv[3], &format, -1, std::atoi(argv[1]), nullptr, -1);
    std::vector<char> block(65536);
    for (uint32_t left = dataBytes; code == MAC_OK && left > 0;) {
        const auto n =
            static_cast<uint32_t>(in.read(block.data(), std::min<uint32_t>(left, 65536)).gcount());
        if (n == 0) {
            break;
        }
        left -= n;
        for (uint32_t done = 0; code == MAC_OK && done < n;) {
            int available = 0;
            unsigned char* to = lock(handle, &available);
            const auto k = std::min<uint32_t>(static_cast<uint32_t>(available), n - done);
            std::memcpy(to, block.data() + done, k);
            code = unlock(handle, static_cast<int>(k), 1);
            done += k;
        }
    }
    if (code == MAC_OK) {
        code = finish(handle, nullptr, 0, 0);
    }
    destroy(handle);
    return code == MAC_OK ? 0 : Fail("error " + std::to_string(code));
}
