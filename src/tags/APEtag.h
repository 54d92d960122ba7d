#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One item of an APE tag as stored: key, item flags and value bytes. Text values are UTF-8
// (those of version 1000 tags are converted when read).
struct APEItem {
    std::string Key;
    uint32_t Flags = 0;
    std::string Value;
    // Written by us: a version 1000 tag ends the value with a zero byte.
    bool Terminated = false;

    bool IsText() const { return (Flags & 0x6) == 0; }
};

// The APE tag at the end of a Monkey's Audio file. It holds every item it read; the eight
// named fields read and replace items, and a write keeps every other item (binary ones
// included) as it was. An ID3v1 tag after it is taken into account when reading and removed
// with it. A tag is only cut from a file when its items fill exactly the size its footer
// states, so that no audio data is cut on a damaged footer's word. Operations never raise.
class TAPEtag {
public:
    TAPEtag();

    void Clear();
    // False when the footer area cannot be read; true otherwise (Exists tells).
    bool ReadTag(const std::string& fileName);
    // Cuts the APE tag and any ID3v1 tag at the end of the file.
    bool RemoveTag(const std::string& fileName);
    // Replaces the tags at the end of the file with this tag: version 1000 while every text
    // is ASCII and the tag read was not of version 2000, otherwise version 2000 with a header.
    bool WriteTag(const std::string& fileName);

    // An APE tag footer was found.
    bool Exists() const { return exists_; }
    // 1000 or 2000.
    int32_t VersionID() const { return versionID_; }
    // Items plus footer, a header not included.
    int32_t Size() const { return size_; }
    std::string Title() const { return Text("Title"); }
    std::string Artist() const { return Text("Artist"); }
    std::string Album() const { return Text("Album"); }
    // 0 = no track number.
    uint8_t Track() const;
    std::string Year() const { return Text("Year"); }
    std::string Genre() const { return Text("Genre"); }
    std::string Comment() const { return Text("Comment"); }
    std::string Copyright() const { return Text("Copyright"); }
    const std::vector<APEItem>& Items() const { return items_; }

    // Text setters drop leading and trailing characters of code 32 or below; an empty text
    // removes the item. A value equal to what the field reads leaves the item as it is.
    void SetTitle(std::string_view value) { SetText("Title", value); }
    void SetArtist(std::string_view value) { SetText("Artist", value); }
    void SetAlbum(std::string_view value) { SetText("Album", value); }
    void SetTrack(uint8_t value);
    void SetYear(std::string_view value) { SetText("Year", value); }
    void SetGenre(std::string_view value) { SetText("Genre", value); }
    void SetComment(std::string_view value) { SetText("Comment", value); }
    void SetCopyright(std::string_view value) { SetText("Copyright", value); }

private:
    // The trimmed text of the last item with this key (ASCII case ignored).
    std::string Text(std::string_view key) const;
    void SetText(std::string_view key, std::string_view value);

    bool exists_ = false;
    int32_t versionID_ = 0;
    int32_t size_ = 0;
    std::vector<APEItem> items_;
};

} // namespace quillon
