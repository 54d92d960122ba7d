#pragma once

#include <memory>
#include <optional>
#include <string>

namespace quillon {
class TCDIn;
}

namespace quillon::cli {

// The drive a disc command works on, as --drive gives it: a drive index (0-based, as
// `quillon drives` lists them) or a disc image (a CUE sheet or a cdrdao TOC file), which is
// added after the drives and chosen. Drive 0 when the option is not given.
class DriveChoice {
public:
    // Takes the value of --drive: digits only are an index, anything else an image.
    std::string Take(const std::string& value);

    // Makes the chosen drive the CD source's current one. On failure prints the one-line
    // error and returns the exit status (1): an image that cannot be read or used, no drive,
    // an index beyond the drives.
    std::optional<int> Select(const std::string& command, TCDIn& cdIn) const;

private:
    int index_ = 0;
    std::string image_;
};

// The help text of --drive.
inline constexpr const char* kDriveHelp =
    "the drive by its number from 'quillon drives' (0 is the\n"
    "first), or a disc image (a .cue sheet or a .toc file); default 0";

// The CD source, or nullptr after printing why there is none (the CD ripping library missing).
// The library is released when the source goes, at the end of the command rather than among
// the program's static objects at exit, which the library's own may precede.
std::unique_ptr<TCDIn, void (*)(TCDIn*)> OpenCDSource(const std::string& command);

// The number of tracks of the disc in the current drive; nothing after printing the error when
// the drive holds no disc or its table of contents cannot be read.
std::optional<int> DiscTrackCount(const std::string& command, TCDIn& cdIn);

// "drive 0 (NAME)", for messages.
std::string DriveText(TCDIn& cdIn);

} // namespace quillon::cli
