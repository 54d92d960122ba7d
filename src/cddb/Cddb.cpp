#include "cddb/Cddb.h"

#include "cddb/CddbText.h"
#include "cddb/CddbTransports.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quillon {
namespace {

constexpr size_t kNoteCharacters = 70;
constexpr size_t kMaxTracks = 100;

int DigitSum(int value) {
    int sum = 0;
    for (; value > 0; value /= 10) {
        sum += value % 10;
    }
    return sum;
}

int SecondsOf(const TocEntry& entry) {
    return entry.Minutes * 60 + entry.Seconds;
}

size_t TrackCount(const DiscToc& toc) {
    return std::min<size_t>(toc.NumTracks, kMaxTracks);
}

// The track number of a "TTITLEn=" or "EXTTn=" key whose number starts at position start:
// one or two digits followed by "="; nothing for any other key.
std::optional<size_t> TrackIndex(const std::string& line, size_t start) {
    const size_t equals = line.find('=', start);
    if (equals == std::string::npos || equals == start || equals - start > 2) {
        return std::nullopt;
    }
    size_t index = 0;
    for (size_t i = start; i < equals; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return std::nullopt;
        }
        index = index * 10 + static_cast<size_t>(line[i] - '0');
    }
    return index;
}

std::string ValueAfter(const std::string& line, size_t length) {
    return line.size() > length ? line.substr(length) : std::string();
}

std::string ValueAfterEquals(const std::string& line) {
    return line.substr(line.find('=') + 1);
}

} // namespace

TCddb::TCddb() : net_(std::make_unique<Transports>()) {
    EmailSubmit = "test-submit@gnudb.org";
    SetNoteToUser("Sent by Quillon Rip " QUILLON_VERSION "; questions to quillonrip@tovalen.org");
    MailServerPort = net_->smtp.Port;
    net_->socket.LineMode = true;
    net_->socket.Proto = "tcp";
    net_->socket.Port = "8880";
    net_->socket.MultiThreaded = false;
    net_->http.OnCommand = [this](THttpCli&, std::string& line) { SubmissionHeader(line); };
    net_->http.OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
        HttpRequestDone(error);
    };
    net_->smtp.OnRequestDone = [this](TSmtpCli&, TSmtpRequest request, int error) {
        SmtpStep(request, error);
    };
    net_->smtp.OnDisplay = [this](TSmtpCli&, const std::string& line) { DataExchange(line); };
    net_->smtp.OnHeaderLine = [this](TSmtpCli&, std::string& line) { MailHeader(line); };
    net_->deadline.setSingleShot(true);
    QObject::connect(&net_->deadline, &QTimer::timeout, [this] { DeadlinePassed(); });
    net_->socket.OnSessionConnected = [this](TWSocket&, int error) { SocketConnected(error); };
    net_->socket.OnSessionClosed = [this](TWSocket&, int error) { SocketClosed(error); };
    net_->socket.OnDataAvailable = [this](TWSocket& socket, int) {
        // One event may stand for several lines; take all that are complete.
        for (std::string line = socket.ReceiveStr(); !line.empty(); line = socket.ReceiveStr()) {
            SocketLine(line);
        }
    };
    InternalTOCRetrieve = InterfaceAvailable();
    if (InternalTOCRetrieve) {
        driveToc_.EnumerateDrives();
        driveToc_.ReadToc(0, info_.Toc);
    }
}

TCddb::~TCddb() = default;

void TCddb::SetNoteToUser(const std::string& note) {
    noteToUser_ = cddb::FirstCharacters(note, kNoteCharacters);
}

std::string TCddb::ProxyAddress() const {
    return net_->http.Proxy;
}

void TCddb::SetProxyAddress(const std::string& host) {
    net_->http.Proxy = host;
}

std::string TCddb::ProxyPort() const {
    return net_->http.ProxyPort;
}

void TCddb::SetProxyPort(const std::string& port) {
    net_->http.ProxyPort = port;
}

void TCddb::Status(const std::string& text) {
    if (OnStatusMessage) {
        OnStatusMessage(*this, text);
    }
}

void TCddb::DataExchange(const std::string& line) {
    if (OnDataExchange) {
        OnDataExchange(*this, line);
    }
}

uint32_t TCddb::ComputeDiscId(DiscToc toc) {
    const size_t count = TrackCount(toc);
    uint32_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        n += static_cast<uint32_t>(DigitSum(SecondsOf(toc.Tracks[i])));
    }
    // A lead-out before the first track wraps around as the identifier always did.
    const auto t = static_cast<uint32_t>(SecondsOf(toc.LeadOut) - SecondsOf(toc.Tracks[0]));
    return ((n % 255) << 24) | (t << 8) | toc.NumTracks;
}

std::string TCddb::DiscIdText() const {
    char text[9];
    std::snprintf(text, sizeof text, "%8.8x", ComputeDiscId(info_.Toc));
    return text;
}

std::string TCddb::BuildQueryCommand(const DiscToc& toc) {
    char id[9];
    std::snprintf(id, sizeof id, "%8.8x", ComputeDiscId(toc));
    std::string command = "cddb query " + std::string(id) + ' ' + std::to_string(toc.NumTracks);
    const size_t count = TrackCount(toc);
    for (size_t i = 0; i < count; ++i) {
        const TocEntry& track = toc.Tracks[i];
        command += ' ' + std::to_string(track.Minutes * 4500 + track.Seconds * 75 + track.Frames);
    }
    return command + ' ' + std::to_string(SecondsOf(toc.LeadOut));
}

bool TCddb::ReadDiscId(uint8_t drive) {
    if (!InternalTOCRetrieve) {
        Status("No CD-ROM interface detected!");
        return false;
    }
    driveToc_.EnumerateDrives();
    if (drive >= driveToc_.Table().Count) {
        return false;
    }
    const bool failed = driveToc_.ReadToc(drive, info_.Toc);
    if (failed) {
        Status("No CD in CD/DVD drive!");
    }
    info_.DiscId = DiscIdText();
    currentDrive_ = drive;
    return !failed;
}

bool TCddb::RefreshDiscId() {
    return ReadDiscId(currentDrive_);
}

std::string TCddb::DecodeEscapes(const std::string& text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            decoded += "\r\n";
            ++i;
        } else {
            decoded += text[i];
        }
    }
    std::string result;
    result.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == '\\' && i + 1 < decoded.size() && decoded[i + 1] == 't') {
            result += '\t';
            ++i;
        } else {
            result += decoded[i];
        }
    }
    return result;
}

void TCddb::ParseEntry() {
    const std::string category = info_.Category;
    const DiscToc toc = info_.Toc;
    info_ = TCDInfo{};
    RefreshDiscId();
    info_.Category = category;
    if (!InternalTOCRetrieve) {
        // Nothing re-reads the disc: the table its owner gave stays, and so does its identifier.
        info_.Toc = toc;
        info_.DiscId = DiscIdText();
    }
    for (const std::string& line : entryLines_) {
        if (line.empty()) {
            continue;
        }
        if (line[0] == '#') {
            // A revision that is not a number is left at 0 rather than ending the parse.
            if (line.compare(0, 12, "# Revision: ") == 0) {
                info_.Revision = cddb::ParseInteger(line.substr(12)).value_or(info_.Revision);
            }
        } else if (cddb::StartsWithNoCase(line, "DISCID")) {
            continue;
        } else if (cddb::StartsWithNoCase(line, "DTITLE")) {
            const std::string value = ValueAfter(line, 7);
            const size_t slash = value.find(" / ");
            if (slash != std::string::npos) {
                info_.Artist = DecodeEscapes(info_.Artist + value.substr(0, slash));
                info_.Title = DecodeEscapes(value.substr(slash + 3));
            } else if (info_.Artist.empty()) {
                info_.Artist = value;
            } else {
                info_.Title += value;
            }
        } else if (cddb::StartsWithNoCase(line, "DYEAR")) {
            info_.Year = DecodeEscapes(ValueAfter(line, 6));
        } else if (cddb::StartsWithNoCase(line, "DGENRE")) {
            info_.Genre = DecodeEscapes(ValueAfter(line, 7));
        } else if (cddb::StartsWithNoCase(line, "TTITLE")) {
            // Track numbers beyond the record's 100 titles are dropped with their line.
            if (const auto k = TrackIndex(line, 6)) {
                std::string& title = info_.TrackTitles[*k];
                title = DecodeEscapes(title + ValueAfterEquals(line));
            }
        } else if (cddb::StartsWithNoCase(line, "EXTD")) {
            info_.ExtendedData = DecodeEscapes(info_.ExtendedData + ValueAfter(line, 5));
        } else if (cddb::StartsWithNoCase(line, "EXTT")) {
            if (const auto k = TrackIndex(line, 4)) {
                std::string& extended = info_.TrackExtended[*k];
                extended = DecodeEscapes(extended + ValueAfterEquals(line));
            }
        }
    }
}

} // namespace quillon
