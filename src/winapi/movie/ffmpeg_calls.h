// FFmpeg's calls the movie readers make, found in its shared libraries when the first movie is
// opened. The program does not link FFmpeg: its five libraries bring some eighty codec, network
// and crypto libraries whose mapping and relocation cost a game that plays no movie about 16 MB.
// The libraries opened are those of the headers built against (same major versions), and stay
// open until the program ends.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/cpu.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace winapi::movie {

// Every call used, one list: it makes the table's members and the names looked up.
#define TESSARO_FFMPEG_CALLS(X)                                                                              \
    X(av_buffer_create) X(av_channel_layout_copy) X(av_channel_layout_default) X(av_channel_layout_uninit)  \
    X(av_cpu_count) X(av_frame_alloc) X(av_frame_free) X(av_free) X(av_freep) X(av_guess_frame_rate)        \
    X(av_log_set_level) X(av_malloc) X(av_opt_set_int) X(av_packet_alloc) X(av_packet_free)                \
    X(av_packet_unref) X(av_read_frame) X(av_rescale_q) X(av_seek_frame) X(avcodec_alloc_context3)         \
    X(avcodec_find_decoder) X(avcodec_flush_buffers) X(avcodec_free_context) X(avcodec_open2)              \
    X(avcodec_parameters_to_context) X(avcodec_receive_frame) X(avcodec_send_packet)                       \
    X(avformat_alloc_context) X(avformat_close_input) X(avformat_find_stream_info) X(avformat_open_input)  \
    X(avio_alloc_context) X(avio_context_free) X(swr_alloc_set_opts2) X(swr_convert) X(swr_free)           \
    X(swr_get_out_samples) X(swr_init) X(sws_alloc_context) X(sws_freeContext) X(sws_getCoefficients)      \
    X(sws_init_context) X(sws_scale_frame) X(sws_setColorspaceDetails)

struct FfmpegCalls {
#define TESSARO_FFMPEG_MEMBER(name) decltype(&::name) name = nullptr;
    TESSARO_FFMPEG_CALLS(TESSARO_FFMPEG_MEMBER)
#undef TESSARO_FFMPEG_MEMBER
};

// → FFmpeg's calls, its libraries opened at the first call (from any thread); null when a library
// cannot be opened or lacks a call, and then on every later call (no movie opens).
const FfmpegCalls* OpenFfmpeg();

} // namespace winapi::movie
