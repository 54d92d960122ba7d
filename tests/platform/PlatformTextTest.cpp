#include "platform/CodePage.h"
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(CodePageTest, RoundTripsAndReplacesWhatLatin1CannotHold) {
    EXPECT_EQ("Caf\xE9", Latin1FromUtf8("Café"));
    EXPECT_EQ("Café", Utf8FromLatin1("Caf\xE9"));
    EXPECT_EQ("a?b", Latin1FromUtf8("a€b"));
    EXPECT_EQ("?x", Latin1FromUtf8("\xC3x")) << "truncated sequence";
    EXPECT_EQ("\xFC?", Latin1FromUtf16(u"ü😀"));
    EXPECT_EQ(u"\u00FF", Utf16FromLatin1("\xFF"));
}

TEST(DynamicLibraryTest, LoadsByNameAndHonoursOverrides) {
    EXPECT_EQ("libFLAC.so.12", LibraryNames::FileName(LibraryId::Flac));
    LibraryNames::Override(LibraryId::Flac, "libmissing-quillon.so.0");
    EXPECT_EQ("libmissing-quillon.so.0", LibraryNames::FileName(LibraryId::Flac));
    EXPECT_FALSE(DynamicLibrary(LibraryNames::LoadPath(LibraryId::Flac)).Loaded());
    LibraryNames::ClearOverrides();
    EXPECT_EQ("libFLAC.so.12", LibraryNames::FileName(LibraryId::Flac));

    EXPECT_EQ(ExecutableDir() + "/libMACDll.so", LibraryNames::LoadPath(LibraryId::Mac));

    DynamicLibrary libc("libc.so.6");
    ASSERT_TRUE(libc.Loaded());
    size_t (*strlenEntry)(const char*) = nullptr;
    libc.Resolve(strlenEntry, "strlen");
    ASSERT_NE(nullptr, strlenEntry);
    EXPECT_EQ(3u, strlenEntry("abc"));
    EXPECT_EQ(nullptr, libc.Symbol("no_such_entry_point"));
}

} // namespace
} // namespace quillon
