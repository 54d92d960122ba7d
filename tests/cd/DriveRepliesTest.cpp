#include "cd/DriveReplies.h"

#include "fixtures/DriveReplyFixtures.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

// A TocEntry as minutes, seconds, frames and whether it is audio.
struct Msf {
    int m, s, f;
    bool audio;
};

struct TocCase {
    const char* name;
    std::vector<uint8_t> reply;
    bool failed;
    int numTracks;
    std::vector<Msf> tracks;
    Msf leadOut;
};

std::vector<uint8_t> WithTail(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

std::vector<TocDescriptor> AudioDescriptors(int count) {
    std::vector<TocDescriptor> descriptors;
    for (int i = 0; i < count; ++i) {
        descriptors.push_back({0x10, static_cast<uint8_t>(i / 2), 2, static_cast<uint8_t>(i)});
    }
    return descriptors;
}

TEST(DriveRepliesTest, ConvertsTocReplies) {
    const std::vector<uint8_t> threeTracks =
        TocReplyBytes(1, 3, {{0x10, 0, 2, 0}, {0x10, 4, 10, 37}, {0x10, 9, 0, 74}, {0, 12, 5, 1}});
    std::vector<uint8_t> claimsMore = threeTracks; // descriptors beyond the data length
    claimsMore[1] = 2 + 8 * 2;
    const std::vector<TocCase> cases = {
        {"audio disc, padded as in the drive's buffer",
         WithTail(threeTracks, kTocReplySize),
         false,
         3,
         {{0, 2, 0, true}, {4, 10, 37, true}, {9, 0, 74, true}},
         {12, 5, 1, false}},
        {"first track 2, last 5",
         TocReplyBytes(2, 5, AudioDescriptors(5)),
         false,
         4,
         {{0, 2, 0, true}, {0, 2, 1, true}, {1, 2, 2, true}, {1, 2, 3, true}},
         {2, 2, 4, false}},
        // Only the data bit 4 of the control nibble counts, whatever the ADR and other bits.
        {"data track first, mixed control bits",
         TocReplyBytes(1, 4,
                       {{0x14, 0, 2, 0},
                        {0x1B, 20, 0, 0},
                        {0x46, 30, 0, 0},
                        {0x21, 40, 0, 0},
                        {0x10, 50, 0, 0}}),
         false,
         4,
         {{0, 2, 0, false}, {20, 0, 0, true}, {30, 0, 0, false}, {40, 0, 0, true}},
         {50, 0, 0, false}},
        {"99 tracks fill the buffer",
         TocReplyBytes(1, 99, AudioDescriptors(100)),
         false,
         99,
         {{0, 2, 0, true}, {0, 2, 1, true}},
         {49, 2, 99, false}},
        {"empty drive, cleared buffer",
         std::vector<uint8_t>(kTocReplySize, 0),
         true,
         1,
         {{0, 0, 0, true}},
         {0, 0, 0, false}},
        {"no bytes at all", {}, true, 1, {{0, 0, 0, true}}, {0, 0, 0, false}},
        {"descriptors missing read as zero",
         claimsMore,
         false,
         3,
         {{0, 2, 0, true}, {4, 10, 37, true}, {0, 0, 0, true}},
         {0, 0, 0, false}},
        {"last before first",
         TocReplyBytes(5, 2, AudioDescriptors(2)),
         true,
         0,
         {},
         {0, 0, 0, false}},
        {"first track 0", TocReplyBytes(0, 3, AudioDescriptors(4)), true, 0, {}, {0, 0, 0, false}},
        {"track 100", TocReplyBytes(1, 100, AudioDescriptors(8)), true, 0, {}, {0, 0, 0, false}},
        {"header cut short", {0, 10, 1}, true, 0, {}, {0, 0, 0, false}},
    };
    for (const TocCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiscToc toc;
        toc.Tracks[50].Minutes = 7; // left over from an earlier read
        EXPECT_EQ(c.failed, ConvertTocReply(c.reply, toc));
        ASSERT_EQ(c.numTracks, toc.NumTracks);
        for (size_t i = 0; i < c.tracks.size(); ++i) {
            const TocEntry& e = toc.Tracks[i];
            EXPECT_EQ((std::vector<int>{c.tracks[i].m, c.tracks[i].s, c.tracks[i].f}),
                      (std::vector<int>{e.Minutes, e.Seconds, e.Frames}))
                << "track " << i + 1;
            EXPECT_EQ(c.tracks[i].audio ? kTocAudio : 0u, e.IsAudio) << "track " << i + 1;
        }
        EXPECT_EQ((std::vector<int>{c.leadOut.m, c.leadOut.s, c.leadOut.f}),
                  (std::vector<int>{toc.LeadOut.Minutes, toc.LeadOut.Seconds, toc.LeadOut.Frames}));
        EXPECT_EQ(0u, toc.LeadOut.IsAudio);
        if (c.numTracks <= 50) {
            EXPECT_EQ(0, toc.Tracks[50].Minutes) << "the record is cleared first";
        }
    }
}

TEST(DriveRepliesTest, ParsesInquiryReplies) {
    std::vector<uint8_t> oddBytes = InquiryReplyBytes("AB", "Drive", "1.0", "x");
    oddBytes[10] = 0;    // the vendor field ends early
    oddBytes[17] = 0xE9; // not ASCII
    oddBytes[20] = '\n';
    std::vector<uint8_t> standardOnly = InquiryReplyBytes("TSSTcorp", "CDDVDW", "TS01", "");
    standardOnly.resize(36);
    struct Case {
        const char* name;
        std::vector<uint8_t> reply;
        InquiryStrings expected;
    } cases[] = {
        {"full reply",
         InquiryReplyBytes("HL-DT-ST", "DVDRAM GH24NSD1", "RD01", "(c) 2024 drive firmware"),
         {"HL-DT-ST", "DVDRAM GH24NSD1 ", "RD01", "(c) 2024 drive firmw"}},
        {"standard 36 bytes only", standardOnly, {"TSSTcorp", "CDDVDW          ", "TS01", ""}},
        {"zero ends a field, other bytes become '?'",
         oddBytes,
         {"AB", "D?iv?" + std::string(11, ' '), "1.0 ", "x" + std::string(19, ' ')}},
        {"nothing received", {}, {"", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const InquiryStrings strings = ParseInquiryReply(c.reply);
        EXPECT_EQ(c.expected.Vendor, strings.Vendor);
        EXPECT_EQ(c.expected.Product, strings.Product);
        EXPECT_EQ(c.expected.Revision, strings.Revision);
        EXPECT_EQ(c.expected.VendorSpecific, strings.VendorSpecific);
    }
}

} // namespace
} // namespace quillon::test
