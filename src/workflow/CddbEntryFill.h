#pragma once

#include "workflow/RipEngine.h"

#include <string>
#include <vector>

namespace quillon {

// The disc fields of the tag panel that a CD database entry fills.
struct DiscTags {
    std::string Artist, Album, Year, Genre;
};

// The value of the first line of the form NAME=VALUE whose name equals name without regard
// to case; "" when no line has it.
std::string CddbLogValue(const std::vector<std::string>& lines, const std::string& name);

// Fills the disc and every row from the lines a lookup delivered (its status and data lines,
// as the main window's hidden log keeps them), the first line of each name winning:
// - DTITLE "artist / album" gives the Artist and Album of the disc and every row; a DTITLE
//   without " / " is the Artist only, and the albums stay as they were;
// - DYEAR is the Year of the disc and every row;
// - DGENRE is the Genre when it is one of the ID3 genres (spelled as the table spells it,
//   matched without regard to case), otherwise the Genre becomes empty;
// - the row at position i takes its Title from TTITLE<i>, empty when the entry has none.
void FillFromCddbEntry(const std::vector<std::string>& lines, DiscTags& disc,
                       std::vector<RipRow>& rows);

} // namespace quillon
