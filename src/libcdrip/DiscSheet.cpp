#include "libcdrip/DiscSheet.h"

#include "libcdrip/CDRip.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace quillon {

namespace {

constexpr int kSectorBytes = CR_SectorBytes;
constexpr int kSampleBytes = 4;

struct Token {
    std::string text;
    bool quoted = false;
    int line = 0;
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Splits sheet text into words, quoted strings and braces; "//" starts a comment in TOC files.
std::vector<Token> Tokenize(const std::string& text, bool slashComments) {
    std::vector<Token> tokens;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (slashComments && c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            i = text.find('\n', i);
            i = i == std::string::npos ? text.size() : i;
        } else if (c == '"') {
            Token token{"", true, line};
            for (++i; i < text.size() && text[i] != '"' && text[i] != '\n'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
                    ++i;
                }
                token.text += text[i];
            }
            i += i < text.size() && text[i] == '"' ? 1 : 0;
            tokens.push_back(std::move(token));
        } else if (slashComments && (c == '{' || c == '}')) {
            tokens.push_back({std::string(1, c), false, line});
            ++i;
        } else {
            Token token{"", false, line};
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   text[i] != '"' && !(slashComments && (text[i] == '{' || text[i] == '}'))) {
                token.text += text[i++];
            }
            tokens.push_back(std::move(token));
        }
    }
    return tokens;
}

std::optional<int64_t> Number(const std::string& text) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    return std::stoll(text);
}

// "mm:ss:ff" as a sector count.
std::optional<int32_t> Msf(const std::string& text) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) {
        return std::nullopt;
    }
    const auto m = Number(text.substr(0, first));
    const auto s = Number(text.substr(first + 1, second - first - 1));
    const auto f = Number(text.substr(second + 1));
    if (!m || !s || !f || *m > 99 || *s > 59 || *f > 74) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*m * 4500 + *s * 75 + *f);
}

// A TOC time in bytes: "mm:ss:ff" or a plain number of samples.
std::optional<int64_t> TocBytes(const std::string& text) {
    if (const auto sectors = Msf(text)) {
        return static_cast<int64_t>(*sectors) * kSectorBytes;
    }
    if (const auto samples = Number(text)) {
        return *samples * kSampleBytes;
    }
    return std::nullopt;
}

std::string Resolve(const std::string& sheetFileName, const std::string& dataName) {
    const std::filesystem::path data(dataName);
    if (data.is_absolute()) {
        return dataName;
    }
    return (std::filesystem::path(sheetFileName).parent_path() / data).string();
}

class Parser {
public:
    Parser(const std::string& sheetFileName, std::vector<Token> tokens, std::string& problem)
        : sheetFileName_(sheetFileName), tokens_(std::move(tokens)), problem_(problem) {}

    bool Fail(const std::string& what, int line) {
        problem_ =
            sheetFileName_ + (line > 0 ? ", line " + std::to_string(line) : "") + ": " + what;
        return false;
    }

    bool AtEnd() const { return next_ >= tokens_.size(); }
    const Token& Peek() const { return tokens_[next_]; }
    Token Take() { return tokens_[next_++]; }
    bool TakeIf(const std::string& word) {
        if (!AtEnd() && !Peek().quoted && Upper(Peek().text) == word) {
            ++next_;
            return true;
        }
        return false;
    }
    std::optional<int64_t> TakeNumber() {
        std::optional<int64_t> number;
        if (!AtEnd()) {
            number = Number(Take().text);
        }
        return number;
    }
    int Line() const { return AtEnd() ? (tokens_.empty() ? 0 : tokens_.back().line) : Peek().line; }
    // Skips the rest of the current line.
    void SkipLine() {
        const int line = Line();
        while (!AtEnd() && Peek().line == line) {
            ++next_;
        }
    }

    bool ParseCue(Sheet& sheet);
    bool ParseToc(Sheet& sheet);

private:
    bool TocFile(SheetTrack& track, bool dataFile);
    void SkipBlock();

    const std::string& sheetFileName_;
    std::vector<Token> tokens_;
    std::string& problem_;
    size_t next_ = 0;
};

bool Parser::ParseCue(Sheet& sheet) {
    std::string dataFile;
    bool indexOne = true;
    while (!AtEnd()) {
        const int line = Line();
        const std::string original = Take().text;
        const std::string word = Upper(original);
        if (word == "FILE") {
            if (!dataFile.empty()) {
                return Fail("more than one data file; only images with one data file can be read",
                            line);
            }
            if (AtEnd() || Peek().line != line) {
                return Fail("FILE without a file name", line);
            }
            dataFile = Resolve(sheetFileName_, Take().text);
            const std::string type = AtEnd() || Peek().line != line ? "" : Upper(Take().text);
            if (type != "BINARY") {
                return Fail("the data file's type \"" + type +
                                "\" is not supported (only BINARY is)",
                            line);
            }
        } else if (word == "TRACK") {
            if (dataFile.empty()) {
                return Fail("TRACK before FILE", line);
            }
            if (!indexOne) {
                return Fail("track " + std::to_string(sheet.tracks.back().number) +
                                " has no INDEX 01",
                            line);
            }
            const std::optional<int64_t> number = TakeNumber();
            const std::string mode = AtEnd() || Peek().line != line ? "" : Upper(Take().text);
            if (!number || *number < 1 || *number > 99 ||
                (!sheet.tracks.empty() && *number <= sheet.tracks.back().number)) {
                return Fail("bad track number", line);
            }
            if (mode != "AUDIO" && mode != "MODE1/2352" && mode != "MODE2/2352") {
                return Fail("track mode \"" + mode +
                                "\" is not supported (AUDIO, MODE1/2352 and MODE2/2352 are)",
                            line);
            }
            sheet.tracks.push_back({static_cast<int>(*number), mode == "AUDIO", mode, dataFile});
            indexOne = false;
        } else if (word == "INDEX") {
            const std::optional<int64_t> number = TakeNumber();
            const std::optional<int32_t> start = AtEnd() ? std::nullopt : Msf(Take().text);
            if (sheet.tracks.empty() || !number || !start) {
                return Fail("bad INDEX", line);
            }
            if (*number == 1) {
                const int64_t offset = static_cast<int64_t>(*start) * kSectorBytes;
                if (sheet.tracks.size() > 1 &&
                    offset <= sheet.tracks[sheet.tracks.size() - 2].offset) {
                    return Fail("tracks are not in the data file's order", line);
                }
                sheet.tracks.back().offset = offset;
                indexOne = true;
            }
        } else if (word == "PREGAP" || word == "POSTGAP") {
            // Silence that the data file does not hold: it takes no sectors of the image.
            if (AtEnd() || !Msf(Take().text)) {
                return Fail("bad " + word, line);
            }
        } else if (word == "REM" || word == "TITLE" || word == "PERFORMER" ||
                   word == "SONGWRITER" || word == "CATALOG" || word == "ISRC" || word == "FLAGS" ||
                   word == "CDTEXTFILE") {
            SkipLine();
        } else {
            return Fail("\"" + original.substr(0, 40) + "\" is not a CUE sheet command", line);
        }
    }
    if (!indexOne) {
        return Fail("track " + std::to_string(sheet.tracks.back().number) + " has no INDEX 01", 0);
    }
    return true;
}

// FILE/AUDIOFILE "name" [#offset] start [length], DATAFILE "name" [#offset] [length].
bool Parser::TocFile(SheetTrack& track, bool dataFile) {
    const int line = Line();
    if (!track.dataFile.empty()) {
        return Fail("more than one data file statement in one track is not supported", line);
    }
    if (AtEnd() || !Peek().quoted) {
        return Fail("a file statement without a file name", line);
    }
    track.dataFile = Resolve(sheetFileName_, Take().text);
    int64_t offset = 0;
    if (!AtEnd() && !Peek().quoted && Peek().text.starts_with('#')) {
        const auto number = Number(Take().text.substr(1));
        if (!number) {
            return Fail("bad byte offset", line);
        }
        offset = *number;
    }
    if (!dataFile) {
        const auto start = AtEnd() ? std::nullopt : TocBytes(Take().text);
        if (!start) {
            return Fail("bad start time", line);
        }
        offset += *start;
    }
    if (!AtEnd() && Peek().line == line) {
        if (const auto length = TocBytes(Peek().text)) {
            Take();
            if (*length % kSectorBytes != 0) {
                return Fail("a length that is not a whole number of sectors is not supported",
                            line);
            }
            track.sectors = static_cast<int32_t>(*length / kSectorBytes);
        }
    }
    if (offset % kSectorBytes != 0) {
        return Fail("a start that is not a whole number of sectors into the file is not supported",
                    line);
    }
    track.offset = offset;
    return true;
}

void Parser::SkipBlock() {
    int depth = 0;
    while (!AtEnd()) {
        const bool open = tokens_[next_].text == "{";
        const bool close = tokens_[next_].text == "}";
        ++next_;
        depth += open ? 1 : close ? -1 : 0;
        if (depth <= 0 && close) {
            return;
        }
    }
}

bool Parser::ParseToc(Sheet& sheet) {
    bool header = false;
    while (!AtEnd()) {
        const int line = Line();
        const Token token = Take();
        const std::string word = Upper(token.text);
        if (token.quoted) {
            return Fail("unexpected text \"" + token.text.substr(0, 40) + "\"", line);
        }
        if (word == "CD_DA" || word == "CD_ROM" || word == "CD_ROM_XA") {
            header = true;
        } else if (word == "CATALOG" || word == "ISRC" || word == "SILENCE" || word == "ZERO" ||
                   word == "PREGAP" || word == "INDEX") {
            // Values only; silence and gaps the data file does not hold take no sectors.
            if (!AtEnd()) {
                Take();
            }
        } else if (word == "CD_TEXT") {
            SkipBlock();
        } else if (word == "TRACK") {
            const std::string mode = AtEnd() ? "" : Upper(Take().text);
            if (mode != "AUDIO" && mode != "MODE1_RAW" && mode != "MODE2_RAW") {
                return Fail("track mode \"" + mode +
                                "\" is not supported (AUDIO, MODE1_RAW and MODE2_RAW are)",
                            line);
            }
            if (!AtEnd() && Peek().line == line &&
                (Upper(Peek().text) == "RW" || Upper(Peek().text) == "RW_RAW")) {
                return Fail("sub-channel data is not supported", line);
            }
            if (sheet.tracks.size() == 99) {
                return Fail("more than 99 tracks", line);
            }
            sheet.tracks.push_back(
                {static_cast<int>(sheet.tracks.size()) + 1, mode == "AUDIO", mode, ""});
        } else if (word == "NO" || word == "COPY" || word == "PRE_EMPHASIS" ||
                   word == "TWO_CHANNEL_AUDIO" || word == "FOUR_CHANNEL_AUDIO" || word == "SWAP") {
            // Flags. SWAP leaves the bytes as the data file holds them: a rip delivers them
            // unchanged, as libcdio's reader does.
        } else if (word == "START") {
            // The track's pre-gap lies in its data; index 1 follows it.
            const auto start =
                !AtEnd() && Peek().line == line ? TocBytes(Peek().text) : std::nullopt;
            if (start) {
                Take();
            }
            if (sheet.tracks.empty() || sheet.tracks.back().dataFile.empty() ||
                sheet.tracks.back().sectors < 0) {
                return Fail("START needs a track with a file and a length before it", line);
            }
            SheetTrack& track = sheet.tracks.back();
            const int32_t sectors = start ? static_cast<int32_t>(*start / kSectorBytes) : 0;
            if ((start && *start % kSectorBytes != 0) || sectors >= track.sectors) {
                return Fail("bad START", line);
            }
            track.offset += static_cast<int64_t>(sectors) * kSectorBytes;
            track.sectors -= sectors;
        } else if (word == "FILE" || word == "AUDIOFILE" || word == "DATAFILE") {
            if (sheet.tracks.empty()) {
                return Fail(word + " before TRACK", line);
            }
            if (!TocFile(sheet.tracks.back(), word == "DATAFILE")) {
                return false;
            }
        } else {
            return Fail("\"" + token.text.substr(0, 40) + "\" is not a TOC file keyword", line);
        }
        if (!header && word != "CATALOG") {
            return Fail("not a TOC file (it does not begin with CD_DA, CD_ROM or CD_ROM_XA)", line);
        }
    }
    for (const SheetTrack& track : sheet.tracks) {
        if (track.dataFile.empty()) {
            return Fail("track " + std::to_string(track.number) + " names no data file", 0);
        }
    }
    return true;
}

} // namespace

std::string MsfText(int32_t sectors) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", sectors / 4500, (sectors / 75) % 60,
                  sectors % 75);
    return text;
}

bool ParseSheet(const std::string& sheetFileName, const std::string& text, Sheet& sheet,
                std::string& problem) {
    if (text.find('\0') != std::string::npos) {
        problem = sheetFileName + ": not a CUE sheet or TOC file (it holds binary data)";
        return false;
    }
    const std::string extension = Upper(std::filesystem::path(sheetFileName).extension().string());
    // A TOC file begins with its disc type, whatever its name.
    const std::vector<Token> words = Tokenize(text.substr(0, 256), true);
    const std::string first = words.empty() ? "" : Upper(words.front().text);
    const bool toc =
        extension == ".TOC" || first == "CD_DA" || first == "CD_ROM" || first == "CD_ROM_XA";
    sheet.format = toc ? SheetFormat::Toc : SheetFormat::Cue;
    Parser parser(sheetFileName, Tokenize(text, sheet.format == SheetFormat::Toc), problem);
    if (!(sheet.format == SheetFormat::Toc ? parser.ParseToc(sheet) : parser.ParseCue(sheet))) {
        return false;
    }
    if (sheet.tracks.empty()) {
        problem = sheetFileName + ": the sheet describes no tracks";
        return false;
    }
    return true;
}

} // namespace quillon
