#include "net/HttpReplyParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr size_t kMaxChunkLine = 1024;
constexpr int kMaxInterimReplies = 8;
const char* const kTruncated = "connection closed before the reply was complete";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "HTTP/1.0 200 OK": version, three digits, an optional reason phrase.
bool ParseStatusLine(const std::string& line, int& status, std::string& reason) {
    if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0)
        return false;
    const size_t space = line.find(' ');
    if (space == std::string::npos || space + 4 > line.size())
        return false;
    const std::string code = line.substr(space + 1, 3);
    if (!IsDigits(code) || (space + 4 < line.size() && line[space + 4] != ' '))
        return false;
    status = std::stoi(code);
    reason = space + 5 <= line.size() ? Trim(line.substr(space + 5)) : std::string();
    return status >= 100;
}

} // namespace

THttpReplyParser::THttpReplyParser(int64_t maxBody, bool expectBody)
    : maxBody_(maxBody), expectBody_(expectBody) {}

THttpReplyParser::TResult THttpReplyParser::Fail(const std::string& text) {
    phase_ = TPhase::Failed;
    error_ = text;
    return TResult::Failed;
}

THttpReplyParser::TResult THttpReplyParser::Feed(const char* data, size_t size) {
    while (size > 0 && phase_ == TPhase::Header) {
        // Only the new bytes (and three before them) need searching for the blank line.
        const size_t from = header_.size() > 3 ? header_.size() - 3 : 0;
        const size_t take = std::min(size, kMaxHeaderBytes + 4 - header_.size());
        header_.append(data, take);
        data += take;
        size -= take;
        const size_t crlf = header_.find("\r\n\r\n", from);
        const size_t lf = header_.find("\n\n", from);
        size_t end = std::string::npos;
        size_t length = 0;
        if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf + 1)) {
            end = crlf;
            length = 4;
        } else if (lf != std::string::npos) {
            end = lf;
            length = 2;
        }
        if (end == std::string::npos) {
            if (header_.size() > kMaxHeaderBytes)
                return Fail("reply header too large");
            continue;
        }
        if (end > kMaxHeaderBytes)
            return Fail("reply header too large");
        const std::string rest = header_.substr(end + length);
        const TResult result = ParseHeader(end);
        if (result != TResult::More || phase_ == TPhase::Done)
            return result;
        if (phase_ == TPhase::Header) {
            // An interim 1xx reply: the real one follows.
            if (++interimReplies_ > kMaxInterimReplies)
                return Fail("invalid reply");
            const std::string more = rest + std::string(data, size);
            return Feed(more.data(), more.size());
        }
        if (!rest.empty()) {
            const TResult bodyResult = Body(rest.data(), rest.size());
            if (bodyResult != TResult::More)
                return bodyResult;
        }
    }
    if (phase_ == TPhase::Failed)
        return TResult::Failed;
    if (phase_ == TPhase::Done)
        return TResult::Complete;
    return size > 0 ? Body(data, size) : TResult::More;
}

THttpReplyParser::TResult THttpReplyParser::ParseHeader(size_t blockEnd) {
    std::string block = header_.substr(0, blockEnd);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= block.size()) {
        size_t end = block.find('\n', start);
        if (end == std::string::npos)
            end = block.size();
        std::string line = block.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    if (!ParseStatusLine(lines.front(), status_, reason_))
        return Fail("invalid reply");
    if (status_ < 200) {
        header_.clear();
        return TResult::More;
    }
    bool chunked = false;
    contentLength_ = -1;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Lower(Trim(lines[i].substr(0, colon)));
        const std::string value = Trim(lines[i].substr(colon + 1));
        if (name == "content-length") {
            if (!IsDigits(value) || value.size() > 18)
                return Fail("invalid reply");
            const int64_t length = std::stoll(value);
            if (contentLength_ >= 0 && contentLength_ != length)
                return Fail("invalid reply");
            contentLength_ = length;
        } else if (name == "transfer-encoding") {
            const std::string coding = Lower(value);
            chunked = coding.size() >= 7 && coding.compare(coding.size() - 7, 7, "chunked") == 0;
        }
    }
    header_.clear();
    header_.shrink_to_fit();
    const bool noBody = !expectBody_ || status_ == 204 || status_ == 304;
    if (noBody || (!chunked && contentLength_ == 0)) {
        phase_ = TPhase::Done;
        return TResult::Complete;
    }
    if (chunked) {
        contentLength_ = -1;
        phase_ = TPhase::ChunkSize;
    } else {
        if (contentLength_ > maxBody_)
            return Fail("reply body too large");
        phase_ = TPhase::Body;
    }
    return TResult::More;
}

bool THttpReplyParser::TakeLine(const char*& data, size_t& size, std::string& line) {
    const auto* newline = static_cast<const char*>(std::memchr(data, '\n', size));
    const size_t take = newline ? static_cast<size_t>(newline - data) + 1 : size;
    if (line_.size() < kMaxChunkLine + 2)
        line_.append(data, std::min(take, kMaxChunkLine + 2 - line_.size()));
    data += take;
    size -= take;
    if (!newline)
        return false;
    line = line_;
    line_.clear();
    line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

THttpReplyParser::TResult THttpReplyParser::Body(const char* data, size_t size) {
    while (size > 0) {
        switch (phase_) {
        case TPhase::Body: {
            size_t take = size;
            if (contentLength_ >= 0)
                take = static_cast<size_t>(std::min<int64_t>(take, contentLength_ - received_));
            if (received_ + static_cast<int64_t>(take) > maxBody_)
                return Fail("reply body too large");
            received_ += static_cast<int64_t>(take);
            if (OnBody)
                OnBody(data, take);
            data += take;
            size -= take;
            if (contentLength_ >= 0 && received_ == contentLength_) {
                phase_ = TPhase::Done;
                return TResult::Complete;
            }
            break;
        }
        case TPhase::ChunkSize: {
            std::string line;
            if (!TakeLine(data, size, line)) {
                if (line_.size() > kMaxChunkLine)
                    return Fail("invalid reply");
                break;
            }
            const std::string digits = Trim(line.substr(0, line.find(';')));
            if (digits.empty() || digits.size() > 15 ||
                !std::all_of(digits.begin(), digits.end(),
                             [](unsigned char c) { return std::isxdigit(c); }))
                return Fail("invalid reply");
            chunkLeft_ = std::stoll(digits, nullptr, 16);
            if (received_ + chunkLeft_ > maxBody_)
                return Fail("reply body too large");
            phase_ = chunkLeft_ == 0 ? TPhase::Trailer : TPhase::ChunkData;
            break;
        }
        case TPhase::ChunkData: {
            const size_t take = static_cast<size_t>(std::min<int64_t>(chunkLeft_, size));
            received_ += static_cast<int64_t>(take);
            chunkLeft_ -= static_cast<int64_t>(take);
            if (OnBody)
                OnBody(data, take);
            data += take;
            size -= take;
            if (chunkLeft_ == 0)
                phase_ = TPhase::ChunkEnd;
            break;
        }
        case TPhase::ChunkEnd: {
            std::string line;
            if (!TakeLine(data, size, line)) {
                if (!line_.empty() && line_ != "\r")
                    return Fail("invalid reply");
                break;
            }
            if (!line.empty())
                return Fail("invalid reply");
            phase_ = TPhase::ChunkSize;
            break;
        }
        case TPhase::Trailer: {
            std::string line;
            const size_t before = size;
            const bool complete = TakeLine(data, size, line);
            trailerBytes_ += before - size;
            if (trailerBytes_ > kMaxHeaderBytes)
                return Fail("reply header too large");
            if (complete && line.empty()) {
                phase_ = TPhase::Done;
                return TResult::Complete;
            }
            break;
        }
        case TPhase::Done:
            return TResult::Complete;
        case TPhase::Header:
        case TPhase::Failed:
            return TResult::Failed;
        }
    }
    return TResult::More;
}

THttpReplyParser::TResult THttpReplyParser::Finish() {
    switch (phase_) {
    case TPhase::Done:
        return TResult::Complete;
    case TPhase::Failed:
        return TResult::Failed;
    case TPhase::Body:
        if (contentLength_ < 0) {
            phase_ = TPhase::Done;
            return TResult::Complete;
        }
        return Fail(kTruncated);
    default:
        return Fail(kTruncated);
    }
}

} // namespace quillon
