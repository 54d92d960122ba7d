#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon::cli {

namespace {

constexpr int kBarWidth = 30;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The terminal's width, so that the line never wraps (a wrapped line cannot be redrawn in
// place); 80 when it cannot be told.
size_t TerminalColumns() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

// Cuts text to at most columns characters, not splitting a UTF-8 sequence.
std::string Fitted(std::string text, size_t columns) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++count > columns) {
            text.resize(i);
            break;
        }
    }
    return text;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, std::vector<double> durations, std::string unit)
    : out_(out), terminal_(isatty(STDERR_FILENO)), weights_(std::move(durations)),
      unit_(std::move(unit)), start_(std::chrono::steady_clock::now()) {
    // A file of unknown length counts as long as the average of the known ones, or all files
    // the same when no length is known.
    double known = 0;
    int knownCount = 0;
    for (const double weight : weights_) {
        if (weight > 0) {
            known += weight;
            ++knownCount;
        }
    }
    const double fallback = knownCount > 0 ? known / knownCount : 1.0;
    for (double& weight : weights_) {
        weight = weight > 0 ? weight : fallback;
        total_ += weight;
    }
}

std::string ProgressDisplay::Clock(std::chrono::seconds time) {
    const long long total = time.count();
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    std::string text = hours > 0 ? std::to_string(hours) + ":" : std::string();
    text += (hours > 0 && minutes < 10 ? "0" : "") + std::to_string(minutes) + ":";
    text += (seconds < 10 ? "0" : "") + std::to_string(seconds);
    return text;
}

void ProgressDisplay::Start(int key, const std::string& input) {
    std::lock_guard lock(mutex_);
    running_[key] = {++started_, BaseName(input), 0};
    Draw();
}

void ProgressDisplay::Update(int key, int percent) {
    std::lock_guard lock(mutex_);
    const auto file = running_.find(key);
    if (file != running_.end() && percent >= 0 && percent != file->second.percent) {
        file->second.percent = percent;
        Draw();
    }
}

void ProgressDisplay::Finish(int key, const std::string& line) {
    std::lock_guard lock(mutex_);
    if (const auto file = running_.find(key); file != running_.end()) {
        if (file->second.position <= weights_.size()) {
            finished_ += weights_[file->second.position - 1];
        }
        running_.erase(file);
    }
    Print(line);
}

void ProgressDisplay::Skip(const std::string& line) {
    std::lock_guard lock(mutex_);
    const size_t position = ++started_;
    if (position <= weights_.size()) {
        finished_ += weights_[position - 1];
    }
    Print(line);
}

void ProgressDisplay::Print(const std::string& line) {
    if (terminal_) {
        out_ << "\r\033[K";
    }
    if (!line.empty()) {
        out_ << line << "\n";
    }
    Draw();
    out_ << std::flush;
}

double ProgressDisplay::Done() const {
    if (total_ <= 0) {
        return 0;
    }
    double done = finished_;
    for (const auto& [key, file] : running_) {
        if (file.position <= weights_.size()) {
            done += weights_[file.position - 1] * file.percent / 100.0;
        }
    }
    return done / total_;
}

void ProgressDisplay::Draw() {
    if (!terminal_ || running_.empty()) {
        return;
    }
    // One file shows its own share on the bar; several show the batch's.
    const int percent =
        running_.size() == 1 ? running_.begin()->second.percent : static_cast<int>(Done() * 100);
    const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') +
                       "] " + std::to_string(percent) + "% ";
    if (running_.size() == 1) {
        text += running_.begin()->second.name + "  " + unit_ + " " + std::to_string(started_);
    } else {
        for (const auto& [key, file] : running_) {
            text += file.name + " " + std::to_string(file.percent) + "%, ";
        }
        text += std::to_string(started_);
    }
    text += " of " + std::to_string(weights_.size());
    const double done = Done();
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    // An estimate from the first moments would jump about; wait for some of the work.
    if (done >= 0.02 && elapsed >= std::chrono::seconds(1)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::seconds>(elapsed * (1 - done) / done);
        text += ", " + Clock(left) + " left";
    }
    out_ << "\r\033[K" << Fitted(text, TerminalColumns() - 1) << std::flush;
}

} // namespace quillon::cli
