#include "tags/ID3v2.h"

#include "platform/FileStream.h"
#include "tags/TagFileReader.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillon {

namespace {

constexpr size_t kHeaderSize = 10;
constexpr size_t kFrameTextLimit = 2500;
// The largest tag size the header's four 7-bit groups can state.
constexpr uint32_t kMaxTagBody = 0x0FFFFFFF;

// The frames this tag handles, in the order they are written.
constexpr std::array<const char*, 13> kFrameIDs = {"TIT2", "TPE1", "TALB", "TRCK", "TYER",
                                                   "TCON", "COMM", "TCOM", "TENC", "TCOP",
                                                   "TLAN", "WXXX", "USLT"};
enum FrameIndex {
    fiTitle,
    fiArtist,
    fiAlbum,
    fiTrack,
    fiYear,
    fiGenre,
    fiComment,
    fiComposer,
    fiEncoder,
    fiCopyright,
    fiLanguage,
    fiLink,
    fiLyrics
};

using Header = std::array<uint8_t, kHeaderSize>;
using RawTexts = std::array<std::string, kFrameIDs.size()>;

bool IsTagHeader(const Header& header) {
    return std::memcmp(header.data(), "ID3", 3) == 0;
}

// Whole tag length from the header, or 0 when it would reach past the end of the file.
int64_t TagLength(const Header& header, int64_t fileSize) {
    const int64_t length = (int64_t{header[6]} << 21) + (int64_t{header[7]} << 14) +
                           (int64_t{header[8]} << 7) + header[9] + 10;
    return length > fileSize ? 0 : length;
}

bool ReadHeader(const std::string& fileName, Header& header, int64_t& fileSize) {
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        if (!file.ReadExact(header.data(), header.size())) {
            return false;
        }
        fileSize = file.Size();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Reads the frames of a version 2.3 tag into raw texts. A frame's text is its first 2500 data
// bytes; a shorter frame is followed by a zero byte, as if read into a zeroed buffer, so that
// the rules that search for the end of a description behave the same either way.
void ScanFrames(const std::string& fileName, int64_t tagSize, RawTexts& raw) {
    try {
        TagFileReader file(fileName);
        file.Seek(kHeaderSize);
        while (file.Position() < tagSize && !file.AtEnd()) {
            std::array<uint8_t, 10> frame{};
            const int64_t framePosition = file.Position();
            if (!file.ReadExact(frame.data(), frame.size())) {
                return;
            }
            if (frame[0] < 'A' || frame[0] > 'Z') {
                return; // padding
            }
            const uint32_t dataSize = (uint32_t{frame[4]} << 24) | (uint32_t{frame[5]} << 16) |
                                      (uint32_t{frame[6]} << 8) | frame[7];
            std::string text(std::min<size_t>(dataSize, kFrameTextLimit), '\0');
            text.resize(file.Read(text.data(), text.size()));
            if (text.size() < kFrameTextLimit) {
                text.push_back('\0');
            }
            const std::string_view id(reinterpret_cast<const char*>(frame.data()), 4);
            for (size_t i = 0; i < kFrameIDs.size(); ++i) {
                if (id == kFrameIDs[i]) {
                    raw[i] = std::move(text);
                    break;
                }
            }
            file.Seek(framePosition + 10 + int64_t{dataSize});
        }
    } catch (const std::exception&) {
        // A read failure ends the scan; what was read so far stays.
    }
}

// Drops `prefix` characters, then everything up to and including the first zero byte (the end
// of a description), then blanks.
std::string AfterDescription(const std::string& raw, size_t prefix) {
    std::string text = raw.substr(std::min(prefix, raw.size()));
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) {
        text.erase(0, zero + 1);
    }
    return TrimBlanks(text);
}

// A genre text without the numeric references in parentheses before it.
std::string GenreText(const std::string& raw) {
    std::string text = TrimBlanks(raw);
    const size_t close = text.rfind(')');
    if (close != std::string::npos) {
        text.erase(0, close + 1);
    }
    return text;
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

} // namespace

TID3v2::TID3v2() {
    Clear();
}

void TID3v2::Clear() {
    exists_ = false;
    versionID_ = 0;
    size_ = 0;
    track_ = 0;
    for (std::string* text : {&title_, &artist_, &album_, &year_, &genre_, &comment_, &composer_,
                              &encoder_, &copyright_, &language_, &link_, &lyrics_}) {
        text->clear();
    }
}

void TID3v2::SetTitle(std::string_view value) {
    title_ = TrimBlanks(value);
}
void TID3v2::SetArtist(std::string_view value) {
    artist_ = TrimBlanks(value);
}
void TID3v2::SetAlbum(std::string_view value) {
    album_ = TrimBlanks(value);
}
void TID3v2::SetYear(std::string_view value) {
    year_ = TrimBlanks(value);
}
void TID3v2::SetGenre(std::string_view value) {
    genre_ = TrimBlanks(value);
}
void TID3v2::SetComment(std::string_view value) {
    comment_ = TrimBlanks(value);
}
void TID3v2::SetComposer(std::string_view value) {
    composer_ = TrimBlanks(value);
}
void TID3v2::SetEncoder(std::string_view value) {
    encoder_ = TrimBlanks(value);
}
void TID3v2::SetCopyright(std::string_view value) {
    copyright_ = TrimBlanks(value);
}
void TID3v2::SetLanguage(std::string_view value) {
    language_ = TrimBlanks(value);
}
void TID3v2::SetLink(std::string_view value) {
    link_ = TrimBlanks(value);
}
void TID3v2::SetLyrics(std::string_view value) {
    lyrics_ = TrimBlanks(value);
}

bool TID3v2::ReadTag(const std::string& fileName) {
    Clear();
    Header header{};
    int64_t fileSize = 0;
    if (!ReadHeader(fileName, header, fileSize)) {
        return false;
    }
    if (!IsTagHeader(header)) {
        return true;
    }
    exists_ = true;
    versionID_ = header[3];
    size_ = static_cast<int32_t>(TagLength(header, fileSize));
    if (versionID_ != 3 || size_ <= 0) {
        return true;
    }
    RawTexts raw;
    ScanFrames(fileName, size_, raw);
    title_ = TrimBlanks(raw[fiTitle]);
    artist_ = TrimBlanks(raw[fiArtist]);
    album_ = TrimBlanks(raw[fiAlbum]);
    track_ = TrackFromText(TrimBlanks(raw[fiTrack]));
    year_ = TrimBlanks(raw[fiYear]);
    genre_ = GenreText(raw[fiGenre]);
    comment_ = AfterDescription(raw[fiComment], 4);
    composer_ = TrimBlanks(raw[fiComposer]);
    encoder_ = TrimBlanks(raw[fiEncoder]);
    copyright_ = TrimBlanks(raw[fiCopyright]);
    language_ = TrimBlanks(raw[fiLanguage]);
    link_ = AfterDescription(raw[fiLink], 1);
    lyrics_ = AfterDescription(raw[fiLyrics], 4);
    return true;
}

std::vector<uint8_t> TID3v2::BuildTag() const {
    const std::string descriptionEnd(1, '\0');
    RawTexts raw;
    raw[fiTitle] = title_;
    raw[fiArtist] = artist_;
    raw[fiAlbum] = album_;
    raw[fiTrack] = track_ != 0 ? std::to_string(track_) : std::string();
    raw[fiYear] = year_;
    raw[fiGenre] = genre_;
    raw[fiComment] = comment_.empty() ? std::string() : "eng" + descriptionEnd + comment_;
    raw[fiComposer] = composer_;
    raw[fiEncoder] = encoder_;
    raw[fiCopyright] = copyright_;
    raw[fiLanguage] = language_;
    raw[fiLink] = link_.empty() ? std::string() : descriptionEnd + link_;
    raw[fiLyrics] = lyrics_.empty() ? std::string() : "eng" + descriptionEnd + lyrics_;

    uint64_t bodySize = 0;
    for (const std::string& text : raw) {
        if (!text.empty()) {
            bodySize += text.size() + 11;
        }
    }
    if (bodySize > kMaxTagBody) {
        return {};
    }
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.push_back(static_cast<uint8_t>((bodySize >> shift) & 0x7F));
    }
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].empty()) {
            continue;
        }
        tag.insert(tag.end(), kFrameIDs[i], kFrameIDs[i] + 4);
        PutBigEndian32(tag, static_cast<uint32_t>(raw[i].size() + 1));
        tag.insert(tag.end(), {0, 0, 0});
        tag.insert(tag.end(), raw[i].begin(), raw[i].end());
    }
    return tag;
}

bool TID3v2::WriteTag(const std::string& fileName) {
    const std::vector<uint8_t> tag = BuildTag();
    Header header{};
    int64_t fileSize = 0;
    if (tag.empty() || !ReadHeader(fileName, header, fileSize)) {
        return false;
    }
    return RewriteThroughTempFile(fileName, [&tag](Stream& original, TagRewriteOutput& output) {
        Header current{};
        if (!original.ReadExact(current.data(), current.size())) {
            return false;
        }
        const int64_t audioStart =
            IsTagHeader(current) ? TagLength(current, original.Size()) : int64_t{0};
        original.SetPosition(audioStart);
        output.Write(tag);
        output.CopyRest(original);
        return true;
    });
}

} // namespace quillon
