#include "NetTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace quillon::test {

namespace {

// The transports need a Qt event loop; one application object serves the whole executable.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "net_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer tick;
    tick.start(10);
    while (!done() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void ScriptedServer::Connection::Send(std::vector<std::string> pieces, bool close) {
    QTcpSocket* target = socket;
    int delay = 0;
    for (const std::string& piece : pieces) {
        QTimer::singleShot(delay, target, [target, piece] {
            target->write(piece.data(), static_cast<qint64>(piece.size()));
        });
        delay += 20;
    }
    if (close)
        QTimer::singleShot(delay, target, [target] { target->disconnectFromHost(); });
}

ScriptedServer::ScriptedServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto connection = std::make_shared<Connection>();
            connection->socket = socket;
            connections_.push_back(connection);
            Connection* raw = connection.get();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, raw] {
                const QByteArray data = raw->socket->readAll();
                raw->received.append(data.constData(), static_cast<size_t>(data.size()));
                if (OnData)
                    OnData(*raw);
            });
            if (!Greeting.empty() || CloseAfterGreeting)
                connection->Send(Greeting, CloseAfterGreeting);
        }
    });
}

std::string ScriptedServer::Received() const {
    return connections_.empty() ? std::string() : connections_.back()->received;
}

uint16_t ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const uint16_t port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace quillon::test
