#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace quillon::cli {

// Shows the progress of a batch whose files may be converted several at once: on a terminal
// one line redrawn in place with a bar, each running file with its percentage, the batch's
// position and the time left; otherwise nothing but the lines that Finish and Skip print.
class ProgressDisplay {
public:
    // durations: the length of each file of the batch in seconds (0 when unknown), in the
    // order they will be started; they weigh the estimate of the time left. unit names what
    // the batch counts ("file 2 of 5").
    ProgressDisplay(std::ostream& out, std::vector<double> durations, std::string unit = "file");

    // The next file of the batch begins; key names it in the calls that follow.
    void Start(int key, const std::string& input);
    // Any thread.
    void Update(int key, int percent);
    // The file has ended: prints the line (unless it is empty) above the bar.
    void Finish(int key, const std::string& line);
    // The next file of the batch is passed over; the line says why.
    void Skip(const std::string& line);

    // "0:41", or "1:02:03" from an hour on.
    static std::string Clock(std::chrono::seconds time);

private:
    struct Running {
        size_t position = 0; // 1-based position in the batch
        std::string name;
        int percent = 0;
    };

    // The callers hold mutex_.
    void Draw();
    void Print(const std::string& line);
    // The share of the batch done, from 0 to 1.
    double Done() const;

    std::mutex mutex_;
    std::ostream& out_;
    bool terminal_;
    std::vector<double> weights_;
    double total_ = 0;
    double finished_ = 0; // weight of the files ended
    size_t started_ = 0;  // files started or passed over
    std::map<int, Running> running_;
    std::string unit_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace quillon::cli
