#include "ServerConnection.h"

#include <random>

namespace quillon {

namespace {

constexpr size_t kMaxLine = 1024 * 1024;
constexpr qint64 kHighWater = 256 * 1024;

} // namespace

ServerConnection::ServerConnection(QTcpSocket* socket, const ServerOptions& options)
    : socket_(socket), options_(options) {}

std::shared_ptr<ServerConnection> ServerConnection::Accept(QTcpSocket* socket,
                                                           const ServerOptions& options) {
    std::shared_ptr<ServerConnection> connection(new ServerConnection(socket, options));
    connection->Wire();
    return connection;
}

void ServerConnection::Wire() {
    auto self = shared_from_this();
    QObject::connect(socket_, &QTcpSocket::readyRead, socket_, [self] { self->Received(); });
    QObject::connect(socket_, &QTcpSocket::bytesWritten, socket_, [self] { self->Pump(); });
    QObject::connect(socket_, &QTcpSocket::disconnected, socket_,
                     [socket = socket_] { socket->deleteLater(); });
    if (options_.hostile == HostileMode::Slow) {
        slowTimer_ = new QTimer(socket_);
        slowTimer_->setInterval(1000);
        QObject::connect(slowTimer_, &QTimer::timeout, socket_, [self] { self->DripOneByte(); });
    }
}

void ServerConnection::Received() {
    const QByteArray data = socket_->readAll();
    if (OnBytes) {
        OnBytes(std::string(data.constData(), static_cast<size_t>(data.size())));
        return;
    }
    input_.append(data.constData(), static_cast<size_t>(data.size()));
    size_t end;
    while ((end = input_.find('\n')) != std::string::npos) {
        std::string line = input_.substr(0, end);
        input_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (OnLine)
            OnLine(line);
        // A handler may have switched to raw bytes (an HTTP body follows its header).
        if (OnBytes) {
            std::string rest;
            rest.swap(input_);
            if (!rest.empty())
                OnBytes(rest);
            return;
        }
    }
    if (input_.size() > kMaxLine)
        socket_->abort();
}

void ServerConnection::Send(const std::string& bytes) {
    if (slowTimer_) {
        slowQueue_ += bytes;
        if (!slowTimer_->isActive())
            slowTimer_->start();
        return;
    }
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void ServerConnection::DripOneByte() {
    if (slowQueue_.empty()) {
        slowTimer_->stop();
        if (closeWhenSent_)
            socket_->disconnectFromHost();
        return;
    }
    socket_->write(slowQueue_.data(), 1);
    slowQueue_.erase(0, 1);
}

void ServerConnection::SendCut(const std::string& bytes, size_t cutAt) {
    socket_->write(bytes.data(), static_cast<qint64>(std::min(cutAt, bytes.size())));
    socket_->flush();
    socket_->abort();
}

void ServerConnection::CloseAfterSending() {
    if (slowTimer_ && slowTimer_->isActive()) {
        closeWhenSent_ = true;
        return;
    }
    socket_->disconnectFromHost();
}

void ServerConnection::SendEndless(const std::string& head,
                                   std::function<std::string(uint64_t)> next) {
    socket_->write(head.data(), static_cast<qint64>(head.size()));
    endless_ = std::move(next);
    Pump();
}

void ServerConnection::SendLongLine() {
    longLineLeft_ = 10 * 1000 * 1000;
    Pump();
}

// Tops up the socket's output while an endless reply runs, never holding more than a few
// hundred KiB in memory.
void ServerConnection::Pump() {
    while (socket_->state() == QAbstractSocket::ConnectedState &&
           socket_->bytesToWrite() < kHighWater) {
        if (longLineLeft_ > 0) {
            const uint64_t chunk = std::min<uint64_t>(longLineLeft_, 64 * 1024);
            const std::string block(chunk, 'x');
            socket_->write(block.data(), static_cast<qint64>(block.size()));
            longLineLeft_ -= chunk;
        } else if (endless_) {
            std::string block;
            while (block.size() < 64 * 1024)
                block += endless_(endlessIndex_++);
            socket_->write(block.data(), static_cast<qint64>(block.size()));
        } else {
            return;
        }
    }
}

void ServerConnection::SendGarbage() {
    std::mt19937 random(20261208);
    std::string block(256 * 1024, '\0');
    for (char& c : block)
        c = static_cast<char>(random() & 0xff);
    socket_->write(block.data(), static_cast<qint64>(block.size()));
    socket_->disconnectFromHost();
}

} // namespace quillon
