#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {

// Runs the event loop until done() holds or timeoutMs passes; returns done().
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A server on 127.0.0.1 that plays a script: each connection is greeted, and OnData decides
// what to answer from everything that connection has received so far. Sent pieces go out
// apart in time, so that the client sees them as separate packets.
class ScriptedServer {
public:
    struct Connection {
        QTcpSocket* socket = nullptr;
        std::string received;
        // Sends the pieces 20 ms apart; closes the connection after the last when asked.
        void Send(std::vector<std::string> pieces, bool close = false);
    };

    ScriptedServer();
    uint16_t Port() const { return server_.serverPort(); }

    std::vector<std::string> Greeting;
    bool CloseAfterGreeting = false;
    std::function<void(Connection& connection)> OnData;
    // What the last connection received.
    std::string Received() const;

private:
    QTcpServer server_;
    std::vector<std::shared_ptr<Connection>> connections_;
};

// A local port on which nothing listens.
uint16_t ClosedPort();

} // namespace quillon::test
