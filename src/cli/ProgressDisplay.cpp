#include "cli/ProgressDisplay.h"

#include <unistd.h>

namespace quillon::cli {

namespace {

constexpr int kBarWidth = 30;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out) : out_(out), terminal_(isatty(STDERR_FILENO)) {}

void ProgressDisplay::Start(const std::string& input, const std::string& output) {
    name_ = BaseName(input);
    shown_ = -1;
    if (!terminal_) {
        out_ << input << " -> " << output << "\n" << std::flush;
    }
    Draw(0);
}

void ProgressDisplay::Update(int percent) {
    if (percent >= 0 && percent != shown_) {
        Draw(percent);
    }
}

void ProgressDisplay::Finish(const std::string& result) {
    if (terminal_) {
        out_ << "\r\033[K" << name_ << ": " << result << "\n" << std::flush;
    } else {
        out_ << name_ << ": " << result << "\n" << std::flush;
    }
}

void ProgressDisplay::Draw(int percent) {
    shown_ = percent;
    if (!terminal_) {
        return;
    }
    const int filled = percent * kBarWidth / 100;
    out_ << "\r\033[K[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
         << percent << "% " << name_ << std::flush;
}

} // namespace quillon::cli
