#pragma once

#include "ServerOptions.h"

#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

// One accepted connection of the test server: splits what arrives into lines (or hands raw
// bytes to a body reader) and sends replies, slowly or endlessly when the hostile mode asks.
// It lives as long as its socket: the socket's signals hold the only references to it.
class ServerConnection : public std::enable_shared_from_this<ServerConnection> {
public:
    static std::shared_ptr<ServerConnection> Accept(QTcpSocket* socket,
                                                    const ServerOptions& options);

    // Each line without its line end; a line longer than 1 MiB ends the connection.
    std::function<void(const std::string& line)> OnLine;
    // When set, raw bytes go here instead of being split into lines.
    std::function<void(const std::string& bytes)> OnBytes;

    void Send(const std::string& bytes);
    // Sends the first cutAt bytes, then drops the connection without a proper close.
    void SendCut(const std::string& bytes, size_t cutAt);
    void CloseAfterSending();
    // Sends head, then the lines of next(0), next(1), ... for as long as the peer reads.
    void SendEndless(const std::string& head, std::function<std::string(uint64_t)> next);
    // 256 KiB of random bytes, then close.
    void SendGarbage();
    // One line of 10 MB without an end; the connection then stays open.
    void SendLongLine();

private:
    ServerConnection(QTcpSocket* socket, const ServerOptions& options);
    void Wire();
    void Received();
    void Pump();
    void DripOneByte();

    QTcpSocket* socket_;
    const ServerOptions& options_;
    std::string input_;
    std::string slowQueue_;
    QTimer* slowTimer_ = nullptr;
    bool closeWhenSent_ = false;
    std::function<std::string(uint64_t)> endless_;
    uint64_t endlessIndex_ = 0;
    uint64_t longLineLeft_ = 0;
};

} // namespace quillon
