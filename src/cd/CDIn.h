#pragma once

#include "cd/CDTypes.h"
#include "core/PcmInput.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace quillon {

// The digital audio of a range of tracks of an audio CD, read through libcdrip.so: 44,100 Hz,
// 16-bit stereo PCM exactly as the library returns the sectors. It also answers which drives
// exist, what disc the current drive holds and how its tracks are laid out, and moves the tray.
// The constructor raises EPcmException "libcdrip.so could not be loaded." without the library.
class TCDIn : public TPcmInput {
public:
    // One second of audio: 75 sectors of 2352 bytes.
    static constexpr int kRipBufferSize = 75 * kCDSectorBytes;

    TCDIn();
    ~TCDIn() override;

    int GetBitsPerSample() override { return 16; }
    int GetChannels() override { return 2; }
    int GetSampleRate() override { return 44100; }
    // Copies what is left of the current chunk, up to bufferSize bytes, reading the next chunk
    // first when the current one is used up; never spans two chunks. 0 at the end of the range.
    // Raises when the disc cannot be read, so that a damaged rip never passes for a whole one.
    int ReadBlock(void* buffer, int bufferSize) override;
    void Init() override;
    void Flush() override;

    // 0-based drive index; values outside 0 .. DriveCount() - 1 are ignored.
    int CurrentDrive() const { return currentDrive_; }
    void SetCurrentDrive(int value);
    // First and last track of the range (1-based, inclusive); refused while Busy. Setting them
    // moves StartPosition to the start track's start and EndPosition to the start of the track
    // after the end track.
    int StartTrack() const { return startTrack_; }
    void SetStartTrack(int value);
    int EndTrack() const { return endTrack_; }
    void SetEndTrack(int value);
    // Where the rip starts, inside a track; refused while Busy.
    TCDPosition StartPosition() const { return startPosition_; }
    void SetStartPosition(TCDPosition value);
    // Where the rip stops (exclusive).
    TCDPosition EndPosition() const { return endPosition_; }

    int DriveCount();
    std::string DriveName();
    TCDDriveStatus DriveStatus();
    TCDDiscKind DiscKind();
    // Number of tracks of the disc in the current drive; -1 when no table of contents can be
    // read.
    int TrackCount();
    // Length and type of track n (1 .. TrackCount()); raises "Track out of range." otherwise.
    TCDTrackInfo TrackInfo(int n);
    // The sector after the last track; -1 when no table of contents can be read.
    int32_t LeadOutSector();
    // Bytes between StartPosition and EndPosition: the rip's size while Busy; otherwise from
    // the disc's table of contents, -1 when it cannot be read or does not hold both positions,
    // 0 when the end lies before the start.
    int64_t RangeSize();

    // Opens the tray of the library's active drive; refused while Busy.
    void Eject();
    // Closes the tray of the library's active drive.
    void CloseTray();

private:
    class Selection;

    // The sectors of StartPosition and EndPosition from the table of contents just read;
    // false when an entry they need does not exist.
    bool RangeSectors(int32_t& first, int32_t& end);
    int ReadTrackCount();
    TCDDriveStatus StatusOfSelected();
    void ReleaseRip();

    std::atomic<int> currentDrive_{0};
    int startTrack_ = 0;
    int endTrack_ = 0;
    TCDPosition startPosition_;
    TCDPosition endPosition_;
    int32_t firstSector_ = 0;
    int64_t ripSize_ = 0;
    int ripBufferSize_ = kRipBufferSize;
    // The library's active drive was set to CurrentDrive and is held by the running rip.
    std::atomic<bool> selected_{false};
    bool ripOpen_ = false;
    std::array<uint8_t, kRipBufferSize> ripBuffer_{};
};

} // namespace quillon
