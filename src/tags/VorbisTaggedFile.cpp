#include "tags/VorbisTaggedFile.h"

#include "platform/CodePage.h"
#include "tags/TagTextRules.h"

namespace quillon {

void VorbisTaggedFile::ClearComments() {
    fields_ = {};
    vendor_.clear();
    comments_ = {};
}

void VorbisTaggedFile::TakeComments(const VorbisCommentBlock& block) {
    comments_ = block;
    fields_ = comments_.Fields();
    vendor_ = TrimBlanks(Utf8FromUtf8OrLatin1(comments_.Vendor()));
}

} // namespace quillon
