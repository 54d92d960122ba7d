#include "net/HttpCli.h"

#include "net/HostPort.h"
#include "net/HttpReplyParser.h"
#include "net/WSocket.h"
#include "platform/Stream.h"

#include <QObject>
#include <algorithm>
#include <optional>

namespace quillon {

namespace {

// Error values of OnRequestDone when no usable reply came.
constexpr int kErrorConnect = -1; // resolution or connection
constexpr int kErrorTimeout = -2;
constexpr int kErrorReply = -3; // a reply beyond the limits or not HTTP
constexpr int kErrorLost = -4;  // the connection ended before the reply was complete
constexpr int kErrorAborted = -5;

struct TUrlParts {
    std::string hostPort; // as written in the URL, for the Host header
    THostPort target;
    std::string path; // "/path?query"
};

std::optional<TUrlParts> ParseUrl(const std::string& url) {
    const std::string scheme = "http://";
    if (url.size() <= scheme.size())
        return std::nullopt;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i])
            return std::nullopt;
    const std::string rest = url.substr(scheme.size());
    const size_t pathStart = rest.find_first_of("/?#");
    TUrlParts parts;
    parts.hostPort = rest.substr(0, pathStart);
    std::string path = pathStart == std::string::npos ? "/" : rest.substr(pathStart);
    path = path.substr(0, path.find('#'));
    if (path.empty() || path.front() != '/')
        path.insert(0, "/");
    // Bytes that would break the request line are sent escaped.
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            parts.path += '%';
            parts.path += hex[byte >> 4];
            parts.path += hex[byte & 15];
        } else {
            parts.path += c;
        }
    }
    const std::optional<THostPort> target = SplitHostPort(parts.hostPort, "80");
    if (!target || target->host.empty() || parts.hostPort.find('@') != std::string::npos)
        return std::nullopt;
    parts.target = *target;
    return parts;
}

} // namespace

struct THttpCli::Impl {
    explicit Impl(THttpCli& owner);
    ~Impl() { *alive_ = false; }

    void Start(THttpRequest request);
    void SendRequest();
    void Received();
    void Closed(int error);
    void Done(int error, const std::string& reason);

    THttpCli& owner_;
    QObject context_;
    TWSocket socket_;
    bool busy_ = false;
    THttpRequest request_ = THttpRequest::Get;
    uint64_t requestId_ = 0;
    int status_ = 0;
    std::string reason_;
    TUrlParts url_;
    std::string body_;
    std::optional<THttpReplyParser> parser_;
    std::string storeError_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

THttpCli::Impl::Impl(THttpCli& owner) : owner_(owner) {
    socket_.LineMode = false;
    socket_.OnSessionConnected = [this](TWSocket&, int error) {
        if (error == 0 && busy_)
            SendRequest();
    };
    socket_.OnDataAvailable = [this](TWSocket&, int) { Received(); };
    socket_.OnSessionClosed = [this](TWSocket&, int error) { Closed(error); };
}

void THttpCli::Impl::Start(THttpRequest request) {
    if (busy_) {
        reason_ = "a request is already running";
        throw EHttpException(reason_);
    }
    const std::optional<TUrlParts> url = ParseUrl(owner_.URL);
    if (!url) {
        reason_ = "invalid URL \"" + owner_.URL + "\"";
        throw EHttpException(reason_);
    }
    THostPort connectTo = url->target;
    if (!owner_.Proxy.empty()) {
        const std::optional<THostPort> proxy =
            SplitHostPort(owner_.Proxy, owner_.ProxyPort.empty() ? "80" : owner_.ProxyPort);
        if (!proxy || proxy->host.empty()) {
            reason_ = "invalid proxy \"" + owner_.Proxy + "\"";
            throw EHttpException(reason_);
        }
        connectTo = *proxy;
    }
    body_.clear();
    if (request == THttpRequest::Post && owner_.SendStream) {
        char buffer[16384];
        size_t count;
        while ((count = owner_.SendStream->Read(buffer, sizeof buffer)) > 0)
            body_.append(buffer, count);
    }
    url_ = *url;
    request_ = request;
    busy_ = true;
    ++requestId_;
    status_ = 0;
    reason_.clear();
    storeError_.clear();
    parser_.emplace(std::max<int64_t>(owner_.MaxBodyBytes, 0), true);
    parser_->OnBody = [this](const char* data, size_t size) {
        if (!owner_.RcvdStream || !storeError_.empty())
            return;
        try {
            owner_.RcvdStream->Write(data, size);
        } catch (const std::exception& e) {
            storeError_ = e.what();
        }
    };
    socket_.Addr = connectTo.host;
    socket_.Port = std::to_string(connectTo.port);
    socket_.TimeoutMs = owner_.TimeoutMs;
    socket_.Connect();
}

void THttpCli::Impl::SendRequest() {
    const bool post = request_ == THttpRequest::Post;
    // Through a proxy the request line names the whole URL.
    const std::string target =
        owner_.Proxy.empty() ? url_.path : "http://" + url_.hostPort + url_.path;
    std::vector<std::string> lines = {std::string(post ? "POST " : "GET ") + target + " HTTP/1.0",
                                      "Host: " + url_.hostPort};
    if (!owner_.Agent.empty())
        lines.push_back("User-Agent: " + owner_.Agent);
    if (post) {
        lines.push_back("Content-Type: text/plain");
        lines.push_back("Content-Length: " + std::to_string(body_.size()));
    }
    lines.push_back("Connection: close");
    std::string text;
    const uint64_t requestId = requestId_;
    for (std::string& line : lines) {
        if (owner_.OnCommand) {
            std::shared_ptr<bool> alive = alive_;
            auto hook = owner_.OnCommand;
            hook(owner_, line);
            if (!*alive || requestId != requestId_ || !busy_)
                return;
        }
        text += line + "\r\n";
    }
    text += "\r\n";
    text += body_;
    socket_.SendStr(text);
}

void THttpCli::Impl::Received() {
    if (!busy_)
        return;
    const std::string data = socket_.ReceiveStr();
    const THttpReplyParser::TResult result = parser_->Feed(data.data(), data.size());
    if (result == THttpReplyParser::TResult::Failed)
        return Done(kErrorReply, parser_->Error());
    if (!storeError_.empty())
        return Done(kErrorReply, "can't store the reply: " + storeError_);
    if (result == THttpReplyParser::TResult::Complete)
        Done(0, {});
}

void THttpCli::Impl::Closed(int error) {
    if (!busy_)
        return;
    switch (error) {
    case 0:
        break;
    case wsErrorResolve:
    case wsErrorConnect:
        return Done(kErrorConnect, socket_.ErrorText());
    case wsErrorTimeout:
        return Done(kErrorTimeout, socket_.ErrorText());
    default:
        return Done(kErrorLost, socket_.ErrorText());
    }
    if (parser_->Finish() == THttpReplyParser::TResult::Failed)
        return Done(kErrorLost, parser_->Error());
    Done(0, {});
}

// Ends the running request; error 0 here means a complete reply, whose status decides.
void THttpCli::Impl::Done(int error, const std::string& reason) {
    busy_ = false;
    ++requestId_;
    socket_.Close();
    if (error == 0) {
        status_ = parser_->Status();
        reason_ = parser_->Reason();
        error = status_ >= 200 && status_ < 300 ? 0 : status_;
    } else {
        reason_ = reason;
    }
    if (owner_.OnRequestDone) {
        auto handler = owner_.OnRequestDone;
        handler(owner_, request_, error);
    }
}

THttpCli::THttpCli() : impl_(std::make_unique<Impl>(*this)) {}

THttpCli::~THttpCli() = default;

void THttpCli::GetAsync() {
    impl_->Start(THttpRequest::Get);
}

void THttpCli::PostAsync() {
    impl_->Start(THttpRequest::Post);
}

void THttpCli::Abort() {
    if (!impl_->busy_)
        return;
    impl_->busy_ = false;
    ++impl_->requestId_;
    impl_->socket_.Close();
    impl_->reason_ = "aborted";
    QMetaObject::invokeMethod(
        &impl_->context_,
        [this, request = impl_->request_] {
            if (OnRequestDone)
                OnRequestDone(*this, request, kErrorAborted);
        },
        Qt::QueuedConnection);
}

int THttpCli::StatusCode() const {
    return impl_->status_;
}

const std::string& THttpCli::ReasonPhrase() const {
    return impl_->reason_;
}

bool THttpCli::Busy() const {
    return impl_->busy_;
}

} // namespace quillon
