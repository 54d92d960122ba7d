#pragma once

#include "core/PcmOutput.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace quillon {

// How one run of a sink ended.
enum class SinkOutcome { Done, Failed, Stopped };

// Runs one sink after another on the calling thread's behalf and waits for each, and stops
// the running one on request. The rip and the convert loops share it, so that both wait and
// stop the same way: a run waits for the sink's OnDone or OnThreadException only, both of
// which every run raises, so a failing sink never leaves the loop waiting.
class TSinkRunner {
public:
    // Clears a stop left from an earlier batch; call when a batch begins.
    void Begin() { stopRequested_ = false; }

    // Runs the sink, already given its input and file, and waits for its end, calling pump
    // meanwhile (and at least every 20 ms). onProgress receives the sink's percentage on the
    // worker thread. A stop that came before the run starts nothing and reports Stopped; a
    // stopped output is discarded by the sink. message receives a failure's text.
    SinkOutcome Run(TPcmOutput& sink, const std::function<void(int percent)>& onProgress,
                    const std::function<void()>& pump, std::string& message);

    // Stops the running sink, if any, and every later Run until Begin. Any thread.
    void Stop();
    bool StopRequested() const { return stopRequested_; }
    // The sink being run, nullptr between runs.
    TPcmOutput* CurrentSink() const;
    // True once the running sink has raised OnDone; cleared when a run begins.
    bool TrackDone() const { return done_; }

private:
    mutable std::mutex mutex_;
    TPcmOutput* currentSink_ = nullptr;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> done_{false};
};

} // namespace quillon
