#pragma once

#include "cd/DiscToc.h"
#include "cd/DriveToc.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

class TWSocket;
class THttpCli;
class TSmtpCli;
enum class TSmtpRequest;

using TStringArray = std::array<std::string, 100>;
using TMatchArray = std::array<std::string, 100>;
using TEntryArray = std::array<std::string, 512>;

enum class TServerType : uint8_t { CDDBP = 0, HTTP = 1 };
enum class TSubmissionType { TEST, SUBMIT };

// The disc record of the CD database client.
struct TCDInfo {
    std::string DiscId; // 8 lowercase hexadecimal digits
    std::string Artist;
    std::string Title;
    std::string Year;
    std::string Genre;
    std::string ExtendedData;
    TStringArray TrackTitles; // index = track number - 1
    TStringArray TrackExtended;
    std::string Category;
    int Revision = 0;
    DiscToc Toc;
};

struct TLocation {
    std::string Latitude;
    std::string Longitude;
    std::string Description;
};

struct TServer {
    std::string Site;
    std::string Address; // the CGI path of an HTTP server, "-" otherwise
    TServerType Protocol = TServerType::CDDBP;
    int Port = 0;
    TLocation Location;
};

using TServerArray = std::array<TServer, 100>;

// The CD database client: identifies the disc in a drive of the drive table, asks a CDDB
// server for it over HTTP or CDDBP, and reads the chosen entry into the disc record. All
// network work runs on the owner thread's Qt event loop; results arrive through the events.
class TCddb {
public:
    TCddb();
    ~TCddb();
    TCddb(const TCddb&) = delete;
    TCddb& operator=(const TCddb&) = delete;

    // Published properties.
    bool InternalTOCRetrieve = true;
    std::string LocalCDDBPath = ".\\";
    std::string LocalCDDBDLLPath = ".\\LocalCDDB.dll";
    std::string EmailUser;
    std::string EmailSubmit;
    std::string ServerAddr; // "host" or "host:port"
    std::string ServerAdditionalAddr = "/~cddb/cddb.cgi";
    std::string ServerPort;
    TServerType ServerType = TServerType::CDDBP;
    std::string ServerLatitude, ServerLongitude, ServerDescription;
    TSubmissionType SubmissionType = TSubmissionType::TEST;
    std::string MailServerAddress;
    std::string MailServerPort;
    std::string ClientName = "Vemro's freedb component";
    std::string ClientVersion = "v0.1.70 Release";
    std::string ClientComments;
    // The longest a connection, a whole reply or a mail submission may take; a server that
    // keeps sending without ever finishing is cut off as one that stays silent.
    int TimeoutMs = 15000;
    const std::string& NoteToUser() const { return noteToUser_; }
    void SetNoteToUser(const std::string& note); // keeps the first 70 characters
    std::string ProxyAddress() const;
    void SetProxyAddress(const std::string& host);
    std::string ProxyPort() const;
    void SetProxyPort(const std::string& port);

    std::function<void(TCddb& sender, const std::string& status)> OnStatusMessage;
    std::function<void(TCddb& sender, const std::string& line)> OnDataExchange;
    std::function<void(TCddb& sender, TMatchArray& matches, int& rightOne)> OnMatch;

    // Disc identifier and entry.
    bool ReadDiscId(uint8_t drive);
    bool RefreshDiscId();
    static uint32_t ComputeDiscId(DiscToc toc);
    static std::string BuildQueryCommand(const DiscToc& toc);
    static std::string DecodeEscapes(const std::string& text);
    void ParseEntry();

    // Query and read over HTTP: 0 when the request was started, -1 when not.
    int HttpQuery();
    int HttpRead();

    // The line-mode TCP (CDDBP) side: Connect opens the connection to ServerAddr (port 8880
    // unless "host:port" names one); the Send calls send one command each and set the state
    // the reply is awaited in (hello 1, protocol level 9, query 6, read 11, sites 7, quit 15).
    void Connect();
    void SendHello();
    void SendProto();
    void SendQuery();
    void SendRead();
    void SendSites();
    void SendQuit();

    // The site list over HTTP (state 7), and submissions of body (the entry's lines) by an
    // HTTP POST (state 14) or by mail through MailServerAddress to EmailSubmit.
    int HttpSites();
    int HttpSubmit(const std::string& body);
    void MailSubmit(const std::string& body);

    int CommandState() const { return commandState_; }
    void SetCommandState(int state) { commandState_ = state; }
    bool HandshakeDone() const { return handshakeDone_; }
    TCDInfo& Info() { return info_; }
    const TCDInfo& Info() const { return info_; }
    TEntryArray& EntryLines() { return entryLines_; }
    const TMatchArray& Matches() const { return matches_; }
    const TServerArray& Sites() const { return sites_; }
    const DriveTable& Drives() const { return driveToc_.Table(); }

    // The reply handlers, one line each (the transports call them; tests feed lines).
    void HandleQueryReply(const std::string& line);
    void HandleReadReply(const std::string& line);
    void HandleSiteReply(const std::string& line);
    void HandleSubmitReply(const std::string& line);
    void HandleBanner(const std::string& line);
    void HandleHello(const std::string& line);
    void HandleProtocolLevel(const std::string& line);

private:
    struct Transports;
    void Status(const std::string& text);
    void DataExchange(const std::string& line);
    void DescribeReply(const std::string& line);
    int AskForMatch();
    std::string DiscIdText() const;
    std::string HelloWords() const;
    std::string HttpUrl(const std::string& command) const;
    int StartHttp(const std::string& url, int state, const std::string& status);
    void HttpRequestDone(int error);
    void SendCommand(const std::string& command, int state);
    void SocketLine(const std::string& line);
    void SocketConnected(int error);
    void SocketClosed(int error);
    void SubmissionHeader(std::string& headerLine);
    void MailHeader(std::string& headerLine);
    void SmtpStep(TSmtpRequest request, int error);
    void StartDeadline();
    void StopDeadline();
    void DeadlinePassed();

    std::unique_ptr<Transports> net_;
    DriveToc driveToc_;
    TCDInfo info_;
    TEntryArray entryLines_;
    TMatchArray matches_;
    TServerArray sites_;
    std::string noteToUser_;
    int commandState_ = -1;
    bool handshakeDone_ = false;
    uint8_t currentDrive_ = 0; // kept when a later ReadDiscId names a drive that is not there
};

} // namespace quillon
