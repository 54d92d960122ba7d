#pragma once

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

namespace quillon {

// The libFLAC stream encoder, decoder and metadata object entry points that the FLAC
// components call.
struct FlacEntries {
    decltype(&::FLAC__stream_encoder_new) FLAC__stream_encoder_new = nullptr;
    decltype(&::FLAC__stream_encoder_set_verify) FLAC__stream_encoder_set_verify = nullptr;
    decltype(&::FLAC__stream_encoder_set_channels) FLAC__stream_encoder_set_channels = nullptr;
    decltype(&::FLAC__stream_encoder_set_bits_per_sample) FLAC__stream_encoder_set_bits_per_sample =
        nullptr;
    decltype(&::FLAC__stream_encoder_set_sample_rate) FLAC__stream_encoder_set_sample_rate =
        nullptr;
    decltype(&::FLAC__stream_encoder_set_do_mid_side_stereo)
        FLAC__stream_encoder_set_do_mid_side_stereo = nullptr;
    decltype(&::FLAC__stream_encoder_set_loose_mid_side_stereo)
        FLAC__stream_encoder_set_loose_mid_side_stereo = nullptr;
    decltype(&::FLAC__stream_encoder_set_blocksize) FLAC__stream_encoder_set_blocksize = nullptr;
    decltype(&::FLAC__stream_encoder_set_compression_level)
        FLAC__stream_encoder_set_compression_level = nullptr;
    decltype(&::FLAC__stream_encoder_set_max_lpc_order) FLAC__stream_encoder_set_max_lpc_order =
        nullptr;
    decltype(&::FLAC__stream_encoder_set_qlp_coeff_precision)
        FLAC__stream_encoder_set_qlp_coeff_precision = nullptr;
    decltype(&::FLAC__stream_encoder_set_do_qlp_coeff_prec_search)
        FLAC__stream_encoder_set_do_qlp_coeff_prec_search = nullptr;
    decltype(&::FLAC__stream_encoder_set_min_residual_partition_order)
        FLAC__stream_encoder_set_min_residual_partition_order = nullptr;
    decltype(&::FLAC__stream_encoder_set_max_residual_partition_order)
        FLAC__stream_encoder_set_max_residual_partition_order = nullptr;
    decltype(&::FLAC__stream_encoder_set_do_exhaustive_model_search)
        FLAC__stream_encoder_set_do_exhaustive_model_search = nullptr;
    decltype(&::FLAC__stream_encoder_set_total_samples_estimate)
        FLAC__stream_encoder_set_total_samples_estimate = nullptr;
    decltype(&::FLAC__stream_encoder_set_metadata) FLAC__stream_encoder_set_metadata = nullptr;
    decltype(&::FLAC__stream_encoder_init_stream) FLAC__stream_encoder_init_stream = nullptr;
    decltype(&::FLAC__stream_encoder_process_interleaved) FLAC__stream_encoder_process_interleaved =
        nullptr;
    decltype(&::FLAC__stream_encoder_finish) FLAC__stream_encoder_finish = nullptr;
    decltype(&::FLAC__stream_encoder_delete) FLAC__stream_encoder_delete = nullptr;

    decltype(&::FLAC__stream_decoder_new) FLAC__stream_decoder_new = nullptr;
    decltype(&::FLAC__stream_decoder_init_stream) FLAC__stream_decoder_init_stream = nullptr;
    decltype(&::FLAC__stream_decoder_process_until_end_of_metadata)
        FLAC__stream_decoder_process_until_end_of_metadata = nullptr;
    decltype(&::FLAC__stream_decoder_process_single) FLAC__stream_decoder_process_single = nullptr;
    decltype(&::FLAC__stream_decoder_get_state) FLAC__stream_decoder_get_state = nullptr;
    decltype(&::FLAC__stream_decoder_seek_absolute) FLAC__stream_decoder_seek_absolute = nullptr;
    decltype(&::FLAC__stream_decoder_reset) FLAC__stream_decoder_reset = nullptr;
    decltype(&::FLAC__stream_decoder_flush) FLAC__stream_decoder_flush = nullptr;
    decltype(&::FLAC__stream_decoder_finish) FLAC__stream_decoder_finish = nullptr;
    decltype(&::FLAC__stream_decoder_delete) FLAC__stream_decoder_delete = nullptr;

    // Metadata objects, for the blocks that the encoder writes in front of the audio.
    decltype(&::FLAC__metadata_object_new) FLAC__metadata_object_new = nullptr;
    decltype(&::FLAC__metadata_object_delete) FLAC__metadata_object_delete = nullptr;
    decltype(&::FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair)
        FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair = nullptr;
    decltype(&::FLAC__metadata_object_vorbiscomment_append_comment)
        FLAC__metadata_object_vorbiscomment_append_comment = nullptr;
};

// libFLAC, process-wide: loaded once when the program starts (or by the first component when
// the program did not) and released when it ends.
class FlacLibrary {
public:
    // Loads the library unless it is loaded; idempotent.
    static void Load();
    // Releases the library; the next Load or component construction loads it again. Only for
    // when no FLAC component exists.
    static void Unload();
    // The entry points, loading the library first if that was never tried. Raises
    // EPcmException "<file name> library could not be loaded." when it is not loaded.
    static const FlacEntries& Require();
};

} // namespace quillon
