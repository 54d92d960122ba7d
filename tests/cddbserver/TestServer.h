#pragma once

#include "CddbDatabase.h"
#include "ServerOptions.h"

#include <QTcpServer>

namespace quillon {

class ServerConnection;

// The three listeners of the CD database test server, on ephemeral ports of 127.0.0.1: the
// HTTP CGI, the CDDBP line protocol and an SMTP sink that records the mails it receives.
class TestServer {
public:
    explicit TestServer(const ServerOptions& options);

    // Starts listening; false when a port cannot be opened.
    bool Listen();
    // "http=PORT cddbp=PORT smtp=PORT"
    std::string PortLine() const;

private:
    void AcceptHttp(QTcpSocket* socket);
    void AcceptCddbp(QTcpSocket* socket);
    void AcceptSmtp(QTcpSocket* socket);
    // Opens a line-mode connection the way the hostile mode asks (silent, garbage, one long
    // line); true when it did, and the connection serves nothing else.
    bool OpenedHostile(ServerConnection& connection) const;

    const ServerOptions& options_;
    CddbDatabase database_;
    QTcpServer http_, cddbp_, smtp_;
};

} // namespace quillon
