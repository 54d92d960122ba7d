#include "cd/CDPlayer.h"

#include "fixtures/Fixtures.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

namespace quillon::test {
namespace {

TEST(CDPlayerTest, ScalesMixerValuesToWordVolumes) {
    struct Case {
        long value, min, max;
        uint16_t volume;
    } cases[] = {
        {0, 0, 255, 0},
        {255, 0, 255, 65535},
        {128, 0, 255, 32896},
        {-23, -46, 0, 32768}, // ranges below zero, rounded half up
        {300, 0, 255, 65535}, // clamped
        {-5, 0, 255, 0},
        {7, 7, 7, 0}, // an empty range
        {LONG_MAX, LONG_MIN, LONG_MAX, 65535},
        {LONG_MIN, LONG_MIN, LONG_MAX, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " in " + std::to_string(c.min) + " .. " +
                     std::to_string(c.max));
        EXPECT_EQ(c.volume, MixerToVolume(c.value, c.min, c.max));
    }
    // Every mixer step survives a trip through the word volume, and the ends are exact.
    for (const auto& [min, max] : {std::pair{0L, 31L}, std::pair{-46L, 0L}, std::pair{0L, 65535L},
                                   std::pair{LONG_MIN, LONG_MAX}}) {
        SCOPED_TRACE(std::to_string(min) + " .. " + std::to_string(max));
        EXPECT_EQ(min, VolumeToMixer(0, min, max));
        EXPECT_EQ(max, VolumeToMixer(65535, min, max));
        if (static_cast<unsigned long>(max) - static_cast<unsigned long>(min) <= 65535) {
            for (long value = min; value <= max; ++value) {
                ASSERT_EQ(value, VolumeToMixer(MixerToVolume(value, min, max), min, max));
            }
        }
    }
    EXPECT_EQ(5, VolumeToMixer(40000, 5, 5));
}

TEST(CDPlayerTest, WithoutDeviceReadsZeroAndIgnoresWrites) {
    // A configuration that defines no devices at all, so that a sound card on the machine
    // running the test makes no difference.
    TempDir dir;
    WriteFileBytes(dir.File("asound.conf"), {});
    const char* previous = std::getenv("ALSA_CONFIG_PATH");
    const std::string kept = previous ? previous : "";
    setenv("ALSA_CONFIG_PATH", dir.File("asound.conf").c_str(), 1);
    {
        TCDPlayer player;
        EXPECT_FALSE(player.HasDevice());
        player.SetLVolume(40000);
        player.SetRVolume(1234);
        EXPECT_EQ(0, player.LVolume());
        EXPECT_EQ(0, player.RVolume());
    }
    if (previous) {
        setenv("ALSA_CONFIG_PATH", kept.c_str(), 1);
    } else {
        unsetenv("ALSA_CONFIG_PATH");
    }
}

} // namespace
} // namespace quillon::test
