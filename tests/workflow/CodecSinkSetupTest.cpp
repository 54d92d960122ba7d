#include "codecs/FLACIn.h"
#include "codecs/FLACOut.h"
#include "codecs/MACIn.h"
#include "codecs/MACOut.h"
#include "codecs/MP3Out.h"
#include "codecs/VorbisIn.h"
#include "codecs/VorbisOut.h"
#include "codecs/WMAOut.h"
#include "fixtures/Fixtures.h"
#include "fixtures/WavFixtures.h"
#include "workflow/ConvertEngine.h"
#include "workflow/SinkSetup.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

SinkRequest Request(const std::string& format, bool ripping = false) {
    SinkRequest request;
    request.format = format;
    request.fileName = "/tmp/out";
    request.tags = {"Title", "Artist", "Album", "1997", "Pop", "Note"};
    request.trackNumber = 4;
    request.ripping = ripping;
    return request;
}

template <typename T> std::unique_ptr<T> Make(const SinkRequest& request, const Settings& s) {
    std::unique_ptr<TPcmFileOut> sink = MakeSink(request, s);
    auto* typed = dynamic_cast<T*>(sink.get());
    EXPECT_NE(typed, nullptr);
    sink.release();
    return std::unique_ptr<T>(typed);
}

TEST(CodecSinkSetupTest, Mp3SinkTakesTheMp3PageAndTheSevenTags) {
    Settings settings;
    auto defaults = Make<TMP3Out>(Request("MP3"), settings);
    EXPECT_EQ(defaults->BitRate(), TMP3BitRate::br192);
    EXPECT_EQ(defaults->Quality(), TMP3Quality::ql5);
    EXPECT_TRUE(defaults->Original());
    EXPECT_FALSE(defaults->EnableVBR());

    const std::vector<std::pair<const char*, const char*>> values = {
        {"CBRBitrate", "256"},    {"SampleRate", "48 kHz"}, {"CBRQuality", "level 2"},
        {"Mode", "Joint Stereo"}, {"UseVBR", "1"},          {"WriteVBRHeader", "1"},
        {"MinBitrate", "64"},     {"MaxBitrate", "320"},    {"VBRQuality", "Level 7"},
        {"Original", "0"},        {"Copyright", "1"},       {"CRC", "1"},
    };
    for (const auto& [name, value] : values) {
        ASSERT_TRUE(settings.Set(name, value)) << name;
    }
    auto sink = Make<TMP3Out>(Request("MP3"), settings);
    EXPECT_EQ(sink->FileName(), "/tmp/out");
    EXPECT_EQ(sink->BitRate(), TMP3BitRate::br256);
    EXPECT_EQ(sink->SampleRate(), TMP3SampleRate::sr48kHz);
    EXPECT_EQ(sink->Quality(), TMP3Quality::ql2);
    EXPECT_EQ(sink->Mode(), TMP3Mode::JOINT_STEREO);
    EXPECT_TRUE(sink->EnableVBR());
    EXPECT_TRUE(sink->WriteVBRHeader());
    EXPECT_EQ(sink->VBRMinBitrate(), 64);
    EXPECT_EQ(sink->VBRMaxBitrate(), 320);
    EXPECT_EQ(sink->VBRQuality(), TMP3Quality::ql7);
    EXPECT_FALSE(sink->Original());
    EXPECT_TRUE(sink->Copyright());
    EXPECT_TRUE(sink->CRC());
    EXPECT_EQ(sink->Id3TagTitle(), "Title");
    EXPECT_EQ(sink->Id3TagArtist(), "Artist");
    EXPECT_EQ(sink->Id3TagAlbum(), "Album");
    EXPECT_EQ(sink->Id3TagYear(), "1997");
    EXPECT_EQ(sink->Id3TagTrack(), "4");
    EXPECT_EQ(sink->Id3TagComment(), "Note");
    EXPECT_EQ(sink->Id3TagGenre(), "Pop");

    // A stored text that is in no list selects nothing and leaves the sink's own value.
    settings.Set("CBRBitrate", "999");
    settings.Set("MinBitrate", "fast");
    auto unselected = Make<TMP3Out>(Request("MP3"), settings);
    EXPECT_EQ(unselected->BitRate(), TMP3BitRate::br128);
    EXPECT_EQ(unselected->VBRMinBitrate(), 128);
}

TEST(CodecSinkSetupTest, OggSinkTakesQualityBitRatesAndCommentsWithTheTrackOnlyWhenRipping) {
    Settings settings;
    settings.Set("OGGCompressionLevel", "75");
    settings.Set("DesiredNominalBitrate", "8");
    settings.Set("DesiredMaximumBitrate", "11");
    settings.Set("DesiredMinimumBitrate", "4");
    auto sink = Make<TVorbisOut>(Request("OGG"), settings);
    EXPECT_FLOAT_EQ(sink->Compression(), 0.75f);
    EXPECT_EQ(sink->DesiredNominalBitrate(), TVorbisBitRate::br128);
    EXPECT_EQ(sink->DesiredMaximumBitrate(), TVorbisBitRate::br192);
    EXPECT_EQ(sink->MinimumBitrate(), TVorbisBitRate::br64);
    EXPECT_EQ(sink->Comments(),
              (std::vector<std::string>{"TITLE=Title", "ARTIST=Artist", "ALBUM=Album", "DATE=1997",
                                        "COMMENT=Note", "GENRE=Pop"}));
    auto rip = Make<TVorbisOut>(Request("OGG", true), settings);
    ASSERT_EQ(rip->Comments().size(), 7u);
    EXPECT_EQ(rip->Comments()[3], "TRACKNUMBER=4");

    // The texts are UTF-8 already; empty ones are left out.
    SinkRequest accented = Request("OGG");
    accented.tags.Title = "Caf\xC3\xA9 \xE6\x97\xA5";
    accented.tags.Year.clear();
    accented.tags.Genre.clear();
    EXPECT_EQ(Make<TVorbisOut>(accented, settings)->Comments(),
              (std::vector<std::string>{"TITLE=Caf\xC3\xA9 \xE6\x97\xA5", "ARTIST=Artist",
                                        "ALBUM=Album", "COMMENT=Note"}));
}

TEST(CodecSinkSetupTest, WmaSinkTakesTheProfileAtTheListPositionAndSixTags) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"9", "/Profiles/WMA 128 kbps stereo.prx"}, // the default
        {"0", "/Profiles/WMA 32 kbps mono.prx"},
        {"40", "/Profiles/.prx"}, // beyond the list: a profile that does not exist
    };
    for (const auto& [position, profile] : cases) {
        SCOPED_TRACE(position);
        Settings settings;
        ASSERT_TRUE(settings.Set("WMABitrate", position));
        auto sink = Make<TWMA_Out>(Request("WMA"), settings);
        EXPECT_EQ(sink->FileName(), "/tmp/out");
        EXPECT_TRUE(sink->ProfileFile().ends_with(profile)) << sink->ProfileFile();
        EXPECT_EQ(sink->Id3TagTitle(), "Title");
        EXPECT_EQ(sink->Id3TagArtist(), "Artist");
        EXPECT_EQ(sink->Id3TagAlbum(), "Album");
        EXPECT_EQ(sink->Id3TagYear(), "1997");
        EXPECT_EQ(sink->Id3TagGenre(), "Pop");
        EXPECT_EQ(sink->Id3TagComment(), "Note");
    }
}

TEST(CodecSinkSetupTest, FlacSinkAndTheTwoSourcesByExtension) {
    auto sink = Make<TFLACOut>(Request("FLAC"), Settings());
    EXPECT_EQ(sink->CompressionLevel(), -1);
    EXPECT_EQ(sink->BlockSize(), 4608);
    EXPECT_EQ(sink->Comments().size(), 6u);
    EXPECT_EQ(Make<TFLACOut>(Request("FLAC", true), Settings())->Comments()[3], "TRACKNUMBER=4");
    EXPECT_NE(dynamic_cast<TVorbisIn*>(MakeSource("/a/b.ogg").get()), nullptr);
    EXPECT_NE(dynamic_cast<TFLACIn*>(MakeSource("/a/b.Flac").get()), nullptr);
    EXPECT_EQ(MakeSource("/a/b.fla"), nullptr);
}

TEST(CodecSinkSetupTest, ApeSinkTakesTheLevelAtItsListPositionAndTheSevenTags) {
    const std::pair<const char*, int> levels[] = {
        {"", 2000}, {"0", 1000}, {"1", 2000}, {"2", 3000}, {"3", 4000}};
    for (const auto& [position, level] : levels) {
        Settings settings;
        if (*position != '\0') {
            ASSERT_TRUE(settings.Set("APECompressionLevel", position));
        }
        auto sink = Make<TMACOut>(Request("APE"), settings);
        EXPECT_EQ(sink->CompressionLevel(), level) << position;
        EXPECT_EQ(sink->FileName(), "/tmp/out");
        EXPECT_EQ(sink->Id3TagTitle(), "Title");
        EXPECT_EQ(sink->Id3TagArtist(), "Artist");
        EXPECT_EQ(sink->Id3TagAlbum(), "Album");
        EXPECT_EQ(sink->Id3TagYear(), "1997");
        EXPECT_EQ(sink->Id3TagTrack(), "4");
        EXPECT_EQ(sink->Id3TagComment(), "Note");
        EXPECT_EQ(sink->Id3TagGenre(), "Pop");
    }
    EXPECT_NE(dynamic_cast<TMACIn*>(MakeSource("/a/b.Ape").get()), nullptr);
}

// WAV to FLAC to Ogg Vorbis to WAV, and FLAC to MP3, through the convert engine.
TEST(CodecSinkSetupTest, TheEngineConvertsBetweenTheFormats) {
    test::TempDir in, out;
    const auto pcm = test::AsBytes(test::Tone16(44100, 2, 50000));
    const std::string wav = in.File("tone.wav");
    test::WriteFileBytes(wav, test::PcmWavBytes(44100, 16, 2, pcm));
    Settings settings;
    settings.Set("ConvFilePath", out.Path().string());
    settings.Set("OutputFileNameFormat", "<Track Number>-<Title>");
    TConvertEngine engine;
    auto convert = [&](const std::string& file, const std::string& format,
                       const std::string& title) {
        settings.Set("RipToFormat", format);
        std::vector<ConvertRow> rows(1);
        rows[0].FileName = file;
        rows[0].Tags.Title = title;
        std::string started;
        engine.OnFileStarted = [&](int, const std::string& name) { started = name; };
        std::string failure;
        engine.OnFileFailed = [&](int, const std::string& m) { failure = m; };
        EXPECT_EQ(engine.Convert(rows, settings).converted, 1) << failure;
        return started;
    };
    const std::string flac = convert(wav, "FLAC", "a");
    TFLACIn flacIn;
    flacIn.SetFileName(flac);
    EXPECT_TRUE(test::ReadAll(flacIn, 5000) == pcm);
    const std::string ogg = convert(flac, "OGG", "b");
    const std::string back = convert(ogg, "WAV", "c");
    EXPECT_EQ(std::filesystem::file_size(back), 44 + pcm.size());
    const std::string mp3 = convert(flac, "MP3", "d");
    EXPECT_GT(std::filesystem::file_size(mp3), 10000u);
}

} // namespace
} // namespace quillon
