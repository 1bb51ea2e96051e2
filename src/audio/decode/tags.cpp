#include "audio/decode/tags.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include "audio/decode/formatprobe.h"
#include "audio/decode/mp3tags.h"
#include "util/fspath.h"

namespace velorixa::audio {

namespace {

// The largest single block FFmpeg may allocate while tags are read.
constexpr size_t kMaxFfmpegBlock = 64 * 1024 * 1024;

std::optional<double> parseNumber(QByteArrayView text);

// What libavformat reads through: a regular file (by pread, so nothing else moves its offset)
// or a block of memory, with a budget of bytes after which every read says end of file.
struct Input {
    int fd = -1;
    const uint8_t* mem = nullptr;
    int64_t size = 0;
    int64_t pos = 0;
    int64_t budget = kMaxTagReadBytes;
};

int readPacket(void* opaque, uint8_t* buf, int bufSize) {
    auto* in = static_cast<Input*>(opaque);
    const int64_t n = std::min<int64_t>({bufSize, in->size - in->pos, in->budget});
    if (n <= 0) return AVERROR_EOF;
    if (in->mem) {
        std::memcpy(buf, in->mem + in->pos, static_cast<size_t>(n));
        in->pos += n;
        in->budget -= n;
        return static_cast<int>(n);
    }
    ssize_t got;
    do {
        got = ::pread(in->fd, buf, static_cast<size_t>(n), in->pos);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return AVERROR_EOF;  // a file cut short while read ends here
    in->pos += got;
    in->budget -= got;
    return static_cast<int>(got);
}

int64_t seekPacket(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<Input*>(opaque);
    if (whence & AVSEEK_SIZE) return in->size;
    int64_t to = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            to = offset;
            break;
        case SEEK_CUR:
            to = in->pos + offset;
            break;
        case SEEK_END:
            to = in->size + offset;
            break;
        default:
            return -1;
    }
    if (to < 0 || to > in->size) return -1;
    in->pos = to;
    return to;
}

// The first of keys found in the container's tags, then in the audio stream's (Ogg keeps its
// comments there).
const char* lookUp(const AVFormatContext* fmt, const AVStream* st,
                   std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        if (const AVDictionaryEntry* e = av_dict_get(fmt->metadata, key, nullptr, 0))
            if (e->value && *e->value) return e->value;
        if (st)
            if (const AVDictionaryEntry* e = av_dict_get(st->metadata, key, nullptr, 0))
                if (e->value && *e->value) return e->value;
    }
    return nullptr;
}

QString tagOf(const AVFormatContext* fmt, const AVStream* st,
              std::initializer_list<const char*> keys) {
    const char* v = lookUp(fmt, st, keys);
    return v ? TagText(QByteArrayView(v, static_cast<qsizetype>(strnlen(v, 1 << 16)))) : QString();
}

double lengthOf(AVFormatContext* fmt, const AVStream* st) {
    if (st && st->duration > 0 && st->time_base.den > 0)
        return static_cast<double>(st->duration) * av_q2d(st->time_base);
    if (fmt->duration > 0) return static_cast<double>(fmt->duration) / AV_TIME_BASE;
    return 0;
}

TrackTags readFrom(Input& in) {
    // libavformat's own complaints about broken files are no news to the operator, who gets
    // the file's name shown instead; a level someone chose stays.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
        // A tag or chunk that claims gigabytes (a broken RIFF LIST, an ID3 frame) is refused
        // by FFmpeg's allocator instead of being allocated; no audio file needs one block this
        // large.
        av_max_alloc(kMaxFfmpegBlock);
    });
    TrackTags out;
    constexpr int kBufferBytes = 32 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer) return out;
    AVIOContext* io =
        avio_alloc_context(buffer, kBufferBytes, 0, &in, readPacket, nullptr, seekPacket);
    if (!io) {
        av_free(buffer);
        return out;
    }
    AVFormatContext* fmt = avformat_alloc_context();
    if (fmt) {
        fmt->pb = io;
        fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        // Probing and analysis stay within a few megabytes and seconds of audio.
        fmt->probesize = 2 * 1024 * 1024;
        fmt->max_analyze_duration = 5 * AV_TIME_BASE;
        if (avformat_open_input(&fmt, nullptr, nullptr, nullptr) < 0) fmt = nullptr;  // freed
    }
    if (fmt) {
        // The first audio stream (av_find_best_stream would pass over one whose rate and
        // channels are only known after decoding).
        AVStream* st = nullptr;
        for (unsigned i = 0; i < fmt->nb_streams && !st; ++i)
            if (fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) st = fmt->streams[i];
        if (st) {
            out.media = true;
            out.title = tagOf(fmt, st, {"title"});
            out.artist = tagOf(fmt, st, {"artist", "album_artist", "performer"});
            out.album = tagOf(fmt, st, {"album"});
            out.lengthSec = lengthOf(fmt, st);
            // Only a file whose header names no length is analysed for one (an MP3 without
            // its encoder's frame count): the analysis decodes a few frames.
            if (out.lengthSec <= 0 && avformat_find_stream_info(fmt, nullptr) >= 0)
                out.lengthSec = lengthOf(fmt, st);
            if (!std::isfinite(out.lengthSec) || out.lengthSec < 0 || out.lengthSec > 1e7)
                out.lengthSec = 0;
            if (const char* gain = lookUp(fmt, st, {"REPLAYGAIN_TRACK_GAIN"})) {
                out.trackGainDb = ParseGainDb(gain);
                if (const char* peak = lookUp(fmt, st, {"REPLAYGAIN_TRACK_PEAK"}))
                    out.trackPeak = ParsePeak(peak);
            } else if (const char* r128 = lookUp(fmt, st, {"R128_TRACK_GAIN"})) {
                // Opus: a Q7.8 number of dB against -23 LUFS, 5 dB below ReplayGain's level.
                if (const auto q = parseNumber(r128); q && std::abs(*q) <= 32768) {
                    const double db = *q / 256.0 + 5.0;
                    if (db >= -60 && db <= 60) out.trackGainDb = db;
                }
            }
        }
        avformat_close_input(&fmt);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return out;
}

// Up to n bytes of the input at offset, outside the budget of libavformat's reads.
size_t readAt(const Input& in, uint64_t offset, uint8_t* dst, size_t n) {
    if (offset >= static_cast<uint64_t>(in.size)) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, static_cast<uint64_t>(in.size) - offset));
    if (in.mem) {
        std::memcpy(dst, in.mem + offset, n);
        return n;
    }
    ssize_t got;
    do {
        got = ::pread(in.fd, dst, n, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

// Told by the first bytes, as the player's decoders are chosen: what no container claims is
// MPEG audio or nothing, and is read by libmpg123 (FFmpeg stays unloaded for MP3 lists); the
// containers go to libavformat.
TrackTags readAny(Input& in) {
    uint8_t head[4096];
    size_t got = readAt(in, 0, head, sizeof head);
    if (const size_t tag = id3v2Size(head, got); tag > 0) got = readAt(in, tag, head, sizeof head);
    if (sniffFileStart(head, got) != Container::Unknown) return readFrom(in);
    const ReadAt read = [&in](uint64_t offset, uint8_t* dst, size_t n) {
        return readAt(in, offset, dst, n);
    };
    return ReadMp3Tags(read, static_cast<uint64_t>(in.size));
}

bool isBidiControl(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
           c == 0x200F || c == 0xFEFF;
}

}  // namespace

QString TagText(QByteArrayView bytes, qsizetype maxChars) {
    if (maxChars < 1) return {};
    // More bytes than this cannot fit in maxChars characters; the rest is never decoded.
    const qsizetype byteCap = maxChars * 4 + 16;
    const bool cutBytes = bytes.size() > byteCap;
    if (cutBytes) bytes = bytes.first(byteCap);
    const QString decoded = QString::fromUtf8(bytes);  // invalid sequences become U+FFFD
    QString text;
    text.reserve(decoded.size());
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        if (isBidiControl(u)) continue;
        const QChar::Category cat = c.category();
        if (cat == QChar::Other_Control || cat == QChar::Separator_Line ||
            cat == QChar::Separator_Paragraph) {
            text.append(u' ');
        } else {
            text.append(c);
        }
    }
    text = text.simplified();
    if (text.size() > maxChars || (cutBytes && text.size() == maxChars)) {
        qsizetype keep = maxChars - 1;
        if (keep > 0 && text.at(keep - 1).isHighSurrogate()) --keep;
        text.truncate(keep);
        text = text.trimmed();
        text.append(QChar(0x2026));
    }
    return text;
}

std::optional<double> ParseGainDb(QByteArrayView text) {
    const auto v = parseNumber(text);
    if (!v || *v < -60 || *v > 60) return std::nullopt;
    return v;
}

std::optional<double> ParsePeak(QByteArrayView text) {
    const auto v = parseNumber(text);
    if (!v || !(*v > 0) || *v > 100) return std::nullopt;
    return v;
}

namespace {

// The number a text starts with (blanks first allowed, "," taken as the decimal point).
std::optional<double> parseNumber(QByteArrayView text) {
    QByteArray t = text.first(std::min<qsizetype>(text.size(), 64)).toByteArray().trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const qsizetype digits = i;
    while (i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.' || t[i] == ','))
        ++i;
    if (i == digits) return std::nullopt;
    QByteArray number = t.left(i);
    number.replace(',', '.');
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

TrackTags ReadTags(const QString& path) {
    const QByteArray name = util::PathToBytes(path);
    // Non-blocking, so a FIFO named like a song never waits for a writer; only regular files
    // are read.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    TrackTags out;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        Input in;
        in.fd = fd;
        in.size = st.st_size;
        out = readAny(in);
    }
    ::close(fd);
    return out;
}

TrackTags ReadTagsFromMemory(QByteArrayView data) {
    if (data.isEmpty()) return {};
    Input in;
    in.mem = reinterpret_cast<const uint8_t*>(data.data());
    in.size = data.size();
    return readAny(in);
}

}  // namespace velorixa::audio
