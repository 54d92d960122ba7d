// The CD database client's reply handlers and entry parser. The first byte chooses the server
// type and the match the owner picks; the rest is split into lines as a reply body is, and
// each line goes through every handler before the collected entry is parsed.
#include "cddb/Cddb.h"
#include "cddb/CddbText.h"
#include "platform/CodePage.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using quillon::TCddb;
    static TCddb cddb;
    if (size == 0) {
        return 0;
    }
    cddb.InternalTOCRetrieve = false;
    cddb.ServerType = (data[0] & 1) != 0 ? quillon::TServerType::HTTP : quillon::TServerType::CDDBP;
    // -1 declines, 0 … 99 picks a slot, the rest lies beyond the list.
    const int choice = static_cast<int>(data[0] >> 1) - 1;
    cddb.OnMatch = [choice](TCddb&, quillon::TMatchArray&, int& rightOne) { rightOne = choice; };
    cddb.EntryLines() = quillon::TEntryArray{};
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    for (const std::string& raw : quillon::cddb::SplitLines(body)) {
        const std::string line = quillon::Utf8FromUtf8OrLatin1(raw);
        cddb.HandleBanner(line);
        cddb.HandleHello(line);
        cddb.HandleProtocolLevel(line);
        cddb.HandleQueryReply(line);
        cddb.HandleSiteReply(line);
        cddb.HandleSubmitReply(line);
        cddb.HandleReadReply(line);
        TCddb::DecodeEscapes(line);
    }
    cddb.ParseEntry();
    return 0;
}
