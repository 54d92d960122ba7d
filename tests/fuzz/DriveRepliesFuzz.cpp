// The replies of a CD drive to INQUIRY and READ TOC: the input is fed to both parsers.
#include "cd/DriveReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> reply(data, size);
    quillon::ParseInquiryReply(reply);
    quillon::DiscToc toc;
    quillon::ConvertTocReply(reply, toc);
    return 0;
}
