#include "codecs/FlacLibrary.h"

#include "codecs/CodecLibrary.h"
#include "core/PcmException.h"

#include <memory>
#include <mutex>

namespace quillon {

namespace {

// The stream encoder and stream decoder function set and the metadata object functions that
// the encoder's blocks need, resolved by name.
std::unique_ptr<CodecLibrary> OpenFlac() {
    return std::make_unique<CodecLibrary>(
        LibraryId::Flac, std::initializer_list<const char*>{
                             "FLAC__stream_encoder_new",
                             "FLAC__stream_encoder_delete",
                             "FLAC__stream_encoder_set_ogg_serial_number",
                             "FLAC__stream_encoder_set_verify",
                             "FLAC__stream_encoder_set_streamable_subset",
                             "FLAC__stream_encoder_set_channels",
                             "FLAC__stream_encoder_set_bits_per_sample",
                             "FLAC__stream_encoder_set_sample_rate",
                             "FLAC__stream_encoder_set_compression_level",
                             "FLAC__stream_encoder_set_blocksize",
                             "FLAC__stream_encoder_set_do_mid_side_stereo",
                             "FLAC__stream_encoder_set_loose_mid_side_stereo",
                             "FLAC__stream_encoder_set_apodization",
                             "FLAC__stream_encoder_set_max_lpc_order",
                             "FLAC__stream_encoder_set_qlp_coeff_precision",
                             "FLAC__stream_encoder_set_do_qlp_coeff_prec_search",
                             "FLAC__stream_encoder_set_do_escape_coding",
                             "FLAC__stream_encoder_set_do_exhaustive_model_search",
                             "FLAC__stream_encoder_set_min_residual_partition_order",
                             "FLAC__stream_encoder_set_max_residual_partition_order",
                             "FLAC__stream_encoder_set_rice_parameter_search_dist",
                             "FLAC__stream_encoder_set_total_samples_estimate",
                             "FLAC__stream_encoder_set_metadata",
                             "FLAC__stream_encoder_set_limit_min_bitrate",
                             "FLAC__stream_encoder_get_state",
                             "FLAC__stream_encoder_get_verify_decoder_state",
                             "FLAC__stream_encoder_get_resolved_state_string",
                             "FLAC__stream_encoder_get_verify_decoder_error_stats",
                             "FLAC__stream_encoder_get_verify",
                             "FLAC__stream_encoder_get_streamable_subset",
                             "FLAC__stream_encoder_get_channels",
                             "FLAC__stream_encoder_get_bits_per_sample",
                             "FLAC__stream_encoder_get_sample_rate",
                             "FLAC__stream_encoder_get_blocksize",
                             "FLAC__stream_encoder_get_do_mid_side_stereo",
                             "FLAC__stream_encoder_get_loose_mid_side_stereo",
                             "FLAC__stream_encoder_get_max_lpc_order",
                             "FLAC__stream_encoder_get_qlp_coeff_precision",
                             "FLAC__stream_encoder_get_do_qlp_coeff_prec_search",
                             "FLAC__stream_encoder_get_do_escape_coding",
                             "FLAC__stream_encoder_get_do_exhaustive_model_search",
                             "FLAC__stream_encoder_get_min_residual_partition_order",
                             "FLAC__stream_encoder_get_max_residual_partition_order",
                             "FLAC__stream_encoder_get_rice_parameter_search_dist",
                             "FLAC__stream_encoder_get_total_samples_estimate",
                             "FLAC__stream_encoder_get_limit_min_bitrate",
                             "FLAC__stream_encoder_init_stream",
                             "FLAC__stream_encoder_init_ogg_stream",
                             "FLAC__stream_encoder_init_FILE",
                             "FLAC__stream_encoder_init_ogg_FILE",
                             "FLAC__stream_encoder_init_file",
                             "FLAC__stream_encoder_init_ogg_file",
                             "FLAC__stream_encoder_finish",
                             "FLAC__stream_encoder_process",
                             "FLAC__stream_encoder_process_interleaved",
                             "FLAC__stream_decoder_new",
                             "FLAC__stream_decoder_delete",
                             "FLAC__stream_decoder_set_ogg_serial_number",
                             "FLAC__stream_decoder_set_md5_checking",
                             "FLAC__stream_decoder_set_metadata_respond",
                             "FLAC__stream_decoder_set_metadata_respond_application",
                             "FLAC__stream_decoder_set_metadata_respond_all",
                             "FLAC__stream_decoder_set_metadata_ignore",
                             "FLAC__stream_decoder_set_metadata_ignore_application",
                             "FLAC__stream_decoder_set_metadata_ignore_all",
                             "FLAC__stream_decoder_get_state",
                             "FLAC__stream_decoder_get_resolved_state_string",
                             "FLAC__stream_decoder_get_md5_checking",
                             "FLAC__stream_decoder_get_total_samples",
                             "FLAC__stream_decoder_get_channels",
                             "FLAC__stream_decoder_get_channel_assignment",
                             "FLAC__stream_decoder_get_bits_per_sample",
                             "FLAC__stream_decoder_get_sample_rate",
                             "FLAC__stream_decoder_get_blocksize",
                             "FLAC__stream_decoder_get_decode_position",
                             "FLAC__stream_decoder_get_client_data",
                             "FLAC__stream_decoder_init_stream",
                             "FLAC__stream_decoder_init_ogg_stream",
                             "FLAC__stream_decoder_init_FILE",
                             "FLAC__stream_decoder_init_ogg_FILE",
                             "FLAC__stream_decoder_init_file",
                             "FLAC__stream_decoder_init_ogg_file",
                             "FLAC__stream_decoder_finish",
                             "FLAC__stream_decoder_flush",
                             "FLAC__stream_decoder_reset",
                             "FLAC__stream_decoder_process_single",
                             "FLAC__stream_decoder_process_until_end_of_metadata",
                             "FLAC__stream_decoder_process_until_end_of_stream",
                             "FLAC__stream_decoder_skip_single_frame",
                             "FLAC__stream_decoder_seek_absolute",
                             "FLAC__metadata_object_new",
                             "FLAC__metadata_object_delete",
                             "FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair",
                             "FLAC__metadata_object_vorbiscomment_append_comment",
                         });
}

struct FlacState {
    std::mutex mutex;
    bool attempted = false;
    std::unique_ptr<CodecLibrary> library;
    FlacEntries entries;
};

FlacState& State() {
    static FlacState state;
    return state;
}

#define QUILLON_BIND_FLAC(name) library.Bind(e.name, #name)

void BindEntries(const CodecLibrary& library, FlacEntries& e) {
    QUILLON_BIND_FLAC(FLAC__stream_encoder_new);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_verify);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_channels);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_bits_per_sample);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_sample_rate);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_do_mid_side_stereo);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_loose_mid_side_stereo);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_blocksize);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_compression_level);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_max_lpc_order);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_qlp_coeff_precision);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_do_qlp_coeff_prec_search);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_min_residual_partition_order);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_max_residual_partition_order);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_do_exhaustive_model_search);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_total_samples_estimate);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_set_metadata);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_init_stream);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_process_interleaved);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_finish);
    QUILLON_BIND_FLAC(FLAC__stream_encoder_delete);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_new);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_init_stream);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_process_until_end_of_metadata);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_process_single);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_get_state);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_seek_absolute);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_reset);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_flush);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_finish);
    QUILLON_BIND_FLAC(FLAC__stream_decoder_delete);
    QUILLON_BIND_FLAC(FLAC__metadata_object_new);
    QUILLON_BIND_FLAC(FLAC__metadata_object_delete);
    QUILLON_BIND_FLAC(FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair);
    QUILLON_BIND_FLAC(FLAC__metadata_object_vorbiscomment_append_comment);
}

#undef QUILLON_BIND_FLAC

void LoadLocked(FlacState& s) {
    if (!s.library) {
        auto library = OpenFlac();
        if (library->Loaded()) {
            BindEntries(*library, s.entries);
            s.library = std::move(library);
        }
    }
    s.attempted = true;
}

} // namespace

void FlacLibrary::Load() {
    FlacState& s = State();
    std::lock_guard lock(s.mutex);
    LoadLocked(s);
}

void FlacLibrary::Unload() {
    FlacState& s = State();
    std::lock_guard lock(s.mutex);
    s.entries = FlacEntries{};
    s.library.reset();
    s.attempted = false;
}

const FlacEntries& FlacLibrary::Require() {
    FlacState& s = State();
    std::lock_guard lock(s.mutex);
    if (!s.attempted) {
        LoadLocked(s);
    }
    if (!s.library) {
        throw EPcmException(LibraryMissingMessage(LibraryId::Flac));
    }
    return s.entries;
}

} // namespace quillon
