#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;
typedef struct _snd_config snd_config_t;

namespace quillon {

// One ALSA playback device opened for interleaved PCM. Every failure raises EPcmException
// with a readable message; ALSA's own diagnostics on stderr are silenced.
class AlsaPlayback {
public:
    // The playback devices: "default" first, then the further PCM devices ALSA lists. Empty
    // when the system has none (its only device is "null", which plays nowhere).
    static const std::vector<std::string>& DeviceNames();

    // Opens the device for 8-bit unsigned or 16-, 24- or 32-bit signed samples. With a
    // configuration text the device is looked up in that private configuration instead of
    // the system's (a test captures what is played through a "file" device).
    AlsaPlayback(const std::string& device, int sampleRate, int channels, int bitsPerSample,
                 const std::string& configuration = {});
    // Closes the device; what was written and not yet played is dropped.
    ~AlsaPlayback();
    AlsaPlayback(const AlsaPlayback&) = delete;
    AlsaPlayback& operator=(const AlsaPlayback&) = delete;

    // Writes bytes of any count; a sample frame split between two calls is completed by the
    // next. Raises when the device fails or takes nothing for several seconds.
    void Write(const uint8_t* data, size_t size);
    // Plays what was written to the end.
    void Drain();

private:
    // Writes whole frames.
    void WriteFrames(const uint8_t* data, size_t frames);

    snd_pcm_t* pcm_ = nullptr;
    snd_config_t* configuration_ = nullptr;
    std::string device_;
    size_t frameBytes_ = 0;
    std::vector<uint8_t> partialFrame_;
};

} // namespace quillon
