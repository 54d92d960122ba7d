#include "codecs/CodecLibraries.h"

#include "codecs/FlacLibrary.h"
#include "codecs/MacLibrary.h"
#include "codecs/VorbisLibrary.h"

namespace quillon {

void LoadCodecLibraries() {
    VorbisLibraries::Load();
    FlacLibrary::Load();
    MacLibrary::Load();
}

void UnloadCodecLibraries() {
    VorbisLibraries::Unload();
    FlacLibrary::Unload();
    MacLibrary::Unload();
}

} // namespace quillon
