#pragma once

#include "workflow/ConvertEngine.h"

#include <string>

namespace quillon {

// True for the extensions the converter lists: .MP3, .WMA, .OGG, .APE, .FLAC and .WAV, in any
// letter case.
bool IsConvertibleFile(const std::string& fileName);

// A ticked row for a file, with the tags and duration that its summary gives.
ConvertRow MakeConvertRow(const std::string& fileName);

// The IMA ADPCM block sizes that suit this many channels (0 for any channel count), for
// messages: "multiples of 8 from 16 to 4096".
std::string ImaBlockSizesText(int channels);

// What the WAV output options cannot do with this file's audio ("" when they suit it, or when
// no source reads the file), found by opening it before anything is written.
std::string WavOutputProblem(const std::string& fileName, const WavOutputOptions& wav);

} // namespace quillon
