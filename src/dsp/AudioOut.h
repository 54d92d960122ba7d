#pragma once

#include "core/PcmOutput.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

class AlsaPlayback;

// Sink that plays PCM on an ALSA device. Each pass of the worker reads 8192-byte blocks from
// the input and keeps up to 9 of them queued; a writer thread plays the queued blocks in turn
// and hands each played one back for the worker to free. Finish lets what is queued play out.
// A device that cannot be opened, or that fails while playing, fails the output through
// OnThreadException.
class TAudioOut : public TPcmOutput {
public:
    static constexpr int kBlockSize = 8192;
    static constexpr int kBufferCount = 8;
    static constexpr int kThreadDelay = 6;

    TAudioOut();
    ~TAudioOut() override;

    // 0 is the system's default device, higher values the further devices it lists.
    int BaseChannel() const { return baseChannel_; }
    // Raises "Component is buisy" while playing and "Channel N is not available" for a value
    // beyond the devices present; without any device the value stored is 0.
    void SetBaseChannel(int value);
    // 255 plays the samples unchanged; a lower value scales them linearly by Volume / 255.
    uint8_t Volume() const { return volume_; }
    void SetVolume(uint8_t value) { volume_ = value; }
    // An ALSA configuration text in which the channel's device ("default" for channel 0) is
    // looked up instead of the system's configuration; empty for the system's.
    const std::string& DeviceConfiguration() const { return deviceConfiguration_; }
    void SetDeviceConfiguration(const std::string& value) { deviceConfiguration_ = value; }

    // How many playback devices the system has (0 when it has none).
    static int DeviceCount();

protected:
    bool ProcessBlock(bool abort) override;
    void Finish() override;
    void Prepare() override;

private:
    std::string DeviceName() const;
    // Reads the next block from the input; empty at the end of the input.
    std::vector<uint8_t> ReadNextBlock(int sampleBytes);
    void Attenuate(std::vector<uint8_t>& block, int sampleBytes) const;
    void Queue(std::vector<uint8_t> block);
    // Frees the blocks the writer has played.
    void ReclaimCompleted();
    void WriterLoop();
    // Ends the writer thread; with abandon, blocks still queued are handed back unplayed.
    void StopWriter(bool abandon);
    void CloseDevice();

    std::atomic<int> baseChannel_{0};
    std::atomic<uint8_t> volume_{255};
    std::string deviceConfiguration_;
    std::unique_ptr<AlsaPlayback> device_;
    std::thread writer_;
    // Guards queue_, completed_, failure_ and stopWriter_.
    std::mutex mutex_;
    std::condition_variable blockQueued_;
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<std::vector<uint8_t>> completed_;
    // Blocks handed to the writer and not yet handed back.
    std::atomic<int> queuedCount_{0};
    // Why the device failed; once set, queued blocks are handed back without being played.
    std::string failure_;
    bool stopWriter_ = false;
    bool abandon_ = false;
};

} // namespace quillon
