#pragma once

#include <string>
#include <string_view>

namespace quillon::cli {

// The words every command uses for a file it cannot take.
inline constexpr std::string_view kNoSuchFile = "no such file";
inline constexpr std::string_view kIsFolder = "is a folder";
inline constexpr std::string_view kNotRegularFile = "not a regular file";
inline constexpr std::string_view kPermissionDenied = "permission denied";
inline constexpr std::string_view kNotAudioFile = "not a supported audio file";
inline constexpr std::string_view kNotTaggedFormat = "not a tagged format";

// What keeps a path from being read as a file, in the words above (or the system's text for
// rarer errors); "" when it opens for reading. Named pipes, devices and sockets are refused
// without being opened, as a read from them may never end.
std::string PathProblem(const std::string& path);

// True for the audio file kinds the program knows by their extension, in any letter case:
// .mp3, .wma, .ogg, .ape, .flac and .wav.
bool IsAudioFileName(const std::string& path);

// PathProblem, then kNotAudioFile for other kinds of file; "" for a readable audio file.
std::string AudioFileProblem(const std::string& path);

// Prints "quillon COMMAND: FILE: message" on the error stream.
void ReportFileProblem(std::string_view command, const std::string& file, std::string_view message);

} // namespace quillon::cli
