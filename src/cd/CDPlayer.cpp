#include "cd/CDPlayer.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cmath>
#include <mutex>
#include <poll.h>
#include <vector>

namespace quillon {
namespace {

constexpr long double kFullVolume = 65535;

// ALSA reports a missing card or element on stderr; here that only means "no device".
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

uint16_t MixerToVolume(long value, long min, long max) {
    if (max <= min) {
        return 0;
    }
    value = std::clamp(value, min, max);
    const long double share = (static_cast<long double>(value) - static_cast<long double>(min)) /
                              (static_cast<long double>(max) - static_cast<long double>(min));
    return static_cast<uint16_t>(std::lround(share * kFullVolume));
}

long VolumeToMixer(uint16_t volume, long min, long max) {
    if (max <= min) {
        return min;
    }
    const long double range = static_cast<long double>(max) - static_cast<long double>(min);
    return static_cast<long>(static_cast<long double>(min) +
                             std::round(range * volume / kFullVolume));
}

// The opened mixer of the default card and its "CD" element.
class TCDPlayer::Mixer {
public:
    // Null when there is no card or no "CD" playback volume.
    static std::unique_ptr<Mixer> Open() {
        static std::once_flag silenced;
        std::call_once(silenced, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
        snd_mixer_t* handle = nullptr;
        if (snd_mixer_open(&handle, 0) < 0) {
            return nullptr;
        }
        std::unique_ptr<Mixer> mixer(new Mixer(handle));
        if (snd_mixer_attach(handle, "default") < 0 ||
            snd_mixer_selem_register(handle, nullptr, nullptr) < 0 || snd_mixer_load(handle) < 0) {
            return nullptr;
        }
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, "CD");
        mixer->element_ = snd_mixer_find_selem(handle, id);
        if (!mixer->element_ || !snd_mixer_selem_has_playback_volume(mixer->element_) ||
            snd_mixer_selem_get_playback_volume_range(mixer->element_, &mixer->min_, &mixer->max_) <
                0) {
            return nullptr;
        }
        return mixer;
    }

    ~Mixer() { snd_mixer_close(handle_); }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    uint16_t Volume(snd_mixer_selem_channel_id_t channel) {
        TakeChanges();
        long value = 0;
        if (snd_mixer_selem_get_playback_volume(element_, Present(channel), &value) < 0) {
            return 0;
        }
        return MixerToVolume(value, min_, max_);
    }

    void SetVolume(snd_mixer_selem_channel_id_t channel, uint16_t volume) {
        TakeChanges();
        snd_mixer_selem_set_playback_volume(element_, Present(channel),
                                            VolumeToMixer(volume, min_, max_));
    }

private:
    explicit Mixer(snd_mixer_t* handle) : handle_(handle) {}

    // A mono element has one channel for both sides.
    snd_mixer_selem_channel_id_t Present(snd_mixer_selem_channel_id_t channel) const {
        return snd_mixer_selem_has_playback_channel(element_, channel) ? channel
                                                                       : SND_MIXER_SCHN_MONO;
    }

    // Applies changes other programs made since the last look, without waiting for any: the
    // element keeps the values of the last events it saw.
    void TakeChanges() {
        const int count = snd_mixer_poll_descriptors_count(handle_);
        if (count <= 0) {
            return;
        }
        std::vector<pollfd> descriptors(static_cast<size_t>(count));
        if (snd_mixer_poll_descriptors(handle_, descriptors.data(), descriptors.size()) < 0 ||
            poll(descriptors.data(), descriptors.size(), 0) <= 0) {
            return;
        }
        unsigned short events = 0;
        if (snd_mixer_poll_descriptors_revents(handle_, descriptors.data(), descriptors.size(),
                                               &events) >= 0 &&
            events != 0) {
            snd_mixer_handle_events(handle_);
        }
    }

    snd_mixer_t* handle_;
    snd_mixer_elem_t* element_ = nullptr;
    long min_ = 0;
    long max_ = 0;
};

TCDPlayer::TCDPlayer() : mixer_(Mixer::Open()) {}

TCDPlayer::~TCDPlayer() = default;

uint16_t TCDPlayer::LVolume() const {
    return mixer_ ? mixer_->Volume(SND_MIXER_SCHN_FRONT_LEFT) : 0;
}

void TCDPlayer::SetLVolume(uint16_t volume) {
    if (mixer_) {
        mixer_->SetVolume(SND_MIXER_SCHN_FRONT_LEFT, volume);
    }
}

uint16_t TCDPlayer::RVolume() const {
    return mixer_ ? mixer_->Volume(SND_MIXER_SCHN_FRONT_RIGHT) : 0;
}

void TCDPlayer::SetRVolume(uint16_t volume) {
    if (mixer_) {
        mixer_->SetVolume(SND_MIXER_SCHN_FRONT_RIGHT, volume);
    }
}

} // namespace quillon
