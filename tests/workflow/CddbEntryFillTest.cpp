#include "workflow/CddbEntryFill.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// The disc fields and the rows after a fill, from a lookup's log lines; the tag panel held
// "Old Album" and every row the album "Row Album" and the genre "Pop" before.
TEST(CddbEntryFillTest, FillsTheDiscAndEveryRowFromTheFirstLineOfEachName) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        DiscTags disc;
        std::string rowAlbum;
        std::vector<std::string> titles; // of three rows
    } cases[] = {
        {"artist and album",
         {"Querying CD", "http://host/~cddb/cddb.cgi?cmd=cddb+read+rock+0c01a202&proto=5\r\n",
          "210 rock 0c01a202 CD database entry follows", "DTITLE=Some Artist / Some Album",
          "DYEAR=1999", "DGENRE=rock", "TTITLE0=One", "TTITLE1=Two", "TTITLE2=Three", ".",
          "Entry read"},
         {"Some Artist", "Some Album", "1999", "Rock"},
         "Some Album",
         {"One", "Two", "Three"}},
        {"no separator: the artist only",
         {"DTITLE=Soundtrack", "DGENRE=Hip-Hop", "TTITLE0=One", "TTITLE1=Two", "TTITLE2=Three"},
         {"Soundtrack", "Old Album", "", "Hip-Hop"},
         "Row Album",
         {"One", "Two", "Three"}},
        {"unknown genre, a missing title",
         {"DTITLE=A / B", "DYEAR=2020", "DGENRE=Nonsense Genre", "TTITLE0=One", "TTITLE2=Three"},
         {"A", "B", "2020", ""},
         "B",
         {"One", "", "Three"}},
        {"first line wins, names in any case, the first separator splits",
         {"dtitle=AC/DC / Live / Part 2", "DTITLE=Later / Line", "DGenre=hip-HOP", "dyear=1",
          "DYEAR=2", "ttitle1=Lower", "TTITLE1=Upper", "TTITLE10=Ten", "TTITLE=None"},
         {"AC/DC", "Live / Part 2", "1", "Hip-Hop"},
         "Live / Part 2",
         {"", "Lower", ""}},
        {"nothing found", {"No match found"}, {"", "Old Album", "", ""}, "Row Album", {"", "", ""}},
    };
    for (const auto& c : cases) {
        std::vector<RipRow> rows = MakeRipRows(3);
        for (RipRow& row : rows) {
            row.Tags.Album = "Row Album";
            row.Tags.Genre = "Pop";
            row.Tags.Comment = "kept";
        }
        DiscTags disc{"Old Artist", "Old Album", "1900", "Pop"};
        FillFromCddbEntry(c.lines, disc, rows);
        EXPECT_EQ(c.disc.Artist, disc.Artist) << c.name;
        EXPECT_EQ(c.disc.Album, disc.Album) << c.name;
        EXPECT_EQ(c.disc.Year, disc.Year) << c.name;
        EXPECT_EQ(c.disc.Genre, disc.Genre) << c.name;
        for (size_t i = 0; i < rows.size(); ++i) {
            const TrackTags& tags = rows[i].Tags;
            EXPECT_EQ(c.titles[i], tags.Title) << c.name << ", row " << i;
            EXPECT_EQ(c.disc.Artist, tags.Artist) << c.name << ", row " << i;
            EXPECT_EQ(c.rowAlbum, tags.Album) << c.name << ", row " << i;
            EXPECT_EQ(c.disc.Year, tags.Year) << c.name << ", row " << i;
            EXPECT_EQ(c.disc.Genre, tags.Genre) << c.name << ", row " << i;
            EXPECT_EQ("kept", tags.Comment) << c.name << ", row " << i;
            EXPECT_EQ(static_cast<int>(i) + 1, rows[i].Track) << c.name;
        }
    }
}

} // namespace
} // namespace quillon::test
