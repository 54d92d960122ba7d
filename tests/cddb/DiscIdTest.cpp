#include "cddb/Cddb.h"

#include <discid/discid.h>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace quillon::test {
namespace {

TocEntry At(int sector) {
    return {static_cast<uint8_t>(sector / 4500), static_cast<uint8_t>(sector / 75 % 60),
            static_cast<uint8_t>(sector % 75), kTocAudio};
}

// A table of contents from absolute sector addresses (lead-in included), lead-out last.
DiscToc TocOf(const std::vector<int>& starts, int leadOut) {
    DiscToc toc;
    toc.NumTracks = static_cast<uint8_t>(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        toc.Tracks[i] = At(starts[i]);
    }
    toc.LeadOut = At(leadOut);
    toc.LeadOut.IsAudio = 0;
    return toc;
}

std::string Hex(uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

struct DiscIdFree {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

// The identifier as an independent implementation computes it from the same addresses.
std::string ReferenceId(const std::vector<int>& starts, int leadOut) {
    std::unique_ptr<DiscId, DiscIdFree> disc(discid_new());
    std::vector<int> offsets{leadOut};
    offsets.insert(offsets.end(), starts.begin(), starts.end());
    if (!discid_put(disc.get(), 1, static_cast<int>(starts.size()), offsets.data())) {
        return discid_get_error_msg(disc.get());
    }
    return discid_get_freedb_id(disc.get());
}

TEST(DiscIdTest, IdentifiesDiscsAsTheDatabaseDoes) {
    // The worked example: tracks at 0:02:00 and 3:10:35, lead-out at 7:00:10.
    const DiscToc example = TocOf({150, 14285}, 31510);
    EXPECT_EQ("0c01a202", Hex(TCddb::ComputeDiscId(example)));
    EXPECT_EQ("cddb query 0c01a202 2 150 14285 420", TCddb::BuildQueryCommand(example));
    // One track: n is the digit sum of its start seconds, t the seconds up to the lead-out.
    const DiscToc single = TocOf({150 + 75 * 17}, 150 + 75 * 317);
    EXPECT_EQ((uint32_t{1 + 9} << 24) | (300u << 8) | 1u, TCddb::ComputeDiscId(single));

    for (const int count : {1, 2, 15, 99}) {
        // Tracks of uneven lengths filling some 66 minutes, frames included.
        std::vector<int> starts;
        int sector = 150 + 32;
        for (int i = 0; i < count; ++i) {
            starts.push_back(sector);
            sector += 300000 / count + (i * 7919) % 2000 - 1000 + (count == 1 ? 1000 : 0);
        }
        const DiscToc toc = TocOf(starts, sector);
        EXPECT_EQ(ReferenceId(starts, sector), Hex(TCddb::ComputeDiscId(toc)))
            << count << " tracks";
        std::string command =
            "cddb query " + ReferenceId(starts, sector) + " " + std::to_string(count);
        for (const int start : starts) {
            command += " " + std::to_string(start);
        }
        EXPECT_EQ(command + " " + std::to_string(sector / 75), TCddb::BuildQueryCommand(toc));
    }
}

TEST(DiscIdTest, DecodesEscapesAndParsesEntries) {
    EXPECT_EQ("two\r\nwords\tand \\\\ \\x", TCddb::DecodeEscapes("two\\nwords\\tand \\\\ \\x"));

    struct Case {
        const char* name;
        std::vector<std::string> lines;
        TCDInfo expected;
    };
    TCDInfo plain;
    plain.Artist = "Some Artist";
    plain.Title = "An Album";
    plain.Year = "1999";
    plain.Genre = "Rock";
    plain.Revision = 4;
    plain.TrackTitles[0] = "First";
    plain.TrackTitles[3] = "Four and more";
    plain.TrackTitles[12] = "Thirteen";
    plain.ExtendedData = "Notes\r\nmore notes";
    plain.TrackExtended[1] = "About two";
    TCDInfo split;
    split.Artist = "Artist split over lines";
    split.Title = "Title\r\ncontinued";
    TCDInfo single;
    single.Artist = "Soundtrack";
    TCDInfo bounded;
    bounded.TrackTitles[99] = "Last";
    bounded.TrackExtended[99] = "Last notes";
    const Case cases[] = {
        {"plain",
         {"# xmcd", "# Revision: 4", "DISCID=0c01a202", "DTITLE=Some Artist / An Album",
          "DYEAR=1998", "DYEAR=1999", "DGENRE=Rock", "TTITLE0=First", "TTITLE3=Four",
          "TTITLE3= and more", "TTITLE12=Thirteen", "EXTD=Notes\\n", "EXTD=more notes",
          "EXTT1=About two", "PLAYORDER=1,2"},
         plain},
        {"split DTITLE, lowercase keys",
         {"dtitle=Artist split ", "DTITLE=over lines / Title\\ncontinued"},
         split},
        {"title without separator", {"DTITLE=Soundtrack"}, single},
        // Values beyond the record are dropped with their line, and the parse goes on.
        {"out of range",
         {"# Revision: many", "TTITLE100=Beyond", "TTITLEx=Bad", "TTITLE=None", "EXTT100=Beyond",
          "TTITLE99=Last", "EXTT99=Last notes"},
         bounded},
    };
    for (const Case& c : cases) {
        TCddb cddb;
        cddb.InternalTOCRetrieve = false;
        std::vector<std::string> statuses;
        cddb.OnStatusMessage = [&](TCddb&, const std::string& s) { statuses.push_back(s); };
        cddb.Info().Category = "rock";
        cddb.Info().Title = "left from before";
        cddb.Info().Toc = TocOf({150, 14285}, 31510);
        std::copy(c.lines.begin(), c.lines.end(), cddb.EntryLines().begin());
        cddb.ParseEntry();
        const TCDInfo& info = cddb.Info();
        EXPECT_EQ(c.expected.Artist, info.Artist) << c.name;
        EXPECT_EQ(c.expected.Title, info.Title) << c.name;
        EXPECT_EQ(c.expected.Year, info.Year) << c.name;
        EXPECT_EQ(c.expected.Genre, info.Genre) << c.name;
        EXPECT_EQ(c.expected.Revision, info.Revision) << c.name;
        EXPECT_EQ(c.expected.ExtendedData, info.ExtendedData) << c.name;
        EXPECT_EQ(c.expected.TrackTitles, info.TrackTitles) << c.name;
        EXPECT_EQ(c.expected.TrackExtended, info.TrackExtended) << c.name;
        EXPECT_EQ("rock", info.Category) << c.name;
        // Without a drive to re-read, the table the owner gave and its identifier stay.
        EXPECT_EQ("0c01a202", info.DiscId) << c.name;
        EXPECT_EQ(std::vector<std::string>{"No CD-ROM interface detected!"}, statuses) << c.name;
    }
}

} // namespace
} // namespace quillon::test
