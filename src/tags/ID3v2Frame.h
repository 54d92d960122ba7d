#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One frame of an ID3v2 tag in version 2.3 form: its identifier, the two flag bytes and the
// bytes that follow the frame header (including the decompressed size, encryption method and
// group byte that the flags announce). Frames read from other versions are converted into this
// form; frames nobody here understands are kept as they are.
struct TID3v2Frame {
    std::string ID;
    uint8_t StatusFlags = 0;
    uint8_t FormatFlags = 0;
    std::vector<uint8_t> Data;
};

// Flag bits of version 2.3 frames.
constexpr uint8_t kId3v23Compressed = 0x80;
constexpr uint8_t kId3v23Encrypted = 0x40;
constexpr uint8_t kId3v23Grouped = 0x20;

// Decompressed frames larger than this are not inflated.
constexpr size_t kId3MaxInflated = 16 * 1024 * 1024;

// The content of a version 2.3 frame with compression undone and the flag bytes removed;
// nothing for encrypted frames and for compressed frames that do not inflate.
std::optional<std::string> Id3FrameContent(const TID3v2Frame& frame);

// zlib data inflated to at most kId3MaxInflated bytes; nothing when it fails.
std::optional<std::string> Id3Inflate(std::string_view compressed);

// Undoes ID3 unsynchronisation (0xFF 0x00 becomes 0xFF).
std::string Id3Resynchronise(std::string_view data);

// Texts of ID3 encodings (0 Latin-1, 1 UTF-16 with byte-order mark, 2 UTF-16BE, 3 UTF-8)
// to and from UTF-8.
std::string Id3DecodeText(uint8_t encoding, std::string_view bytes);
// Encoding 0 writes Latin-1, anything else UTF-16 little-endian with byte-order mark.
std::string Id3EncodeText(uint8_t encoding, std::string_view utf8);
// The encoding a version 2.3 frame uses for these texts: 0 when Latin-1 holds them all, else 1.
uint8_t Id3EncodingFor(const std::vector<std::string_view>& texts);

// The fields of a frame that carries an encoding byte, decoded to UTF-8, described by a layout
// of one letter per field: 'e' the encoding byte, 'l' a 3-byte language, 'b' one raw byte,
// 'L' a terminated Latin-1 text, 't' a terminated encoded text, 'T' encoded text up to the end
// (values separated by terminators, as version 2.4 stores lists), 'U' Latin-1 text up to the
// end, 'B' binary data up to the end. Raw fields ('l', 'b', 'L', 'U', 'B') keep their bytes.
struct Id3Fields {
    uint8_t Encoding = 0;
    std::vector<std::string> Values;
    // A 'T' field held more than one value.
    bool ManyValues = false;
};
// The layout of a version 2.3 frame identifier; empty for frames without an encoding byte.
std::string_view Id3Layout(std::string_view id);
// Nothing when the content is too short for the layout's fixed parts.
std::optional<Id3Fields> Id3SplitFields(std::string_view layout, std::string_view content);
// Content from fields in the given encoding (0 or 1); 'T' values are joined with "/".
std::string Id3JoinFields(std::string_view layout, uint8_t encoding,
                          const std::vector<std::string>& values);
// The texts of the fields that an encoding has to hold.
std::vector<std::string_view> Id3EncodedTexts(std::string_view layout,
                                              const std::vector<std::string>& values);

} // namespace quillon
