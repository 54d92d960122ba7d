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

void ProgressDisplay::Start(const std::string& input) {
    Advance();
    name_ = BaseName(input);
    shown_ = -1;
    Draw(0);
}

void ProgressDisplay::Update(int percent) {
    if (percent >= 0 && percent != shown_) {
        Draw(percent);
    }
}

void ProgressDisplay::Finish(const std::string& line) {
    if (terminal_) {
        out_ << "\r\033[K";
    }
    if (!line.empty()) {
        out_ << line << "\n";
    }
    out_ << std::flush;
}

void ProgressDisplay::Skip(const std::string& line) {
    Advance();
    out_ << line << "\n" << std::flush;
}

void ProgressDisplay::Advance() {
    if (current_ > 0 && current_ <= weights_.size()) {
        finished_ += weights_[current_ - 1];
    }
    ++current_;
}

double ProgressDisplay::Done(int percent) const {
    if (total_ <= 0 || current_ == 0 || current_ > weights_.size()) {
        return 0;
    }
    return (finished_ + weights_[current_ - 1] * percent / 100.0) / total_;
}

void ProgressDisplay::Draw(int percent) {
    shown_ = percent;
    if (!terminal_) {
        return;
    }
    const int filled = percent * kBarWidth / 100;
    out_ << "\r\033[K[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
         << percent << "% " << name_ << "  " << unit_ << " " << current_ << " of "
         << weights_.size();
    const double done = Done(percent);
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    // An estimate from the first moments would jump about; wait for some of the work.
    if (done >= 0.02 && elapsed >= std::chrono::seconds(1)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::seconds>(elapsed * (1 - done) / done);
        out_ << ", " << Clock(left) << " left";
    }
    out_ << std::flush;
}

} // namespace quillon::cli
