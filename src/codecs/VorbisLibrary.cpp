#include "codecs/VorbisLibrary.h"

#include "codecs/CodecLibrary.h"
#include "core/PcmException.h"

#include <memory>
#include <mutex>

namespace quillon {

namespace {

// The published function set of each library, resolved by name.
std::unique_ptr<CodecLibrary> OpenOgg() {
    return std::make_unique<CodecLibrary>(LibraryId::Ogg,
                                          std::initializer_list<const char*>{
                                              "oggpack_writeinit",    "oggpack_writecheck",
                                              "oggpack_writetrunc",   "oggpack_writealign",
                                              "oggpack_writecopy",    "oggpack_reset",
                                              "oggpack_writeclear",   "oggpack_readinit",
                                              "oggpack_write",        "oggpack_look",
                                              "oggpack_look1",        "oggpack_adv",
                                              "oggpack_adv1",         "oggpack_read",
                                              "oggpack_read1",        "oggpack_bytes",
                                              "oggpack_bits",         "oggpack_get_buffer",
                                              "oggpackB_writeinit",   "oggpackB_writecheck",
                                              "oggpackB_writetrunc",  "oggpackB_writealign",
                                              "oggpackB_writecopy",   "oggpackB_reset",
                                              "oggpackB_writeclear",  "oggpackB_readinit",
                                              "oggpackB_write",       "oggpackB_look",
                                              "oggpackB_look1",       "oggpackB_adv",
                                              "oggpackB_adv1",        "oggpackB_read",
                                              "oggpackB_read1",       "oggpackB_bytes",
                                              "oggpackB_bits",        "oggpackB_get_buffer",
                                              "ogg_stream_packetin",  "ogg_stream_iovecin",
                                              "ogg_stream_pageout",   "ogg_stream_pageout_fill",
                                              "ogg_stream_flush",     "ogg_stream_flush_fill",
                                              "ogg_sync_init",        "ogg_sync_clear",
                                              "ogg_sync_reset",       "ogg_sync_destroy",
                                              "ogg_sync_check",       "ogg_sync_buffer",
                                              "ogg_sync_wrote",       "ogg_sync_pageseek",
                                              "ogg_sync_pageout",     "ogg_stream_pagein",
                                              "ogg_stream_packetout", "ogg_stream_packetpeek",
                                              "ogg_stream_init",      "ogg_stream_clear",
                                              "ogg_stream_reset",     "ogg_stream_reset_serialno",
                                              "ogg_stream_destroy",   "ogg_stream_check",
                                              "ogg_stream_eos",       "ogg_page_checksum_set",
                                              "ogg_page_version",     "ogg_page_continued",
                                              "ogg_page_bos",         "ogg_page_eos",
                                              "ogg_page_granulepos",  "ogg_page_serialno",
                                              "ogg_page_pageno",      "ogg_page_packets",
                                              "ogg_packet_clear",
                                          });
}

std::unique_ptr<CodecLibrary> OpenVorbis() {
    return std::make_unique<CodecLibrary>(LibraryId::Vorbis, std::initializer_list<const char*>{
                                                                 "vorbis_info_init",
                                                                 "vorbis_info_clear",
                                                                 "vorbis_info_blocksize",
                                                                 "vorbis_comment_init",
                                                                 "vorbis_comment_add",
                                                                 "vorbis_comment_add_tag",
                                                                 "vorbis_comment_query",
                                                                 "vorbis_comment_query_count",
                                                                 "vorbis_comment_clear",
                                                                 "vorbis_block_init",
                                                                 "vorbis_block_clear",
                                                                 "vorbis_dsp_clear",
                                                                 "vorbis_granule_time",
                                                                 "vorbis_version_string",
                                                                 "vorbis_analysis_init",
                                                                 "vorbis_commentheader_out",
                                                                 "vorbis_analysis_headerout",
                                                                 "vorbis_analysis_buffer",
                                                                 "vorbis_analysis_wrote",
                                                                 "vorbis_analysis_blockout",
                                                                 "vorbis_analysis",
                                                                 "vorbis_bitrate_addblock",
                                                                 "vorbis_bitrate_flushpacket",
                                                                 "vorbis_synthesis_idheader",
                                                                 "vorbis_synthesis_headerin",
                                                                 "vorbis_synthesis_init",
                                                                 "vorbis_synthesis_restart",
                                                                 "vorbis_synthesis",
                                                                 "vorbis_synthesis_trackonly",
                                                                 "vorbis_synthesis_blockin",
                                                                 "vorbis_synthesis_pcmout",
                                                                 "vorbis_synthesis_lapout",
                                                                 "vorbis_synthesis_read",
                                                                 "vorbis_packet_blocksize",
                                                                 "vorbis_synthesis_halfrate",
                                                                 "vorbis_synthesis_halfrate_p",
                                                             });
}

std::unique_ptr<CodecLibrary> OpenVorbisEnc() {
    return std::make_unique<CodecLibrary>(LibraryId::VorbisEnc, std::initializer_list<const char*>{
                                                                    "vorbis_encode_init",
                                                                    "vorbis_encode_setup_managed",
                                                                    "vorbis_encode_setup_vbr",
                                                                    "vorbis_encode_init_vbr",
                                                                    "vorbis_encode_setup_init",
                                                                    "vorbis_encode_ctl",
                                                                });
}

std::unique_ptr<CodecLibrary> OpenVorbisFile() {
    return std::make_unique<CodecLibrary>(LibraryId::VorbisFile, std::initializer_list<const char*>{
                                                                     "ov_clear",
                                                                     "ov_fopen",
                                                                     "ov_open",
                                                                     "ov_open_callbacks",
                                                                     "ov_test",
                                                                     "ov_test_callbacks",
                                                                     "ov_test_open",
                                                                     "ov_bitrate",
                                                                     "ov_bitrate_instant",
                                                                     "ov_streams",
                                                                     "ov_seekable",
                                                                     "ov_serialnumber",
                                                                     "ov_raw_total",
                                                                     "ov_pcm_total",
                                                                     "ov_time_total",
                                                                     "ov_raw_seek",
                                                                     "ov_pcm_seek",
                                                                     "ov_pcm_seek_page",
                                                                     "ov_time_seek",
                                                                     "ov_time_seek_page",
                                                                     "ov_raw_seek_lap",
                                                                     "ov_pcm_seek_lap",
                                                                     "ov_pcm_seek_page_lap",
                                                                     "ov_time_seek_lap",
                                                                     "ov_time_seek_page_lap",
                                                                     "ov_raw_tell",
                                                                     "ov_pcm_tell",
                                                                     "ov_time_tell",
                                                                     "ov_info",
                                                                     "ov_comment",
                                                                     "ov_read_float",
                                                                     "ov_read_filter",
                                                                     "ov_read",
                                                                     "ov_crosslap",
                                                                     "ov_halfrate",
                                                                     "ov_halfrate_p",
                                                                 });
}

struct VorbisState {
    std::mutex mutex;
    bool attempted = false;
    std::unique_ptr<CodecLibrary> ogg;
    std::unique_ptr<CodecLibrary> vorbis;
    std::unique_ptr<CodecLibrary> vorbisEnc;
    std::unique_ptr<CodecLibrary> vorbisFile;
    VorbisEntries entries;
};

VorbisState& State() {
    static VorbisState state;
    return state;
}

// Opens the library unless it is already loaded; a failed attempt leaves the slot empty.
// True when the library was loaded just now.
bool LoadOne(std::unique_ptr<CodecLibrary>& slot, std::unique_ptr<CodecLibrary> (*open)()) {
    if (slot) {
        return false;
    }
    auto library = open();
    if (!library->Loaded()) {
        return false;
    }
    slot = std::move(library);
    return true;
}

void BindEntries(VorbisState& s) {
    VorbisEntries& e = s.entries;
    e = VorbisEntries{};
    if (s.ogg) {
        s.ogg->Bind(e.ogg_stream_init, "ogg_stream_init");
        s.ogg->Bind(e.ogg_stream_packetin, "ogg_stream_packetin");
        s.ogg->Bind(e.ogg_stream_flush, "ogg_stream_flush");
        s.ogg->Bind(e.ogg_stream_pageout, "ogg_stream_pageout");
        s.ogg->Bind(e.ogg_page_eos, "ogg_page_eos");
        s.ogg->Bind(e.ogg_stream_clear, "ogg_stream_clear");
    }
    if (s.vorbis) {
        s.vorbis->Bind(e.vorbis_info_init, "vorbis_info_init");
        s.vorbis->Bind(e.vorbis_comment_init, "vorbis_comment_init");
        s.vorbis->Bind(e.vorbis_comment_add_tag, "vorbis_comment_add_tag");
        s.vorbis->Bind(e.vorbis_analysis_init, "vorbis_analysis_init");
        s.vorbis->Bind(e.vorbis_block_init, "vorbis_block_init");
        s.vorbis->Bind(e.vorbis_analysis_headerout, "vorbis_analysis_headerout");
        s.vorbis->Bind(e.vorbis_analysis_buffer, "vorbis_analysis_buffer");
        s.vorbis->Bind(e.vorbis_analysis_wrote, "vorbis_analysis_wrote");
        s.vorbis->Bind(e.vorbis_analysis_blockout, "vorbis_analysis_blockout");
        s.vorbis->Bind(e.vorbis_analysis, "vorbis_analysis");
        s.vorbis->Bind(e.vorbis_bitrate_addblock, "vorbis_bitrate_addblock");
        s.vorbis->Bind(e.vorbis_bitrate_flushpacket, "vorbis_bitrate_flushpacket");
        s.vorbis->Bind(e.vorbis_block_clear, "vorbis_block_clear");
        s.vorbis->Bind(e.vorbis_dsp_clear, "vorbis_dsp_clear");
        s.vorbis->Bind(e.vorbis_comment_clear, "vorbis_comment_clear");
        s.vorbis->Bind(e.vorbis_info_clear, "vorbis_info_clear");
    }
    if (s.vorbisEnc) {
        s.vorbisEnc->Bind(e.vorbis_encode_init_vbr, "vorbis_encode_init_vbr");
        s.vorbisEnc->Bind(e.vorbis_encode_init, "vorbis_encode_init");
    }
    if (s.vorbisFile) {
        s.vorbisFile->Bind(e.ov_open_callbacks, "ov_open_callbacks");
        s.vorbisFile->Bind(e.ov_comment, "ov_comment");
        s.vorbisFile->Bind(e.ov_info, "ov_info");
        s.vorbisFile->Bind(e.ov_pcm_total, "ov_pcm_total");
        s.vorbisFile->Bind(e.ov_read, "ov_read");
        s.vorbisFile->Bind(e.ov_pcm_seek, "ov_pcm_seek");
        s.vorbisFile->Bind(e.ov_clear, "ov_clear");
    }
}

// The entry table is rewritten only when a library was added, so that components already
// using it are not disturbed by a repeated load.
void LoadLocked(VorbisState& s) {
    bool added = LoadOne(s.ogg, OpenOgg);
    added = LoadOne(s.vorbis, OpenVorbis) || added;
    added = LoadOne(s.vorbisFile, OpenVorbisFile) || added;
    added = LoadOne(s.vorbisEnc, OpenVorbisEnc) || added;
    if (added) {
        BindEntries(s);
    }
    s.attempted = true;
}

} // namespace

void VorbisLibraries::Load() {
    VorbisState& s = State();
    std::lock_guard lock(s.mutex);
    LoadLocked(s);
}

void VorbisLibraries::Unload() {
    VorbisState& s = State();
    std::lock_guard lock(s.mutex);
    s.entries = VorbisEntries{};
    s.ogg.reset();
    s.vorbis.reset();
    s.vorbisEnc.reset();
    s.vorbisFile.reset();
    s.attempted = false;
}

const VorbisEntries& VorbisLibraries::Require() {
    VorbisState& s = State();
    std::lock_guard lock(s.mutex);
    if (!s.attempted) {
        LoadLocked(s);
    }
    if (!s.ogg) {
        throw EPcmException(LibraryMissingMessage(LibraryId::Ogg));
    }
    if (!s.vorbis) {
        throw EPcmException(LibraryMissingMessage(LibraryId::Vorbis));
    }
    if (!s.vorbisFile) {
        throw EPcmException(LibraryMissingMessage(LibraryId::VorbisFile));
    }
    if (!s.vorbisEnc) {
        throw EPcmException(LibraryMissingMessage(LibraryId::VorbisEnc));
    }
    return s.entries;
}

} // namespace quillon
