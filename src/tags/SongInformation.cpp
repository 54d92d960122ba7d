#include "tags/SongInformation.h"

#include "platform/CodePage.h"
#include "platform/FileStream.h"
#include "tags/APEtag.h"
#include "tags/FLACfile.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/InfoText.h"
#include "tags/MPEGaudio.h"
#include "tags/OggVorbis.h"
#include "tags/TagTextRules.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <filesystem>
#include <locale>

namespace quillon {

namespace {

const char* YesNo(bool value) {
    return value ? "Yes" : "No";
}

std::string Bytes(int64_t size) {
    return std::to_string(size) + " bytes";
}
std::string Hertz(uint32_t rate) {
    return std::to_string(rate) + " hz";
}
std::string TrackText(unsigned track) {
    return track != 0 ? std::to_string(track) : std::string();
}

// The thousands separator of the user's locale; "," where the locale groups no digits.
char UserThousandsSeparator() {
    try {
        // The locale must outlive the reference to its facet.
        const std::locale user("");
        const auto& punct = std::use_facet<std::numpunct<char>>(user);
        if (!punct.grouping().empty()) {
            return punct.thousands_sep();
        }
    } catch (const std::runtime_error&) {
        // An unknown locale name in the environment: keep the default.
    }
    return ',';
}

// A number with at least four digits and a separator between thousands: 1000 as 1,000.
std::string FormatThousands(int32_t value) {
    std::string digits = std::to_string(value < 0 ? -static_cast<int64_t>(value) : value);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), '0');
    }
    // Building the user's locale is costly, and its separator does not change while we run.
    static const char separator = UserThousandsSeparator();
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out.push_back(separator);
        }
        out.push_back(digits[i]);
    }
    return value < 0 ? "-" + out : out;
}

void FillEmpty(std::string& field, const std::string& value) {
    if (field.empty()) {
        field = value;
    }
}

void ReadMP3(const std::string& fileName, SongInformation& info) {
    // The MPEG examiner reads both tags on its way and keeps them when it finds a frame; only
    // otherwise are they read on their own (one of them may be readable when it fails).
    TMPEGaudio mpeg;
    const bool examined = mpeg.ReadInfo(fileName);
    const bool shared = examined && mpeg.Frame().Found;
    TID3v2 ownV2;
    TID3v1 ownV1;
    const bool v2Read = shared || ownV2.ReadTag(fileName);
    const bool v1Read = shared || ownV1.ReadTag(fileName);
    const TID3v2& v2 = shared ? mpeg.ID3v2() : ownV2;
    const TID3v1& v1 = shared ? mpeg.ID3v1() : ownV1;
    if (v2Read && v2.Exists()) {
        info.Exists = "Yes";
        info.Version = "2." + std::to_string(v2.VersionID());
        info.Title = v2.Title();
        info.Artist = v2.Artist();
        info.Album = v2.Album();
        info.Track = TrackText(v2.Track());
        info.Year = v2.Year();
        info.Genre = v2.Genre();
        info.Comment = v2.Comment();
        info.Composer = v2.Composer();
        info.Encoder = v2.Encoder();
        info.Copyright = v2.Copyright();
        info.Language = v2.Language();
        info.Link = v2.Link();
        info.Lyrics = v2.Lyrics();
    }
    if (v1Read && v1.Exists()) {
        FillEmpty(info.Title, v1.Title());
        FillEmpty(info.Artist, v1.Artist());
        FillEmpty(info.Album, v1.Album());
        FillEmpty(info.Track, std::to_string(v1.Track()));
        FillEmpty(info.Year, v1.Year());
        FillEmpty(info.Genre, v1.Genre());
        FillEmpty(info.Comment, v1.Comment());
    }
    if (!examined) {
        return;
    }
    MPEGInfo& m = info.MPEG;
    if (!mpeg.Valid()) {
        m.ValidMPEG = "No";
        return;
    }
    m.ValidMPEG = "Yes";
    m.FileSize = Bytes(mpeg.FileLength());
    m.MPEGType = mpeg.Version() + " " + mpeg.Layer();
    m.BitRate = std::to_string(mpeg.BitRate()) + (mpeg.VBR().Found ? " kbit/s VBR" : " kbit/s CBR");
    m.SampleRate = Hertz(mpeg.SampleRate());
    m.ChannelMode = mpeg.ChannelMode();
    m.Duration = mpeg.Duration();
    m.FirstFrameAt = Bytes(mpeg.Frame().Position);
    m.TotalFrames = std::to_string(mpeg.Frames());
    m.CRCProtection = YesNo(mpeg.Frame().ProtectionBit);
    m.Copyright = YesNo(mpeg.Frame().CopyrightBit);
    m.Original = YesNo(mpeg.Frame().OriginalBit);
    m.Emphasis = mpeg.Emphasis();
    m.Encoder = mpeg.Encoder();
}

void ReadWMA(const std::string& fileName, SongInformation& info) {
    TWMAfile wma;
    if (!wma.ReadInfo(fileName) || !wma.Valid()) {
        return;
    }
    info.Exists = "Yes";
    info.MPEG.FileSize = Bytes(wma.FileSize());
    info.MPEG.ChannelMode = wma.ChannelMode();
    info.MPEG.SampleRate = Hertz(wma.SampleRate());
    info.MPEG.Duration = wma.Duration();
    info.MPEG.BitRate = std::to_string(wma.BitRate()) + " kbit";
    info.Title = Utf8FromUtf16(wma.Title());
    info.Artist = Utf8FromUtf16(wma.Artist());
    info.Album = Utf8FromUtf16(wma.Album());
    info.Year = Utf8FromUtf16(wma.Year());
    info.Genre = Utf8FromUtf16(wma.Genre());
    info.Comment = Utf8FromUtf16(wma.Comment());
    info.Lyrics = Utf8FromUtf16(wma.Lyrics());
    info.Track = TrackText(wma.Track());
}

// The comments are read whatever the stream facts look like: a re-tag writes back what is read
// here, and blank texts would erase them.
void ReadOGG(const std::string& fileName, SongInformation& info) {
    TOggVorbis ogg;
    if (!ogg.ReadInfo(fileName)) {
        return;
    }
    info.Title = ogg.Title();
    info.Artist = ogg.Artist();
    info.Album = ogg.Album();
    info.Year = ogg.Date();
    info.Genre = ogg.Genre();
    info.Comment = ogg.Comment();
    info.Track = TrackText(ogg.Track());
    if (!ogg.Valid()) {
        return;
    }
    info.MPEG.FileSize = Bytes(ogg.FileSize());
    info.MPEG.ChannelMode = ogg.ChannelMode();
    info.MPEG.SampleRate = Hertz(ogg.SampleRate());
    info.MPEG.Duration = ogg.Duration();
    info.MPEG.BitRate =
        std::to_string(ogg.BitRate()) + " kbit, nominal " + std::to_string(ogg.BitRateNominal());
}

// False when the file is not a FLAC file.
bool ReadFLAC(const std::string& fileName, SongInformation& info) {
    TFLACfile flac;
    if (!flac.ReadInfo(fileName)) {
        return false;
    }
    info.Exists = YesNo(flac.HasComments());
    info.Title = flac.Title();
    info.Artist = flac.Artist();
    info.Album = flac.Album();
    info.Year = flac.Date();
    info.Genre = flac.Genre();
    info.Comment = flac.Comment();
    info.Track = TrackText(flac.Track());
    MPEGInfo& m = info.MPEG;
    m.ValidMPEG = YesNo(flac.Valid());
    m.FileSize = Bytes(flac.FileSize());
    m.SampleRate = Hertz(flac.SampleRate());
    m.ChannelMode = flac.ChannelMode();
    m.MPEGType = "FLAC " + std::to_string(flac.BitsPerSample()) + " bit";
    m.Encoder = flac.Vendor();
    if (flac.Valid()) {
        m.Duration = flac.Duration();
        m.BitRate = std::to_string(flac.BitRate()) + " kbit";
        m.TotalFrames = std::to_string(flac.TotalSamples());
    }
    return true;
}

void ReadAPE(const std::string& fileName, SongInformation& info) {
    TAPEtag ape;
    if (!ape.ReadTag(fileName)) {
        return;
    }
    if (!ape.Exists()) {
        info.Exists = "No";
        return;
    }
    info.Exists = "Yes";
    info.Version = FormatThousands(ape.VersionID());
    info.Title = ape.Title();
    info.Artist = ape.Artist();
    info.Album = ape.Album();
    info.Year = ape.Year();
    info.Genre = ape.Genre();
    info.Comment = ape.Comment();
    info.Copyright = ape.Copyright();
    info.Track = TrackText(ape.Track());
}

void ReadWAV(const std::string& fileName, SongInformation& info) {
    TWAVfile wav;
    if (!wav.ReadInfo(fileName) || !wav.Valid()) {
        return;
    }
    info.MPEG.ValidMPEG = "Yes";
    info.MPEG.ChannelMode = wav.ChannelMode();
    info.MPEG.SampleRate = Hertz(wav.SampleRate());
    info.MPEG.FileSize = Bytes(wav.FileSize());
    info.MPEG.Duration = wav.Duration();
}

// The track number a Track text stores: 0 (none) for text that is not a number or below 1.
int TrackToStore(const std::string& text) {
    const int track = ParseDecimal(text).value_or(0);
    return track < 1 ? 0 : track;
}

// Why the last WriteSongInformation on this thread failed, when the writer said.
thread_local std::string lastWriteError;

bool WriteMP3(const SongInformation& info, const std::string& fileName) {
    const int track = TrackToStore(info.Track);
    // The frames the tag holds stay; the fields replace only their own entries.
    TID3v2 v2;
    if (!v2.ReadTag(fileName)) {
        lastWriteError = "The file cannot be read as an MP3 file.";
        return false;
    }
    v2.SetTitle(info.Title);
    v2.SetArtist(info.Artist);
    v2.SetAlbum(info.Album);
    v2.SetTrack(static_cast<uint8_t>(track));
    v2.SetYear(info.Year);
    v2.SetGenre(info.Genre);
    v2.SetComment(info.Comment);
    v2.SetComposer(info.Composer);
    v2.SetEncoder(info.Encoder);
    v2.SetCopyright(info.Copyright);
    v2.SetLanguage(info.Language);
    v2.SetLink(info.Link);
    v2.SetLyrics(info.Lyrics);

    TID3v1 v1;
    v1.SetTitle(info.Title);
    v1.SetArtist(info.Artist);
    v1.SetAlbum(info.Album);
    v1.SetYear(info.Year);
    v1.SetTrack(static_cast<uint8_t>(track));
    v1.SetGenre(info.Genre);
    v1.SetComment(info.Comment);
    // Both tags change in one rebuild of the file, so a failure leaves both as they were.
    if (!v2.WriteTag(fileName, v1.BuildRecord())) {
        lastWriteError = v2.LastError();
        return false;
    }
    return true;
}

// Ogg Vorbis and FLAC files keep the same fields in their Vorbis comments.
template <typename File>
bool WriteVorbisComments(const SongInformation& info, const std::string& fileName) {
    File file;
    file.SetTitle(info.Title);
    file.SetArtist(info.Artist);
    file.SetAlbum(info.Album);
    file.SetTrack(static_cast<uint16_t>(TrackToStore(info.Track)));
    file.SetDate(info.Year);
    file.SetGenre(info.Genre);
    file.SetComment(info.Comment);
    return file.WriteTag(fileName);
}

bool WriteAPE(const SongInformation& info, const std::string& fileName) {
    TAPEtag ape;
    ape.SetTitle(info.Title);
    ape.SetArtist(info.Artist);
    ape.SetAlbum(info.Album);
    ape.SetTrack(static_cast<uint8_t>(TrackToStore(info.Track)));
    ape.SetYear(info.Year);
    ape.SetGenre(info.Genre);
    ape.SetComment(info.Comment);
    ape.SetCopyright(info.Copyright);
    return ape.WriteTag(fileName);
}

} // namespace

SongInformation ReadSongInformation(const std::string& fileName) {
    SongInformation info;
    // The examiners each open the file; let them share one descriptor.
    const SharedReadScope sharedFile;
    if (fileName.empty() || !FileStream::Exists(fileName)) {
        return info;
    }
    const std::string extension = AsciiUpper(std::filesystem::path(fileName).extension().string());
    if (extension == ".MP3") {
        ReadMP3(fileName, info);
    } else if (extension == ".WMA") {
        ReadWMA(fileName, info);
    } else if (extension == ".OGG") {
        ReadOGG(fileName, info);
    } else if (extension == ".APE") {
        ReadAPE(fileName, info);
    } else if (extension == ".WAV") {
        ReadWAV(fileName, info);
    } else if (extension != ".FLAC" || !ReadFLAC(fileName, info)) {
        info.Title = std::filesystem::path(fileName).filename().string();
    }
    return info;
}

const std::string& WriteSongInformationError() {
    return lastWriteError;
}

bool WriteSongInformation(const SongInformation& info, const std::string& fileName) {
    lastWriteError.clear();
    const std::string extension = AsciiUpper(std::filesystem::path(fileName).extension().string());
    if (extension == ".APE") {
        return WriteAPE(info, fileName);
    }
    if (extension == ".OGG") {
        return WriteVorbisComments<TOggVorbis>(info, fileName);
    }
    if (extension == ".MP3") {
        return WriteMP3(info, fileName);
    }
    if (extension == ".FLAC") {
        return WriteVorbisComments<TFLACfile>(info, fileName);
    }
    throw EUnsupportedTagFormat();
}

} // namespace quillon
