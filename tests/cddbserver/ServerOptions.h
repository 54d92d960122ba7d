#pragma once

#include <optional>
#include <string>

namespace quillon {

// Ways in which the test server misbehaves on purpose, to exercise the clients' limits.
enum class HostileMode { None, LongLine, Endless, ManyMatches, Garbage, Silent, Slow, Drop };

// The command line of cddb-test-server.
struct ServerOptions {
    std::string entriesDir;
    std::optional<int> queryCode, readCode, bannerCode, helloCode, protoCode, sitesCode, submitCode;
    int httpStatus = 200;
    std::string mailLog;
    std::string log;
    HostileMode hostile = HostileMode::None;
};

// Fills options from the arguments; returns an error text, empty on success.
std::string ParseServerOptions(int argc, char** argv, ServerOptions& options);

// Appends text and a line feed to the file named, when a name is given.
void AppendToFile(const std::string& fileName, const std::string& text);

} // namespace quillon
