#include "tags/WMAfile.h"

#include "fixtures/Fixtures.h"
#include "fixtures/TagBFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::AsfDescriptor;

std::vector<uint8_t> Dword(uint32_t v) {
    std::vector<uint8_t> out;
    test::PutLE32(out, v);
    return out;
}

class WMAfileTest : public ::testing::Test {
protected:
    TWMAfile Read(const std::vector<std::vector<uint8_t>>& objects, bool expected = true,
                  int64_t count = -1) {
        auto bytes = test::AsfHeader(objects, count);
        bytes.resize(bytes.size() + 1000, 0); // stands for the data object
        return ReadBytes(bytes, expected);
    }
    TWMAfile ReadBytes(const std::vector<uint8_t>& bytes, bool expected = true) {
        const std::string name = dir_.File("a.wma");
        test::WriteFileBytes(name, bytes);
        TWMAfile wma;
        EXPECT_EQ(wma.ReadInfo(name), expected);
        return wma;
    }
    static std::vector<std::vector<uint8_t>> Stream() {
        return {test::AsfFileProperties(128000), test::AsfAudioStream(2, 44100, 16000)};
    }
    test::TempDir dir_;
};

TEST_F(WMAfileTest, ReadsFormatAndAttributes) {
    auto objects = Stream();
    objects.push_back(test::AsfContentDescription(u"Title", u"  Author ", u"(c)", u"Desc"));
    objects.push_back(test::AsfExtendedContent({
        {u"WM/AlbumTitle", 0, test::Utf16Bytes(u"Album")},
        {u"WM/TrackNumber", 3, Dword(7)},
        {u"wm/year", 0, test::Utf16Bytes(u"2004")},
        {u" WM/Genre ", 0, test::Utf16Bytes(u"Pop")},
        {u"WM/Lyrics", 0, test::Utf16Bytes(u"la la")},
        {u"WM/Other", 0, test::Utf16Bytes(u"ignored")},
    }));
    const TWMAfile wma = Read(objects);
    ASSERT_TRUE(wma.Valid());
    const auto size = wma.FileSize();
    EXPECT_GT(size, 1000u);
    EXPECT_EQ(wma.ChannelModeID(), 2);
    EXPECT_EQ(wma.ChannelMode(), "Stereo");
    EXPECT_EQ(wma.SampleRate(), 44100u);
    EXPECT_DOUBLE_EQ(wma.Duration(), size * 8.0 / 128000);
    EXPECT_EQ(wma.BitRate(), 128u);
    EXPECT_EQ(wma.Title(), u"Title");
    EXPECT_EQ(wma.Artist(), u"Author");
    EXPECT_EQ(wma.Album(), u"Album");
    EXPECT_EQ(wma.Track(), 7u);
    EXPECT_EQ(wma.Year(), u"2004");
    EXPECT_EQ(wma.Genre(), u"Pop");
    EXPECT_EQ(wma.Comment(), u"Desc");
    EXPECT_EQ(wma.Lyrics(), u"la la");
}

TEST_F(WMAfileTest, TrackNumberStoredAsNumberOrText) {
    const std::vector<std::pair<AsfDescriptor, uint32_t>> cases = {
        {{u"WM/TrackNumber", 3, Dword(7)}, 7},
        {{u"WM/TrackNumber", 3, Dword(70000)}, 70000},
        {{u"WM/TrackNumber", 5, {12, 0}}, 12},
        {{u"WM/TrackNumber", 0, test::Utf16Bytes(u"7")}, 7},
        {{u"WM/TrackNumber", 0, test::Utf16Bytes(u" 4/10")}, 4},
        {{u"WM/TrackNumber", 0, test::Utf16Bytes(u"x")}, 0},
        {{u"WM/TrackNumber", 0, {}}, 0},
    };
    for (const auto& [descriptor, track] : cases) {
        auto objects = Stream();
        objects.push_back(test::AsfExtendedContent({descriptor}));
        EXPECT_EQ(Read(objects).Track(), track) << descriptor.type;
    }
}

TEST_F(WMAfileTest, TheLaterTitleWins) {
    auto first = Stream();
    first.push_back(test::AsfContentDescription(u"Plain", u"", u"", u""));
    first.push_back(test::AsfExtendedContent({{u"WM/Title", 0, test::Utf16Bytes(u"Extended")}}));
    EXPECT_EQ(Read(first).Title(), u"Extended");

    auto second = Stream();
    second.push_back(test::AsfExtendedContent({{u"WM/Title", 0, test::Utf16Bytes(u"Extended")}}));
    second.push_back(test::AsfContentDescription(u"Plain", u"", u"", u""));
    EXPECT_EQ(Read(second).Title(), u"Plain");
}

TEST_F(WMAfileTest, LongTextsAreCutAndTheRestSkipped) {
    auto objects = Stream();
    objects.push_back(test::AsfExtendedContent({
        {u"WM/Lyrics", 0, test::Utf16Bytes(std::u16string(3000, u'l'))},
        {u"WM/Genre", 0, test::Utf16Bytes(u"Found")},
    }));
    const TWMAfile wma = Read(objects);
    EXPECT_EQ(wma.Lyrics(), std::u16string(2500, u'l'));
    EXPECT_EQ(wma.Genre(), u"Found");
}

TEST_F(WMAfileTest, ImplausibleStreamsAreNotValid) {
    const std::vector<std::vector<std::vector<uint8_t>>> cases = {
        {test::AsfFileProperties(320000), test::AsfAudioStream(2, 44100, 16000)},
        {test::AsfFileProperties(0), test::AsfAudioStream(2, 44100, 16000)},
        {test::AsfFileProperties(128000), test::AsfAudioStream(3, 44100, 16000)},
        {test::AsfFileProperties(128000), test::AsfAudioStream(2, 7999, 16000)},
        {test::AsfFileProperties(128000), test::AsfAudioStream(2, 96001, 16000)},
        {test::AsfFileProperties(128000), test::AsfAudioStream(2, 44100, 40000)},
        {test::AsfFileProperties(128000)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        auto objects = cases[i];
        objects.push_back(test::AsfContentDescription(u"T", u"", u"", u""));
        const TWMAfile wma = Read(objects);
        EXPECT_FALSE(wma.Valid()) << i;
        EXPECT_EQ(wma.Title(), u"") << i;
        EXPECT_EQ(wma.Duration(), 0.0) << i;
    }
    EXPECT_FALSE(ReadBytes(std::vector<uint8_t>(100, 'x')).Valid());
}

TEST_F(WMAfileTest, UnreadableFilesGiveFalse) {
    ReadBytes(test::AsfGuid("75B22630-668E-11CF-A6D9-00AA0062CE6C"), false);
    ReadBytes({1, 2, 3}, false);
    TWMAfile wma;
    EXPECT_FALSE(wma.ReadInfo(dir_.File("missing.wma")));
}

// Hostile headers: huge counts and lying sizes must neither hang nor read astray.
TEST_F(WMAfileTest, HostileHeaders) {
    const auto truncated = [](std::vector<uint8_t> bytes, size_t cut) {
        bytes.resize(bytes.size() - cut);
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool result;
    };
    auto zeroSized = test::AsfGuid("75B22633-668E-11CF-A6D9-00AA0062CE6C");
    zeroSized.resize(24 + 10, 0);
    auto huge = test::AsfExtendedContent({{u"WM/Title", 0, test::Utf16Bytes(u"x")}});
    huge[24] = huge[25] = 0xFF; // 65535 descriptors, one present
    auto longName = test::AsfExtendedContent({{u"WM/Title", 0, test::Utf16Bytes(u"x")}});
    longName[26] = longName[27] = 0xFF; // a name length past the end
    const std::vector<Case> cases = {
        {"object count of 4 billion", test::AsfHeader(Stream(), 0xFFFFFFFF), false},
        {"object of size 0", test::AsfHeader({zeroSized, zeroSized}, 1000000), true},
        {"descriptor count beyond the data", test::AsfHeader({huge}), false},
        {"name length beyond the data", test::AsfHeader({longName}), false},
        {"header cut in a text",
         truncated(test::AsfHeader({test::AsfContentDescription(u"Title", u"", u"", u"")}), 4),
         false},
    };
    for (const auto& c : cases) {
        const TWMAfile wma = ReadBytes(c.bytes, c.result);
        EXPECT_FALSE(wma.Valid()) << c.what;
    }
}

} // namespace
} // namespace quillon
