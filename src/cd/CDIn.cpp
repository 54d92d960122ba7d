#include "cd/CDIn.h"

#include "cd/CDRipLibrary.h"
#include "core/PcmException.h"

#include <algorithm>
#include <cstring>

namespace quillon {

// Makes the library's active drive the current drive for one query, unless a running rip
// already holds it; only a selection taken here is given up at the end.
class TCDIn::Selection {
public:
    explicit Selection(TCDIn& owner) : owner_(owner) {
        bool expected = false;
        if (owner_.selected_.compare_exchange_strong(expected, true)) {
            CDRipLibrary::SetActiveCDROM(owner_.currentDrive_);
            taken_ = true;
        }
    }
    ~Selection() {
        if (taken_) {
            owner_.selected_ = false;
        }
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    // The rip keeps the selection until Flush.
    void HandToRip() { taken_ = false; }

private:
    TCDIn& owner_;
    bool taken_ = false;
};

TCDIn::TCDIn() {
    if (!CDRipLibrary::Load()) {
        throw EPcmException(CDRipLibrary::LoadFailureMessage());
    }
}

TCDIn::~TCDIn() {
    ReleaseRip();
}

void TCDIn::SetCurrentDrive(int value) {
    if (value >= 0 && value < DriveCount()) {
        currentDrive_ = value;
    }
}

void TCDIn::SetStartTrack(int value) {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    startTrack_ = value;
    startPosition_ = {value, {}};
}

void TCDIn::SetEndTrack(int value) {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    endTrack_ = value;
    endPosition_ = {value + 1, {}};
}

void TCDIn::SetStartPosition(TCDPosition value) {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    startPosition_ = value;
}

int TCDIn::DriveCount() {
    Selection selection(*this);
    return CDRipLibrary::GetNumCDROM();
}

std::string TCDIn::DriveName() {
    Selection selection(*this);
    CR_DriveParameters parameters;
    CDRipLibrary::GetCDROMParameters(parameters);
    return std::string(parameters.Name, strnlen(parameters.Name, 255));
}

TCDDriveStatus TCDIn::DriveStatus() {
    Selection selection(*this);
    return StatusOfSelected();
}

TCDDriveStatus TCDIn::StatusOfSelected() {
    int state = 1;
    CDRipLibrary::IsMediaLoaded(state);
    if (state != 0) {
        return dsNotReady;
    }
    return CDRipLibrary::IsAudioPlaying() != 0 ? dsPlaying : dsReady;
}

TCDDiscKind TCDIn::DiscKind() {
    Selection selection(*this);
    int state = 1;
    if (CDRipLibrary::IsMediaLoaded(state) == 0 && state != 0) {
        return dkNoDisc;
    }
    if (CDRipLibrary::ReadToc() != 0) {
        return dkUnknown;
    }
    TCDDiscKind kind = dkUnknown;
    const int entries = CDRipLibrary::GetNumTocEntries();
    for (int i = 0; i < entries && kind != dkMixed; ++i) {
        const bool audio = IsAudioEntry(CDRipLibrary::GetTocEntry(i));
        if (kind == dkUnknown) {
            kind = audio ? dkAudio : dkData;
        } else if (kind != (audio ? dkAudio : dkData)) {
            kind = dkMixed;
        }
    }
    return kind;
}

int TCDIn::ReadTrackCount() {
    return CDRipLibrary::ReadToc() != 0 ? -1 : CDRipLibrary::GetNumTocEntries();
}

int TCDIn::TrackCount() {
    Selection selection(*this);
    return ReadTrackCount();
}

TCDTrackInfo TCDIn::TrackInfo(int n) {
    Selection selection(*this);
    if (n < 1 || n > ReadTrackCount()) {
        throw EPcmException("Track out of range.");
    }
    const LibraryTocEntry entry = CDRipLibrary::GetTocEntry(n - 1);
    const LibraryTocEntry next = CDRipLibrary::GetTocEntry(n);
    return {TimeOfSectors(next.StartSector - entry.StartSector),
            IsAudioEntry(entry) ? ttAudio : ttData};
}

int32_t TCDIn::LeadOutSector() {
    Selection selection(*this);
    const int tracks = ReadTrackCount();
    return tracks < 0 ? -1 : CDRipLibrary::GetTocEntry(tracks).StartSector;
}

bool TCDIn::RangeSectors(int32_t& first, int32_t& end) {
    const int entries = CDRipLibrary::GetNumTocEntries();
    const int firstEntry = startPosition_.Track - 1;
    const int endEntry = endPosition_.Track - 1;
    if (firstEntry < 0 || firstEntry > entries || endEntry < 0 || endEntry > entries) {
        return false;
    }
    first = CDRipLibrary::GetTocEntry(firstEntry).StartSector + SectorsOf(startPosition_.Time);
    end = CDRipLibrary::GetTocEntry(endEntry).StartSector + SectorsOf(endPosition_.Time);
    return true;
}

int64_t TCDIn::RangeSize() {
    if (busy_) {
        return ripSize_;
    }
    Selection selection(*this);
    int32_t first = 0;
    int32_t end = 0;
    if (CDRipLibrary::ReadToc() != 0 || !RangeSectors(first, end)) {
        return -1;
    }
    return static_cast<int64_t>(std::max(0, end - first)) * kCDSectorBytes;
}

void TCDIn::Init() {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    Selection selection(*this);
    if (StatusOfSelected() == dsNotReady) {
        throw EPcmException("The drive is not ready");
    }
    const int tracks = ReadTrackCount();
    if (startPosition_.Track < 1 || startPosition_.Track > tracks) {
        throw EPcmException("The start track out of range");
    }
    if (!IsAudioEntry(CDRipLibrary::GetTocEntry(startPosition_.Track - 1))) {
        throw EPcmException("Trying to rip a data track");
    }
    if (endPosition_.Track < 1 || endPosition_.Track > tracks + 1) {
        throw EPcmException("The end track out of range");
    }
    int32_t first = 0;
    int32_t end = 0;
    RangeSectors(first, end);
    // A range that ends before it starts (a start position past the end track) holds nothing.
    end = std::max(first, end);
    ripBufferSize_ = kRipBufferSize;
    if (end > first) {
        if (CDRipLibrary::OpenRipper(ripBufferSize_, first, end) != 0 ||
            ripBufferSize_ < kCDSectorBytes || ripBufferSize_ > kRipBufferSize) {
            CDRipLibrary::CloseRipper();
            throw EPcmException("The disc could not be read at sector " + std::to_string(first));
        }
        ripOpen_ = true;
    }
    firstSector_ = first;
    ripSize_ = static_cast<int64_t>(end - first) * kCDSectorBytes;
    size_ = ripSize_;
    position_ = 0;
    bufferStart_ = 1;
    bufferEnd_ = 0;
    busy_ = true;
    selection.HandToRip();
}

int TCDIn::ReadBlock(void* buffer, int bufferSize) {
    if (!busy_) {
        throw EPcmException("The Stream is not opened");
    }
    if (bufferSize <= 0) {
        return 0;
    }
    if (bufferEnd_ < bufferStart_) {
        bufferStart_ = 1;
        bufferEnd_ = 0;
        if (ripOpen_ && position_ < ripSize_) {
            int bytes = 0;
            const int result = CDRipLibrary::RipChunk(ripBuffer_.data(), ripBufferSize_, bytes);
            // A failed read, or data that stops before the range ends, must fail the rip
            // rather than leave a shortened track that looks complete.
            if (result != 0 || bytes <= 0 || bytes > ripBufferSize_) {
                const int64_t delivered = std::clamp(bytes, 0, ripBufferSize_);
                throw EPcmException(
                    "The disc could not be read at sector " +
                    std::to_string(firstSector_ + (position_ + delivered) / kCDSectorBytes));
            }
            bufferEnd_ = static_cast<int>(std::min<int64_t>(bytes, ripSize_ - position_));
        }
    }
    const int count = std::min(bufferSize, bufferEnd_ - bufferStart_ + 1);
    std::memcpy(buffer, ripBuffer_.data() + bufferStart_ - 1, static_cast<size_t>(count));
    bufferStart_ += count;
    position_ += count;
    return count;
}

void TCDIn::ReleaseRip() {
    if (ripOpen_) {
        CDRipLibrary::CloseRipper();
        ripOpen_ = false;
    }
    selected_ = false;
}

void TCDIn::Flush() {
    ReleaseRip();
    busy_ = false;
    size_ = 0;
}

void TCDIn::Eject() {
    if (busy_) {
        throw EPcmException("The component is buisy");
    }
    CDRipLibrary::EjectCD(true);
}

void TCDIn::CloseTray() {
    CDRipLibrary::EjectCD(false);
}

} // namespace quillon
