// The handlers of the server's replies, one line at a time, whichever transport brought them.
// Each sets the command state before it reports, so that an owner reacting to a status text
// sees the state that text stands for.
#include "cddb/Cddb.h"
#include "cddb/CddbText.h"

#include <algorithm>

namespace quillon {
namespace {

// Fills the first empty slot; lines beyond the last slot are dropped.
template <size_t N> void StoreInFirstEmpty(std::array<std::string, N>& slots, std::string line) {
    const auto slot =
        std::find_if(slots.begin(), slots.end(), [](const std::string& s) { return s.empty(); });
    if (slot != slots.end()) {
        *slot = std::move(line);
    }
}

std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// Cuts a site line into words at single spaces, as the list's format lays them out.
class Words {
public:
    explicit Words(std::string text) : text_(std::move(text)) {}
    std::string Next() {
        const size_t space = text_.find(' ', position_);
        std::string word = text_.substr(std::min(position_, text_.size()), space - position_);
        position_ = space == std::string::npos ? text_.size() : space + 1;
        return word;
    }
    std::string Rest() const { return text_.substr(std::min(position_, text_.size())); }

private:
    std::string text_;
    size_t position_ = 0;
};

constexpr size_t kMaxSiteLine = 1023;

} // namespace

void TCddb::DescribeReply(const std::string& line) {
    const std::optional<int> code = cddb::ReplyCode(line);
    if (!code) {
        return; // not a reply line: nothing to describe
    }
    switch (*code) {
    case 402:
        Status("Server error");
        return;
    case 408:
        Status("CGI environment error");
        return;
    case 500:
        Status("Command syntax error, command unknown, command unimplemented");
        return;
    case 530:
        commandState_ = -1;
        handshakeDone_ = false;
        Status("Server error, server timeout");
        return;
    default:
        break;
    }
    static const char* const kByFirstDigit[] = {
        "",
        "Informative message",
        "Command OK",
        "Command OK so far",
        "Command OK, but cannot be performed",
        "Command unimplemented, incorrect, or program error",
    };
    const int first = *code / 100;
    std::string text = first < 6 ? kByFirstDigit[first] : "";
    switch (*code % 100) {
    case 0:
        text += ", ready for further commands";
        break;
    case 10:
        text += ", more server-to-client output follows";
        break;
    case 20:
        text += ", more client-to-server input follows";
        break;
    case 30:
        text += ", connection will close";
        commandState_ = -1;
        handshakeDone_ = false;
        break;
    default:
        break;
    }
    if (!text.empty()) {
        Status(text);
    }
}

// Offers the match list to the owner; without a handler the first match is taken.
int TCddb::AskForMatch() {
    int rightOne = 0;
    if (OnMatch) {
        OnMatch(*this, matches_, rightOne);
    }
    return rightOne;
}

void TCddb::HandleQueryReply(const std::string& received) {
    const std::string line = cddb::Trim(received);
    if (line.empty()) {
        return;
    }
    const std::optional<int> code = cddb::ReplyCode(line);
    if (code == 200) {
        commandState_ = 3;
        Status("Found exact match");
        matches_ = TMatchArray{};
        matches_[0] = cddb::Trim(line.size() > 4 ? line.substr(4) : std::string());
        if (AskForMatch() == -1) {
            commandState_ = 5;
            return;
        }
        info_.Category = FirstWord(matches_[0]);
        info_.DiscId = DiscIdText();
    } else if (code == 202) {
        commandState_ = 5;
        Status("No match found");
    } else if (code == 210 || code == 211) {
        Status(code == 210 ? "Found exact matches" : "Found inexact matches");
        matches_ = TMatchArray{};
        Status("OK, receiving matches");
    } else if (code == 403) {
        commandState_ = 5;
        Status("Database entry is corrupt");
    } else if (code == 409) {
        commandState_ = 5;
        handshakeDone_ = false;
        Status("No handshake");
    } else if (line[0] >= '0' && line[0] <= '9') {
        DescribeReply(line);
    } else if (line[0] == '.') {
        commandState_ = 4;
        Status("Received matches");
        const int rightOne = AskForMatch();
        // A choice outside the list, or of a slot the server did not fill, is no usable match.
        if (rightOne < 0 || rightOne >= static_cast<int>(matches_.size()) ||
            matches_[static_cast<size_t>(rightOne)].empty()) {
            commandState_ = 5;
            return;
        }
        const std::string& chosen = matches_[static_cast<size_t>(rightOne)];
        info_.Category = FirstWord(chosen);
        const size_t space = chosen.find(' ');
        info_.DiscId = space == std::string::npos ? std::string() : chosen.substr(space + 1, 8);
        commandState_ = 3;
    } else {
        StoreInFirstEmpty(matches_, line);
    }
}

void TCddb::HandleReadReply(const std::string& received) {
    const std::string line = cddb::Trim(received);
    if (line.empty()) {
        return;
    }
    const std::optional<int> code = cddb::ReplyCode(line);
    if (code == 210) {
        Status("OK, CDDB database entry follows");
        entryLines_ = TEntryArray{};
        return;
    }
    if (code == 401 || code == 402 || code == 403 || code == 409) {
        commandState_ = 13;
        if (code == 409) {
            handshakeDone_ = false;
        }
        Status(code == 401   ? "Specified CDDB entry not found"
               : code == 402 ? "Server error"
               : code == 403 ? "Database entry is corrupt"
                             : "No handshake");
        return;
    }
    switch (line[0]) {
    case '.':
        commandState_ = 12;
        Status("Entry read");
        break;
    case '#':
    case 'T':
    case 'D':
    case 'E':
    case 'P':
        StoreInFirstEmpty(entryLines_, line);
        break;
    default:
        commandState_ = 13;
        DescribeReply(line);
        break;
    }
}

void TCddb::HandleSiteReply(const std::string& received) {
    const std::string line = cddb::Trim(received);
    if (line.empty()) {
        return;
    }
    const std::optional<int> code = cddb::ReplyCode(line);
    if (line[0] == '.') {
        commandState_ = 8;
        Status("Got sites");
    } else if (code == 210) {
        Status("OK, receiving sites");
        sites_ = TServerArray{};
    } else if (code == 401) {
        commandState_ = 19;
        Status("No site information available");
    } else if (code && (line.size() == 3 || line[3] == ' ')) {
        // Another reply (a server error) rather than a server's description.
        DescribeReply(line);
    } else {
        const auto slot = std::find_if(sites_.begin(), sites_.end(),
                                       [](const TServer& s) { return s.Site.empty(); });
        if (slot == sites_.end()) {
            return;
        }
        Words words(line.substr(0, kMaxSiteLine));
        TServer server;
        server.Site = words.Next();
        std::string protocol = words.Next();
        std::transform(protocol.begin(), protocol.end(), protocol.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        server.Protocol = protocol == "http" ? TServerType::HTTP : TServerType::CDDBP;
        // A port that is not a number is left at 0; the rest of the line still counts.
        server.Port = cddb::ParseInteger(words.Next()).value_or(0);
        server.Address = ServerType == TServerType::HTTP ? words.Next() : "-";
        server.Location.Latitude = words.Next();
        server.Location.Longitude = words.Next();
        server.Location.Description = words.Rest();
        *slot = std::move(server);
    }
}

void TCddb::HandleSubmitReply(const std::string& received) {
    switch (cddb::ReplyCode(cddb::Trim(received)).value_or(0)) {
    case 200:
        Status("OK, submission has been sent.");
        break;
    case 500:
        Status("Missing required header information.");
        break;
    case 501:
        Status("Invalid header information.");
        break;
    default:
        break;
    }
}

void TCddb::HandleBanner(const std::string& received) {
    const std::string line = cddb::Trim(received);
    switch (cddb::ReplyCode(line).value_or(0)) {
    case 200:
        handshakeDone_ = false;
        commandState_ = 18;
        Status("OK, read/write allowed");
        break;
    case 201:
        handshakeDone_ = false;
        commandState_ = 17;
        Status("OK, read only");
        break;
    case 432:
    case 433:
    case 434: {
        const int code = cddb::ReplyCode(line).value_or(0);
        commandState_ = -1;
        handshakeDone_ = false;
        Status(code == 432   ? "No connections allowed: permission denied"
               : code == 433 ? "No connections allowed: X users allowed, Y currently active"
                             : "No connections allowed: system load too high");
        break;
    }
    default:
        DescribeReply(line);
        break;
    }
}

void TCddb::HandleHello(const std::string& received) {
    const std::string line = cddb::Trim(received);
    switch (cddb::ReplyCode(line).value_or(0)) {
    case 200:
        commandState_ = 2;
        handshakeDone_ = true;
        Status("Handshake successful");
        break;
    case 402:
        commandState_ = 2;
        handshakeDone_ = true;
        Status("Already shook hands");
        break;
    case 431:
        commandState_ = -1;
        handshakeDone_ = false;
        Status("Handshake not successful, closing connection");
        break;
    default:
        DescribeReply(line);
        break;
    }
}

void TCddb::HandleProtocolLevel(const std::string& received) {
    const std::string line = cddb::Trim(received);
    switch (cddb::ReplyCode(line).value_or(0)) {
    case 201:
        commandState_ = 10;
        Status("OK, protocol level now: 5");
        break;
    case 501:
        commandState_ = 0;
        Status("Illegal protocol level");
        break;
    case 502:
        commandState_ = 10;
        Status("Protocol level already 5");
        break;
    default:
        DescribeReply(line);
        break;
    }
}

} // namespace quillon
