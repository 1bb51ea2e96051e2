// FFmpeg's libraries are loaded on first use, not at program start. Together with what they pull
// in (a hundred further libraries: video codecs, TLS, image formats) they cost more start-up time
// than the rest of the program: about half of a short render's CPU and much of the time to the
// window, while an MP3 file, a station of MPEG audio and the window itself need none of it.
//
// The functions the decoders and the tag reader call are defined here under FFmpeg's own names,
// with the declarations of FFmpeg's headers (a signature that does not match them does not
// compile), and forward to the libraries loaded the first time one of them is called. A function
// the decoders start to use must be added to the list below (the link says which is missing).
//
// Thread contract: any thread; the first call loads the libraries once (a function-local static),
// later calls only read the resolved table. A missing library ends the program with a message
// that names it (util/dynlib.h).

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "util/dynlib.h"

namespace {

#define VX_STRING(x) #x
#define VX_SONAME(lib, major) "lib" #lib ".so." VX_STRING(major)

// The libraries in the order they depend on each other; each by the major version the program
// was compiled against, which is what linking them directly would have asked for too.
enum Lib { kAvutil, kSwresample, kAvcodec, kAvformat };

// X(library, name): every FFmpeg function the program calls.
#define VX_FFMPEG_FUNCTIONS(X)                 \
    X(kAvcodec, av_new_packet)                 \
    X(kAvcodec, av_packet_alloc)               \
    X(kAvcodec, av_packet_free)                \
    X(kAvcodec, av_packet_unref)               \
    X(kAvcodec, avcodec_alloc_context3)        \
    X(kAvcodec, avcodec_find_decoder)          \
    X(kAvcodec, avcodec_flush_buffers)         \
    X(kAvcodec, avcodec_free_context)          \
    X(kAvcodec, avcodec_get_name)              \
    X(kAvcodec, avcodec_open2)                 \
    X(kAvcodec, avcodec_parameters_to_context) \
    X(kAvcodec, avcodec_receive_frame)         \
    X(kAvcodec, avcodec_send_packet)           \
    X(kAvformat, av_find_best_stream)          \
    X(kAvformat, av_find_input_format)         \
    X(kAvformat, av_read_frame)                \
    X(kAvformat, av_seek_frame)                \
    X(kAvformat, avformat_alloc_context)       \
    X(kAvformat, avformat_close_input)         \
    X(kAvformat, avformat_find_stream_info)    \
    X(kAvformat, avformat_open_input)          \
    X(kAvformat, avio_alloc_context)           \
    X(kAvformat, avio_context_free)            \
    X(kAvutil, av_channel_layout_compare)      \
    X(kAvutil, av_channel_layout_copy)         \
    X(kAvutil, av_channel_layout_default)      \
    X(kAvutil, av_channel_layout_uninit)       \
    X(kAvutil, av_dict_get)                    \
    X(kAvutil, av_frame_alloc)                 \
    X(kAvutil, av_frame_free)                  \
    X(kAvutil, av_frame_unref)                 \
    X(kAvutil, av_free)                        \
    X(kAvutil, av_freep)                       \
    X(kAvutil, av_log_get_level)               \
    X(kAvutil, av_log_set_level)               \
    X(kAvutil, av_malloc)                      \
    X(kAvutil, av_max_alloc)                   \
    X(kAvutil, av_mallocz)                     \
    X(kAvutil, av_opt_set_double)              \
    X(kAvutil, av_rescale_q)                   \
    X(kSwresample, swr_alloc_set_opts2)        \
    X(kSwresample, swr_convert)                \
    X(kSwresample, swr_free)                   \
    X(kSwresample, swr_get_out_samples)        \
    X(kSwresample, swr_init)

VX_DYNLIB_TABLE(Api, VX_FFMPEG_FUNCTIONS)

const Api& ffmpeg() {
    // The libraries stay loaded for the rest of the process: FFmpeg keeps static state.
    static const Api api = velorixa::util::LoadOrAbort<Api>(
        "FFmpeg", {VX_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR),
                   VX_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR),
                   VX_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
                   VX_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)});
    return api;
}

}  // namespace

extern "C" {

int av_new_packet(AVPacket* pkt, int size) {
    return ffmpeg().av_new_packet(pkt, size);
}
AVPacket* av_packet_alloc(void) {
    return ffmpeg().av_packet_alloc();
}
void av_packet_free(AVPacket** pkt) {
    ffmpeg().av_packet_free(pkt);
}
void av_packet_unref(AVPacket* pkt) {
    ffmpeg().av_packet_unref(pkt);
}
AVCodecContext* avcodec_alloc_context3(const AVCodec* codec) {
    return ffmpeg().avcodec_alloc_context3(codec);
}
const AVCodec* avcodec_find_decoder(enum AVCodecID id) {
    return ffmpeg().avcodec_find_decoder(id);
}
void avcodec_flush_buffers(AVCodecContext* avctx) {
    ffmpeg().avcodec_flush_buffers(avctx);
}
void avcodec_free_context(AVCodecContext** avctx) {
    ffmpeg().avcodec_free_context(avctx);
}
const char* avcodec_get_name(enum AVCodecID id) {
    return ffmpeg().avcodec_get_name(id);
}
int avcodec_open2(AVCodecContext* avctx, const AVCodec* codec, AVDictionary** options) {
    return ffmpeg().avcodec_open2(avctx, codec, options);
}
int avcodec_parameters_to_context(AVCodecContext* codec, const AVCodecParameters* par) {
    return ffmpeg().avcodec_parameters_to_context(codec, par);
}
int avcodec_receive_frame(AVCodecContext* avctx, AVFrame* frame) {
    return ffmpeg().avcodec_receive_frame(avctx, frame);
}
int avcodec_send_packet(AVCodecContext* avctx, const AVPacket* avpkt) {
    return ffmpeg().avcodec_send_packet(avctx, avpkt);
}
int av_find_best_stream(AVFormatContext* ic, enum AVMediaType type, int wanted_stream_nb,
                        int related_stream, const AVCodec** decoder_ret, int flags) {
    return ffmpeg().av_find_best_stream(ic, type, wanted_stream_nb, related_stream, decoder_ret,
                                        flags);
}
const AVInputFormat* av_find_input_format(const char* short_name) {
    return ffmpeg().av_find_input_format(short_name);
}
int av_read_frame(AVFormatContext* s, AVPacket* pkt) {
    return ffmpeg().av_read_frame(s, pkt);
}
int av_seek_frame(AVFormatContext* s, int stream_index, int64_t timestamp, int flags) {
    return ffmpeg().av_seek_frame(s, stream_index, timestamp, flags);
}
AVFormatContext* avformat_alloc_context(void) {
    return ffmpeg().avformat_alloc_context();
}
void avformat_close_input(AVFormatContext** s) {
    ffmpeg().avformat_close_input(s);
}
int avformat_find_stream_info(AVFormatContext* ic, AVDictionary** options) {
    return ffmpeg().avformat_find_stream_info(ic, options);
}
int avformat_open_input(AVFormatContext** ps, const char* url, const AVInputFormat* fmt,
                        AVDictionary** options) {
    return ffmpeg().avformat_open_input(ps, url, fmt, options);
}
AVIOContext* avio_alloc_context(unsigned char* buffer, int buffer_size, int write_flag,
                                void* opaque,
                                int (*read_packet)(void* opaque, uint8_t* buf, int buf_size),
                                int (*write_packet)(void* opaque, uint8_t* buf, int buf_size),
                                int64_t (*seek)(void* opaque, int64_t offset, int whence)) {
    return ffmpeg().avio_alloc_context(buffer, buffer_size, write_flag, opaque, read_packet,
                                       write_packet, seek);
}
void avio_context_free(AVIOContext** s) {
    ffmpeg().avio_context_free(s);
}
int av_channel_layout_compare(const AVChannelLayout* chl, const AVChannelLayout* chl1) {
    return ffmpeg().av_channel_layout_compare(chl, chl1);
}
int av_channel_layout_copy(AVChannelLayout* dst, const AVChannelLayout* src) {
    return ffmpeg().av_channel_layout_copy(dst, src);
}
void av_channel_layout_default(AVChannelLayout* ch_layout, int nb_channels) {
    ffmpeg().av_channel_layout_default(ch_layout, nb_channels);
}
void av_channel_layout_uninit(AVChannelLayout* channel_layout) {
    ffmpeg().av_channel_layout_uninit(channel_layout);
}
AVDictionaryEntry* av_dict_get(const AVDictionary* m, const char* key,
                               const AVDictionaryEntry* prev, int flags) {
    return ffmpeg().av_dict_get(m, key, prev, flags);
}
AVFrame* av_frame_alloc(void) {
    return ffmpeg().av_frame_alloc();
}
void av_frame_free(AVFrame** frame) {
    ffmpeg().av_frame_free(frame);
}
void av_frame_unref(AVFrame* frame) {
    ffmpeg().av_frame_unref(frame);
}
void av_free(void* ptr) {
    ffmpeg().av_free(ptr);
}
void av_freep(void* ptr) {
    ffmpeg().av_freep(ptr);
}
int av_log_get_level(void) {
    return ffmpeg().av_log_get_level();
}
void av_log_set_level(int level) {
    ffmpeg().av_log_set_level(level);
}
void* av_malloc(size_t size) {
    return ffmpeg().av_malloc(size);
}
void av_max_alloc(size_t max) {
    ffmpeg().av_max_alloc(max);
}
void* av_mallocz(size_t size) {
    return ffmpeg().av_mallocz(size);
}
int av_opt_set_double(void* obj, const char* name, double val, int search_flags) {
    return ffmpeg().av_opt_set_double(obj, name, val, search_flags);
}
int64_t av_rescale_q(int64_t a, AVRational bq, AVRational cq) {
    return ffmpeg().av_rescale_q(a, bq, cq);
}
int swr_alloc_set_opts2(struct SwrContext** ps, AVChannelLayout* out_ch_layout,
                        enum AVSampleFormat out_sample_fmt, int out_sample_rate,
                        AVChannelLayout* in_ch_layout, enum AVSampleFormat in_sample_fmt,
                        int in_sample_rate, int log_offset, void* log_ctx) {
    return ffmpeg().swr_alloc_set_opts2(ps, out_ch_layout, out_sample_fmt, out_sample_rate,
                                        in_ch_layout, in_sample_fmt, in_sample_rate, log_offset,
                                        log_ctx);
}
int swr_convert(struct SwrContext* s, uint8_t** out, int out_count, const uint8_t** in,
                int in_count) {
    return ffmpeg().swr_convert(s, out, out_count, in, in_count);
}
void swr_free(struct SwrContext** s) {
    ffmpeg().swr_free(s);
}
int swr_get_out_samples(struct SwrContext* s, int in_samples) {
    return ffmpeg().swr_get_out_samples(s, in_samples);
}
int swr_init(struct SwrContext* s) {
    return ffmpeg().swr_init(s);
}

}  // extern "C"
