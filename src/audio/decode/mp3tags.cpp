#include "audio/decode/mp3tags.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/decode/decoder.h"
#include "audio/decode/formatprobe.h"

namespace velorixa::audio {

namespace {

// mpg123 reads the file from start on (0, or the first frame when the ID3v2 tag in front is
// skipped) and may read budget bytes in all; after that every read says end of data.
struct View {
    const ReadAt* read = nullptr;
    uint64_t start = 0;
    uint64_t size = 0;  // of the whole data
    uint64_t pos = 0;   // relative to start
    uint64_t budget = kMaxTagReadBytes;

    static mpg123_ssize_t mpgRead(void* self, void* dst, size_t n) {
        auto* v = static_cast<View*>(self);
        const uint64_t left = v->size - v->start - v->pos;
        const size_t want = static_cast<size_t>(std::min<uint64_t>({n, left, v->budget}));
        if (want == 0) return 0;
        const size_t got = (*v->read)(v->start + v->pos, static_cast<uint8_t*>(dst), want);
        v->pos += got;
        v->budget -= got;
        return static_cast<mpg123_ssize_t>(got);
    }

    static off_t mpgSeek(void* self, off_t offset, int whence) {
        auto* v = static_cast<View*>(self);
        const int64_t len = static_cast<int64_t>(v->size - v->start);
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(v->pos) : len;
        const int64_t to = base + offset;
        if (to < 0 || to > len) return -1;
        v->pos = static_cast<uint64_t>(to);
        return static_cast<off_t>(to);
    }
};

// The first of a text frame's values (ID3v2.4 separates several by zero bytes).
QString textOf(const mpg123_string* s) {
    if (!s || !s->p || s->fill == 0) return {};
    return TagText(QByteArrayView(s->p, static_cast<qsizetype>(strnlen(s->p, s->fill))));
}

const mpg123_string* frameText(const mpg123_id3v2* v2, const char id[4]) {
    for (size_t i = 0; v2 && i < v2->texts; ++i)
        if (std::memcmp(v2->text[i].id, id, 4) == 0) return &v2->text[i].text;
    return nullptr;
}

// The value of the TXXX frame whose description is name, in any case (taggers write both
// "replaygain_track_gain" and "REPLAYGAIN_TRACK_GAIN"); the track peak sits beside the gain.
const mpg123_string* userText(const mpg123_id3v2* v2, const char* name) {
    const size_t len = std::strlen(name);
    for (size_t i = 0; v2 && i < v2->extras; ++i) {
        const mpg123_string& d = v2->extra[i].description;
        if (d.p && d.fill > 0 && strnlen(d.p, d.fill) == len && strncasecmp(d.p, name, len) == 0)
            return &v2->extra[i].text;
    }
    return nullptr;
}

// An ID3v1 field: up to n bytes, zero-padded, in Latin-1 by custom.
QString v1Text(const char* field, size_t n) {
    return TagText(QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, n))).toUtf8());
}

struct Handle {
    mpg123_handle* mh = nullptr;
    ~Handle() {
        if (mh) {
            mpg123_close(mh);
            mpg123_delete(mh);
        }
    }
};

}  // namespace

TrackTags ReadMp3Tags(const ReadAt& read, uint64_t size) {
    TrackTags out;
    const Mp3Probe probe = probeMp3(read, size);
    if (!probe.ok) return out;

    View view;
    view.read = &read;
    view.size = size;
    uint8_t head[10] = {};
    const size_t tag = id3v2Size(head, read(0, head, sizeof head));
    // A tag that claims more than the file holds, or more than is worth reading, is passed by.
    if (tag > 0 && (tag > size || tag > kMaxId3Bytes)) view.start = probe.firstFrame;

    Handle h;
    h.mh = newMpg123Handle();
    if (!h.mh) return out;
    if (mpg123_replace_reader_handle(h.mh, &View::mpgRead, &View::mpgSeek, nullptr) != MPG123_OK ||
        mpg123_open_handle(h.mh, &view) != MPG123_OK)
        return out;
    long rate = 0;
    int channels = 0;
    int enc = 0;
    mpg123_frameinfo info{};
    if (mpg123_getformat(h.mh, &rate, &channels, &enc) != MPG123_OK || rate <= 0 ||
        mpg123_info(h.mh, &info) != MPG123_OK || info.layer != 3)
        return out;
    out.media = true;

    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (mpg123_meta_check(h.mh) & MPG123_ID3) mpg123_id3(h.mh, &v1, &v2);
    if (v2) {
        out.title = textOf(v2->title);
        out.artist = textOf(v2->artist);
        if (out.artist.isEmpty()) out.artist = textOf(frameText(v2, "TPE2"));
        if (out.artist.isEmpty()) out.artist = textOf(frameText(v2, "TPE3"));
        out.album = textOf(v2->album);
        if (const mpg123_string* gain = userText(v2, "replaygain_track_gain");
            gain && gain->p && gain->fill > 0)
            out.trackGainDb =
                ParseGainDb(QByteArrayView(gain->p, qsizetype(strnlen(gain->p, gain->fill))));
        if (const mpg123_string* peak = userText(v2, "replaygain_track_peak");
            out.trackGainDb && peak && peak->p && peak->fill > 0)
            out.trackPeak =
                ParsePeak(QByteArrayView(peak->p, qsizetype(strnlen(peak->p, peak->fill))));
    }
    if (v1 && std::memcmp(v1->tag, "TAG", 3) == 0) {
        if (out.title.isEmpty()) out.title = v1Text(v1->title, sizeof v1->title);
        if (out.artist.isEmpty()) out.artist = v1Text(v1->artist, sizeof v1->artist);
        if (out.album.isEmpty()) out.album = v1Text(v1->album, sizeof v1->album);
    }

    // Without a frame count the headers are walked, unless that would read past the budget:
    // mpg123 then estimates the length from the file's size and bit rate.
    if (!probe.xingFrames && size - view.start <= view.budget) mpg123_scan(h.mh);
    const off_t frames = mpg123_length(h.mh);
    if (frames > 0) {
        const double sec = static_cast<double>(frames) / static_cast<double>(rate);
        if (std::isfinite(sec) && sec <= 1e7) out.lengthSec = sec;
    }
    return out;
}

}  // namespace velorixa::audio
