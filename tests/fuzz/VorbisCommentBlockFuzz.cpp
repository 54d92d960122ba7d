// A Vorbis comment block: parsed, its fields applied back, serialised and parsed again.
#include "tags/VorbisCommentBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::VorbisCommentBlock block;
    block.Parse(data, size);
    block.ApplyFields(block.Fields());
    const std::vector<uint8_t> bytes = block.Serialise();
    quillon::VorbisCommentBlock again;
    again.Parse(bytes.data(), bytes.size());
    return 0;
}
