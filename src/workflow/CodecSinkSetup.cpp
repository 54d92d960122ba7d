#include "workflow/CodecSinkSetup.h"

#include "codecs/FLACOut.h"
#include "codecs/MACOut.h"
#include "codecs/MP3Out.h"
#include "codecs/VorbisOut.h"
#include "codecs/WMAOut.h"
#include "codecs/WMAProfile.h"
#include "platform/CodePage.h"
#include "tags/ID3v2.h"
#include "tags/TagTextRules.h"

#include <string>
#include <vector>

namespace quillon {

namespace {

// Applies a list's selected position; a list without selection leaves the sink's value.
template <typename Enum, typename Setter>
void SetFromPosition(const Settings& settings, const char* name, int count, Setter set) {
    const int position = settings.ListPosition(name);
    if (position >= 0 && position < count) {
        set(static_cast<Enum>(position));
    }
}

// Applies the number a bit-rate list shows; a list without selection leaves the sink's value.
template <typename Setter>
void SetFromListNumber(const Settings& settings, const char* name, Setter set) {
    const std::string text = settings.ListText(name);
    if (!text.empty()) {
        set(std::stoi(text));
    }
}

// The tags as Vorbis comments (both the tags and the comments are UTF-8); rips also give the
// track number. Empty texts are left out.
std::vector<std::string> VorbisComments(const SinkRequest& request) {
    std::vector<std::string> lines;
    const auto add = [&lines](const char* name, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(name + value);
        }
    };
    add("TITLE=", request.tags.Title);
    add("ARTIST=", request.tags.Artist);
    add("ALBUM=", request.tags.Album);
    if (request.ripping) {
        add("TRACKNUMBER=", std::to_string(request.trackNumber));
    }
    add("DATE=", request.tags.Year);
    add("COMMENT=", request.tags.Comment);
    add("GENRE=", request.tags.Genre);
    return lines;
}

} // namespace

std::unique_ptr<TPcmFileOut> MakeMp3Sink(const SinkRequest& request, const Settings& settings) {
    auto sink = std::make_unique<TMP3Out>();
    sink->SetFileName(request.fileName);
    TMP3Out& s = *sink;
    SetFromPosition<TMP3BitRate>(settings, "CBRBitrate", 18,
                                 [&](TMP3BitRate v) { s.SetBitRate(v); });
    SetFromPosition<TMP3SampleRate>(settings, "SampleRate", 4,
                                    [&](TMP3SampleRate v) { s.SetSampleRate(v); });
    SetFromPosition<TMP3Quality>(settings, "CBRQuality", 10,
                                 [&](TMP3Quality v) { s.SetQuality(v); });
    SetFromPosition<TMP3Mode>(settings, "Mode", 4, [&](TMP3Mode v) { s.SetMode(v); });
    s.SetEnableVBR(settings.Boolean("UseVBR"));
    s.SetWriteVBRHeader(settings.Boolean("WriteVBRHeader"));
    SetFromListNumber(settings, "MinBitrate", [&](int v) { s.SetVBRMinBitrate(v); });
    SetFromListNumber(settings, "MaxBitrate", [&](int v) { s.SetVBRMaxBitrate(v); });
    SetFromPosition<TMP3Quality>(settings, "VBRQuality", 10,
                                 [&](TMP3Quality v) { s.SetVBRQuality(v); });
    s.SetOriginal(settings.Boolean("Original"));
    s.SetCopyright(settings.Boolean("Copyright"));
    s.SetCRC(settings.Boolean("CRC"));
    s.SetId3TagTitle(request.tags.Title);
    s.SetId3TagArtist(request.tags.Artist);
    s.SetId3TagAlbum(request.tags.Album);
    s.SetId3TagYear(request.tags.Year);
    s.SetId3TagTrack(std::to_string(request.trackNumber));
    s.SetId3TagComment(request.tags.Comment);
    s.SetId3TagGenre(request.tags.Genre);
    // LAME's own tag is ID3v1 only, whose Latin-1 slots lose characters and length; an ID3v2.3
    // tag in front carries the full texts.
    TID3v2 tag;
    tag.SetTitle(request.tags.Title);
    tag.SetArtist(request.tags.Artist);
    tag.SetAlbum(request.tags.Album);
    tag.SetYear(request.tags.Year);
    tag.SetGenre(request.tags.Genre);
    tag.SetComment(request.tags.Comment);
    tag.SetTrack(TrackFromText(s.Id3TagTrack()));
    if (!tag.Title().empty() || !tag.Artist().empty() || !tag.Album().empty() ||
        !tag.Year().empty() || !tag.Genre().empty() || !tag.Comment().empty() || tag.Track() != 0) {
        s.SetLeadingTag(tag.BuildTag());
    }
    return sink;
}

std::unique_ptr<TPcmFileOut> MakeVorbisSink(const SinkRequest& request, const Settings& settings) {
    auto sink = std::make_unique<TVorbisOut>();
    sink->SetFileName(request.fileName);
    TVorbisOut& s = *sink;
    s.SetCompression(static_cast<float>(settings.Integer("OGGCompressionLevel")) / 100);
    // The nominal rate first: the other two are checked against it.
    SetFromPosition<TVorbisBitRate>(settings, "DesiredNominalBitrate", 16,
                                    [&](TVorbisBitRate v) { s.SetDesiredNominalBitrate(v); });
    SetFromPosition<TVorbisBitRate>(settings, "DesiredMaximumBitrate", 16,
                                    [&](TVorbisBitRate v) { s.SetDesiredMaximumBitrate(v); });
    SetFromPosition<TVorbisBitRate>(settings, "DesiredMinimumBitrate", 16,
                                    [&](TVorbisBitRate v) { s.SetMinimumBitrate(v); });
    s.SetComments(VorbisComments(request));
    return sink;
}

std::unique_ptr<TPcmFileOut> MakeWmaSink(const SinkRequest& request, const Settings& settings) {
    auto sink = std::make_unique<TWMA_Out>();
    sink->SetFileName(request.fileName);
    sink->SetProfileFile(WmaProfileFile(WmaProfileFolder(), settings.ListPosition("WMABitrate")));
    sink->SetId3TagTitle(request.tags.Title);
    sink->SetId3TagArtist(request.tags.Artist);
    sink->SetId3TagAlbum(request.tags.Album);
    sink->SetId3TagYear(request.tags.Year);
    sink->SetId3TagComment(request.tags.Comment);
    sink->SetId3TagGenre(request.tags.Genre);
    return sink;
}

std::unique_ptr<TPcmFileOut> MakeApeSink(const SinkRequest& request, const Settings& settings) {
    auto sink = std::make_unique<TMACOut>();
    sink->SetFileName(request.fileName);
    const int position = settings.ListPosition("APECompressionLevel");
    if (position >= 0) {
        sink->SetCompressionLevel(position * 1000 + 1000);
    }
    sink->SetId3TagTitle(request.tags.Title);
    sink->SetId3TagArtist(request.tags.Artist);
    sink->SetId3TagAlbum(request.tags.Album);
    sink->SetId3TagYear(request.tags.Year);
    sink->SetId3TagTrack(std::to_string(request.trackNumber));
    sink->SetId3TagComment(request.tags.Comment);
    sink->SetId3TagGenre(request.tags.Genre);
    return sink;
}

std::unique_ptr<TPcmFileOut> MakeFlacSink(const SinkRequest& request) {
    auto sink = std::make_unique<TFLACOut>();
    sink->SetFileName(request.fileName);
    sink->SetComments(VorbisComments(request));
    return sink;
}

} // namespace quillon
