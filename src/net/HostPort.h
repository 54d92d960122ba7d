#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// A host name with the port to reach it on.
struct THostPort {
    std::string host;
    uint16_t port = 0;
};

// The port number of a decimal text or a service name ("smtp", "http", "cddbp"); none when
// neither.
std::optional<uint16_t> ServicePort(const std::string& text);

// Splits "host:port" (a bracketed IPv6 address may carry a port too); without a port, or for a
// bare IPv6 address, the port is defaultPort. None when the port is not a valid number or name.
std::optional<THostPort> SplitHostPort(const std::string& text, const std::string& defaultPort);

} // namespace quillon
