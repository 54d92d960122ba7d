#include "CddbDatabase.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace quillon {

namespace fs = std::filesystem;

namespace {

const std::string kCrLf = "\r\n";
const std::string kFollows = " (until terminating `.')";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsDiscId(const std::string& text) {
    return text.size() == 8 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

bool IsCategory(const std::string& text) {
    return !text.empty() && text.size() <= 32 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::islower(c); });
}

// The lines of an entry file, without their line ends.
std::vector<std::string> EntryLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// DTITLE may be split over several lines; the parts join without a separator.
std::string DiscTitle(const std::vector<std::string>& lines) {
    std::string title;
    for (const std::string& line : lines)
        if (line.rfind("DTITLE=", 0) == 0)
            title += line.substr(7);
    return title;
}

CddbReply Line(int code, const std::string& text) {
    return {std::to_string(code) + " " + text + kCrLf};
}

// Codes after which a CDDBP server ends the connection.
bool Closes(int code) {
    return code == 230 || code == 431 || code == 432 || code == 433 || code == 434 || code == 530;
}

CddbReply Forced(int code) {
    CddbReply reply = Line(code, CddbReplyText(code));
    reply.close = Closes(code);
    return reply;
}

} // namespace

std::string CddbReplyText(int code) {
    static const std::map<int, std::string> texts = {
        {200, "Command OK."},
        {201, "OK, CDDB protocol level now: 5"},
        {202, "No match found."},
        {210, "OK, information follows" + kFollows},
        {211, "Found inexact matches, list follows" + kFollows},
        {230, "Closing connection.  Goodbye."},
        {401, "No such entry or information available."},
        {402, "Server error."},
        {403, "Database entry is corrupt."},
        {408, "CGI environment error."},
        {409, "No handshake."},
        {431, "Handshake not successful, closing connection."},
        {432, "No connections allowed: permission denied."},
        {433, "No connections allowed: X users allowed, Y currently active."},
        {434, "No connections allowed: system load too high."},
        {500, "Command syntax error."},
        {501, "Illegal protocol level."},
        {502, "Protocol level already 5."},
        {530, "Server error, server timeout."}};
    auto found = texts.find(code);
    return found != texts.end() ? found->second : "Forced reply.";
}

CddbDatabase::CddbDatabase(const ServerOptions& options) : options_(options) {}

void CddbDatabase::SetPorts(int httpPort, int cddbpPort) {
    httpPort_ = httpPort;
    cddbpPort_ = cddbpPort;
}

CddbReply CddbDatabase::Banner() const {
    const int code = options_.bannerCode.value_or(201);
    if (code == 200)
        return Line(200, "127.0.0.1 CDDBP test server ready, read/write allowed.");
    if (code == 201)
        return Line(201, "127.0.0.1 CDDBP test server ready, read only.");
    return Forced(code);
}

CddbReply CddbDatabase::Answer(const std::string& command, CddbSession& session) const {
    const std::vector<std::string> words = Words(command);
    const std::string verb = words.empty() ? std::string() : Lower(words[0]);
    const std::string sub = words.size() > 1 ? Lower(words[1]) : std::string();
    if (verb == "quit") {
        CddbReply reply = Line(230, "127.0.0.1 Closing connection.  Goodbye.");
        reply.close = true;
        return reply;
    }
    if (verb == "proto") {
        if (options_.protoCode)
            return Forced(*options_.protoCode);
        if (words.size() == 1)
            return Line(200, "CDDB protocol level: current " + std::to_string(session.protoLevel) +
                                 ", supported 6");
        const std::string& level = words[1];
        if (level.size() != 1 || level[0] < '1' || level[0] > '6')
            return Line(501, "Illegal protocol level.");
        if (level[0] - '0' == session.protoLevel)
            return Line(502, "Protocol level already " + level + ".");
        session.protoLevel = level[0] - '0';
        return Line(201, "OK, CDDB protocol level now: " + level);
    }
    if (verb == "sites")
        return Sites();
    if (verb != "cddb")
        return Line(500, "Unrecognized command.");
    if (sub == "hello") {
        if (options_.helloCode)
            return Forced(*options_.helloCode);
        if (words.size() != 6)
            return Line(500, "Command syntax error: incorrect number of arguments.");
        if (session.shookHands)
            return Line(402, "Already shook hands.");
        session.shookHands = true;
        return Line(200, "Hello and welcome " + words[2] + "@" + words[3] + " running " + words[4] +
                             " " + words[5] + ".");
    }
    if (sub != "query" && sub != "read")
        return Line(500, "Unrecognized command.");
    if (!session.shookHands)
        return Line(409, "No handshake.");
    return sub == "query" ? Query(words) : Read(words);
}

std::vector<CddbDatabase::Match> CddbDatabase::FindMatches(const std::string& discId) const {
    std::vector<Match> matches;
    std::error_code error;
    std::vector<fs::path> categories;
    for (const auto& item : fs::directory_iterator(options_.entriesDir, error))
        if (item.is_directory())
            categories.push_back(item.path());
    std::sort(categories.begin(), categories.end());
    for (const fs::path& category : categories) {
        const fs::path file = category / discId;
        if (fs::is_regular_file(file, error))
            matches.push_back({category.filename().string(), discId, DiscTitle(EntryLines(file))});
    }
    return matches;
}

CddbReply CddbDatabase::Query(const std::vector<std::string>& words) const {
    // cddb query discid ntrks off1 ... offN nsecs
    int tracks = -1;
    if (words.size() >= 4)
        std::sscanf(words[3].c_str(), "%d", &tracks);
    if (words.size() < 5 || !IsDiscId(words[2]) || tracks < 1 ||
        words.size() != static_cast<size_t>(tracks) + 5)
        return Line(500, "Command syntax error.");
    const std::string discId = Lower(words[2]);

    if (options_.hostile == HostileMode::ManyMatches) {
        CddbReply reply = Line(211, "Found inexact matches, list follows" + kFollows);
        char line[80];
        for (int i = 0; i < 5000; ++i) {
            std::snprintf(line, sizeof line, "rock %08x Hostile Artist / Match %d\r\n", i, i);
            reply.text += line;
        }
        reply.text += "." + kCrLf;
        return reply;
    }

    std::vector<Match> matches = FindMatches(discId);
    int code = options_.queryCode.value_or(matches.empty() ? 202 : matches.size() == 1 ? 200 : 211);
    if (code == 200) {
        if (matches.empty())
            matches.push_back({"misc", discId, "Forced Artist / Forced Title"});
        const Match& m = matches.front();
        return Line(200, m.category + " " + m.discId + " " + m.title);
    }
    if (code == 210 || code == 211) {
        CddbReply reply =
            Line(code, std::string(code == 210 ? "Found exact matches" : "Found inexact matches") +
                           ", list follows" + kFollows);
        for (const Match& m : matches)
            reply.text += m.category + " " + m.discId + " " + m.title + kCrLf;
        reply.text += "." + kCrLf;
        return reply;
    }
    if (code == 202)
        return Line(202, "No match for disc ID " + discId + ".");
    return Forced(code);
}

CddbReply CddbDatabase::Read(const std::vector<std::string>& words) const {
    if (words.size() != 4)
        return Line(500, "Command syntax error.");
    const std::string category = Lower(words[2]);
    const std::string discId = Lower(words[3]);
    const fs::path file = fs::path(options_.entriesDir) / category / discId;
    std::error_code error;
    const bool found = IsCategory(category) && IsDiscId(discId) && fs::is_regular_file(file, error);
    const int code = options_.readCode.value_or(found ? 210 : 401);
    if (code == 401)
        return Line(401, category + " " + discId + " No such CD entry in database.");
    if (code != 210)
        return Forced(code);

    CddbReply reply = Line(210, category + " " + discId + " CD database entry follows" + kFollows);
    const size_t headerSize = reply.text.size();
    if (found)
        for (const std::string& line : EntryLines(file))
            reply.text += (line.rfind('.', 0) == 0 ? "." : "") + line + kCrLf;
    if (options_.hostile == HostileMode::Drop)
        reply.cutAt = headerSize + (reply.text.size() - headerSize) / 2;
    reply.text += "." + kCrLf;
    return reply;
}

CddbReply CddbDatabase::Sites() const {
    const int code = options_.sitesCode.value_or(210);
    if (code != 210)
        return Forced(code);
    CddbReply reply = Line(210, "OK, site information follows" + kFollows);
    reply.text += "127.0.0.1 http " + std::to_string(httpPort_) +
                  " /~cddb/cddb.cgi N000.00 W000.00 Test server, HTTP" + kCrLf;
    reply.text += "127.0.0.1 cddbp " + std::to_string(cddbpPort_) +
                  " - N000.00 W000.00 Test server, CDDBP" + kCrLf;
    reply.text += "." + kCrLf;
    return reply;
}

CddbReply CddbDatabase::Submission() const {
    const int code = options_.submitCode.value_or(200);
    if (code == 200)
        return Line(200, "OK, submission has been sent.");
    if (code == 500)
        return Line(500, "Missing required header information.");
    if (code == 501)
        return Line(501, "Invalid header information.");
    return Forced(code);
}

} // namespace quillon
