#include "cd/CDIn.h"
#include "cli/CommandRegistry.h"
#include "cli/DriveChoice.h"
#include "cli/JsonText.h"
#include "cli/OptionParser.h"
#include "workflow/DiscText.h"

#include <cstdio>
#include <iostream>

namespace quillon::cli {

namespace {

int RunDrives(const std::vector<std::string>& args) {
    bool json = false;
    OptionParser parser(
        "drives", "drives [OPTIONS]",
        "Lists the CD drives with their numbers (0 is the first) and what disc each\n"
        "holds. A disc image given to toc or rip with --drive comes after them.\n");
    parser.Flag("json", 0, "a JSON array of objects with Index, Name and DiscKind",
                [&] { json = true; });
    if (const auto status = parser.Parse(args)) {
        return *status;
    }
    if (!parser.Operands().empty()) {
        return parser.UsageError("unexpected argument '" + parser.Operands()[0] + "'");
    }
    const auto cdIn = OpenCDSource("drives");
    if (!cdIn) {
        return 1;
    }
    std::string out = json ? "[" : "";
    const int count = cdIn->DriveCount();
    for (int i = 0; i < count; ++i) {
        cdIn->SetCurrentDrive(i);
        const std::string name = cdIn->DriveName();
        const std::string kind = DiscKindText(cdIn->DiscKind());
        if (json) {
            out += i > 0 ? ",\n {\"Index\":" : "{\"Index\":";
            out += std::to_string(i) + ",\"Name\":";
            AppendJsonString(out, name);
            out += ",\"DiscKind\":";
            AppendJsonString(out, kind);
            out += "}";
        } else {
            out += std::to_string(i) + "  " + TerminalText(name) + "  " + kind + "\n";
        }
    }
    std::cout << out << (json ? "]\n" : "");
    if (count <= 0 && !json && parser.Level() != Verbosity::Quiet) {
        std::cerr << "quillon drives: no CD drive found\n";
    }
    return 0;
}

std::string TimeText(const TCDTime& time) {
    char text[24];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", time.Minutes, time.Seconds, time.Frames);
    return text;
}

int RunToc(const std::vector<std::string>& args) {
    bool json = false;
    DriveChoice drive;
    OptionParser parser("toc", "toc [OPTIONS]",
                        "Shows the table of contents of the disc in a drive or a disc image: each\n"
                        "track's caption, length (minutes:seconds:frames, 75 frames a second) and\n"
                        "kind, and the sector of the lead-out.\n");
    parser.Value("drive", 'd', "N|FILE", kDriveHelp,
                 [&](const std::string& value) { return drive.Take(value); });
    parser.Flag("json", 0,
                "one JSON object with DiscKind, Tracks (Track, Caption,\n"
                "Minutes, Seconds, Frames, Audio) and LeadOutSector",
                [&] { json = true; });
    if (const auto status = ParseDiscCommandLine(parser, args)) {
        return *status;
    }
    int count = 0;
    const auto cdIn = OpenDisc("toc", drive, count);
    if (!cdIn) {
        return 1;
    }
    const TCDDiscKind kind = cdIn->DiscKind();
    std::string out;
    if (json) {
        out = "{\"DiscKind\":";
        AppendJsonString(out, DiscKindText(kind));
        out += ",\"Tracks\":[";
    } else {
        out = DiscKindText(kind) + ", " + std::to_string(count) +
              (count == 1 ? " track, " : " tracks, ") + DriveText(*cdIn) + "\n";
    }
    for (int n = 1; n <= count; ++n) {
        const TCDTrackInfo info = cdIn->TrackInfo(n);
        const std::string caption = TrackCaption(n, info.Length);
        const bool audio = info.TrackType == ttAudio;
        if (json) {
            out += (n > 1 ? ",\n {\"Track\":" : "\n {\"Track\":") + std::to_string(n) +
                   ",\"Caption\":";
            AppendJsonString(out, caption);
            out += ",\"Minutes\":" + std::to_string(info.Length.Minutes) +
                   ",\"Seconds\":" + std::to_string(info.Length.Seconds) +
                   ",\"Frames\":" + std::to_string(info.Length.Frames) +
                   ",\"Audio\":" + (audio ? "true" : "false") + "}";
        } else {
            out += caption + std::string(caption.size() < 14 ? 14 - caption.size() : 1, ' ') +
                   (audio ? "audio  " : "data   ") + TimeText(info.Length) + "\n";
        }
    }
    const int32_t leadOut = cdIn->LeadOutSector();
    if (json) {
        out += "],\"LeadOutSector\":" + std::to_string(leadOut) + "}\n";
    } else {
        out += "lead-out at sector " + std::to_string(leadOut) + " (" +
               TimeText(TimeOfSectors(leadOut)) + ")\n";
    }
    std::cout << out;
    return 0;
}

const CommandRegistrar drives{{"drives", WorkflowCommandSummary("drives"), RunDrives}};
const CommandRegistrar toc{{"toc", WorkflowCommandSummary("toc"), RunToc}};

} // namespace

} // namespace quillon::cli
