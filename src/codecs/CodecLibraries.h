#pragma once

namespace quillon {

// Loads the Ogg Vorbis, FLAC and Monkey's Audio libraries; programs call it once at start.
// Idempotent: a library already loaded stays as it is, one that failed is tried again.
void LoadCodecLibraries();
// Releases them (tests use it to load again under another file name).
void UnloadCodecLibraries();

} // namespace quillon
