#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace quillon {

// The FFmpeg entry points the program uses, each of library and name.
#define QUILLON_FFMPEG_ENTRIES(X)                                                                  \
    X(Codec, avcodec_find_decoder)                                                                 \
    X(Codec, avcodec_alloc_context3)                                                               \
    X(Codec, avcodec_free_context)                                                                 \
    X(Codec, avcodec_open2)                                                                        \
    X(Codec, avcodec_send_packet)                                                                  \
    X(Codec, avcodec_receive_frame)                                                                \
    X(Codec, av_parser_init)                                                                       \
    X(Codec, av_parser_parse2)                                                                     \
    X(Codec, av_parser_close)                                                                      \
    X(Codec, av_packet_alloc)                                                                      \
    X(Codec, av_packet_free)                                                                       \
    X(Codec, av_packet_unref)                                                                      \
    X(Codec, avcodec_parameters_to_context)                                                        \
    X(Codec, avcodec_flush_buffers)                                                                \
    X(Codec, avcodec_find_encoder)                                                                 \
    X(Codec, avcodec_send_frame)                                                                   \
    X(Codec, avcodec_receive_packet)                                                               \
    X(Codec, avcodec_parameters_from_context)                                                      \
    X(Codec, av_packet_rescale_ts)                                                                 \
    X(Format, avformat_alloc_context)                                                              \
    X(Format, avformat_free_context)                                                               \
    X(Format, avformat_open_input)                                                                 \
    X(Format, avformat_close_input)                                                                \
    X(Format, avformat_find_stream_info)                                                           \
    X(Format, av_find_best_stream)                                                                 \
    X(Format, av_read_frame)                                                                       \
    X(Format, av_seek_frame)                                                                       \
    X(Format, avformat_alloc_output_context2)                                                      \
    X(Format, avformat_new_stream)                                                                 \
    X(Format, avformat_write_header)                                                               \
    X(Format, av_write_frame)                                                                      \
    X(Format, av_write_trailer)                                                                    \
    X(Format, avio_alloc_context)                                                                  \
    X(Format, avio_context_free)                                                                   \
    X(Format, avio_flush)                                                                          \
    X(Util, av_log_set_level)                                                                      \
    X(Util, av_frame_alloc)                                                                        \
    X(Util, av_frame_free)                                                                         \
    X(Util, av_frame_unref)                                                                        \
    X(Util, av_frame_get_buffer)                                                                   \
    X(Util, av_frame_make_writable)                                                                \
    X(Util, av_malloc)                                                                             \
    X(Util, av_freep)                                                                              \
    X(Util, av_dict_set)                                                                           \
    X(Util, av_strerror)                                                                           \
    X(Util, av_rescale_q)                                                                          \
    X(Util, av_channel_layout_default)                                                             \
    X(Util, av_channel_layout_copy)                                                                \
    X(Util, av_channel_layout_compare)                                                             \
    X(Util, av_channel_layout_uninit)                                                              \
    X(Resample, swr_alloc_set_opts2)                                                               \
    X(Resample, swr_init)                                                                          \
    X(Resample, swr_convert)                                                                       \
    X(Resample, swr_get_out_samples)                                                               \
    X(Resample, swr_free)

// FFmpeg's libraries, opened on first use rather than linked: loading them and everything
// they depend on costs tens of milliseconds, which every start of the program would pay.
struct FFmpegEntries {
#define QUILLON_FFMPEG_DECLARE(library, name) decltype(&::name) name = nullptr;
    QUILLON_FFMPEG_ENTRIES(QUILLON_FFMPEG_DECLARE)
#undef QUILLON_FFMPEG_DECLARE
};

// The entry points, loaded once; nullptr when a library or an entry point is missing.
const FFmpegEntries* FFmpeg();

} // namespace quillon
