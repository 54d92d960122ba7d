#include "codecs/LameLibrary.h"

#include "codecs/CodecLibrary.h"

#include <memory>
#include <mutex>

namespace quillon {

namespace {

// The resolution list, in the order the names are looked up. The last name is resolved in
// addition so that the finished Info/VBR frame can be written back after the flush.
std::unique_ptr<CodecLibrary> OpenLame() {
    return std::make_unique<CodecLibrary>(LibraryId::Lame, std::initializer_list<const char*>{
                                                               "lame_init",
                                                               "lame_set_num_samples",
                                                               "lame_get_num_samples",
                                                               "lame_set_in_samplerate",
                                                               "lame_get_in_samplerate",
                                                               "lame_set_num_channels",
                                                               "lame_get_num_channels",
                                                               "lame_set_scale",
                                                               "lame_get_scale",
                                                               "lame_set_scale_left",
                                                               "lame_get_scale_left",
                                                               "lame_set_scale_right",
                                                               "lame_get_scale_right",
                                                               "lame_set_out_samplerate",
                                                               "lame_get_out_samplerate",
                                                               "lame_set_analysis",
                                                               "lame_get_analysis",
                                                               "lame_set_bWriteVbrTag",
                                                               "lame_get_bWriteVbrTag",
                                                               "lame_set_decode_only",
                                                               "lame_get_decode_only",
                                                               "lame_set_ogg",
                                                               "lame_get_ogg",
                                                               "lame_set_quality",
                                                               "lame_get_quality",
                                                               "lame_set_mode",
                                                               "lame_get_mode",
                                                               "lame_set_mode_automs",
                                                               "lame_get_mode_automs",
                                                               "lame_set_force_ms",
                                                               "lame_get_force_ms",
                                                               "lame_set_free_format",
                                                               "lame_get_free_format",
                                                               "lame_set_brate",
                                                               "lame_get_brate",
                                                               "lame_set_compression_ratio",
                                                               "lame_get_compression_ratio",
                                                               "lame_set_preset",
                                                               "lame_set_asm_optimizations",
                                                               "lame_set_copyright",
                                                               "lame_get_copyright",
                                                               "lame_set_original",
                                                               "lame_get_original",
                                                               "lame_set_error_protection",
                                                               "lame_get_error_protection",
                                                               "lame_set_padding_type",
                                                               "lame_get_padding_type",
                                                               "lame_set_extension",
                                                               "lame_get_extension",
                                                               "lame_set_strict_ISO",
                                                               "lame_get_strict_ISO",
                                                               "lame_set_VBR",
                                                               "lame_get_VBR",
                                                               "lame_set_VBR_q",
                                                               "lame_get_VBR_q",
                                                               "lame_set_VBR_mean_bitrate_kbps",
                                                               "lame_get_VBR_mean_bitrate_kbps",
                                                               "lame_set_VBR_min_bitrate_kbps",
                                                               "lame_get_VBR_min_bitrate_kbps",
                                                               "lame_set_VBR_max_bitrate_kbps",
                                                               "lame_get_VBR_max_bitrate_kbps",
                                                               "lame_set_VBR_hard_min",
                                                               "lame_get_VBR_hard_min",
                                                               "lame_set_lowpassfreq",
                                                               "lame_get_lowpassfreq",
                                                               "lame_set_lowpasswidth",
                                                               "lame_get_lowpasswidth",
                                                               "lame_set_highpassfreq",
                                                               "lame_get_highpassfreq",
                                                               "lame_set_highpasswidth",
                                                               "lame_get_highpasswidth",
                                                               "lame_get_version",
                                                               "lame_get_encoder_delay",
                                                               "lame_get_encoder_padding",
                                                               "lame_get_framesize",
                                                               "lame_get_mf_samples_to_encode",
                                                               "lame_get_size_mp3buffer",
                                                               "lame_get_frameNum",
                                                               "lame_get_totalframes",
                                                               "lame_init_params",
                                                               "get_lame_version",
                                                               "get_lame_short_version",
                                                               "get_lame_very_short_version",
                                                               "get_psy_version",
                                                               "get_lame_url",
                                                               "get_lame_version_numerical",
                                                               "lame_encode_buffer",
                                                               "lame_encode_buffer_interleaved",
                                                               "lame_encode_buffer_float",
                                                               "lame_encode_flush",
                                                               "lame_encode_flush_nogap",
                                                               "lame_init_bitstream",
                                                               "lame_close",
                                                               "lame_decode_init",
                                                               "lame_decode",
                                                               "lame_decode_headers",
                                                               "lame_decode1",
                                                               "lame_decode1_headers",
                                                               "id3tag_genre_list",
                                                               "id3tag_init",
                                                               "id3tag_add_v2",
                                                               "id3tag_v1_only",
                                                               "id3tag_v2_only",
                                                               "id3tag_space_v1",
                                                               "id3tag_pad_v2",
                                                               "id3tag_set_title",
                                                               "id3tag_set_artist",
                                                               "id3tag_set_album",
                                                               "id3tag_set_year",
                                                               "id3tag_set_comment",
                                                               "id3tag_set_track",
                                                               "id3tag_set_genre",
                                                               "lame_get_lametag_frame",
                                                           });
}

struct LameState {
    std::mutex mutex;
    int users = 0;
    std::unique_ptr<CodecLibrary> library;
    LameEntries entries;
};

LameState& State() {
    static LameState state;
    return state;
}

void BindEntries(const CodecLibrary& library, LameEntries& e) {
    library.Bind(e.lame_init, "lame_init");
    library.Bind(e.lame_set_num_samples, "lame_set_num_samples");
    library.Bind(e.lame_set_in_samplerate, "lame_set_in_samplerate");
    library.Bind(e.lame_set_num_channels, "lame_set_num_channels");
    library.Bind(e.lame_set_out_samplerate, "lame_set_out_samplerate");
    library.Bind(e.lame_set_mode, "lame_set_mode");
    library.Bind(e.lame_set_copyright, "lame_set_copyright");
    library.Bind(e.lame_set_original, "lame_set_original");
    library.Bind(e.lame_set_error_protection, "lame_set_error_protection");
    library.Bind(e.lame_set_brate, "lame_set_brate");
    library.Bind(e.lame_set_quality, "lame_set_quality");
    library.Bind(e.lame_set_bWriteVbrTag, "lame_set_bWriteVbrTag");
    library.Bind(e.lame_set_VBR, "lame_set_VBR");
    library.Bind(e.lame_set_VBR_q, "lame_set_VBR_q");
    library.Bind(e.lame_set_VBR_min_bitrate_kbps, "lame_set_VBR_min_bitrate_kbps");
    library.Bind(e.lame_set_VBR_max_bitrate_kbps, "lame_set_VBR_max_bitrate_kbps");
    library.Bind(e.lame_init_params, "lame_init_params");
    library.Bind(e.lame_encode_buffer_interleaved, "lame_encode_buffer_interleaved");
    library.Bind(e.lame_encode_buffer, "lame_encode_buffer");
    library.Bind(e.lame_encode_flush, "lame_encode_flush");
    library.Bind(e.lame_get_lametag_frame, "lame_get_lametag_frame");
    library.Bind(e.lame_close, "lame_close");
    library.Bind(e.id3tag_init, "id3tag_init");
    library.Bind(e.id3tag_set_title, "id3tag_set_title");
    library.Bind(e.id3tag_set_artist, "id3tag_set_artist");
    library.Bind(e.id3tag_set_album, "id3tag_set_album");
    library.Bind(e.id3tag_set_year, "id3tag_set_year");
    library.Bind(e.id3tag_set_track, "id3tag_set_track");
    library.Bind(e.id3tag_set_comment, "id3tag_set_comment");
    library.Bind(e.id3tag_set_genre, "id3tag_set_genre");
}

} // namespace

bool LameLibrary::Acquire() {
    LameState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.users == 0) {
        auto library = OpenLame();
        if (!library->Loaded()) {
            return false;
        }
        BindEntries(*library, state.entries);
        state.library = std::move(library);
    }
    ++state.users;
    return true;
}

void LameLibrary::Release() {
    LameState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.users > 0 && --state.users == 0) {
        state.entries = LameEntries{};
        state.library.reset();
    }
}

const LameEntries& LameLibrary::Entries() {
    return State().entries;
}

size_t LameLibrary::ResolvedCount() {
    LameState& state = State();
    std::lock_guard lock(state.mutex);
    return state.library ? state.library->ResolvedCount() : 0;
}

} // namespace quillon
