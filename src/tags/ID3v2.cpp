#include "tags/ID3v2.h"

#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/ID3v2Parse.h"
#include "tags/StreamCopy.h"
#include "tags/TagFileRewrite.h"
#include "tags/TagTextRules.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

constexpr size_t kHeaderSize = 10;
// The largest tag size the header's four 7-bit groups can state.
constexpr uint64_t kMaxTagBody = 0x0FFFFFFF;

using Header = std::array<uint8_t, kHeaderSize>;
using FrameList = std::vector<TID3v2Frame>;

// The frames of the named text fields, in the order new frames are added.
constexpr const char* kTitle = "TIT2";
constexpr const char* kArtist = "TPE1";
constexpr const char* kAlbum = "TALB";
constexpr const char* kTrack = "TRCK";
constexpr const char* kYear = "TYER";
constexpr const char* kGenre = "TCON";
constexpr const char* kComment = "COMM";
constexpr const char* kComposer = "TCOM";
constexpr const char* kEncoder = "TENC";
constexpr const char* kCopyright = "TCOP";
constexpr const char* kLanguage = "TLAN";
constexpr const char* kLink = "WXXX";
constexpr const char* kLyrics = "USLT";

bool IsTagHeader(const uint8_t* header) {
    return std::memcmp(header, "ID3", 3) == 0;
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

std::vector<uint8_t> ReadRange(Stream& file, int64_t length) {
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    file.SetPosition(0);
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return bytes;
}

std::optional<Id3Fields> FieldsOf(const TID3v2Frame& frame) {
    const std::optional<std::string> content = Id3FrameContent(frame);
    if (!content) {
        return std::nullopt;
    }
    return Id3SplitFields(Id3Layout(frame.ID), *content);
}

FrameList::const_iterator FindFrame(const FrameList& frames, const char* id) {
    return std::find_if(frames.begin(), frames.end(),
                        [id](const TID3v2Frame& f) { return f.ID == id; });
}

// The first frame of a text field, its first value.
std::string FrameText(const FrameList& frames, const char* id) {
    const auto frame = FindFrame(frames, id);
    if (frame == frames.end()) {
        return {};
    }
    const std::optional<Id3Fields> fields = FieldsOf(*frame);
    return fields ? TrimBlanks(fields->Values[0]) : std::string();
}

// Index of a frame with a description that carries a named field: the first one with an empty
// description, else the first one; -1 when there is none.
ptrdiff_t DescribedFrame(const FrameList& frames, const char* id) {
    const size_t description = std::strcmp(id, kLink) == 0 ? 0 : 1;
    ptrdiff_t first = -1;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].ID != id) {
            continue;
        }
        if (first < 0) {
            first = static_cast<ptrdiff_t>(i);
        }
        // Only plain frames are opened in the search, so that a tag of many compressed frames
        // costs one decompression, not one each.
        if (frames[i].FormatFlags & (kId3v23Compressed | kId3v23Encrypted)) {
            continue;
        }
        const std::optional<Id3Fields> fields = FieldsOf(frames[i]);
        if (fields && fields->Values[description].empty()) {
            return static_cast<ptrdiff_t>(i);
        }
    }
    return first;
}

std::string DescribedText(const FrameList& frames, const char* id) {
    const ptrdiff_t index = DescribedFrame(frames, id);
    if (index < 0) {
        return {};
    }
    const std::optional<Id3Fields> fields = FieldsOf(frames[static_cast<size_t>(index)]);
    if (!fields) {
        return {};
    }
    const std::string& text = fields->Values.back();
    return TrimBlanks(std::strcmp(id, kLink) == 0 ? Utf8FromLatin1(text) : text);
}

// A genre text without the numeric references in parentheses before it.
std::string GenreText(const std::string& text) {
    const size_t close = text.rfind(')');
    return close == std::string::npos ? text : text.substr(close + 1);
}

std::vector<uint8_t> BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

void SetText(FrameList& frames, const char* id, const std::string& value) {
    if (FrameText(frames, id) == value) {
        return;
    }
    const auto frame = std::find_if(frames.begin(), frames.end(),
                                    [id](const TID3v2Frame& f) { return f.ID == id; });
    if (value.empty()) {
        frames.erase(std::remove_if(frames.begin(), frames.end(),
                                    [id](const TID3v2Frame& f) { return f.ID == id; }),
                     frames.end());
        return;
    }
    const TID3v2Frame replacement{id, 0, 0,
                                  BytesOf(Id3JoinFields("eT", Id3EncodingFor({value}), {value}))};
    if (frame == frames.end()) {
        frames.push_back(replacement);
    } else {
        *frame = replacement;
    }
}

void SetDescribed(FrameList& frames, const char* id, const std::string& value) {
    if (DescribedText(frames, id) == value) {
        return;
    }
    const ptrdiff_t index = DescribedFrame(frames, id);
    if (value.empty()) {
        frames.erase(frames.begin() + index);
        return;
    }
    const bool link = std::strcmp(id, kLink) == 0;
    const std::string_view layout = Id3Layout(id);
    std::vector<std::string> values =
        link ? std::vector<std::string>{"", ""} : std::vector<std::string>{"eng", "", ""};
    if (index >= 0) {
        if (const std::optional<Id3Fields> old = FieldsOf(frames[static_cast<size_t>(index)])) {
            values = old->Values;
        }
    }
    values.back() = link ? Latin1FromUtf8(value) : value;
    const uint8_t encoding = Id3EncodingFor(Id3EncodedTexts(layout, values));
    const TID3v2Frame replacement{id, 0, 0, BytesOf(Id3JoinFields(layout, encoding, values))};
    if (index < 0) {
        frames.push_back(replacement);
    } else {
        frames[static_cast<size_t>(index)] = replacement;
    }
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
    frames_.clear();
    readProblem_.clear();
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
    if (!IsTagHeader(header.data())) {
        return true;
    }
    exists_ = true;
    versionID_ = header[3];
    const int64_t length = Id3v2TagLength(header.data());
    if (length > fileSize) {
        return true;
    }
    size_ = static_cast<int32_t>(length);
    try {
        FileStream file(fileName, FileStream::Mode::Read);
        const TID3v2Parse parsed = ParseId3v2(ReadRange(file, length));
        frames_ = parsed.Frames;
        readProblem_ = parsed.Problem;
    } catch (const std::exception&) {
        readProblem_ = "The ID3v2 tag could not be read.";
    }
    title_ = FrameText(frames_, kTitle);
    artist_ = FrameText(frames_, kArtist);
    album_ = FrameText(frames_, kAlbum);
    track_ = TrackFromText(FrameText(frames_, kTrack));
    year_ = FrameText(frames_, kYear);
    genre_ = GenreText(FrameText(frames_, kGenre));
    comment_ = DescribedText(frames_, kComment);
    composer_ = FrameText(frames_, kComposer);
    encoder_ = FrameText(frames_, kEncoder);
    copyright_ = FrameText(frames_, kCopyright);
    language_ = FrameText(frames_, kLanguage);
    link_ = DescribedText(frames_, kLink);
    lyrics_ = DescribedText(frames_, kLyrics);
    return true;
}

std::vector<TID3v2Frame> TID3v2::AppliedFrames() const {
    FrameList frames = frames_;
    SetText(frames, kTitle, title_);
    SetText(frames, kArtist, artist_);
    SetText(frames, kAlbum, album_);
    if (TrackFromText(FrameText(frames, kTrack)) != track_) {
        SetText(frames, kTrack, track_ != 0 ? std::to_string(track_) : std::string());
    }
    if (FrameText(frames, kYear) != year_) {
        SetText(frames, kYear, year_);
        // A recording time of version 2.4 that another tagger left in the tag would contradict
        // the new year in players that prefer it.
        frames.erase(std::remove_if(frames.begin(), frames.end(),
                                    [](const TID3v2Frame& f) { return f.ID == "TDRC"; }),
                     frames.end());
    }
    if (GenreText(FrameText(frames, kGenre)) != genre_) {
        SetText(frames, kGenre, genre_);
    }
    SetDescribed(frames, kComment, comment_);
    SetText(frames, kComposer, composer_);
    SetText(frames, kEncoder, encoder_);
    SetText(frames, kCopyright, copyright_);
    SetText(frames, kLanguage, language_);
    SetDescribed(frames, kLink, link_);
    SetDescribed(frames, kLyrics, lyrics_);
    return frames;
}

std::vector<uint8_t> TID3v2::BuildTag() const {
    const FrameList frames = AppliedFrames();
    uint64_t bodySize = 0;
    for (const TID3v2Frame& frame : frames) {
        if (!frame.Data.empty()) {
            bodySize += frame.Data.size() + kHeaderSize;
        }
    }
    if (bodySize > kMaxTagBody) {
        return {};
    }
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    tag.reserve(static_cast<size_t>(bodySize) + kHeaderSize);
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.push_back(static_cast<uint8_t>((bodySize >> shift) & 0x7F));
    }
    for (const TID3v2Frame& frame : frames) {
        if (frame.Data.empty()) {
            continue;
        }
        tag.insert(tag.end(), frame.ID.begin(), frame.ID.end());
        PutBigEndian32(tag, static_cast<uint32_t>(frame.Data.size()));
        tag.push_back(frame.StatusFlags);
        tag.push_back(frame.FormatFlags);
        tag.insert(tag.end(), frame.Data.begin(), frame.Data.end());
    }
    return tag;
}

bool TID3v2::WriteTag(const std::string& fileName) {
    return Write(fileName, nullptr);
}

bool TID3v2::WriteTag(const std::string& fileName, const std::array<uint8_t, 128>& id3v1) {
    return Write(fileName, &id3v1);
}

bool TID3v2::Write(const std::string& fileName, const std::array<uint8_t, 128>* id3v1) {
    lastError_.clear();
    if (!readProblem_.empty()) {
        lastError_ = readProblem_ + " The tags were not written.";
        return false;
    }
    const std::vector<uint8_t> tag = BuildTag();
    if (tag.empty()) {
        lastError_ = "The ID3v2 tag would be larger than the format allows.";
        return false;
    }
    Header header{};
    int64_t fileSize = 0;
    if (!ReadHeader(fileName, header, fileSize)) {
        lastError_ = "The file cannot be read as an MP3 file.";
        return false;
    }
    std::string refusal;
    const bool written =
        RewriteThroughTempFile(fileName, [&](Stream& original, TagRewriteOutput& output) {
            const int64_t size = original.Size();
            Header current{};
            if (!original.ReadExact(current.data(), current.size())) {
                return false;
            }
            int64_t audioStart = 0;
            // A tag that states a length past the end of the file stays behind the new one.
            if (IsTagHeader(current.data()) && Id3v2TagLength(current.data()) <= size) {
                audioStart = Id3v2TagLength(current.data());
                if (!ParseId3v2(ReadRange(original, audioStart)).Clean) {
                    refusal = "The old ID3v2 tag states a size that covers more than its frames "
                              "(possibly audio data); the tags were not written.";
                    return false;
                }
            }
            int64_t audioEnd = size;
            if (id3v1 != nullptr && size - 128 >= audioStart) {
                std::array<char, 3> mark{};
                original.SetPosition(size - 128);
                if (original.ReadExact(mark.data(), mark.size()) &&
                    std::memcmp(mark.data(), "TAG", 3) == 0) {
                    audioEnd = size - 128;
                }
            }
            output.Write(tag);
            if (!CopyStreamRange(original, audioStart, audioEnd - audioStart, output)) {
                return false;
            }
            if (id3v1 != nullptr) {
                output.Write(id3v1->data(), id3v1->size());
            }
            return true;
        });
    if (!written) {
        lastError_ = !refusal.empty() ? refusal
                                      : "The file could not be rewritten (is it or its folder "
                                        "write-protected?); it was left unchanged.";
    }
    return written;
}

} // namespace quillon
