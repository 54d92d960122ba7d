#pragma once

#include <ostream>
#include <string>

namespace quillon::cli {

// Shows the progress of one file after another: a bar redrawn in place on a terminal, plain
// lines otherwise.
class ProgressDisplay {
public:
    explicit ProgressDisplay(std::ostream& out);

    void Start(const std::string& input, const std::string& output);
    // May be called from any one thread at a time.
    void Update(int percent);
    void Finish(const std::string& result);

private:
    void Draw(int percent);

    std::ostream& out_;
    bool terminal_;
    std::string name_;
    int shown_ = -1;
};

} // namespace quillon::cli
