#include "CodecTestSupport.h"
#include "codecs/FLACIn.h"
#include "codecs/FLACOut.h"
#include "codecs/LameLibrary.h"
#include "codecs/MACIn.h"
#include "codecs/MACOut.h"
#include "codecs/MP3Out.h"
#include "codecs/VorbisIn.h"
#include "codecs/VorbisOut.h"
#include "core/PcmException.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quillon {
namespace {

std::string Refusal(const std::function<void()>& construct) {
    try {
        construct();
    } catch (const EPcmException& e) {
        return e.what();
    }
    return "(constructed)";
}

TEST(CodecLibraryTest, EachComponentRefusesConstructionWithoutItsLibrary) {
    struct Case {
        LibraryId id;
        std::function<void()> construct;
    };
    const std::vector<Case> cases = {
        {LibraryId::Lame, [] { TMP3Out sink; }},
        {LibraryId::Flac, [] { TFLACOut sink; }},
        {LibraryId::Flac, [] { TFLACIn source; }},
        {LibraryId::Ogg, [] { TVorbisOut sink; }},
        {LibraryId::Ogg, [] { TVorbisIn source; }},
        {LibraryId::Vorbis, [] { TVorbisOut sink; }},
        {LibraryId::VorbisFile, [] { TVorbisIn source; }},
        {LibraryId::VorbisEnc, [] { TVorbisOut sink; }},
        {LibraryId::Mac, [] { TMACOut sink; }},
        {LibraryId::Mac, [] { TMACIn source; }},
    };
    for (const Case& c : cases) {
        {
            test::MissingLibrary missing(c.id);
            EXPECT_EQ(Refusal(c.construct),
                      LibraryNames::FileName(c.id) + " library could not be loaded.");
        }
        // With the real name back, the component can be made again.
        EXPECT_EQ(Refusal(c.construct), "(constructed)");
    }
}

TEST(CodecLibraryTest, VorbisComponentsNameTheFirstMissingLibraryInLoadingOrder) {
    test::MissingLibrary missing(LibraryId::VorbisEnc);
    LibraryNames::Override(LibraryId::Vorbis, "libquillon-missing-vorbis.so");
    EXPECT_EQ(Refusal([] { TVorbisIn source; }),
              "libquillon-missing-vorbis.so library could not be loaded.");
}

TEST(CodecLibraryTest, LameIsLoadedByTheFirstSinkAndReleasedWithTheLast) {
    ASSERT_EQ(LameLibrary::ResolvedCount(), 0u);
    auto first = std::make_unique<TMP3Out>();
    const size_t resolved = LameLibrary::ResolvedCount();
    // Every entry point the sink calls is among them.
    EXPECT_GE(resolved, 100u);
    auto second = std::make_unique<TMP3Out>();
    first.reset();
    EXPECT_EQ(LameLibrary::ResolvedCount(), resolved);
    second.reset();
    EXPECT_EQ(LameLibrary::ResolvedCount(), 0u);
}

} // namespace
} // namespace quillon
