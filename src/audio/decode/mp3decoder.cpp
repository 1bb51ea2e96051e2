// MP3 decoding from a file range or a memory block through libmpg123, behind the Decoder
// interface. mpg123 reads through our own reader so a byte range of a file (offset/length) and a
// memory block look alike, and so decoding starts at the frame chain that probeMp3 accepted.

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "audio/decode/byteinput.h"
#include "audio/decode/decoder.h"
#include "audio/decode/mp3probe.h"

namespace velorixa::audio {

mpg123_handle_struct* newMpg123Handle() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) return nullptr;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // Frames decoded and dropped before a seek target so the bit reservoir is full again: the
    // reservoir may reach back 511 bytes, a dozen of the smallest frames; fewer leave the first
    // few thousand samples after a seek wrong on low-rate VBR files.
    mpg123_param(mh, MPG123_PREFRAMES, 12, 0);
    // Damage inside a file, of any size (a run of zeros where a copy failed, a pasted-in
    // block of junk), is skipped rather than ending the stream: a negative limit lets mpg123
    // look for the next frame up to the end of the data. Anything that was no audio to begin
    // with was refused by the probe before mpg123 saw it.
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
    return mh;
}

void lockMpg123Format(mpg123_handle_struct* mh, long rateHz, int channels) {
    // Later frames of another layout are converted by mpg123 to this one, so the ring downstream
    // keeps one format for the whole stream.
    mpg123_format_none(mh);
    mpg123_format(mh, rateHz, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);
}

namespace {

// mpg123 reads through these, relative to where the probe found the first frame.
struct Mp3Reader {
    static mpg123_ssize_t mpgRead(void* self, void* dst, size_t n) {
        auto* in = static_cast<ByteInput*>(self);
        size_t got = in->readAt(in->decodeFrom + in->pos, static_cast<uint8_t*>(dst), n);
        in->pos += got;
        return static_cast<mpg123_ssize_t>(got);
    }

    static off_t mpgSeek(void* self, off_t offset, int whence) {
        auto* in = static_cast<ByteInput*>(self);
        int64_t len = static_cast<int64_t>(in->size - in->decodeFrom);
        int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(in->pos) : len;
        int64_t to = base + offset;
        if (to < 0 || to > len) return -1;
        in->pos = static_cast<uint64_t>(to);
        return static_cast<off_t>(to);
    }
};

class Mp3Decoder final : public Decoder {
  public:
    ~Mp3Decoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }

    bool open(std::unique_ptr<ByteInput> input, std::string* error) {
        in_ = std::move(input);
        Mp3Probe probe = probeMp3(
            [this](uint64_t at, uint8_t* dst, size_t n) { return in_->readAt(at, dst, n); },
            in_->size);
        if (!probe.ok) return fail(error, "not an audio file");
        in_->decodeFrom = probe.firstFrame;
        mh_ = newMpg123Handle();
        if (!mh_) return fail(error, "decoder unavailable");
        if (mpg123_replace_reader_handle(mh_, &Mp3Reader::mpgRead, &Mp3Reader::mpgSeek, nullptr) !=
                MPG123_OK ||
            mpg123_open_handle(mh_, in_.get()) != MPG123_OK) {
            return fail(error, "decoder refused the data");
        }
        long rate = 0;
        int enc = 0;
        if (mpg123_getformat(mh_, &rate, &channels_, &enc) != MPG123_OK || rate <= 0 ||
            channels_ < 1 || channels_ > 2) {
            return fail(error, "no audio format");
        }
        rateHz_ = static_cast<int>(rate);
        mpg123_frameinfo info{};
        if (mpg123_info(mh_, &info) != MPG123_OK || info.layer != 3) {
            return fail(error, "not layer III");
        }
        lockMpg123Format(mh_, rate, channels_);
        // Without a Xing/LAME frame count the length would be a guess from the bit rate: walk
        // the frame headers once (no decoding) to get it exactly.
        if (!probe.xingFrames && mpg123_scan(mh_) != MPG123_OK) return fail(error, "scan failed");
        off_t len = mpg123_length(mh_);
        if (len <= 0) return fail(error, "no audio frames");
        lengthFrames_ = static_cast<int64_t>(len);
        if (mpg123_seek(mh_, 0, SEEK_SET) < 0) return fail(error, "cannot rewind");
        return true;
    }

    int read(float* dst, int maxFrames, Status* status) override {
        *status = Status::Ok;
        size_t bytes = static_cast<size_t>(maxFrames) * channels_ * sizeof(float);
        for (int attempt = 0; attempt < 4; ++attempt) {
            size_t done = 0;
            int rc = mpg123_read(mh_, dst, bytes, &done);
            int frames = static_cast<int>(done / (channels_ * sizeof(float)));
            if (rc == MPG123_OK) return frames;
            if (rc == MPG123_NEW_FORMAT && frames == 0) continue;
            if (rc != MPG123_NEW_FORMAT) *status = Status::End;  // done, or broken data
            return frames;
        }
        *status = Status::End;
        return 0;
    }

    int64_t seek(int64_t frame) override {
        off_t at = mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET);
        return at < 0 ? -1 : static_cast<int64_t>(at);
    }

    int rateHz() const override { return rateHz_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return lengthFrames_; }

  private:
    static bool fail(std::string* error, const char* why) {
        if (error) *error = why;
        return false;
    }

    std::unique_ptr<ByteInput> in_;
    mpg123_handle* mh_ = nullptr;
    int rateHz_ = 0;
    int channels_ = 0;
    int64_t lengthFrames_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> openMp3(std::unique_ptr<ByteInput> in, std::string* error) {
    auto dec = std::make_unique<Mp3Decoder>();
    if (!dec->open(std::move(in), error)) return nullptr;
    return dec;
}

}  // namespace velorixa::audio
