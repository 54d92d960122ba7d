#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {
class TCDIn;
}

namespace quillon::cli {

class OptionParser;

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

// Parses the command line of a disc command, which takes no operands: one is most likely an
// image given without --drive, and the message says so. The exit status when the command is
// to end (help, version, a usage error).
std::optional<int> ParseDiscCommandLine(OptionParser& parser, const std::vector<std::string>& args);

// The CD source, or nullptr after printing why there is none (the CD ripping library missing).
std::unique_ptr<TCDIn> OpenCDSource(const std::string& command);

// The CD source on the chosen drive, with the number of tracks of its disc in trackCount; or
// nullptr after printing why not (no library, a drive that cannot be chosen, no disc in it, a
// table of contents that cannot be read), for which the command exits with status 1.
std::unique_ptr<TCDIn> OpenDisc(const std::string& command, const DriveChoice& drive,
                                int& trackCount);

// "drive 0 (NAME)", for messages.
std::string DriveText(TCDIn& cdIn);

} // namespace quillon::cli
