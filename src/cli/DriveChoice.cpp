#include "cli/DriveChoice.h"

#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cli/InputFile.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace quillon::cli {

std::optional<int> ParseDiscCommandLine(OptionParser& parser,
                                        const std::vector<std::string>& args) {
    if (const auto status = parser.Parse(args)) {
        return status;
    }
    if (!parser.Operands().empty()) {
        return parser.UsageError("unexpected argument '" + parser.Operands()[0] +
                                 "' (a disc image goes with --drive)");
    }
    return std::nullopt;
}

std::string DriveChoice::Take(const std::string& value) {
    if (!value.empty() && value.size() <= 2 &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        index_ = std::stoi(value);
        image_.clear();
        return {};
    }
    if (value.empty()) {
        return "the drive is empty; give a drive number or a disc image";
    }
    image_ = value;
    return {};
}

std::optional<int> DriveChoice::Select(const std::string& command, TCDIn& cdIn) const {
    int index = index_;
    if (!image_.empty()) {
        if (const std::string problem = PathProblem(image_); !problem.empty()) {
            ReportFileProblem(command, image_, problem);
            return 1;
        }
        std::error_code error;
        const std::string added =
            std::filesystem::absolute(image_, error).lexically_normal().string();
        if (std::string problem; !AddDiscImage(image_, problem)) {
            // The library's reasons name the sheet themselves.
            if (problem.find(added) != std::string::npos) {
                std::cerr << "quillon " << command << ": " << TerminalText(problem) << "\n";
            } else {
                ReportFileProblem(command, image_,
                                  problem.empty() ? "not a usable disc image" : problem);
            }
            return 1;
        }
        // Added images follow the physical drives, in the order added.
        const std::vector<std::string> images = AddedDiscImages();
        const auto found = std::find(images.begin(), images.end(), added);
        const int position =
            static_cast<int>(found != images.end() ? found - images.begin() : images.size() - 1);
        index = cdIn.DriveCount() - static_cast<int>(images.size()) + position;
    }
    const int count = cdIn.DriveCount();
    if (count <= 0) {
        std::cerr << "quillon " << command
                  << ": no CD drive found (give a disc image with --drive FILE.cue)\n";
        return 1;
    }
    if (index >= count) {
        std::cerr << "quillon " << command << ": there is no drive " << index << "; the drives are "
                  << (count == 1 ? "0" : "0 to " + std::to_string(count - 1))
                  << " ('quillon drives' lists them)\n";
        return 1;
    }
    cdIn.SetCurrentDrive(index);
    return std::nullopt;
}

std::unique_ptr<TCDIn> OpenCDSource(const std::string& command) {
    try {
        return std::make_unique<TCDIn>();
    } catch (const std::exception& e) {
        std::cerr << "quillon " << command << ": " << e.what() << "\n";
        return nullptr;
    }
}

std::unique_ptr<TCDIn> OpenDisc(const std::string& command, const DriveChoice& drive,
                                int& trackCount) {
    auto cdIn = OpenCDSource(command);
    if (!cdIn || drive.Select(command, *cdIn)) {
        return nullptr;
    }
    const bool noDisc = cdIn->DiscKind() == dkNoDisc;
    trackCount = noDisc ? -1 : cdIn->TrackCount();
    if (trackCount < 0) {
        std::cerr << "quillon " << command << ": "
                  << (noDisc ? "no disc in " : "cannot read the table of contents of ")
                  << DriveText(*cdIn) << "\n";
        return nullptr;
    }
    return cdIn;
}

std::string DriveText(TCDIn& cdIn) {
    return "drive " + std::to_string(cdIn.CurrentDrive()) + " (" + TerminalText(cdIn.DriveName()) +
           ")";
}

} // namespace quillon::cli
