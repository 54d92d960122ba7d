#pragma once

#include "ServerOptions.h"

#include <string>
#include <vector>

namespace quillon {

// What one client has done so far on a CDDBP connection; an HTTP request starts shaken
// hands at protocol level 5.
struct CddbSession {
    bool shookHands = false;
    int protoLevel = 1;
};

// One reply of the server: its lines end in CR LF. When cutAt is set the connection sends only
// that many bytes and then drops; close asks for the connection to end after the reply.
struct CddbReply {
    std::string text;
    size_t cutAt = std::string::npos;
    bool close = false;
};

// Answers CDDB commands from a folder laid out as a CD database: DIR/<category>/<discid>. The
// folder is read on every command, so a test may add entries while the server runs.
class CddbDatabase {
public:
    explicit CddbDatabase(const ServerOptions& options);

    void SetPorts(int httpPort, int cddbpPort);
    CddbReply Banner() const;
    CddbReply Answer(const std::string& command, CddbSession& session) const;
    CddbReply Submission() const;

private:
    struct Match {
        std::string category, discId, title;
    };
    std::vector<Match> FindMatches(const std::string& discId) const;
    CddbReply Query(const std::vector<std::string>& words) const;
    CddbReply Read(const std::vector<std::string>& words) const;
    CddbReply Sites() const;

    const ServerOptions& options_;
    int httpPort_ = 0;
    int cddbpPort_ = 0;
};

// The standard text of a reply code, for replies forced by a switch.
std::string CddbReplyText(int code);

} // namespace quillon
