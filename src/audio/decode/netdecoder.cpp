// Internet streams: a NetStream (decode/net) fetches the bytes on its network thread; the
// source's decode thread feeds them to mpg123 and reports Starved when none are buffered. The
// source plays through short underruns (it buffers seconds of audio again before the sound
// resumes); the API shows the stalled state only once no audio arrived for several seconds.
//
// Two rules keep a hostile station from holding anything: the open has one deadline for the
// whole way to playable audio, and a playing stream is judged by the audio it delivers against
// its own rate over a window, not by its last byte (a byte a second keeps a connection alive
// but plays nothing).

#include <mpg123.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/decode/decoder.h"
#include "audio/decode/mp3probe.h"
#include "audio/decode/net/hlsplaylist.h"
#include "audio/decode/net/hlsstream.h"
#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/netstream.h"
#include "audio/decode/net/playlistlink.h"

namespace velorixa::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Enough MPEG frames to recognise the stream by its chained headers (and to skip the partial
// frame an ICY stream usually starts with).
constexpr size_t kProbeBytes = 16 * 1024;

// The delivery rule: over every kStallWindow of time in which the decoder asked for audio, at
// least kMinShare of that time's worth of audio must arrive, or the stream ends. A pause longer
// than kIdleGap between two reads means the ring was full (the player paused or is ahead): that
// time is not counted.
constexpr auto kStallWindow = std::chrono::seconds(15);
constexpr double kMinShare = 0.25;
constexpr auto kIdleGap = std::chrono::milliseconds(250);

// Why an answer without MPEG audio frames is refused, from what the server said it sends:
// "not audio (text/html)" for a web page, "unsupported audio type (audio/ogg)" for audio in
// another format, and the bare finding when the server claims MPEG audio or names no type.
std::string notMpegAudio(const std::vector<std::string>& headers) {
    std::string type(net::headerValue(headers, "content-type"));
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type.size() > 60) type.resize(60);
    const bool claimsMpeg = type.empty() || type == "audio/mpeg" || type == "audio/mp3" ||
                            type == "audio/mpeg3" || type == "audio/x-mpeg" ||
                            type == "application/octet-stream";
    if (claimsMpeg) return "not audio (no MPEG layer III frames)";
    if (type.rfind("audio/", 0) == 0 || type == "application/ogg" || type.rfind("video/", 0) == 0) {
        return "unsupported audio type (" + type + ")";
    }
    return "not audio (" + type + ")";
}

class NetDecoder final : public Decoder {
  public:
    ~NetDecoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }

    // A station link may answer with a playlist that names the stream: its first address is
    // opened instead, at most kPlaylistHops times, all within the one deadline.
    static constexpr int kPlaylistHops = 3;

    bool open(const std::string& url, std::string* error) {
        return open(url, Clock::now() + std::chrono::milliseconds(options_.openDeadlineMs),
                    kPlaylistHops, error);
    }

    bool open(const std::string& url, Clock::time_point deadline, int hopsLeft, std::string* error,
              bool hls = false) {
        if (hls)
            net_ = net::HlsNetStream::open(url, options_, deadline, error);
        else
            net_ = net::NetStream::open(url, options_, error);
        if (!net_) return false;
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
        if (!probe.ok) {
            const std::string body(head.begin(), head.end());
            // An HLS playlist: its segments, fetched one after the other, are the stream.
            if (!hls && net::LooksLikeHls(body)) {
                net_.reset();
                return open(url, deadline, hopsLeft, error, true);
            }
            if (auto next = net::FirstStreamInPlaylist(body, net_->headerLines())) {
                if (hopsLeft == 0) {
                    *error = "playlist names another playlist too many times";
                    return false;
                }
                net_.reset();
                return open(*next, deadline, hopsLeft - 1, error);
            }
            *error = Clock::now() > deadline && head.size() < kProbeBytes
                         ? net::tooLittleAudio(options_.openDeadlineMs)
                         : notMpegAudio(net_->headerLines());
            return false;
        }
        mh_ = newMpg123Handle();
        if (!mh_ || mpg123_open_feed(mh_) != MPG123_OK) {
            *error = "decoder unavailable";
            return false;
        }
        mpg123_feed(mh_, head.data() + probe.firstFrame, head.size() - probe.firstFrame);
        // mpg123 parses the first frame to tell the format; feed it until it can.
        long rate = 0;
        int enc = 0;
        std::vector<uint8_t> more;
        while (true) {
            int rc = mpg123_getformat(mh_, &rate, &channels_, &enc);
            if (rc == MPG123_OK) break;
            if (rc != MPG123_NEED_MORE) {
                *error = "not audio (no MPEG layer III frames)";
                return false;
            }
            if (Clock::now() > deadline) {
                *error = net::tooLittleAudio(options_.openDeadlineMs);
                return false;
            }
            more.clear();
            if (pump(&more, 4096) > 0) {
                mpg123_feed(mh_, more.data(), more.size());
            } else if (net_->transferEnded()) {
                *error = "closed before any audio";
                return false;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        mpg123_frameinfo info{};
        if (rate <= 0 || channels_ < 1 || channels_ > 2 || mpg123_info(mh_, &info) != MPG123_OK ||
            info.layer != 3) {
            *error = "not audio (no MPEG layer III frames)";
            return false;
        }
        rateHz_ = static_cast<int>(rate);
        lockMpg123Format(mh_, rate, channels_);
        feed_.resize(16 * 1024);
        return true;
    }

    int read(float* dst, int maxFrames, Status* status) override {
        int frames = decode(dst, maxFrames, status);
        if (*status != Status::End && deliveringTooLittle(frames)) *status = Status::End;
        return frames;
    }

    int64_t seek(int64_t) override { return -1; }
    int rateHz() const override { return rateHz_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return -1; }
    bool isNetwork() const override { return true; }
    std::vector<std::string> headerLines() const override { return net_->headerLines(); }
    std::string metadata() const override { return net_->metadata(); }

  private:
    // Counts the audio delivered against the time it was asked for; true once a whole window
    // brought less than kMinShare of its length.
    bool deliveringTooLittle(int frames) {
        const auto now = Clock::now();
        if (windowStart_ == Clock::time_point{}) windowStart_ = lastRead_ = now;
        if (now - lastRead_ > kIdleGap) windowStart_ += now - lastRead_;  // the ring was full
        lastRead_ = now;
        windowFrames_ += frames;
        if (now - windowStart_ < kStallWindow) return false;
        const double wanted = std::chrono::duration<double>(now - windowStart_).count();
        if (double(windowFrames_) < kMinShare * wanted * rateHz_) return true;
        windowStart_ = now;
        windowFrames_ = 0;
        return false;
    }

    int decode(float* dst, int maxFrames, Status* status) {
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
    Clock::time_point windowStart_{}, lastRead_{};
    int64_t windowFrames_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> openNetStream(const std::string& url, std::string* error) {
    auto decoder = std::make_unique<NetDecoder>();
    if (!decoder->open(url, error)) return nullptr;
    return decoder;
}

}  // namespace velorixa::audio
