#include "ServerOptions.h"

#include <charconv>
#include <fstream>
#include <map>

namespace quillon {

namespace {

bool ParseCode(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 100 && value <= 999;
}

const std::map<std::string, HostileMode> kHostileModes = {
    {"long-line", HostileMode::LongLine},
    {"endless", HostileMode::Endless},
    {"many-matches", HostileMode::ManyMatches},
    {"garbage", HostileMode::Garbage},
    {"silent", HostileMode::Silent},
    {"slow", HostileMode::Slow},
    {"drop", HostileMode::Drop}};

} // namespace

std::string ParseServerOptions(int argc, char** argv, ServerOptions& options) {
    const std::map<std::string, std::optional<int>*> codeSwitches = {
        {"--query-code", &options.queryCode},   {"--read-code", &options.readCode},
        {"--banner-code", &options.bannerCode}, {"--hello-code", &options.helloCode},
        {"--proto-code", &options.protoCode},   {"--sites-code", &options.sitesCode},
        {"--submit-code", &options.submitCode}};
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            return name + " needs a value";
        const std::string value = argv[++i];
        int code = 0;
        if (auto found = codeSwitches.find(name); found != codeSwitches.end()) {
            if (!ParseCode(value, code))
                return name + " needs a three-digit code";
            *found->second = code;
        } else if (name == "--http-status") {
            if (!ParseCode(value, code))
                return name + " needs a three-digit status";
            options.httpStatus = code;
        } else if (name == "--entries") {
            options.entriesDir = value;
        } else if (name == "--mail-log") {
            options.mailLog = value;
        } else if (name == "--log") {
            options.log = value;
        } else if (name == "--hostile") {
            auto mode = kHostileModes.find(value);
            if (mode == kHostileModes.end())
                return "unknown hostile mode " + value;
            options.hostile = mode->second;
        } else {
            return "unknown switch " + name;
        }
    }
    if (options.entriesDir.empty())
        return "--entries DIR is required";
    return {};
}

void AppendToFile(const std::string& fileName, const std::string& text) {
    if (fileName.empty())
        return;
    std::ofstream out(fileName, std::ios::app | std::ios::binary);
    out << text << '\n';
}

} // namespace quillon
