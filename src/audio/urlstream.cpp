// Internet streams: a NetStream (audio/net) fetches the bytes on its network thread; the
// source's decode thread feeds them to mpg123 and reports Starved when none are buffered, which
// the API shows as the stalled state.

#include <mpg123.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/audiolib.h"
#include "audio/decoder.h"
#include "audio/engine.h"
#include "audio/mp3probe.h"
#include "audio/net/netstream.h"

namespace velorixa::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Enough MPEG frames to recognise the stream by its chained headers (and to skip the partial
// frame an ICY stream usually starts with).
constexpr size_t kProbeBytes = 16 * 1024;

class NetDecoder final : public Decoder {
  public:
    ~NetDecoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }

    bool open(const std::string& url) {
        net_ = net::NetStream::open(url, options_);
        if (!net_) return false;
        const auto deadline = Clock::now() + std::chrono::milliseconds(options_.connectTimeoutMs);
        std::vector<uint8_t> head;
        Mp3Probe probe;
        while (true) {
            pump(&head, kProbeBytes - head.size());
            bool complete = head.size() >= kProbeBytes || net_->transferEnded();
            if (complete || Clock::now() > deadline) {
                probe = probeMp3(
                    [&head](uint64_t at, uint8_t* dst, size_t n) {
                        if (at >= head.size()) return size_t(0);
                        n = std::min<size_t>(n, head.size() - at);
                        std::copy_n(head.begin() + static_cast<long>(at), n, dst);
                        return n;
                    },
                    head.size(), head.size());
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!probe.ok) return false;
        mh_ = newMpg123Handle();
        if (!mh_ || mpg123_open_feed(mh_) != MPG123_OK) return false;
        mpg123_feed(mh_, head.data() + probe.firstFrame, head.size() - probe.firstFrame);
        // mpg123 parses the first frame to tell the format; feed it until it can.
        long rate = 0;
        int enc = 0;
        std::vector<uint8_t> more;
        while (true) {
            int rc = mpg123_getformat(mh_, &rate, &channels_, &enc);
            if (rc == MPG123_OK) break;
            if (rc != MPG123_NEED_MORE || Clock::now() > deadline + std::chrono::seconds(1)) {
                return false;
            }
            more.clear();
            if (pump(&more, 4096) > 0) {
                mpg123_feed(mh_, more.data(), more.size());
            } else if (net_->transferEnded()) {
                return false;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        mpg123_frameinfo info{};
        if (rate <= 0 || channels_ < 1 || channels_ > 2 || mpg123_info(mh_, &info) != MPG123_OK ||
            info.layer != 3) {
            return false;
        }
        rateHz_ = static_cast<int>(rate);
        lockMpg123Format(mh_, rate, channels_);
        feed_.resize(16 * 1024);
        return true;
    }

    int read(float* dst, int maxFrames, Status* status) override {
        *status = Status::Ok;
        const size_t bytes = static_cast<size_t>(maxFrames) * channels_ * sizeof(float);
        for (int attempt = 0; attempt < 8; ++attempt) {
            size_t done = 0;
            int rc = mpg123_read(mh_, dst, bytes, &done);
            int frames = static_cast<int>(done / (channels_ * sizeof(float)));
            if (frames > 0) return frames;
            if (rc == MPG123_NEW_FORMAT) continue;
            if (rc != MPG123_NEED_MORE && rc != MPG123_OK) break;  // broken stream or done
            size_t got = net_->read(feed_.data(), feed_.size());
            if (got > 0) {
                mpg123_feed(mh_, feed_.data(), got);
                continue;
            }
            if (net_->transferEnded() && net_->available() == 0) break;
            *status = Status::Starved;
            return 0;
        }
        *status = Status::End;
        return 0;
    }

    int64_t seek(int64_t) override { return -1; }
    int rateHz() const override { return rateHz_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return -1; }
    bool isNetwork() const override { return true; }
    std::vector<std::string> headerLines() const override { return net_->headerLines(); }
    std::string metadata() const override { return net_->metadata(); }

  private:
    size_t pump(std::vector<uint8_t>* into, size_t n) {
        size_t old = into->size();
        into->resize(old + n);
        size_t got = net_->read(into->data() + old, n);
        into->resize(old + got);
        return got;
    }

    net::NetOptions options_;
    std::unique_ptr<net::NetStream> net_;
    mpg123_handle* mh_ = nullptr;
    std::vector<uint8_t> feed_;
    int rateHz_ = 0;
    int channels_ = 0;
};

}  // namespace

}  // namespace velorixa::audio

DWORD BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, const char* save) {
    // Starting part-way and saving a copy are not offered: the player never asks for them.
    if (!url || offset != 0 || save) return 0;
    {
        std::lock_guard<std::mutex> lock(velorixa::audio::apiMutex());
        if (!velorixa::audio::engineSlot()) return 0;
    }
    auto decoder = std::make_unique<velorixa::audio::NetDecoder>();
    if (!decoder->open(url)) return 0;
    return velorixa::audio::registerSource(std::move(decoder), flags);
}
