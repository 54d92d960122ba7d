#include "tags/WMAfile.h"

#include "platform/CodePage.h"
#include "tags/InfoText.h"
#include "tags/TagFileReader.h"
#include "tags/TagTextRules.h"

#include <array>
#include <cstring>

namespace quillon {

namespace {

using Guid = std::array<unsigned char, 16>;

// The on-disk byte order of a GUID written as 8-4-4-4-12 hex digits: the first three groups
// are little-endian, the last two are stored as written.
constexpr Guid MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
    return {static_cast<unsigned char>(a),       static_cast<unsigned char>(a >> 8),
            static_cast<unsigned char>(a >> 16), static_cast<unsigned char>(a >> 24),
            static_cast<unsigned char>(b),       static_cast<unsigned char>(b >> 8),
            static_cast<unsigned char>(c),       static_cast<unsigned char>(c >> 8),
            static_cast<unsigned char>(d >> 56), static_cast<unsigned char>(d >> 48),
            static_cast<unsigned char>(d >> 40), static_cast<unsigned char>(d >> 32),
            static_cast<unsigned char>(d >> 24), static_cast<unsigned char>(d >> 16),
            static_cast<unsigned char>(d >> 8),  static_cast<unsigned char>(d)};
}

constexpr Guid kHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr Guid kFileProperties = MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365);
constexpr Guid kStreamProperties = MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365);
constexpr Guid kContentDescription = MakeGuid(0x75B22633, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr Guid kExtendedContentDescription =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, 0x97F000A0C95EA850);

// Longest text kept of one attribute, in UTF-16 code units; the rest is skipped.
constexpr size_t kMaxTextUnits = 2500;
// Smallest possible object: its GUID and its size.
constexpr uint32_t kObjectHeaderSize = 24;

enum TextIndex { tiTitle, tiArtist, tiAlbum, tiTrack, tiYear, tiGenre, tiComment, tiLyrics };

// Extended-content names, in the order of TextIndex.
constexpr std::array<const char16_t*, 8> kDescriptorNames = {
    u"WM/TITLE", u"WM/AUTHOR", u"WM/ALBUMTITLE",  u"WM/TRACKNUMBER",
    u"WM/YEAR",  u"WM/GENRE",  u"WM/DESCRIPTION", u"WM/LYRICS"};

// Value types of extended-content descriptors that hold numbers (BOOL, DWORD, QWORD, WORD).
constexpr uint16_t kFirstNumericType = 2;
constexpr uint16_t kLastNumericType = 5;
constexpr uint16_t kWordType = 5;
constexpr uint16_t kUnicodeType = 0;

// A read that comes back short ends the examination.
struct ShortRead {};

class HeaderReader {
public:
    explicit HeaderReader(TagFileReader& file) : file_(file) {}

    void Bytes(void* buffer, size_t count) {
        if (!file_.ReadExact(buffer, count)) {
            throw ShortRead{};
        }
    }
    uint16_t U16() {
        std::array<unsigned char, 2> b{};
        Bytes(b.data(), b.size());
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    // A UTF-16 text of byteCount bytes, of which at most kMaxTextUnits code units are kept.
    std::u16string Text(size_t byteCount) {
        const size_t units = std::min(byteCount / 2, kMaxTextUnits);
        std::u16string text(units, u'\0');
        for (auto& unit : text) {
            unit = static_cast<char16_t>(U16());
        }
        Skip(byteCount - units * 2);
        return text;
    }
    void Skip(int64_t count) { file_.Seek(file_.Position() + count); }
    int64_t Position() { return file_.Position(); }
    void SetPosition(int64_t position) { file_.Seek(position); }

private:
    TagFileReader& file_;
};

std::u16string UpperAscii(std::u16string text) {
    for (auto& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text;
}

struct HeaderData {
    uint32_t maxBitRate = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    std::array<std::u16string, 8> texts;
    uint16_t trackType = kUnicodeType;
};

void ReadContentDescription(HeaderReader& in, int64_t object, HeaderData& data) {
    in.SetPosition(object + 24);
    std::array<uint16_t, 5> lengths{};
    for (auto& length : lengths) {
        length = in.U16();
    }
    // Title, author, copyright, description, rating: copyright and rating are not shown.
    constexpr std::array<int, 5> targets = {tiTitle, tiArtist, -1, tiComment, -1};
    for (size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] == 0) {
            continue;
        }
        std::u16string text = in.Text(lengths[i]);
        if (targets[i] >= 0) {
            data.texts[static_cast<size_t>(targets[i])] = std::move(text);
        }
    }
}

void ReadExtendedContentDescription(HeaderReader& in, int64_t object, HeaderData& data) {
    in.SetPosition(object + 24);
    const uint16_t count = in.U16();
    for (uint16_t i = 0; i < count; ++i) {
        const std::u16string name = UpperAscii(TrimBlanks16(in.Text(in.U16())));
        const uint16_t type = in.U16();
        std::u16string value = in.Text(in.U16());
        for (size_t k = 0; k < kDescriptorNames.size(); ++k) {
            if (name == kDescriptorNames[k]) {
                data.texts[k] = std::move(value);
                if (k == tiTrack) {
                    data.trackType = type;
                }
                break;
            }
        }
    }
}

void ReadHeaderObjects(HeaderReader& in, int64_t fileSize, HeaderData& data) {
    in.Skip(8);
    const uint32_t count = in.U32();
    in.Skip(2);
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t object = in.Position();
        Guid guid{};
        in.Bytes(guid.data(), guid.size());
        const uint32_t size = in.U32();
        if (guid == kFileProperties) {
            in.SetPosition(object + 100);
            data.maxBitRate = in.U32();
        } else if (guid == kStreamProperties) {
            in.SetPosition(object + 80);
            data.channels = in.U16();
            data.sampleRate = in.U32();
            data.byteRate = in.U32();
        } else if (guid == kContentDescription) {
            ReadContentDescription(in, object, data);
        } else if (guid == kExtendedContentDescription) {
            ReadExtendedContentDescription(in, object, data);
        }
        // An object too small to hold its own header, or running past the end of the file,
        // ends the walk: a lying count must not make it go on forever.
        if (size < kObjectHeaderSize || object + size > fileSize) {
            break;
        }
        in.SetPosition(object + size);
    }
}

// The track number of a WM/TrackNumber value: numbers are stored either as binary values or
// as decimal text.
uint32_t TrackNumber(const std::u16string& text, uint16_t type) {
    if (text.empty()) {
        return 0;
    }
    if (type == kUnicodeType) {
        return TrackFromText(Utf8FromUtf16(TrimBlanks16(text)));
    }
    if (type >= kFirstNumericType && type <= kLastNumericType) {
        const uint32_t high = text.size() > 1 && type != kWordType ? text[1] : 0;
        return text[0] | high << 16;
    }
    return text[0];
}

} // namespace

void TWMAfile::Clear() {
    valid_ = false;
    fileSize_ = 0;
    channelModeID_ = 0;
    sampleRate_ = 0;
    duration_ = 0;
    bitRate_ = 0;
    title_.clear();
    artist_.clear();
    album_.clear();
    track_ = 0;
    year_.clear();
    genre_.clear();
    comment_.clear();
    lyrics_.clear();
}

bool TWMAfile::ReadInfo(const std::string& fileName) {
    Clear();
    HeaderData data;
    int64_t fileSize = 0;
    try {
        // Buffered: the header is read in many small fields.
        TagFileReader file(fileName);
        fileSize = file.Size();
        HeaderReader in(file);
        Guid guid{};
        in.Bytes(guid.data(), guid.size());
        if (guid == kHeaderObject) {
            ReadHeaderObjects(in, fileSize, data);
        }
    } catch (const EStreamError&) {
        return false;
    } catch (const ShortRead&) {
        return false;
    }

    if (data.maxBitRate == 0 || data.maxBitRate >= 320000 || data.channels < 1 ||
        data.channels > 2 || data.sampleRate < 8000 || data.sampleRate > 96000 ||
        data.byteRate == 0 || data.byteRate >= 40000) {
        return true;
    }
    valid_ = true;
    fileSize_ = static_cast<uint32_t>(fileSize);
    channelModeID_ = static_cast<uint8_t>(data.channels);
    sampleRate_ = data.sampleRate;
    duration_ = static_cast<double>(fileSize) * 8 / data.maxBitRate;
    bitRate_ = data.byteRate * 8 / 1000;
    title_ = TrimBlanks16(data.texts[tiTitle]);
    artist_ = TrimBlanks16(data.texts[tiArtist]);
    album_ = TrimBlanks16(data.texts[tiAlbum]);
    year_ = TrimBlanks16(data.texts[tiYear]);
    genre_ = TrimBlanks16(data.texts[tiGenre]);
    comment_ = TrimBlanks16(data.texts[tiComment]);
    lyrics_ = TrimBlanks16(data.texts[tiLyrics]);
    track_ = TrackNumber(data.texts[tiTrack], data.trackType);
    return true;
}

std::string TWMAfile::ChannelMode() const {
    return MonoStereoText(channelModeID_);
}

} // namespace quillon
