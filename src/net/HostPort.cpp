#include "net/HostPort.h"

#include <arpa/inet.h>
#include <charconv>
#include <netdb.h>

namespace quillon {

std::optional<uint16_t> ServicePort(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec == std::errc() && ptr == end)
        return value >= 1 && value <= 65535 ? std::optional<uint16_t>(value) : std::nullopt;
    // The few names the clients use work without a services database.
    if (text == "smtp")
        return 25;
    if (text == "http")
        return 80;
    if (text == "cddbp")
        return 8880;
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(text.c_str(), "tcp", &entry, buffer, sizeof buffer, &found) == 0 && found)
        return static_cast<uint16_t>(ntohs(static_cast<uint16_t>(found->s_port)));
    return std::nullopt;
}

std::optional<THostPort> SplitHostPort(const std::string& text, const std::string& defaultPort) {
    std::string host = text;
    std::string port = defaultPort;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return std::nullopt;
            port = text.substr(close + 2);
        }
    } else if (const size_t colon = text.find(':');
               colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    const std::optional<uint16_t> number = ServicePort(port);
    if (!number)
        return std::nullopt;
    return THostPort{host, *number};
}

} // namespace quillon
