#include "platform/CodePage.h"
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>
#include <vector>

namespace quillon {
namespace {

TEST(CodePageTest, ConvertsBetweenEncodingsWithoutLosingCharacters) {
    // Every script a tag may hold survives UTF-8 -> UTF-16 -> UTF-8.
    for (const std::string text :
         {"Caf\u00e9", "\u0391\u03b8\u03ae\u03bd\u03b1", "\u041c\u043e\u0441\u043a\u0432\u0430",
          "\u6771\u4eac", "\U0001F600 emoji", ""}) {
        EXPECT_TRUE(IsUtf8(text)) << text;
        EXPECT_EQ(text, Utf8FromUtf16(Utf16FromUtf8(text))) << text;
    }
    EXPECT_EQ("Caf\xE9", Latin1FromUtf8("Caf\u00e9"));
    EXPECT_EQ("Caf\u00e9", Utf8FromLatin1("Caf\xE9"));
    EXPECT_EQ("a?b", Latin1FromUtf8("a\u20acb"));
    EXPECT_TRUE(FitsLatin1("Caf\u00e9"));
    EXPECT_FALSE(FitsLatin1("\u6771"));

    // Malformed input: a broken sequence costs one replacement character, not what follows.
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    for (const Case& c : std::vector<Case>{{"\xC3x", "\uFFFDx"},
                                           {"\xC0\xAF", "\uFFFD\uFFFD"}, // overlong "/"
                                           {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
                                           {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"}}) {
        EXPECT_FALSE(IsUtf8(c.bytes));
        EXPECT_EQ(c.utf8, Utf8FromUtf16(Utf16FromUtf8(c.bytes)));
    }
    EXPECT_EQ("\uFFFDz", Utf8FromUtf16(u"\xD800z")) << "lone surrogate";
    EXPECT_EQ("\xC3\xA9", Utf8FromUtf8OrLatin1("\xC3\xA9"));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9", Utf8FromUtf8OrLatin1("\xE9t\xE9"));
    EXPECT_EQ("A\U0001F600", Utf8FromUtf16Bytes(std::string("\x00\x41\xD8\x3D\xDE\x00", 6), true));
    EXPECT_EQ("A\U0001F600",
              Utf8FromUtf16Bytes(std::string("\x41\x00\x3D\xD8\x00\xDE\x01", 7), false));
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
