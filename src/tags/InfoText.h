#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Text helpers of the examiners and the file-info summaries.

// "Mono" for one channel, "Stereo" for two, "Unknown" otherwise.
std::string MonoStereoText(unsigned channels);

// Removes leading and trailing code units of 32 or below (blanks, NULs, controls).
std::u16string TrimBlanks16(std::u16string_view text);

// A whole text (blanks around it allowed) read as a signed 32-bit decimal number.
std::optional<int> ParseDecimal(std::string_view text);

} // namespace quillon
