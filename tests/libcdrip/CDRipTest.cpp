#include "CdRipLibrary.h"
#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSector = 2352;

std::string ReadText(const std::string& fileName) {
    const std::vector<uint8_t> bytes = ReadFileBytes(fileName);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& fileName, const std::string& text) {
    WriteFileBytes(fileName, std::vector<uint8_t>(text.begin(), text.end()));
}

// The same TOC with SWAP in every audio track: the bytes must come back unchanged.
void AddSwap(const std::string& sheet) {
    std::string text = ReadText(sheet);
    for (size_t at = text.find("TRACK AUDIO\n"); at != std::string::npos;
         at = text.find("TRACK AUDIO\n", at + 1)) {
        text.insert(at + 12, "SWAP\n");
    }
    WriteText(sheet, text);
}

class CdRip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cr.library.Loaded());
        folder = fs::temp_directory_path() / ("cdrip-test-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        cr.DeInit();
        fs::remove_all(folder);
    }

    void Init(const std::string& iniText = "") {
        const std::string ini = (folder / "cdr.ini").string();
        if (!iniText.empty()) {
            WriteText(ini, iniText);
        }
        ASSERT_EQ(cr.Init(ini.c_str()), CR_Ok);
        physical = cr.GetNumCDROM();
    }

    // Adds an image and makes it the active drive; returns the library's message on failure.
    std::string Add(const std::string& sheet) {
        char message[256] = "unchanged";
        if (cr.AddImage(sheet.c_str(), message, sizeof message) != CR_Ok) {
            return message;
        }
        EXPECT_EQ(cr.SetActiveCDROM(cr.GetNumCDROM() - 1), CR_Ok);
        return "";
    }

    // Rips first .. end - 1 with the given buffer size, checking every chunk.
    std::vector<uint8_t> Rip(int32_t first, int32_t end, int bufferSize) {
        int size = bufferSize;
        EXPECT_EQ(cr.OpenRipper(&size, first, end), CR_Ok);
        EXPECT_EQ(size, bufferSize / kSector * kSector);
        std::vector<uint8_t> out;
        std::vector<uint8_t> buffer(static_cast<size_t>(bufferSize));
        int abort = 0;
        for (int chunks = 0; chunks < 100000; ++chunks) {
            // The caller passes whatever its count held last (at first 0).
            int bytes = chunks == 0 ? 0 : -1;
            EXPECT_EQ(cr.RipChunk(buffer.data(), &bytes, &abort), CR_Ok);
            EXPECT_EQ(bytes % kSector, 0);
            EXPECT_LE(bytes, size);
            if (bytes <= 0) {
                break;
            }
            out.insert(out.end(), buffer.begin(), buffer.begin() + bytes);
        }
        EXPECT_EQ(cr.CloseRipper(), CR_Ok);
        return out;
    }

    CdRipLibrary cr;
    fs::path folder;
    int physical = 0;
};

TEST_F(CdRip, TableOfContentsOfImages) {
    struct Case {
        const char* name;
        std::vector<ImageTrack> tracks;
        SheetKind kind;
        const char* binName;
        bool swap;
    };
    const std::vector<ImageTrack> audio = {{120}, {75}, {200}};
    const std::vector<ImageTrack> mixed = {{150, false}, {80}, {90}};
    const std::vector<ImageTrack> data = {{300, false}};
    const Case cases[] = {
        {"cue-audio", audio, SheetKind::Cue, "", false},
        {"cue-mixed", mixed, SheetKind::Cue, "", false},
        {"cue-data", data, SheetKind::Cue, "", false},
        {"cue-other-bin", audio, SheetKind::Cue, "Some Other Name.img", false},
        {"toc-audio", audio, SheetKind::Toc, "", false},
        {"toc-mixed", mixed, SheetKind::Toc, "", false},
        {"toc-data", data, SheetKind::Toc, "", false},
        {"toc-other-bin", audio, SheetKind::Toc, "data.raw", false},
        {"toc-swap", audio, SheetKind::Toc, "", true},
    };
    Init();
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GeneratedImage image =
            WriteDiscImage(folder.string(), c.name, c.tracks, c.kind, c.binName);
        if (c.swap) {
            AddSwap(image.sheet);
        }
        ASSERT_EQ(Add(image.sheet), "");
        ++added;
        EXPECT_EQ(cr.GetNumCDROM(), physical + added);

        CR_DriveParameters parameters;
        ASSERT_EQ(cr.GetCDROMParameters(&parameters), CR_Ok);
        EXPECT_EQ(std::string(parameters.Name), image.sheet);
        EXPECT_NE(parameters.IsImage, 0);
        int state = -1;
        EXPECT_EQ(cr.IsMediaLoaded(&state), CR_Ok);
        EXPECT_EQ(state, 0);

        ASSERT_EQ(cr.ReadToc(), CR_Ok);
        const int n = static_cast<int>(c.tracks.size());
        ASSERT_EQ(cr.GetNumTocEntries(), n);
        for (int i = 0; i < n; ++i) {
            const CR_TocEntry entry = cr.GetTocEntry(i);
            EXPECT_EQ(entry.StartSector, image.startSectors[static_cast<size_t>(i)]);
            EXPECT_EQ(entry.TrackNumber, i + 1);
            EXPECT_EQ((entry.Flags & 0xFC) == 0x10, c.tracks[static_cast<size_t>(i)].audio);
        }
        EXPECT_EQ(cr.GetTocEntry(n).StartSector, image.leadOut);
        EXPECT_EQ(cr.EjectCD(1), CR_Ok);
    }
    // Adding an image again changes nothing.
    ASSERT_EQ(Add((folder / "." / "cue-audio.cue").string()), "");
    EXPECT_EQ(cr.GetNumCDROM(), physical + added);
}

// A hand-written sheet: comments, gaps and index 0 are understood; gaps the data file does not
// hold take no sectors.
TEST_F(CdRip, SheetWithGapsAndIndexZero) {
    const GeneratedImage image = WriteDiscImage(folder.string(), "gaps", {{100}, {80}, {60}});
    WriteText(image.sheet, "REM GENRE Test\nPERFORMER \"Someone\"\nFILE \"gaps.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                           "  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:01:25\n"
                           "  TRACK 03 AUDIO\n    FLAGS DCP\n    INDEX 00 00:02:20\n"
                           "    INDEX 01 00:02:30\n");
    Init();
    ASSERT_EQ(Add(image.sheet), "");
    ASSERT_EQ(cr.ReadToc(), CR_Ok);
    ASSERT_EQ(cr.GetNumTocEntries(), 3);
    EXPECT_EQ(cr.GetTocEntry(1).StartSector, 100);
    EXPECT_EQ(cr.GetTocEntry(2).StartSector, 180);
    EXPECT_EQ(cr.GetTocEntry(3).StartSector, 240);
}

TEST_F(CdRip, RipsGiveTheDataFileBytesInEveryMode) {
    struct Mode {
        const char* ini;
        int expected;
    };
    const Mode modes[] = {{"[CD-ROM]\nnParanoiaMode=0\n", CR_ParanoiaOff},
                          {"[cd-rom]\nnparanoiamode=1\n", CR_ParanoiaFull},
                          {"[CD-ROM]\nnParanoiaMode=2\n", CR_ParanoiaOverlap},
                          {"[CD-ROM]\nnParanoiaMode=seven\n", CR_ParanoiaFull},
                          {"", CR_ParanoiaFull}};
    struct Range {
        int32_t first;
        int32_t end;
        int bufferSize;
    };
    // Track 1 is data (sectors 0-49), then audio tracks at 50, 170 and 245; lead-out 445.
    const Range ranges[] = {{50, 170, 176400},  {50, 445, 176400},
                            {100, 101, 176400}, {245, 445, 3 * kSector + 100},
                            {60, 250, kSector}, {170, 170, 176400}};
    const std::vector<ImageTrack> tracks = {{50, false}, {120}, {75}, {200}};
    for (const SheetKind kind : {SheetKind::Cue, SheetKind::Toc}) {
        const GeneratedImage image = WriteDiscImage(
            folder.string(), kind == SheetKind::Cue ? "rip" : "riptoc", tracks, kind);
        if (kind == SheetKind::Toc) {
            AddSwap(image.sheet);
        }
        const std::vector<uint8_t> bin = ReadFileBytes(image.bin);
        for (const Mode& mode : modes) {
            SCOPED_TRACE(image.sheet + " " + mode.ini);
            cr.DeInit();
            Init(mode.ini);
            ASSERT_EQ(Add(image.sheet), "");
            CR_DriveParameters parameters;
            ASSERT_EQ(cr.GetCDROMParameters(&parameters), CR_Ok);
            EXPECT_EQ(parameters.ParanoiaMode, mode.expected);
            for (const Range& range : ranges) {
                SCOPED_TRACE(std::to_string(range.first) + ".." + std::to_string(range.end));
                const std::vector<uint8_t> rip = Rip(range.first, range.end, range.bufferSize);
                ASSERT_EQ(rip.size(), static_cast<size_t>(range.end - range.first) * kSector);
                EXPECT_TRUE(
                    std::equal(rip.begin(), rip.end(),
                               bin.begin() + static_cast<ptrdiff_t>(range.first) * kSector));
            }
        }
    }
}

// Queries from another thread while a rip runs neither disturb the rip nor crash.
TEST_F(CdRip, QueriesDuringARip) {
    const GeneratedImage image = WriteDiscImage(folder.string(), "busy", {{300}, {300}});
    Init();
    ASSERT_EQ(Add(image.sheet), "");
    std::atomic<bool> done = false;
    std::thread queries([&] {
        while (!done) {
            CR_DriveParameters parameters;
            int state = 1;
            cr.GetCDROMParameters(&parameters);
            cr.IsMediaLoaded(&state);
            cr.ReadToc();
            cr.GetTocEntry(cr.GetNumTocEntries());
        }
    });
    const std::vector<uint8_t> rip = Rip(0, 600, 176400);
    done = true;
    queries.join();
    EXPECT_EQ(rip, ReadFileBytes(image.bin));
}

// A data file that loses its end after the image was added, before or during the rip: the rip
// stops with a read error (told apart from the end of the range) and never passes off what it
// could not read as audio.
TEST_F(CdRip, ReadErrorEndsTheRipAndIsReported) {
    for (const char* mode : {"0", "1"}) {
        for (const int cutAfterChunks : {0, 1}) {
            SCOPED_TRACE(std::string("mode ") + mode + ", cut after " +
                         std::to_string(cutAfterChunks));
            const GeneratedImage image = WriteDiscImage(folder.string(), "cut", {{100}, {100}});
            cr.DeInit();
            Init(std::string("[CD-ROM]\nnParanoiaMode=") + mode + "\n");
            ASSERT_EQ(Add(image.sheet), "");
            int size = 75 * kSector;
            ASSERT_EQ(cr.OpenRipper(&size, 0, 200), CR_Ok);
            std::vector<uint8_t> buffer(static_cast<size_t>(size));
            std::vector<uint8_t> rip;
            int result = CR_Ok;
            int abort = 0;
            for (int chunk = 0; result == CR_Ok; ++chunk) {
                if (chunk == cutAfterChunks) {
                    fs::resize_file(image.bin, 150 * kSector);
                }
                int bytes = size;
                result = cr.RipChunk(buffer.data(), &bytes, &abort);
                rip.insert(rip.end(), buffer.begin(), buffer.begin() + bytes);
                ASSERT_TRUE(bytes > 0 || result != CR_Ok);
            }
            EXPECT_EQ(result, CR_ReadError);
            int bytes = size;
            EXPECT_EQ(cr.RipChunk(buffer.data(), &bytes, &abort), CR_ReadError);
            EXPECT_EQ(bytes, 0);
            EXPECT_EQ(cr.CloseRipper(), CR_ReadError);
            EXPECT_EQ(rip.size(), static_cast<size_t>(cutAfterChunks) * size);
            const std::vector<uint8_t> bin = ReadFileBytes(image.bin);
            EXPECT_TRUE(std::equal(rip.begin(), rip.end(), bin.begin()));
        }
    }
}

TEST_F(CdRip, ImagesRefusedWithAReason) {
    const GeneratedImage good = WriteDiscImage(folder.string(), "good", {{100}, {100}});
    const std::string bad = (folder / "bad").string();
    struct Case {
        const char* name;
        std::string sheet;
        std::string text; // written to sheet unless empty
        std::string expected;
    };
    const Case cases[] = {
        {"missing sheet", bad + "-none.cue", "", "no such file"},
        {"missing data file", bad + "1.cue",
         "FILE \"nothere.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
         "nothere.bin does not exist"},
        {"short data file", bad + "2.cue",
         "FILE \"good.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 "
         "00:04:00\n",
         "shorter than the sheet says"},
        {"short data file, toc", bad + "3.toc",
         "CD_DA\nTRACK AUDIO\nFILE \"good.bin\" 0 00:03:00\n", "shorter than the sheet says"},
        {"binary garbage", bad + "4.cue", std::string("\x89PNG\r\n\x1a\n\0\0", 10),
         "not a CUE sheet"},
        {"text garbage", bad + "5.cue", "Dear diary,\ntoday\n", "not a CUE sheet command"},
        {"no tracks", bad + "6.cue", "REM nothing\nFILE \"good.bin\" BINARY\n", "no tracks"},
        {"wave file", bad + "7.cue", "FILE \"good.wav\" WAVE\nTRACK 01 AUDIO\n", "not supported"},
        {"no index 1", bad + "8.cue", "FILE \"good.bin\" BINARY\nTRACK 01 AUDIO\n", "no INDEX 01"},
        {"cooked mode", bad + "9.toc", "CD_ROM\nTRACK MODE1\nDATAFILE \"good.bin\"\n",
         "not supported"},
        {"a folder", folder.string(), "", "not a file"},
    };
    Init();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.text.empty()) {
            WriteText(c.sheet, c.text);
        }
        const std::string message = Add(c.sheet);
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        EXPECT_NE(message.find(c.sheet), std::string::npos) << message;
        EXPECT_EQ(cr.GetNumCDROM(), physical);
    }
}

TEST_F(CdRip, CallsWithoutInitOrWithBadArguments) {
    const GeneratedImage image = WriteDiscImage(folder.string(), "args", {{100}});
    std::vector<uint8_t> buffer(176400);
    const auto expectRefused = [&](bool initialised) {
        int state = 0;
        int size = 176400;
        int bytes = size;
        int abort = 0;
        CR_DriveParameters parameters;
        EXPECT_NE(cr.IsMediaLoaded(&state), CR_Ok);
        EXPECT_EQ(state, 1);
        EXPECT_NE(cr.ReadToc(), CR_Ok);
        EXPECT_EQ(cr.GetNumTocEntries(), 0);
        EXPECT_EQ(cr.GetTocEntry(0).StartSector, 0);
        EXPECT_NE(cr.OpenRipper(&size, 0, 10), CR_Ok);
        EXPECT_NE(cr.RipChunk(buffer.data(), &bytes, &abort), CR_Ok);
        EXPECT_EQ(bytes, 0);
        EXPECT_NE(cr.CloseRipper(), CR_Ok);
        EXPECT_NE(cr.GetCDROMParameters(&parameters), CR_Ok);
        EXPECT_NE(cr.EjectCD(1), CR_Ok);
        EXPECT_NE(cr.SetActiveCDROM(initialised ? cr.GetNumCDROM() : 0), CR_Ok);
        EXPECT_NE(cr.SetActiveCDROM(-1), CR_Ok);
    };
    {
        SCOPED_TRACE("before init");
        EXPECT_EQ(cr.GetNumCDROM(), 0);
        expectRefused(false);
        char message[8];
        EXPECT_NE(cr.AddImage(image.sheet.c_str(), message, sizeof message), CR_Ok);
        EXPECT_EQ(std::string(message).size(), 7u);
    }
    Init("[CD-ROM]\nnActive=5\n");
    if (physical == 0) {
        SCOPED_TRACE("no drive");
        expectRefused(true);
    }
    ASSERT_EQ(Add(image.sheet), "");
    {
        SCOPED_TRACE("bad ranges and buffers");
        int size = 176400;
        EXPECT_NE(cr.OpenRipper(&size, 0, 101), CR_Ok);
        EXPECT_NE(cr.OpenRipper(&size, 50, 40), CR_Ok);
        EXPECT_NE(cr.OpenRipper(&size, -1, 40), CR_Ok);
        size = 100;
        EXPECT_NE(cr.OpenRipper(&size, 0, 10), CR_Ok);
        EXPECT_NE(cr.OpenRipper(nullptr, 0, 10), CR_Ok);
        EXPECT_NE(cr.IsMediaLoaded(nullptr), CR_Ok);
        EXPECT_NE(cr.GetCDROMParameters(nullptr), CR_Ok);
        ASSERT_EQ(cr.ReadToc(), CR_Ok);
        EXPECT_EQ(cr.GetTocEntry(2).StartSector, 0);
        EXPECT_EQ(cr.GetTocEntry(-1).StartSector, 0);
        size = 176400;
        ASSERT_EQ(cr.OpenRipper(&size, 0, 10), CR_Ok);
        int bytes = 0;
        EXPECT_NE(cr.RipChunk(buffer.data(), nullptr, nullptr), CR_Ok);
        bytes = size;
        EXPECT_NE(cr.RipChunk(nullptr, &bytes, nullptr), CR_Ok);
        EXPECT_EQ(cr.CloseRipper(), CR_Ok);
    }
    ASSERT_EQ(cr.DeInit(), CR_Ok);
    SCOPED_TRACE("after deinit");
    EXPECT_EQ(cr.GetNumCDROM(), 0);
    expectRefused(false);
}

} // namespace
} // namespace quillon::test
