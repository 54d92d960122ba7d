#include "net/WSocket.h"

#include "net/HostPort.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <cstring>
#include <deque>

namespace quillon {

namespace {

const char* const kResolveFailed = "can't resolve hostname to IP address";

} // namespace

struct TWSocket::Impl {
    enum class State { Idle, Resolving, Connecting, Connected, Closing };

    explicit Impl(TWSocket& owner);
    ~Impl();

    void Start();
    void Resolved(const QHostInfo& info);
    void ConnectTo(const QHostAddress& address);
    void Connected();
    void SocketError(QAbstractSocket::SocketError error);
    void Received();
    void SplitLines(const char* data, size_t size);
    void PushLine(std::string line);
    void Deliver();
    void TimedOut();
    void UpdateTimer();
    // Ends a connection attempt: OnSessionConnected and OnSessionClosed with the error.
    void Fail(int error, const std::string& text);
    // Ends an open connection: the lines still waiting, then OnSessionClosed.
    void Ended(int error, const std::string& text);
    void Reset();
    // Runs fn through the event loop unless the session has moved on meanwhile.
    void Post(std::function<void()> fn);
    bool Fire(const std::function<void(TWSocket&, int)>& handler, int error);

    TWSocket& owner_;
    QObject context_;
    QTcpSocket socket_;
    QTimer timer_;
    State state_ = State::Idle;
    uint64_t generation_ = 0;
    int lookupId_ = -1;
    uint16_t port_ = 0;
    std::string errorText_;
    std::string buffer_;
    size_t scanned_ = 0; // bytes of buffer_ already searched for a line end
    std::deque<std::string> lines_;
    bool discarding_ = false; // dropping the rest of an overlong line
    bool awaiting_ = false;   // a reply is expected: data was sent or nothing came yet
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

TWSocket::Impl::Impl(TWSocket& owner) : owner_(owner) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { TimedOut(); });
    QObject::connect(&socket_, &QTcpSocket::connected, &context_, [this] { Connected(); });
    QObject::connect(&socket_, &QTcpSocket::readyRead, &context_, [this] { Received(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, &context_,
                     [this](QAbstractSocket::SocketError error) { SocketError(error); });
    // Qt may report a close from inside Close() itself; the event must come later.
    QObject::connect(&socket_, &QTcpSocket::disconnected, &context_, [this] {
        if (state_ == State::Connected || state_ == State::Closing)
            Post([this] { Ended(0, {}); });
    });
}

TWSocket::Impl::~Impl() {
    *alive_ = false;
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    socket_.disconnect();
    timer_.disconnect();
    socket_.abort();
}

void TWSocket::Impl::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(
        &context_,
        [this, generation = generation_, fn = std::move(fn)] {
            if (generation == generation_)
                fn();
        },
        Qt::QueuedConnection);
}

bool TWSocket::Impl::Fire(const std::function<void(TWSocket&, int)>& handler, int error) {
    if (!handler)
        return true;
    std::shared_ptr<bool> alive = alive_;
    auto copy = handler; // the handler may replace itself
    copy(owner_, error);
    return *alive;
}

void TWSocket::Impl::Reset() {
    ++generation_;
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
    state_ = State::Idle;
    timer_.stop();
    socket_.abort();
    buffer_.clear();
    scanned_ = 0;
    lines_.clear();
    discarding_ = false;
    awaiting_ = false;
}

void TWSocket::Impl::Start() {
    Reset();
    errorText_.clear();
    state_ = State::Resolving;
    timer_.start(std::max(owner_.TimeoutMs, 1));
    const std::optional<THostPort> target = SplitHostPort(owner_.Addr, owner_.Port);
    if (!target) {
        Post([this] { Fail(wsErrorConnect, "can't connect: invalid port"); });
        return;
    }
    port_ = target->port;
    const QString host = QString::fromStdString(target->host);
    QHostAddress literal;
    if (literal.setAddress(host)) {
        Post([this, literal] { ConnectTo(literal); });
        return;
    }
    if (host.isEmpty()) {
        Post([this] { Fail(wsErrorResolve, kResolveFailed); });
        return;
    }
    const uint64_t generation = generation_;
    lookupId_ = QHostInfo::lookupHost(host, &context_, [this, generation](const QHostInfo& info) {
        if (generation == generation_)
            Resolved(info);
    });
}

void TWSocket::Impl::Resolved(const QHostInfo& info) {
    lookupId_ = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
        return Fail(wsErrorResolve, kResolveFailed);
    // IPv4 first: a name that also has an IPv6 address often has no server listening on it.
    for (const QHostAddress& address : info.addresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return ConnectTo(address);
    ConnectTo(info.addresses().front());
}

void TWSocket::Impl::ConnectTo(const QHostAddress& address) {
    state_ = State::Connecting;
    socket_.connectToHost(address, port_);
}

void TWSocket::Impl::Connected() {
    if (state_ != State::Connecting)
        return;
    state_ = State::Connected;
    awaiting_ = true;
    UpdateTimer();
    Fire(owner_.OnSessionConnected, 0);
}

void TWSocket::Impl::SocketError(QAbstractSocket::SocketError error) {
    const std::string text = socket_.errorString().toStdString();
    if (state_ == State::Connecting || state_ == State::Resolving) {
        Post([this, text] { Fail(wsErrorConnect, "can't connect: " + text); });
    } else if ((state_ == State::Connected || state_ == State::Closing) &&
               error != QAbstractSocket::RemoteHostClosedError) {
        Post([this, text] { Ended(wsErrorLost, text); });
    }
}

void TWSocket::Impl::Fail(int error, const std::string& text) {
    Reset();
    errorText_ = text;
    if (Fire(owner_.OnSessionConnected, error))
        Fire(owner_.OnSessionClosed, error);
}

void TWSocket::Impl::Ended(int error, const std::string& text) {
    if (state_ != State::Connected && state_ != State::Closing)
        return;
    if (error == 0 && state_ == State::Connected) {
        // A clean end still delivers what came before it, a last unterminated line included.
        const QByteArray rest = socket_.readAll();
        if (owner_.LineMode) {
            SplitLines(rest.constData(), static_cast<size_t>(rest.size()));
            if (!buffer_.empty() && !discarding_)
                PushLine(std::move(buffer_));
            buffer_.clear();
            const uint64_t generation = generation_;
            std::shared_ptr<bool> alive = alive_;
            Deliver();
            if (!*alive || generation != generation_ || state_ != State::Connected)
                return;
        } else if (!rest.isEmpty()) {
            buffer_.append(rest.constData(), static_cast<size_t>(rest.size()));
            const uint64_t generation = generation_;
            if (!Fire(owner_.OnDataAvailable, 0) || generation != generation_)
                return;
        }
    }
    Reset();
    if (error != 0)
        errorText_ = text;
    Fire(owner_.OnSessionClosed, error);
}

void TWSocket::Impl::Received() {
    if (state_ != State::Connected)
        return;
    const QByteArray data = socket_.readAll();
    if (data.isEmpty())
        return;
    awaiting_ = false;
    if (owner_.LineMode) {
        SplitLines(data.constData(), static_cast<size_t>(data.size()));
        UpdateTimer();
        Deliver();
        return;
    }
    buffer_.append(data.constData(), static_cast<size_t>(data.size()));
    UpdateTimer();
    Fire(owner_.OnDataAvailable, 0);
}

void TWSocket::Impl::PushLine(std::string line) {
    lines_.push_back(std::move(line));
}

// Cuts complete lines off the buffer and queues them. The buffer never grows much beyond one
// line's limit: an overlong line is queued cut at MaxLineBytes and the rest of it, up to its
// end, is dropped as it arrives.
void TWSocket::Impl::SplitLines(const char* data, size_t size) {
    const std::string lineEnd = owner_.LineEnd.empty() ? "\r\n" : owner_.LineEnd;
    const bool customEnd = lineEnd.back() != '\n';
    const size_t maxLine = std::max<size_t>(owner_.MaxLineBytes, 1);
    for (;;) {
        for (;;) {
            size_t next = buffer_.find('\n', scanned_);
            size_t textEnd = next;
            if (next != std::string::npos) {
                textEnd = next > 0 && buffer_[next - 1] == '\r' ? next - 1 : next;
                ++next;
            }
            if (customEnd) {
                const size_t back = std::min(scanned_, lineEnd.size() - 1);
                const size_t other = buffer_.find(lineEnd, scanned_ - back);
                if (other != std::string::npos && other < textEnd) {
                    textEnd = other;
                    next = other + lineEnd.size();
                }
            }
            if (next == std::string::npos)
                break;
            PushLine(textEnd > maxLine ? buffer_.substr(0, maxLine) + lineEnd
                                       : buffer_.substr(0, next));
            buffer_.erase(0, next);
            scanned_ = 0;
        }
        if (buffer_.size() > maxLine) {
            PushLine(buffer_.substr(0, maxLine) + lineEnd);
            buffer_.clear();
            discarding_ = true;
        }
        scanned_ = buffer_.size();
        if (size == 0)
            return;
        if (discarding_) {
            const auto* newline = static_cast<const char*>(std::memchr(data, '\n', size));
            if (!newline)
                return;
            discarding_ = false;
            size -= static_cast<size_t>(newline + 1 - data);
            data = newline + 1;
            continue;
        }
        const size_t take = std::min(size, maxLine + lineEnd.size() + 1 - buffer_.size());
        buffer_.append(data, take);
        data += take;
        size -= take;
    }
}

void TWSocket::Impl::Deliver() {
    const uint64_t generation = generation_;
    while (!lines_.empty()) {
        const size_t before = lines_.size();
        if (!Fire(owner_.OnDataAvailable, 0) || generation != generation_ ||
            state_ != State::Connected)
            return;
        // A line the handler left unread is dropped, so that unread lines cannot pile up.
        if (lines_.size() == before)
            lines_.pop_front();
    }
}

void TWSocket::Impl::UpdateTimer() {
    const bool raw = !owner_.LineMode;
    const bool partial = !buffer_.empty() || discarding_;
    if (state_ == State::Connected && (awaiting_ || partial || raw))
        timer_.start(std::max(owner_.TimeoutMs, 1));
    else if (state_ == State::Connected)
        timer_.stop();
}

void TWSocket::Impl::TimedOut() {
    switch (state_) {
    case State::Resolving:
    case State::Connecting:
        Fail(wsErrorTimeout, "timeout");
        break;
    case State::Connected:
        socket_.abort();
        Ended(wsErrorTimeout, "timeout");
        break;
    case State::Closing:
        // The peer never acknowledged the close: give up on it quietly.
        Ended(0, {});
        break;
    case State::Idle:
        break;
    }
}

TWSocket::TWSocket() : impl_(std::make_unique<Impl>(*this)) {}

TWSocket::~TWSocket() = default;

void TWSocket::Connect() {
    impl_->Start();
}

int TWSocket::SendStr(const std::string& text) {
    if (impl_->state_ != Impl::State::Connected)
        return -1;
    impl_->socket_.write(text.data(), static_cast<qint64>(text.size()));
    impl_->awaiting_ = true;
    impl_->UpdateTimer();
    return static_cast<int>(text.size());
}

std::string TWSocket::ReceiveStr() {
    if (LineMode) {
        if (impl_->lines_.empty())
            return {};
        std::string line = std::move(impl_->lines_.front());
        impl_->lines_.pop_front();
        return line;
    }
    std::string data;
    data.swap(impl_->buffer_);
    return data;
}

void TWSocket::Close() {
    switch (impl_->state_) {
    case Impl::State::Resolving:
    case Impl::State::Connecting:
        impl_->Reset();
        impl_->Post([this] { impl_->Fire(OnSessionClosed, 0); });
        break;
    case Impl::State::Connected:
        impl_->state_ = Impl::State::Closing;
        impl_->lines_.clear();
        impl_->timer_.start(std::max(TimeoutMs, 1));
        impl_->socket_.disconnectFromHost();
        break;
    case Impl::State::Closing:
    case Impl::State::Idle:
        break;
    }
}

bool TWSocket::Connected() const {
    return impl_->state_ == Impl::State::Connected;
}

const std::string& TWSocket::ErrorText() const {
    return impl_->errorText_;
}

} // namespace quillon
