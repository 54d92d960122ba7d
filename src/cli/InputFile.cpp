#include "cli/InputFile.h"

#include "cli/JsonText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::cli {

namespace {

std::string ErrorWords(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return std::string(kNoSuchFile);
    case EACCES:
    case EPERM:
        return std::string(kPermissionDenied);
    case EISDIR:
        return std::string(kIsFolder);
    default:
        return std::strerror(error);
    }
}

} // namespace

std::string PathProblem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return ErrorWords(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return std::string(kIsFolder);
    }
    if (!S_ISREG(status.st_mode)) {
        return std::string(kNotRegularFile);
    }
    // Opening without blocking, in case the file was replaced by a named pipe meanwhile.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ErrorWords(errno);
    }
    close(fd);
    return {};
}

bool IsAudioFileName(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return false;
    }
    const char* extension = path.c_str() + dot;
    for (const char* known : {".mp3", ".wma", ".ogg", ".ape", ".flac", ".wav"}) {
        if (strcasecmp(extension, known) == 0) {
            return true;
        }
    }
    return false;
}

std::string AudioFileProblem(const std::string& path) {
    std::string problem = PathProblem(path);
    if (problem.empty() && !IsAudioFileName(path)) {
        problem = kNotAudioFile;
    }
    return problem;
}

void ReportFileProblem(std::string_view command, const std::string& file,
                       std::string_view message) {
    std::cout.flush();
    std::cerr << "quillon " << command << ": " << TerminalText(file) << ": " << message << "\n";
}

} // namespace quillon::cli
