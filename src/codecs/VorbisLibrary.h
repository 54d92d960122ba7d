#pragma once

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace quillon {

// The entry points of libogg, libvorbis, libvorbisenc and libvorbisfile that the Ogg Vorbis
// components call.
struct VorbisEntries {
    decltype(&::ogg_stream_init) ogg_stream_init = nullptr;
    decltype(&::ogg_stream_packetin) ogg_stream_packetin = nullptr;
    decltype(&::ogg_stream_flush) ogg_stream_flush = nullptr;
    decltype(&::ogg_stream_pageout) ogg_stream_pageout = nullptr;
    decltype(&::ogg_page_eos) ogg_page_eos = nullptr;
    decltype(&::ogg_stream_clear) ogg_stream_clear = nullptr;

    decltype(&::vorbis_info_init) vorbis_info_init = nullptr;
    decltype(&::vorbis_comment_init) vorbis_comment_init = nullptr;
    decltype(&::vorbis_comment_add_tag) vorbis_comment_add_tag = nullptr;
    decltype(&::vorbis_analysis_init) vorbis_analysis_init = nullptr;
    decltype(&::vorbis_block_init) vorbis_block_init = nullptr;
    decltype(&::vorbis_analysis_headerout) vorbis_analysis_headerout = nullptr;
    decltype(&::vorbis_analysis_buffer) vorbis_analysis_buffer = nullptr;
    decltype(&::vorbis_analysis_wrote) vorbis_analysis_wrote = nullptr;
    decltype(&::vorbis_analysis_blockout) vorbis_analysis_blockout = nullptr;
    decltype(&::vorbis_analysis) vorbis_analysis = nullptr;
    decltype(&::vorbis_bitrate_addblock) vorbis_bitrate_addblock = nullptr;
    decltype(&::vorbis_bitrate_flushpacket) vorbis_bitrate_flushpacket = nullptr;
    decltype(&::vorbis_block_clear) vorbis_block_clear = nullptr;
    decltype(&::vorbis_dsp_clear) vorbis_dsp_clear = nullptr;
    decltype(&::vorbis_comment_clear) vorbis_comment_clear = nullptr;
    decltype(&::vorbis_info_clear) vorbis_info_clear = nullptr;

    decltype(&::vorbis_encode_init_vbr) vorbis_encode_init_vbr = nullptr;
    decltype(&::vorbis_encode_init) vorbis_encode_init = nullptr;

    decltype(&::ov_open_callbacks) ov_open_callbacks = nullptr;
    decltype(&::ov_comment) ov_comment = nullptr;
    decltype(&::ov_info) ov_info = nullptr;
    decltype(&::ov_pcm_total) ov_pcm_total = nullptr;
    decltype(&::ov_read) ov_read = nullptr;
    decltype(&::ov_pcm_seek) ov_pcm_seek = nullptr;
    decltype(&::ov_clear) ov_clear = nullptr;
};

// The four Ogg Vorbis libraries, process-wide: loaded once when the program starts (or by the
// first component when the program did not) and released when it ends.
class VorbisLibraries {
public:
    // Loads each library that is not loaded yet, each on its own; idempotent.
    static void Load();
    // Releases the libraries; the next Load or component construction loads them again.
    // Only for when no Ogg Vorbis component exists.
    static void Unload();
    // The entry points, loading the libraries first if that was never tried. Raises
    // EPcmException naming the first library (ogg, vorbis, vorbisfile, vorbisenc) not loaded.
    static const VorbisEntries& Require();
};

} // namespace quillon
