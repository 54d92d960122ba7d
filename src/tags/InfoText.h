#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Text helpers of the examiners and the file-info summaries.

// "Mono" for one channel, "Stereo" for two, "Unknown" otherwise.
std::string MonoStereoText(unsigned channels);

// Removes leading and trailing code units of 32 or below (blanks, NULs, controls).
std::u16string TrimBlanks16(std::u16string_view text);

// Average bit rate in kbit/s of `bytes` over `seconds`, rounded half to even; 0 without a
// duration. A few samples at a high sample rate give a figure beyond int, which saturates.
int AverageKbps(int64_t bytes, double seconds);

// A whole text (blanks around it allowed) read as a signed 32-bit decimal number.
std::optional<int> ParseDecimal(std::string_view text);

} // namespace quillon
