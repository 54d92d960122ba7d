#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

namespace quillon::cli {

// Shows the progress of a batch, one file after another: on a terminal a bar redrawn in place
// with the batch's position and the time left beside it, otherwise nothing but the lines that
// Finish prints.
class ProgressDisplay {
public:
    // durations: the length of each file of the batch in seconds (0 when unknown), in the
    // order they will be converted; they weigh the estimate of the time left. unit names what
    // the batch counts in the bar ("file 2 of 5").
    ProgressDisplay(std::ostream& out, std::vector<double> durations, std::string unit = "file");

    // The next file of the batch begins.
    void Start(const std::string& input);
    // May be called from any one thread at a time.
    void Update(int percent);
    // Ends the current file's bar, replacing it by the line unless that is empty.
    void Finish(const std::string& line);
    // The next file of the batch is passed over; the line says why.
    void Skip(const std::string& line);

    // "0:41", or "1:02:03" from an hour on.
    static std::string Clock(std::chrono::seconds time);

private:
    void Advance();
    void Draw(int percent);
    // The share of the batch done, from 0 to 1.
    double Done(int percent) const;

    std::ostream& out_;
    bool terminal_;
    std::vector<double> weights_;
    double total_ = 0;
    double finished_ = 0; // weight of the files finished
    size_t current_ = 0;  // 1-based position of the file being converted
    std::string name_;
    std::string unit_;
    int shown_ = -1;
    std::chrono::steady_clock::time_point start_;
};

} // namespace quillon::cli
