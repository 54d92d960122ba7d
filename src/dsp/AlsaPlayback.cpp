#include "dsp/AlsaPlayback.h"

#include "core/PcmException.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace quillon {

namespace {

// Latency asked of the device, and how long it may take no data before playback fails.
constexpr unsigned kLatencyMicroseconds = 500'000;
constexpr int kWaitMilliseconds = 500;
constexpr std::chrono::seconds kStallLimit{5};
// Longest wait for the queued sound to play out: the device's latency and some slack.
constexpr std::chrono::seconds kDrainLimit{5};

void IgnoreAlsaDiagnostic(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaDiagnostic); });
}

std::string Describe(const std::string& what, const std::string& device, int error) {
    return what + " \"" + device + "\": " + snd_strerror(error);
}

std::vector<std::string> ListDevices() {
    SilenceAlsa();
    std::vector<std::string> names;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0) {
        return names;
    }
    for (void** hint = hints; *hint != nullptr; ++hint) {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* direction = snd_device_name_get_hint(*hint, "IOID");
        // Devices without a direction play and record.
        const bool plays = direction == nullptr || std::strcmp(direction, "Output") == 0;
        if (name != nullptr && plays && std::strcmp(name, "null") != 0 &&
            std::strcmp(name, "default") != 0) {
            names.emplace_back(name);
        }
        std::free(name);
        std::free(direction);
    }
    snd_device_name_free_hint(hints);
    if (!names.empty()) {
        names.insert(names.begin(), "default");
    }
    return names;
}

snd_pcm_format_t FormatOf(int bitsPerSample) {
    switch (bitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

} // namespace

const std::vector<std::string>& AlsaPlayback::DeviceNames() {
    static const std::vector<std::string> names = ListDevices();
    return names;
}

AlsaPlayback::AlsaPlayback(const std::string& device, int sampleRate, int channels,
                           int bitsPerSample, const std::string& configuration)
    : device_(device) {
    SilenceAlsa();
    const snd_pcm_format_t format = FormatOf(bitsPerSample);
    if (format == SND_PCM_FORMAT_UNKNOWN || channels < 1 || sampleRate < 1) {
        throw EPcmException("The playback device cannot play " + std::to_string(bitsPerSample) +
                            "-bit audio of " + std::to_string(channels) + " channels at " +
                            std::to_string(sampleRate) + " Hz");
    }
    frameBytes_ = static_cast<size_t>(bitsPerSample / 8 * channels);
    int r = 0;
    if (configuration.empty()) {
        r = snd_pcm_open(&pcm_, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    } else {
        snd_input_t* input = nullptr;
        r = snd_config_top(&configuration_);
        if (r >= 0) {
            r = snd_input_buffer_open(&input, configuration.data(),
                                      static_cast<ssize_t>(configuration.size()));
        }
        if (r >= 0) {
            r = snd_config_load(configuration_, input);
            snd_input_close(input);
        }
        if (r >= 0) {
            r = snd_pcm_open_lconf(&pcm_, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK,
                                   configuration_);
        }
    }
    if (r < 0) {
        pcm_ = nullptr;
        if (configuration_ != nullptr) {
            snd_config_delete(configuration_);
        }
        throw EPcmException(Describe("Cannot open the playback device", device, r));
    }
    r = snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(channels), static_cast<unsigned>(sampleRate), 1,
                           kLatencyMicroseconds);
    if (r < 0) {
        const std::string message = Describe("Cannot set up the playback device", device, r);
        snd_pcm_close(pcm_);
        if (configuration_ != nullptr) {
            snd_config_delete(configuration_);
        }
        throw EPcmException(message);
    }
    partialFrame_.reserve(frameBytes_);
}

AlsaPlayback::~AlsaPlayback() {
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    if (configuration_ != nullptr) {
        snd_config_delete(configuration_);
    }
}

void AlsaPlayback::Write(const uint8_t* data, size_t size) {
    if (!partialFrame_.empty()) {
        const size_t n = std::min(size, frameBytes_ - partialFrame_.size());
        partialFrame_.insert(partialFrame_.end(), data, data + n);
        data += n;
        size -= n;
        if (partialFrame_.size() < frameBytes_) {
            return;
        }
        WriteFrames(partialFrame_.data(), 1);
        partialFrame_.clear();
    }
    const size_t frames = size / frameBytes_;
    WriteFrames(data, frames);
    partialFrame_.assign(data + frames * frameBytes_, data + size);
}

void AlsaPlayback::WriteFrames(const uint8_t* data, size_t frames) {
    auto lastProgress = std::chrono::steady_clock::now();
    while (frames > 0) {
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm_, data, static_cast<snd_pcm_uframes_t>(frames));
        if (written == -EAGAIN) {
            if (std::chrono::steady_clock::now() - lastProgress > kStallLimit) {
                throw EPcmException("The playback device \"" + device_ + "\" stopped playing");
            }
            const int ready = snd_pcm_wait(pcm_, kWaitMilliseconds);
            if (ready < 0 && snd_pcm_recover(pcm_, ready, 1) < 0) {
                throw EPcmException(Describe("Playback failed on", device_, ready));
            }
            continue;
        }
        if (written < 0) {
            // An underrun or a suspended device is recovered from; anything else ends playback.
            if (const int r = snd_pcm_recover(pcm_, static_cast<int>(written), 1); r < 0) {
                throw EPcmException(Describe("Playback failed on", device_, r));
            }
            continue;
        }
        lastProgress = std::chrono::steady_clock::now();
        data += static_cast<size_t>(written) * frameBytes_;
        frames -= static_cast<size_t>(written);
    }
}

void AlsaPlayback::Drain() {
    // A trailing part of a frame cannot be played.
    partialFrame_.clear();
    // In non-blocking mode the drain starts and the state tells when it is over; a device that
    // stops playing is given up on rather than waited for without end.
    if (snd_pcm_drain(pcm_) != -EAGAIN) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
    while (snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace quillon
