#include "net/SmtpCli.h"

#include "net/HostPort.h"
#include "net/WSocket.h"

#include <QDateTime>
#include <QObject>
#include <deque>

namespace quillon {

namespace {

// Error values of OnRequestDone when no usable reply came.
constexpr int kErrorConnect = -1; // resolution or connection
constexpr int kErrorTimeout = -2;
constexpr int kErrorReply = -3; // a reply that is not SMTP
constexpr int kErrorLost = -4;  // the server closed the connection
constexpr int kErrorAborted = -5;
constexpr int kErrorState = -6; // the step cannot run now

bool IsReplyLine(const std::string& line) {
    return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2])) &&
           (line.size() == 3 || line[3] == ' ' || line[3] == '-');
}

// The lines of a text, whatever line ends it uses.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

// One command of a step and the reply codes that let the step go on.
struct TCommand {
    std::string text;
    int okLow, okHigh;
    bool mailData = false; // the text is the mail, made when it is sent
};

} // namespace

struct TSmtpCli::Impl {
    explicit Impl(TSmtpCli& owner);
    ~Impl() { *alive_ = false; }

    void Begin(TSmtpRequest request, std::deque<TCommand> commands, bool connect);
    void SendNext();
    void Line();
    void Closed(int error);
    void Done(int error, const std::string& message);
    void Refuse(TSmtpRequest request, const std::string& message);
    std::string MailData();
    bool Display(const std::string& line);

    TSmtpCli& owner_;
    QObject context_;
    TWSocket socket_;
    bool connected_ = false;
    bool busy_ = false;
    TSmtpRequest request_ = TSmtpRequest::smtpConnect;
    std::deque<TCommand> commands_;
    TCommand current_{};
    std::string errorMessage_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

TSmtpCli::Impl::Impl(TSmtpCli& owner) : owner_(owner) {
    socket_.LineMode = true;
    socket_.OnSessionConnected = [this](TWSocket&, int error) {
        if (error == 0)
            connected_ = true;
    };
    socket_.OnDataAvailable = [this](TWSocket&, int) { Line(); };
    socket_.OnSessionClosed = [this](TWSocket&, int error) { Closed(error); };
}

bool TSmtpCli::Impl::Display(const std::string& line) {
    if (!owner_.OnDisplay)
        return true;
    std::shared_ptr<bool> alive = alive_;
    auto handler = owner_.OnDisplay;
    handler(owner_, line);
    return *alive;
}

void TSmtpCli::Impl::Refuse(TSmtpRequest request, const std::string& message) {
    QMetaObject::invokeMethod(
        &context_,
        [this, request, message] {
            errorMessage_ = message;
            if (owner_.OnRequestDone) {
                auto handler = owner_.OnRequestDone;
                handler(owner_, request, kErrorState);
            }
        },
        Qt::QueuedConnection);
}

void TSmtpCli::Impl::Begin(TSmtpRequest request, std::deque<TCommand> commands, bool connect) {
    request_ = request;
    commands_ = std::move(commands);
    busy_ = true;
    errorMessage_.clear();
    if (connect) {
        // The greeting is the reply to the connection itself.
        current_ = {{}, 220, 220};
        const std::optional<THostPort> target = SplitHostPort(owner_.Host, owner_.Port);
        socket_.Addr = target ? target->host : owner_.Host;
        socket_.Port = target ? std::to_string(target->port) : owner_.Port;
        socket_.TimeoutMs = owner_.TimeoutMs;
        socket_.Connect();
        return;
    }
    // Sending happens through the event loop, so that nothing is reported inside the call.
    QMetaObject::invokeMethod(
        &context_, [this] { SendNext(); }, Qt::QueuedConnection);
}

void TSmtpCli::Impl::SendNext() {
    if (!busy_)
        return;
    if (commands_.empty())
        return Done(0, {});
    current_ = commands_.front();
    commands_.pop_front();
    if (current_.mailData) {
        std::shared_ptr<bool> alive = alive_;
        current_.text = MailData();
        if (!*alive || !busy_)
            return;
    }
    // The mail text goes as one block; OnDisplay sees each of its lines.
    for (const std::string& line : SplitLines(current_.text))
        if (!line.empty() && !Display("> " + line))
            return;
    socket_.SendStr(current_.text);
}

void TSmtpCli::Impl::Line() {
    std::string line = socket_.ReceiveStr();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (!Display("< " + line) || !busy_)
        return;
    if (!IsReplyLine(line))
        return Done(kErrorReply, line.empty() ? "invalid reply" : line);
    if (line.size() > 3 && line[3] == '-')
        return; // a continuation line; the last one carries the verdict
    const int code = std::stoi(line.substr(0, 3));
    if (code < current_.okLow || code > current_.okHigh)
        return Done(code, line);
    SendNext();
}

void TSmtpCli::Impl::Closed(int error) {
    connected_ = false;
    if (!busy_)
        return;
    switch (error) {
    case wsErrorResolve:
    case wsErrorConnect:
        return Done(kErrorConnect, socket_.ErrorText());
    case wsErrorTimeout:
        return Done(kErrorTimeout, socket_.ErrorText());
    case 0:
        return Done(kErrorLost, "connection closed by the server");
    default:
        return Done(kErrorLost, socket_.ErrorText());
    }
}

void TSmtpCli::Impl::Done(int error, const std::string& message) {
    busy_ = false;
    commands_.clear();
    errorMessage_ = message;
    if (error != 0 && request_ == TSmtpRequest::smtpConnect)
        socket_.Close();
    if (request_ == TSmtpRequest::smtpQuit)
        socket_.Close();
    if (owner_.OnRequestDone) {
        auto handler = owner_.OnRequestDone;
        handler(owner_, request_, error);
    }
}

// The DATA section: header lines through OnHeaderLine, a blank line, the body dot-stuffed, ".".
std::string TSmtpCli::Impl::MailData() {
    const std::string date = QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString();
    std::vector<std::string> headers = {"From: " + owner_.HdrFrom, "To: " + owner_.HdrTo,
                                        "Subject: " + owner_.HdrSubject, "Date: " + date};
    std::string data;
    for (std::string& header : headers) {
        if (owner_.OnHeaderLine) {
            auto hook = owner_.OnHeaderLine;
            hook(owner_, header);
        }
        data += header + "\r\n";
    }
    data += "\r\n";
    for (const std::string& text : owner_.MailMessage)
        for (const std::string& line : SplitLines(text))
            data += (!line.empty() && line.front() == '.' ? "." : "") + line + "\r\n";
    return data + ".\r\n";
}

TSmtpCli::TSmtpCli() : impl_(std::make_unique<Impl>(*this)) {}

TSmtpCli::~TSmtpCli() = default;

void TSmtpCli::Connect() {
    if (impl_->busy_ || impl_->connected_ || impl_->socket_.Connected())
        return impl_->Refuse(TSmtpRequest::smtpConnect, "already connected");
    impl_->Begin(TSmtpRequest::smtpConnect, {}, true);
}

void TSmtpCli::Helo() {
    if (impl_->busy_ || !impl_->connected_)
        return impl_->Refuse(TSmtpRequest::smtpHelo, impl_->busy_ ? "busy" : "not connected");
    const std::string name = SignOn.empty() ? "localhost" : SignOn;
    impl_->Begin(TSmtpRequest::smtpHelo, {{"HELO " + name + "\r\n", 250, 250}}, false);
}

void TSmtpCli::Mail() {
    if (impl_->busy_ || !impl_->connected_)
        return impl_->Refuse(TSmtpRequest::smtpMail, impl_->busy_ ? "busy" : "not connected");
    if (RcptName.empty())
        return impl_->Refuse(TSmtpRequest::smtpMail, "no recipient");
    std::deque<TCommand> commands;
    commands.push_back({"MAIL FROM:<" + FromName + ">\r\n", 250, 250});
    for (const std::string& rcpt : RcptName)
        commands.push_back({"RCPT TO:<" + rcpt + ">\r\n", 250, 251});
    commands.push_back({"DATA\r\n", 354, 354});
    commands.push_back({{}, 250, 250, true});
    impl_->Begin(TSmtpRequest::smtpMail, std::move(commands), false);
}

void TSmtpCli::Quit() {
    if (impl_->busy_ || !impl_->connected_)
        return impl_->Refuse(TSmtpRequest::smtpQuit, impl_->busy_ ? "busy" : "not connected");
    impl_->Begin(TSmtpRequest::smtpQuit, {{"QUIT\r\n", 221, 221}}, false);
}

void TSmtpCli::Abort() {
    const bool wasBusy = impl_->busy_;
    const TSmtpRequest running = impl_->request_;
    impl_->busy_ = false;
    impl_->commands_.clear();
    impl_->connected_ = false;
    impl_->socket_.Close();
    QMetaObject::invokeMethod(
        &impl_->context_,
        [this, wasBusy, running] {
            std::shared_ptr<bool> alive = impl_->alive_;
            impl_->errorMessage_ = wasBusy ? "aborted" : "";
            if (wasBusy && OnRequestDone)
                OnRequestDone(*this, running, kErrorAborted);
            if (*alive && OnRequestDone)
                OnRequestDone(*this, TSmtpRequest::smtpAbort, 0);
        },
        Qt::QueuedConnection);
}

const std::string& TSmtpCli::ErrorMessage() const {
    return impl_->errorMessage_;
}

} // namespace quillon
