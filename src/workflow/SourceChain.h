#pragma once

#include "core/PcmFileIn.h"
#include "dsp/MSConverter.h"
#include "dsp/SampleConverter.h"

#include <memory>
#include <string>

namespace quillon {

// A file source with the converters that every sink can take the output of: 8-bit samples are
// widened to 16 bits, then 16-bit mono is spread over both channels. The sink that reads
// Output() must be gone, or have another input, before the chain goes.
class TSourceChain {
public:
    // Looks at the source's format to choose the converters. A source whose file cannot be
    // opened gets none, so that its failure reaches the sink when it initialises its input.
    explicit TSourceChain(std::unique_ptr<TPcmFileIn> source);
    TSourceChain(const TSourceChain&) = delete;
    TSourceChain& operator=(const TSourceChain&) = delete;

    TPcmFileIn& Source() { return *source_; }
    // What a sink reads: the last converter, or the source itself.
    TPcmInput& Output() { return *output_; }

private:
    std::unique_ptr<TPcmFileIn> source_;
    TSampleConverter widener_;
    TMSConverter monoToStereo_;
    TPcmInput* output_;
};

// Opens a source once to see whether it recognises its file and holds audio: "" when it does,
// else why not. Sources do not refuse a file they cannot decode or that is empty; they deliver
// no audio, which would make an empty output look like a successful conversion. FFmpeg refuses
// what it cannot decode itself when the source is initialised, and its Size counts whole
// seconds only, so that a short file would look empty: it is not checked here.
std::string SourceProblem(TPcmFileIn& source);

} // namespace quillon
