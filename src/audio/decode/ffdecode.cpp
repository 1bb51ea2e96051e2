// FFmpeg behind the Decoder interface. Files are read through our own AVIOContext over a
// ByteInput (a file range or a memory block), in the container sniffed from their content, so
// FFmpeg's own guessing never turns a text file into "audio". Seeks are sample-accurate: the
// demuxer seeks to a packet before the target (early enough for the codec's warm-up), and the
// frames before the target are decoded and dropped.

#include "audio/decode/ffdecode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace velorixa::audio {

namespace {

// Bad packets in a row after which a file counts as ended rather than damaged in one place.
constexpr int kMaxBadPackets = 200;

std::string codecName(AVCodecID id, uint32_t tag) {
    if (id != AV_CODEC_ID_NONE) return avcodec_get_name(id);
    char text[32];
    std::snprintf(text, sizeof text, "tag 0x%04x", tag);
    return text;
}

// Decoded frames to interleaved float in one locked layout: the first frame's rate, mono or
// stereo. A frame of another rate or layout is converted to it.
class Converter {
  public:
    ~Converter() { swr_free(&swr_); }

    bool locked() const { return outChannels_ > 0; }
    int rateHz() const { return outRate_; }
    int channels() const { return outChannels_; }

    void lock(int rateHz, int channels) {
        outRate_ = rateHz;
        outChannels_ = std::clamp(channels, 1, 2);
    }

    // Appends the frame's samples from `skip` on; false when the frame cannot be converted.
    bool append(const AVFrame* f, int skip, std::vector<float>* out) {
        if (f->nb_samples <= skip) return true;
        if (!locked()) lock(f->sample_rate, f->ch_layout.nb_channels);
        if (!ready(f)) return false;
        const int in = f->nb_samples;
        const int room = swr_get_out_samples(swr_, in) + 16;
        const size_t old = out->size();
        out->resize(old + size_t(room) * outChannels_);
        auto* dst = reinterpret_cast<uint8_t*>(out->data() + old);
        int got = swr_convert(swr_, &dst, room, const_cast<const uint8_t**>(f->extended_data), in);
        if (got < 0) got = 0;
        // The skipped head is cut after the conversion: swr keeps no history at equal rates,
        // and a resampling one needs the samples before anyway.
        int cut = outRate_ == f->sample_rate ? std::min(skip, got) : 0;
        if (cut > 0) {
            float* base = out->data() + old;
            std::memmove(base, base + size_t(cut) * outChannels_,
                         size_t(got - cut) * outChannels_ * sizeof(float));
        }
        out->resize(old + size_t(got - cut) * outChannels_);
        return true;
    }

  private:
    bool ready(const AVFrame* f) {
        AVChannelLayout layout{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&layout, f->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&layout, &f->ch_layout) < 0) {
            return false;
        }
        if (swr_ && f->format == inFormat_ && f->sample_rate == inRate_ &&
            av_channel_layout_compare(&layout, &inLayout_) == 0) {
            av_channel_layout_uninit(&layout);
            return true;
        }
        swr_free(&swr_);
        av_channel_layout_uninit(&inLayout_);
        inLayout_ = layout;
        inFormat_ = f->format;
        inRate_ = f->sample_rate;
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, outChannels_);
        if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLT, outRate_, &inLayout_,
                                static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr) < 0) {
            return false;
        }
        // A mix-down never adds up beyond full scale: a 5.1 file plays at its stereo level.
        av_opt_set_double(swr_, "rematrix_maxval", 1.0, 0);
        if (swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        return true;
    }

    SwrContext* swr_ = nullptr;
    AVChannelLayout inLayout_{};
    int inFormat_ = -1;
    int inRate_ = 0;
    int outRate_ = 0;
    int outChannels_ = 0;
};

const char* demuxerName(Container c) {
    switch (c) {
        case Container::Flac:
            return "flac";
        case Container::Ogg:
            return "ogg";
        case Container::Mp4:
            return "mov";
        case Container::Adts:
            return "aac";
        case Container::Wav:
            return "wav";
        case Container::Aiff:
            return "aiff";
        case Container::MpegTs:
            return "mpegts";
        default:
            return nullptr;
    }
}

class FfFileDecoder final : public Decoder {
  public:
    ~FfFileDecoder() override {
        av_packet_free(&pkt_);
        av_frame_free(&frame_);
        avcodec_free_context(&ctx_);
        avformat_close_input(&fmt_);
        if (avio_) av_freep(&avio_->buffer);
        avio_context_free(&avio_);
    }

    bool open(std::unique_ptr<ByteInput> in, Container container, std::string* error) {
        in_ = std::move(in);
        const AVInputFormat* demuxer = av_find_input_format(demuxerName(container));
        if (!demuxer) return fail(error, "not an audio file");
        constexpr int kIoBytes = 64 * 1024;
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBytes));
        avio_ = avio_alloc_context(buffer, kIoBytes, 0, in_.get(), &readPacket, nullptr, &seekTo);
        fmt_ = avformat_alloc_context();
        if (!buffer || !avio_ || !fmt_) return fail(error, "out of memory");
        fmt_->pb = avio_;
        fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
        if (avformat_open_input(&fmt_, "", demuxer, nullptr) < 0) {
            return fail(error, "not an audio file");  // fmt_ is freed on failure
        }
        if (avformat_find_stream_info(fmt_, nullptr) < 0) return fail(error, "not an audio file");
        stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0) return fail(error, "no audio in the file");
        AVStream* st = fmt_->streams[stream_];
        for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
            if (int(i) != stream_) fmt_->streams[i]->discard = AVDISCARD_ALL;
        }
        const AVCodecParameters* par = st->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec)
            return fail(error,
                        "unsupported codec (" + codecName(par->codec_id, par->codec_tag) + ")");
        ctx_ = avcodec_alloc_context3(codec);
        if (!ctx_ || avcodec_parameters_to_context(ctx_, par) < 0)
            return fail(error, "out of memory");
        ctx_->pkt_timebase = st->time_base;
        if (avcodec_open2(ctx_, codec, nullptr) < 0) {
            return fail(error,
                        "unsupported codec (" + codecName(par->codec_id, par->codec_tag) + ")");
        }
        const int rate = ctx_->sample_rate > 0 ? ctx_->sample_rate : par->sample_rate;
        const int channels = ctx_->ch_layout.nb_channels;
        if (rate <= 0 || rate > 768000 || channels < 1) return fail(error, "no audio format");
        conv_.lock(rate, channels);
        timeBase_ = st->time_base;
        startPts_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        lossy_ = !(par->codec_id == AV_CODEC_ID_FLAC || (par->codec_id >= AV_CODEC_ID_PCM_S16LE &&
                                                         par->codec_id < AV_CODEC_ID_ADPCM_IMA_QT));
        pkt_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (!pkt_ || !frame_) return fail(error, "out of memory");
        lengthFrames_ = measureLength(container, st);
        if (lengthFrames_ <= 0) return fail(error, "no audio frames");
        return true;
    }

    int read(float* dst, int maxFrames, Status* status) override {
        *status = Status::Ok;
        const int ch = conv_.channels();
        int done = 0;
        while (done < maxFrames) {
            const size_t have = (pending_.size() - pendingAt_) / ch;
            if (have > 0) {
                const size_t n = std::min<size_t>(have, size_t(maxFrames - done));
                std::memcpy(dst + size_t(done) * ch, pending_.data() + pendingAt_,
                            n * ch * sizeof(float));
                pendingAt_ += n * ch;
                done += static_cast<int>(n);
                continue;
            }
            pending_.clear();
            pendingAt_ = 0;
            if (!decodeMore()) {
                *status = Status::End;
                break;
            }
        }
        return done;
    }

    int64_t seek(int64_t frame) override {
        frame = std::clamp<int64_t>(frame, 0, lengthFrames_);
        // Lossy codecs need the frames before the target to decode it right (overlap, Opus'
        // pre-roll): the demuxer seeks a tenth of a second early.
        const int64_t early = lossy_ ? conv_.rateHz() / 10 : 0;
        // Before the start is allowed: an MP4's encoder delay lies before frame 0.
        const int64_t ts =
            av_rescale_q(frame - early, AVRational{1, conv_.rateHz()}, timeBase_) + startPts_;
        if (av_seek_frame(fmt_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(fmt_, stream_, startPts_, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0) {
            return -1;
        }
        avcodec_flush_buffers(ctx_);
        pending_.clear();
        pendingAt_ = 0;
        draining_ = false;
        skipTo_ = frame;
        nextPos_ = -1;
        return frame;
    }

    int rateHz() const override { return conv_.rateHz(); }
    int channels() const override { return conv_.channels(); }
    int64_t lengthFrames() const override { return lengthFrames_; }

  private:
    static bool fail(std::string* error, const std::string& why) {
        if (error) *error = why;
        return false;
    }

    static int readPacket(void* opaque, uint8_t* buf, int size) {
        auto* in = static_cast<ByteInput*>(opaque);
        const size_t got = in->readAt(in->pos, buf, static_cast<size_t>(size));
        in->pos += got;
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    }

    static int64_t seekTo(void* opaque, int64_t offset, int whence) {
        auto* in = static_cast<ByteInput*>(opaque);
        const auto size = static_cast<int64_t>(in->size);
        if (whence & AVSEEK_SIZE) return size;
        whence &= ~AVSEEK_FORCE;
        const int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<int64_t>(in->pos)
                                                  : size;
        const int64_t to = base + offset;
        if (to < 0) return -1;
        in->pos = static_cast<uint64_t>(std::min(to, size));
        return to;
    }

    // Frames at the output rate: from the container where it knows them exactly; ADTS files
    // name no length, so their frame headers are counted (no decoding).
    int64_t measureLength(Container container, const AVStream* st) {
        const AVRational out{1, conv_.rateHz()};
        if (container == Container::Adts) return countAdtsFrames();
        if (container == Container::Ogg) {
            if (const int64_t n = oggLength(st); n > 0) return n;
        }
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            return av_rescale_q(st->duration, st->time_base, out);
        if (fmt_->duration != AV_NOPTS_VALUE && fmt_->duration > 0)
            return av_rescale_q(fmt_->duration, AVRational{1, AV_TIME_BASE}, out);
        return 0;
    }

    // An Ogg stream ends at its last page's granule position: for Vorbis the sample count, for
    // Opus the 48 kHz sample count with the encoder's pre-skip in it.
    int64_t oggLength(const AVStream* st) {
        const uint64_t tail = std::min<uint64_t>(in_->size, 64 * 1024);
        std::vector<uint8_t> end(tail);
        const size_t got = in_->readAt(in_->size - tail, end.data(), end.size());
        for (size_t i = got >= 27 ? got - 27 : 0; i-- > 0;) {
            if (std::memcmp(&end[i], "OggS", 4) != 0 || end[i + 4] != 0) continue;
            int64_t granule = 0;
            for (int b = 7; b >= 0; --b)
                granule = granule << 8 | end[i + 6 + b];
            if (granule <= 0) continue;
            const AVCodecParameters* par = st->codecpar;
            if (par->codec_id == AV_CODEC_ID_OPUS && par->extradata_size >= 12)
                granule -= par->extradata[10] | par->extradata[11] << 8;
            return granule;
        }
        return 0;
    }

    int64_t countAdtsFrames() {
        static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                         22050, 16000, 12000, 11025, 8000,  7350};
        uint64_t at = 0;
        uint8_t h[10];
        if (in_->readAt(0, h, 10) == 10) at = id3v2Size(h, 10);
        int64_t samples = 0;  // at the header's rate
        int headerRate = 0;
        while (in_->readAt(at, h, 7) == 7) {
            if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0 || ((h[2] >> 2) & 0x0F) > 12) break;
            const size_t len = ((h[3] & 0x03u) << 11) | (size_t{h[4]} << 3) | (h[5] >> 5);
            if (len < 7) break;
            headerRate = kRates[(h[2] >> 2) & 0x0F];
            samples += 1024 * ((h[6] & 0x03) + 1);
            at += len;
        }
        // HE-AAC decodes at twice the rate its headers name.
        return headerRate > 0 ? samples * conv_.rateHz() / headerRate : 0;
    }

    // Decodes until some frames are pending; false at the end of the audio.
    bool decodeMore() {
        while (true) {
            int rc = avcodec_receive_frame(ctx_, frame_);
            if (rc == 0) {
                takeFrame();
                av_frame_unref(frame_);
                if (pending_.size() > pendingAt_) return true;
                continue;
            }
            if (rc == AVERROR_EOF) return false;
            if (rc != AVERROR(EAGAIN)) {
                if (++badPackets_ > kMaxBadPackets) return false;
                continue;
            }
            if (draining_) return false;
            rc = av_read_frame(fmt_, pkt_);
            if (rc < 0) {
                // The end, or a truncated file: what was read is played, then the rest of the
                // decoder's frames.
                draining_ = true;
                avcodec_send_packet(ctx_, nullptr);
                continue;
            }
            if (pkt_->stream_index == stream_) {
                if (avcodec_send_packet(ctx_, pkt_) < 0) {
                    if (++badPackets_ > kMaxBadPackets) {
                        av_packet_unref(pkt_);
                        return false;
                    }
                } else {
                    badPackets_ = 0;
                }
            }
            av_packet_unref(pkt_);
        }
    }

    void takeFrame() {
        // The frame's own time: the decoder moves it past samples it drops (encoder delay).
        const int64_t pts =
            frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE) {
            nextPos_ = av_rescale_q(pts - startPts_, timeBase_, AVRational{1, conv_.rateHz()});
        } else if (nextPos_ < 0) {
            nextPos_ = skipTo_;
        }
        int skip = 0;
        if (skipTo_ > nextPos_) {
            skip = static_cast<int>(std::min<int64_t>(skipTo_ - nextPos_, frame_->nb_samples));
        }
        // Never past the length: a container's trailing padding is not played.
        if (nextPos_ + frame_->nb_samples > lengthFrames_ &&
            frame_->sample_rate == conv_.rateHz()) {
            frame_->nb_samples = static_cast<int>(std::max<int64_t>(0, lengthFrames_ - nextPos_));
        }
        const int64_t frames = frame_->nb_samples;
        conv_.append(frame_, skip, &pending_);
        nextPos_ += frames;
        if (skip > 0 && nextPos_ >= skipTo_) skipTo_ = 0;
    }

    std::unique_ptr<ByteInput> in_;
    AVIOContext* avio_ = nullptr;
    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    AVRational timeBase_{1, 1};
    int64_t startPts_ = 0;
    bool lossy_ = true;
    Converter conv_;
    int64_t lengthFrames_ = 0;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
    bool draining_ = false;
    int badPackets_ = 0;
    int64_t skipTo_ = 0;    // frames before this one are decoded and dropped (after a seek)
    int64_t nextPos_ = -1;  // the frame the next decoded sample is
};

}  // namespace

std::unique_ptr<Decoder> openFfmpegFile(std::unique_ptr<ByteInput> in, Container container,
                                        std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    auto dec = std::make_unique<FfFileDecoder>();
    if (!dec->open(std::move(in), container, error)) return nullptr;
    return dec;
}

struct PacketDecoder::Impl {
    ~Impl() {
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
    AVCodecContext* ctx = nullptr;
    AVPacket* pkt = nullptr;
    AVFrame* frame = nullptr;
    Converter conv;
};

PacketDecoder::PacketDecoder() : impl_(std::make_unique<Impl>()) {
    av_log_set_level(AV_LOG_QUIET);
    impl_->pkt = av_packet_alloc();
    impl_->frame = av_frame_alloc();
}

PacketDecoder::~PacketDecoder() = default;

bool PacketDecoder::open(const StreamFormat& format, std::string* error) {
    const AVCodecID id = format.codec == StreamCodec::Aac      ? AV_CODEC_ID_AAC
                         : format.codec == StreamCodec::Mp3    ? AV_CODEC_ID_MP3
                         : format.codec == StreamCodec::Vorbis ? AV_CODEC_ID_VORBIS
                         : format.codec == StreamCodec::Opus   ? AV_CODEC_ID_OPUS
                                                               : AV_CODEC_ID_NONE;
    const AVCodec* codec = avcodec_find_decoder(id);
    avcodec_free_context(&impl_->ctx);
    if (!codec || !impl_->pkt || !impl_->frame) {
        if (error) *error = "unsupported codec (" + codecName(id, 0) + ")";
        return false;
    }
    impl_->ctx = avcodec_alloc_context3(codec);
    AVCodecContext* ctx = impl_->ctx;
    if (!format.extradata.empty()) {
        ctx->extradata = static_cast<uint8_t*>(
            av_mallocz(format.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (ctx->extradata) {
            std::memcpy(ctx->extradata, format.extradata.data(), format.extradata.size());
            ctx->extradata_size = static_cast<int>(format.extradata.size());
        }
    }
    if (format.codec == StreamCodec::Opus && format.extradata.size() >= 19) {
        ctx->sample_rate = 48000;
        av_channel_layout_default(&ctx->ch_layout, std::max(1, int(format.extradata[9])));
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        if (error) *error = "unsupported codec (" + codecName(id, 0) + ")";
        avcodec_free_context(&impl_->ctx);
        return false;
    }
    return true;
}

bool PacketDecoder::decode(const uint8_t* data, size_t size, std::vector<float>* out) {
    Impl& d = *impl_;
    if (!d.ctx || size == 0 || av_new_packet(d.pkt, static_cast<int>(size)) < 0) return false;
    std::memcpy(d.pkt->data, data, size);
    const int rc = avcodec_send_packet(d.ctx, d.pkt);
    av_packet_unref(d.pkt);
    if (rc < 0 && rc != AVERROR(EAGAIN)) return false;
    while (avcodec_receive_frame(d.ctx, d.frame) == 0) {
        d.conv.append(d.frame, 0, out);
        av_frame_unref(d.frame);
    }
    return true;
}

int PacketDecoder::rateHz() const {
    return impl_->conv.rateHz();
}

int PacketDecoder::channels() const {
    return impl_->conv.channels();
}

}  // namespace velorixa::audio
