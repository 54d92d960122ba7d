#include "tags/ID3v2Parse.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace quillon {

namespace {

constexpr size_t kHeaderSize = 10;

// Version 2.2 frame identifiers and their version 2.3 counterparts.
constexpr std::array<std::pair<std::string_view, std::string_view>, 68> kV22Ids = {{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"},
    {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"},
    {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"},
    {"TSP", "TSOP"}, {"TST", "TSOT"}, {"PCS", "PCST"},
}};

// Version 2.4 frame flags.
constexpr uint8_t kV24Grouped = 0x40;
constexpr uint8_t kV24Compressed = 0x08;
constexpr uint8_t kV24Encrypted = 0x04;
constexpr uint8_t kV24Unsynchronised = 0x02;
constexpr uint8_t kV24DataLength = 0x01;

uint32_t BigEndian(const uint8_t* p, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

uint32_t Synchsafe(const uint8_t* p) {
    return (uint32_t{p[0]} << 21) | (uint32_t{p[1]} << 14) | (uint32_t{p[2]} << 7) | p[3];
}

bool IsFrameID(std::string_view id) {
    return std::all_of(id.begin(), id.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

std::vector<uint8_t> BytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

TID3v2Frame TextFrame(std::string id, const std::string& text) {
    std::string content(1, '\0');
    content += text;
    return {std::move(id), 0, 0, BytesOf(content)};
}

class Parser {
public:
    Parser(const std::vector<uint8_t>& tag, TID3v2Parse& out) : out_(out) {
        version_ = tag[3];
        flags_ = tag[5];
        const size_t stated = Synchsafe(tag.data() + 6);
        const size_t end = std::min(tag.size(), kHeaderSize + stated);
        body_.assign(reinterpret_cast<const char*>(tag.data()) + kHeaderSize, end - kHeaderSize);
    }

    void Run() {
        if (version_ < 2 || version_ > 4) {
            Refuse("The ID3v2 tag has an unknown version.", true);
            return;
        }
        if (version_ < 4 && (flags_ & 0x80)) {
            body_ = Id3Resynchronise(body_);
        }
        if (version_ == 2 && (flags_ & 0x40)) {
            Refuse("The ID3v2.2 tag is compressed, which no reader can undo.");
            return;
        }
        size_t at = 0;
        if (version_ > 2 && (flags_ & 0x40) && !SkipExtendedHeader(at)) {
            return;
        }
        const size_t headerSize = version_ == 2 ? 6 : 10;
        while (at + headerSize <= body_.size() && body_[at] != '\0') {
            const auto* h = reinterpret_cast<const uint8_t*>(body_.data() + at);
            const std::string_view id(body_.data() + at, version_ == 2 ? 3 : 4);
            if (!IsFrameID(id)) {
                break;
            }
            const size_t size = FrameSize(h, at + headerSize);
            const size_t dataAt = at + headerSize;
            const size_t kept = std::min(size, body_.size() - dataAt);
            if (kept < size) {
                // Read what the tag holds of it, but never write it back cut.
                Refuse("The ID3v2 frame \"" + std::string(id) + "\" runs past the end of its tag.",
                       true);
            }
            if (kept > 0) {
                const std::string_view data(body_.data() + dataAt, kept);
                if (version_ == 2) {
                    AddV22(id, data);
                } else if (version_ == 3) {
                    out_.Frames.push_back({std::string(id), h[8], h[9], BytesOf(data)});
                } else {
                    AddV24(id, h[8], h[9], data);
                }
            }
            at = dataAt + kept;
        }
        if (std::any_of(body_.begin() + static_cast<ptrdiff_t>(std::min(at, body_.size())),
                        body_.end(), [](char c) { return c != '\0'; })) {
            out_.Clean = false;
        }
    }

private:
    // `damaged`: the tag's bytes themselves are broken, not only beyond conversion.
    void Refuse(std::string problem, bool damaged = false) {
        if (out_.Problem.empty()) {
            out_.Problem = std::move(problem);
        }
        out_.Clean = out_.Clean && !damaged;
    }

    bool SkipExtendedHeader(size_t& at) {
        if (body_.size() >= 4) {
            const auto* p = reinterpret_cast<const uint8_t*>(body_.data());
            // Version 2.3 states the size without its own 4 bytes (6 or 10); 2.4 with them.
            const size_t size = version_ == 3 ? BigEndian(p, 4) + 4 : Synchsafe(p);
            const bool plausible = version_ == 3 ? (size == 10 || size == 14) : size >= 6;
            if (plausible && size <= body_.size()) {
                at = size;
                return true;
            }
        }
        Refuse("The ID3v2 tag's extended header states a size that does not fit the tag.", true);
        return false;
    }

    // A position where a frame, padding or the end of the tag may begin.
    bool PlausibleNext(size_t at) const {
        if (at >= body_.size() || body_[at] == '\0') {
            return at <= body_.size();
        }
        return at + 4 <= body_.size() && IsFrameID(std::string_view(body_.data() + at, 4));
    }

    size_t FrameSize(const uint8_t* h, size_t dataAt) const {
        if (version_ == 2) {
            return BigEndian(h + 3, 3);
        }
        const size_t plain = BigEndian(h + 4, 4);
        if (version_ == 3) {
            return plain;
        }
        // Some writers stored plain sizes in version 2.4 tags; take the one that lands on the
        // next frame when the synchsafe reading does not.
        const bool synchsafeBytes = ((h[4] | h[5] | h[6] | h[7]) & 0x80) == 0;
        const size_t synchsafe = Synchsafe(h + 4);
        if (!synchsafeBytes ||
            (!PlausibleNext(dataAt + synchsafe) && PlausibleNext(dataAt + plain))) {
            return plain;
        }
        return synchsafe;
    }

    // Frame content from version 2.2 or 2.4 with encodings that version 2.3 lacks (2 and 3)
    // and lists of values re-encoded; nothing when that is impossible.
    std::optional<std::string> ContentFor23(const std::string& id, std::string content) {
        const std::string_view layout = Id3Layout(id);
        if (content.empty()) {
            return content;
        }
        const auto encoding = static_cast<uint8_t>(content[0]);
        if (layout.empty()) {
            if (encoding > 1 && (id == "SYLT" || id == "COMR" || id == "OWNE")) {
                return std::nullopt;
            }
            return content;
        }
        const std::optional<Id3Fields> fields = Id3SplitFields(layout, content);
        if (!fields || (fields->Encoding <= 1 && !fields->ManyValues)) {
            return content;
        }
        const uint8_t target = Id3EncodingFor(Id3EncodedTexts(layout, fields->Values));
        return Id3JoinFields(layout, target, fields->Values);
    }

    void AddConverted(const std::string& id, uint8_t status, uint8_t format, std::string_view group,
                      std::string content) {
        std::optional<std::string> converted = ContentFor23(id, std::move(content));
        if (!converted) {
            Refuse("The ID3v2." + std::to_string(version_) + " frame \"" + id +
                   "\" uses a text encoding that version 2.3 cannot hold.");
            return;
        }
        if (id == "TDRC" || id == "TDOR") {
            if (AddDateFrames(id, *converted)) {
                return;
            }
        }
        std::string data(group);
        data += *converted;
        out_.Frames.push_back({id, status, format, BytesOf(data)});
    }

    // A recording date of version 2.4 as the year, date and time frames of 2.3 (the original
    // release date as its year); false when it does not start with a year.
    bool AddDateFrames(const std::string& id, const std::string& content) {
        const std::optional<Id3Fields> fields = Id3SplitFields("eT", content);
        if (!fields) {
            return false;
        }
        const std::string& when = fields->Values[0];
        const auto digits = [&when](size_t from, size_t count) {
            return when.size() >= from + count &&
                   std::all_of(when.begin() + static_cast<ptrdiff_t>(from),
                               when.begin() + static_cast<ptrdiff_t>(from + count),
                               [](char c) { return c >= '0' && c <= '9'; });
        };
        if (!digits(0, 4)) {
            return false;
        }
        out_.Frames.push_back(TextFrame(id == "TDRC" ? "TYER" : "TORY", when.substr(0, 4)));
        if (id == "TDRC" && digits(5, 2) && digits(8, 2)) {
            out_.Frames.push_back(TextFrame("TDAT", when.substr(8, 2) + when.substr(5, 2)));
            if (digits(11, 2) && digits(14, 2)) {
                out_.Frames.push_back(TextFrame("TIME", when.substr(11, 2) + when.substr(14, 2)));
            }
        }
        return true;
    }

    void AddV22(std::string_view id, std::string_view data) {
        const auto known = std::find_if(kV22Ids.begin(), kV22Ids.end(),
                                        [id](const auto& entry) { return entry.first == id; });
        if (known == kV22Ids.end()) {
            Refuse("The ID3v2.2 frame \"" + std::string(id) + "\" has no ID3v2.3 equivalent.");
            return;
        }
        std::string content(data);
        if (id == "PIC") {
            // Image format (three letters) becomes a MIME type.
            if (content.size() < 4) {
                return;
            }
            std::string format = content.substr(1, 3);
            std::transform(format.begin(), format.end(), format.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
            const std::string mime = format == "jpg" ? "image/jpeg" : "image/" + format;
            content = content.substr(0, 1) + mime + '\0' + content.substr(4);
        }
        AddConverted(std::string(known->second), 0, 0, {}, std::move(content));
    }

    void AddV24(std::string_view id, uint8_t status, uint8_t format, std::string_view data) {
        std::string content(data);
        if ((format & kV24Unsynchronised) || (flags_ & 0x80)) {
            content = Id3Resynchronise(content);
        }
        const std::string name(id);
        if (format & kV24Encrypted) {
            Refuse("The ID3v2.4 frame \"" + name + "\" is encrypted and cannot be converted.");
            return;
        }
        size_t skip = 0;
        std::string group;
        if (format & kV24Grouped) {
            group = content.substr(0, 1);
            ++skip;
        }
        if (format & kV24DataLength) {
            skip += 4;
        }
        if (skip > content.size()) {
            Refuse("The ID3v2.4 frame \"" + name + "\" is too short for its flags.");
            return;
        }
        content.erase(0, skip);
        if (format & kV24Compressed) {
            // Every attempt counts against a budget for the whole tag, so that a tag of many
            // compressed frames cannot make the reader inflate without end.
            std::optional<std::string> inflated;
            if (inflateBudget_ >= kId3MaxInflated) {
                inflated = Id3Inflate(content);
                inflateBudget_ -= inflated ? inflated->size() : kId3MaxInflated;
            }
            if (!inflated) {
                Refuse("The ID3v2.4 frame \"" + name + "\" does not decompress.");
                return;
            }
            content = std::move(*inflated);
        }
        const auto status23 = static_cast<uint8_t>((status & 0x70) << 1);
        AddConverted(name, status23, group.empty() ? 0 : kId3v23Grouped, group, std::move(content));
    }

    TID3v2Parse& out_;
    size_t inflateBudget_ = 4 * kId3MaxInflated;
    uint8_t version_ = 0;
    uint8_t flags_ = 0;
    std::string body_;
};

} // namespace

int64_t Id3v2TagLength(const uint8_t* header) {
    const int64_t length = (int64_t{header[6]} << 21) + (int64_t{header[7]} << 14) +
                           (int64_t{header[8]} << 7) + header[9] + int64_t{kHeaderSize};
    const bool footer = header[3] == 4 && (header[5] & 0x10);
    return length + (footer ? int64_t{kHeaderSize} : 0);
}

TID3v2Parse ParseId3v2(const std::vector<uint8_t>& tag) {
    TID3v2Parse out;
    if (tag.size() >= kHeaderSize) {
        Parser(tag, out).Run();
    }
    return out;
}

} // namespace quillon
