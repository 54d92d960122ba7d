#include "codecs/CodecLibraries.h"

#include "codecs/FlacLibrary.h"
#include "codecs/VorbisLibrary.h"

namespace quillon {

void LoadCodecLibraries() {
    VorbisLibraries::Load();
    FlacLibrary::Load();
}

void UnloadCodecLibraries() {
    VorbisLibraries::Unload();
    FlacLibrary::Unload();
}

} // namespace quillon
