#pragma once

#include "workflow/ConvertEngine.h"

#include <string>

namespace quillon {

// True for the extensions the converter lists: .MP3, .WMA, .OGG, .APE, .FLAC and .WAV, in any
// letter case.
bool IsConvertibleFile(const std::string& fileName);

// A ticked row for a file, with the tags and duration that its summary gives.
ConvertRow MakeConvertRow(const std::string& fileName);

} // namespace quillon
