#include "cddb/Cddb.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace quillon::test {
namespace {

using Handler = void (TCddb::*)(const std::string&);

// A client that touches no drive, with a two-track disc and a record of what it reports.
struct Client {
    TCddb cddb;
    std::vector<std::string> statuses;
    Client() {
        cddb.InternalTOCRetrieve = false;
        DiscToc& toc = cddb.Info().Toc;
        toc.NumTracks = 2;
        toc.Tracks[0] = {0, 2, 0, kTocAudio};
        toc.Tracks[1] = {3, 10, 35, kTocAudio};
        toc.LeadOut = {7, 0, 10, 0};
        cddb.OnStatusMessage = [this](TCddb&, const std::string& s) { statuses.push_back(s); };
    }
    void Feed(Handler handler, const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            (cddb.*handler)(line);
        }
    }
};

TEST(RepliesTest, EveryReplyGivesItsStatusAndState) {
    const auto query = &TCddb::HandleQueryReply;
    const auto read = &TCddb::HandleReadReply;
    const auto banner = &TCddb::HandleBanner;
    const auto hello = &TCddb::HandleHello;
    const auto proto = &TCddb::HandleProtocolLevel;
    const auto sites = &TCddb::HandleSiteReply;
    const auto submit = &TCddb::HandleSubmitReply;
    struct Case {
        Handler handler;
        int startState;
        std::vector<std::string> lines;
        int state;
        std::vector<std::string> statuses;
        std::optional<bool> handshake; // checked when set; the client starts with it true
    };
    const Case cases[] = {
        {query, 6, {"200 rock 0c01a202 Artist / Album"}, 3, {"Found exact match"}, {}},
        {query, 6, {"202 No match for disc ID 0c01a202."}, 5, {"No match found"}, {}},
        {query,
         6,
         {"210 Found exact matches, list follows"},
         6,
         {"Found exact matches", "OK, receiving matches"},
         {}},
        {query,
         6,
         {"211 Found inexact matches, list follows", "rock 0c01a202 A / B", "."},
         3,
         {"Found inexact matches", "OK, receiving matches", "Received matches"},
         {}},
        {query, 6, {"403 Database entry is corrupt"}, 5, {"Database entry is corrupt"}, {}},
        {query, 6, {"409 No handshake"}, 5, {"No handshake"}, false},
        {query,
         6,
         {"500 Command syntax error"},
         6,
         {"Command syntax error, command unknown, command unimplemented"},
         {}},
        {read,
         11,
         {"210 rock 0c01a202 CD database entry follows", "# xmcd", "DTITLE=A", "."},
         12,
         {"OK, CDDB database entry follows", "Entry read"},
         {}},
        {read,
         11,
         {"401 rock 0c01a202 No such CD entry in database."},
         13,
         {"Specified CDDB entry not found"},
         {}},
        {read, 11, {"402 Server error."}, 13, {"Server error"}, {}},
        {read, 11, {"403 Database entry is corrupt."}, 13, {"Database entry is corrupt"}, {}},
        {read, 11, {"409 No handshake."}, 13, {"No handshake"}, false},
        {read, 11, {"408 CGI environment error."}, 13, {"CGI environment error"}, {}},
        {read,
         11,
         {"530 Server error, server timeout."},
         -1,
         {"Server error, server timeout"},
         false},
        {read, 11, {"230 Goodbye."}, -1, {"Command OK, connection will close"}, false},
        {read, 11, {"221 Something."}, 13, {"Command OK"}, {}},
        {read, 11, {"200 Fine."}, 13, {"Command OK, ready for further commands"}, {}},
        {read,
         11,
         {"110 Note."},
         13,
         {"Informative message, more server-to-client output follows"},
         {}},
        {read,
         11,
         {"320 More."},
         13,
         {"Command OK so far, more client-to-server input follows"},
         {}},
        {read, 11, {"450 No."}, 13, {"Command OK, but cannot be performed"}, {}},
        {read, 11, {"599 Broken."}, 13, {"Command unimplemented, incorrect, or program error"}, {}},
        {banner, 0, {"200 server ready, posting allowed"}, 18, {"OK, read/write allowed"}, false},
        {banner, 0, {"201 server ready, read only"}, 17, {"OK, read only"}, false},
        {banner,
         0,
         {"432 No connections allowed"},
         -1,
         {"No connections allowed: permission denied"},
         false},
        {banner,
         0,
         {"433 No connections allowed"},
         -1,
         {"No connections allowed: X users allowed, Y currently active"},
         false},
        {banner,
         0,
         {"434 No connections allowed"},
         -1,
         {"No connections allowed: system load too high"},
         false},
        {banner, 0, {"230 Bye"}, -1, {"Command OK, connection will close"}, false},
        {hello, 1, {"200 Hello and welcome"}, 2, {"Handshake successful"}, true},
        {hello, 1, {"402 Already shook hands"}, 2, {"Already shook hands"}, true},
        {hello,
         1,
         {"431 Handshake not successful"},
         -1,
         {"Handshake not successful, closing connection"},
         false},
        {hello,
         1,
         {"500 Command syntax error"},
         1,
         {"Command syntax error, command unknown, command unimplemented"},
         {}},
        {proto, 9, {"201 OK, protocol version now: 5"}, 10, {"OK, protocol level now: 5"}, {}},
        {proto, 9, {"501 Illegal protocol level."}, 0, {"Illegal protocol level"}, {}},
        {proto, 9, {"502 Protocol level already 5"}, 10, {"Protocol level already 5"}, {}},
        {sites,
         7,
         {"210 OK, site information follows", "."},
         8,
         {"OK, receiving sites", "Got sites"},
         {}},
        {sites,
         7,
         {"401 No site information available."},
         19,
         {"No site information available"},
         {}},
        {sites,
         7,
         {"500 Command syntax error"},
         7,
         {"Command syntax error, command unknown, command unimplemented"},
         {}},
        {submit,
         14,
         {"200 OK, submission has been sent."},
         14,
         {"OK, submission has been sent."},
         {}},
        {submit,
         14,
         {"500 Missing required header information."},
         14,
         {"Missing required header information."},
         {}},
        {submit, 14, {"501 Invalid header information."}, 14, {"Invalid header information."}, {}},
        {submit, 14, {"401 Permission denied.", "nonsense"}, 14, {}, {}},
        // Lines that carry no reply code: an empty line, a digit start without a code, text.
        {query, 6, {"", "   ", "2x0 odd", "9"}, 6, {}, {}},
        {read, 11, {"", "xyz", "1"}, 13, {}, {}},
        {banner, 0, {"", "hello there"}, 0, {}, {}},
        {hello, 1, {"4 2"}, 1, {}, {}},
        {proto, 9, {"\x01\xff"}, 9, {}, {}},
        {sites, 7, {""}, 7, {}, {}},
    };
    for (const Case& c : cases) {
        Client client;
        client.cddb.SetCommandState(c.startState);
        client.cddb.HandleHello("200 shake"); // the handshake flag starts set
        client.statuses.clear();
        client.cddb.SetCommandState(c.startState);
        client.Feed(c.handler, c.lines);
        EXPECT_EQ(c.state, client.cddb.CommandState()) << c.lines.front();
        EXPECT_EQ(c.statuses, client.statuses) << c.lines.front();
        if (c.handshake) {
            EXPECT_EQ(*c.handshake, client.cddb.HandshakeDone()) << c.lines.front();
        }
    }
}

TEST(RepliesTest, TheChosenMatchNamesTheEntryToRead) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::optional<int> rightOne; // nothing: no OnMatch handler
        int state;
        std::string category;
        std::string discId;
        size_t offered;
    };
    const std::vector<std::string> twoMatches = {"211 close matches", "rock 0a0b0c0d Rock Album",
                                                 "jazz 1122aabb Jazz Album", "."};
    std::vector<std::string> many = {"210 exact matches"};
    for (int i = 0; i < 150; ++i) {
        many.push_back("misc " + std::to_string(10000000 + i) + " Title");
    }
    many.push_back(".");
    const Case cases[] = {
        // An exact match takes the identifier from the disc, not from the reply.
        {"exact", {"200 rock ffffffff Artist / Album"}, 0, 3, "rock", "0c01a202", 1},
        {"exact declined", {"200 rock ffffffff Artist / Album"}, -1, 5, "", "", 1},
        {"first of two", twoMatches, 0, 3, "rock", "0a0b0c0d", 2},
        {"second of two", twoMatches, 1, 3, "jazz", "1122aabb", 2},
        {"none of two", twoMatches, -1, 5, "", "", 2},
        {"no handler", twoMatches, std::nullopt, 3, "rock", "0a0b0c0d", 2},
        {"empty slot", twoMatches, 2, 5, "", "", 2},
        {"beyond the list", twoMatches, 100, 5, "", "", 2},
        {"more than the list holds", many, 99, 3, "misc", "10000099", 100},
    };
    for (const Case& c : cases) {
        Client client;
        size_t offered = 0;
        if (c.rightOne) {
            client.cddb.OnMatch = [&](TCddb&, TMatchArray& matches, int& rightOne) {
                EXPECT_EQ(0, rightOne);
                offered = static_cast<size_t>(
                    std::count_if(matches.begin(), matches.end(),
                                  [](const std::string& m) { return !m.empty(); }));
                rightOne = *c.rightOne;
            };
        }
        client.cddb.SetCommandState(6);
        client.Feed(&TCddb::HandleQueryReply, c.lines);
        EXPECT_EQ(c.state, client.cddb.CommandState()) << c.name;
        EXPECT_EQ(c.category, client.cddb.Info().Category) << c.name;
        EXPECT_EQ(c.discId, client.cddb.Info().DiscId) << c.name;
        if (c.rightOne) {
            EXPECT_EQ(c.offered, offered) << c.name;
        }
        if (c.state == 5) {
            // A read after a query without a usable match is refused without a request.
            client.statuses.clear();
            client.cddb.ServerType = TServerType::HTTP;
            EXPECT_EQ(-1, client.cddb.HttpRead()) << c.name;
            EXPECT_EQ(std::vector<std::string>{"Can't perform a CDDB READ without a successful "
                                               "CDDB QUERY!"},
                      client.statuses)
                << c.name;
        }
    }
}

TEST(RepliesTest, StoresEntryLinesAndSitesWithinTheirLimits) {
    Client client;
    client.cddb.SetCommandState(11);
    std::vector<std::string> entry = {"210 rock 0c01a202", "  # xmcd  "};
    for (int i = 0; i < 600; ++i) {
        entry.push_back("EXTD=" + std::to_string(i));
    }
    entry.push_back(".");
    client.Feed(&TCddb::HandleReadReply, entry);
    EXPECT_EQ(12, client.cddb.CommandState());
    EXPECT_EQ("# xmcd", client.cddb.EntryLines().front());
    EXPECT_EQ("EXTD=510", client.cddb.EntryLines().back()) << "lines beyond 512 are dropped";

    struct Case {
        TServerType type;
        std::string line;
        TServer expected;
    };
    const Case cases[] = {
        {TServerType::HTTP,
         "gnu.example.org http 80 /~cddb/cddb.cgi N037.23 W121.53 Somewhere, On Earth",
         {"gnu.example.org",
          "/~cddb/cddb.cgi",
          TServerType::HTTP,
          80,
          {"N037.23", "W121.53", "Somewhere, On Earth"}}},
        {TServerType::CDDBP,
         "gnu.example.org cddbp 8880 /~cddb/cddb.cgi W121.53 A place",
         {"gnu.example.org",
          "-",
          TServerType::CDDBP,
          8880,
          {"/~cddb/cddb.cgi", "W121.53", "A place"}}},
        {TServerType::CDDBP,
         "host HTTP eighty N1 W2 Text",
         {"host", "-", TServerType::HTTP, 0, {"N1", "W2", "Text"}}},
        {TServerType::HTTP, "host cddbp", {"host", "", TServerType::CDDBP, 0, {"", "", ""}}},
        {TServerType::HTTP, "h  x 1", {"h", "1", TServerType::CDDBP, 0, {"", "", ""}}},
    };
    for (const Case& c : cases) {
        client.cddb.ServerType = c.type;
        client.cddb.SetCommandState(7);
        client.Feed(&TCddb::HandleSiteReply, {"210 sites follow", "old.example.org cddbp 1"});
        client.Feed(&TCddb::HandleSiteReply, {"210 sites follow", c.line, "."});
        const TServer& site = client.cddb.Sites()[0];
        EXPECT_EQ(c.expected.Site, site.Site) << c.line;
        EXPECT_EQ(c.expected.Address, site.Address) << c.line;
        EXPECT_EQ(c.expected.Protocol, site.Protocol) << c.line;
        EXPECT_EQ(c.expected.Port, site.Port) << c.line;
        EXPECT_EQ(c.expected.Location.Latitude, site.Location.Latitude) << c.line;
        EXPECT_EQ(c.expected.Location.Longitude, site.Location.Longitude) << c.line;
        EXPECT_EQ(c.expected.Location.Description, site.Location.Description) << c.line;
        EXPECT_TRUE(client.cddb.Sites()[1].Site.empty()) << "a 210 reply clears the list";
    }
    std::vector<std::string> manySites = {"210 sites follow"};
    for (int i = 0; i < 120; ++i) {
        manySites.push_back("s" + std::to_string(i) + " http 80 /p N W " + std::string(2000, 'd'));
    }
    client.Feed(&TCddb::HandleSiteReply, manySites);
    EXPECT_EQ("s99", client.cddb.Sites().back().Site);
    EXPECT_EQ(1023u,
              ("s99 http 80 /p N W " + client.cddb.Sites().back().Location.Description).size())
        << "a site line is cut at 1023 characters";
}

} // namespace
} // namespace quillon::test
