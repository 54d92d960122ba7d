#include "workflow/SourceChain.h"

#include "codecs/DX9In.h"

namespace quillon {

TSourceChain::TSourceChain(std::unique_ptr<TPcmFileIn> source)
    : source_(std::move(source)), output_(source_.get()) {
    int bits = 0;
    int channels = 0;
    try {
        // One open for both questions, as each would otherwise open the file anew.
        source_->OpenFile();
        struct Closer {
            TPcmFileIn& source;
            ~Closer() { source.CloseFile(); }
        } closer{*source_};
        if (source_->Valid()) {
            bits = source_->GetBitsPerSample();
            channels = source_->GetChannels();
        }
    } catch (const std::exception&) {
        return;
    }
    if (bits == 8) {
        widener_.SetInput(output_);
        output_ = &widener_;
        bits = 16;
    }
    // The channel converter reads 16-bit samples only; mono of other widths stays mono, which
    // every sink takes.
    if (channels == 1 && bits == 16) {
        monoToStereo_.SetMode(msmMonoToBoth);
        monoToStereo_.SetInput(output_);
        output_ = &monoToStereo_;
    }
}

std::string SourceProblem(TPcmFileIn& source) {
    if (dynamic_cast<TDX9In*>(&source) != nullptr) {
        return {};
    }
    try {
        source.OpenFile();
        const bool valid = source.Valid();
        const bool empty = valid && source.Size() == 0;
        source.CloseFile();
        if (!valid) {
            return "The file is damaged or not in a supported audio format";
        }
        return empty ? "The file holds no audio" : "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace quillon
