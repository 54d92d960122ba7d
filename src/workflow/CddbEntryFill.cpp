#include "workflow/CddbEntryFill.h"

#include "tags/ID3Genres.h"

#include <QString>

namespace quillon {

namespace {

bool SameText(const std::string& a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                        Qt::CaseInsensitive) == 0;
}

// The genre list's entry equal to the text, or "" when there is none.
std::string GenreEntry(const std::string& text) {
    for (const std::string_view genre : ID3Genres) {
        if (SameText(text, genre)) {
            return std::string(genre);
        }
    }
    return {};
}

} // namespace

std::string CddbLogValue(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && SameText(line.substr(0, equals), name)) {
            return line.substr(equals + 1);
        }
    }
    return {};
}

void FillFromCddbEntry(const std::vector<std::string>& lines, DiscTags& disc,
                       std::vector<RipRow>& rows) {
    const std::string title = CddbLogValue(lines, "DTITLE");
    const size_t separator = title.find(" / ");
    if (separator != std::string::npos) {
        disc.Artist = title.substr(0, separator);
        disc.Album = title.substr(separator + 3);
    } else {
        disc.Artist = title;
    }
    disc.Year = CddbLogValue(lines, "DYEAR");
    disc.Genre = GenreEntry(CddbLogValue(lines, "DGENRE"));
    for (size_t i = 0; i < rows.size(); ++i) {
        TrackTags& tags = rows[i].Tags;
        tags.Artist = disc.Artist;
        if (separator != std::string::npos) {
            tags.Album = disc.Album;
        }
        tags.Year = disc.Year;
        tags.Genre = disc.Genre;
        tags.Title = CddbLogValue(lines, "TTITLE" + std::to_string(i));
    }
}

} // namespace quillon
