#pragma once

#include <cstdint>
#include <memory>

namespace quillon {

// The CD-audio output volume of the sound hardware: the "CD" playback element of the default
// sound card's mixer. Without a card or such an element there is no device: both volumes read
// 0 and writes are ignored.
class TCDPlayer {
public:
    TCDPlayer();
    ~TCDPlayer();
    TCDPlayer(const TCDPlayer&) = delete;
    TCDPlayer& operator=(const TCDPlayer&) = delete;

    // The left and right channel, 0 … 65535 over the element's whole range. Writing one
    // channel leaves the other as it is.
    uint16_t LVolume() const;
    void SetLVolume(uint16_t volume);
    uint16_t RVolume() const;
    void SetRVolume(uint16_t volume);

    bool HasDevice() const { return mixer_ != nullptr; }

private:
    class Mixer;
    std::unique_ptr<Mixer> mixer_;
};

// Scale a mixer element's value within min … max to 0 … 65535 (rounded; values outside the
// range are clamped) and back; an empty range reads 0 and writes min.
uint16_t MixerToVolume(long value, long min, long max);
long VolumeToMixer(uint16_t volume, long min, long max);

} // namespace quillon
