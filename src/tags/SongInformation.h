#pragma once

#include <stdexcept>
#include <string>

namespace quillon {

// Stream facts of a file as display texts.
struct MPEGInfo {
    std::string FileSize;    // "n bytes"
    std::string BitRate;     // with its unit, and for MP3 "CBR" or "VBR"
    std::string SampleRate;  // "n hz"
    std::string ChannelMode; // the examiner's channel-mode text
    std::string ValidMPEG;   // "Yes" or "No"
    std::string MPEGType;    // version and layer
    std::string FirstFrameAt;
    std::string CRCProtection;
    std::string TotalFrames;
    std::string Copyright;
    std::string Original;
    std::string Emphasis;
    std::string Encoder;
    double Duration = 0; // seconds
};

// Tags and stream facts of an audio file as texts for edit boxes (UTF-8).
struct SongInformation {
    std::string Exists; // "Yes" or "No" (tag found), or empty
    std::string Version;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Track; // decimal, or empty
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Encoder;
    std::string Copyright;
    std::string Language;
    std::string Link;
    std::string Lyrics;
    MPEGInfo MPEG;
};

// Raised by WriteSongInformation for a file type it has no tag format for.
class EUnsupportedTagFormat : public std::runtime_error {
public:
    EUnsupportedTagFormat() : std::runtime_error("Not valid MP3 file") {}
};

// Reads a file's tags and stream facts with the examiner that its name's extension chooses,
// in any letter case: .mp3, .wma, .ogg, .ape, .wav, .flac; any other file, and a .flac file that
// is not FLAC, gets its name as Title. Missing and unreadable files give empty texts; only the
// open error of an existing OGG file that cannot be opened is raised (EStreamError).
SongInformation ReadSongInformation(const std::string& fileName);

// Writes the texts as the tags of the file's extension: ".MP3" ID3v2 and ID3v1, ".OGG" and
// ".FLAC" Vorbis comments, ".APE" an APE tag. True when every write succeeded; raises
// EUnsupportedTagFormat for other extensions.
bool WriteSongInformation(const SongInformation& info, const std::string& fileName);

// Why the last WriteSongInformation call on this thread returned false, as a sentence for the
// user (for example an MP3 whose old tag covers audio data); empty when the writer gave none.
const std::string& WriteSongInformationError();

} // namespace quillon
