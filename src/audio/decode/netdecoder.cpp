// Internet streams: a NetStream (decode/net) fetches the bytes on its network thread; the
// source's decode thread feeds them to mpg123 (MP3) or cuts them into whole packets for FFmpeg's
// decoders (AAC in ADTS, Ogg Vorbis and Opus, MPEG-TS), and reports Starved when none are
// buffered. FFmpeg's demuxers are not used on live bytes: they take a read that finds nothing as
// the end or an error, so our own StreamDemux hands the codec only packets that are all there.
// The stream is told by its bytes; the content type only decides what is looked for first. The
// source plays through short underruns (it buffers seconds of audio again before the sound
// resumes); the API shows the stalled state only once no audio arrived for several seconds.
//
// Two rules keep a hostile station from holding anything: the open has one deadline for the
// whole way to playable audio, and a playing stream is judged by the audio it delivers against
// its own rate over a window, not by its last byte (a byte a second keeps a connection alive
// but plays nothing).

#include <mpg123.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/decode/decoder.h"
#include "audio/decode/ffdecode.h"
#include "audio/decode/formatprobe.h"
#include "audio/decode/mp3probe.h"
#include "audio/decode/net/hlsplaylist.h"
#include "audio/decode/net/hlsstream.h"
#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/netstream.h"
#include "audio/decode/net/playlistlink.h"
#include "audio/decode/streamdemux.h"

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

std::string contentTypeOf(const std::vector<std::string>& headers) {
    std::string type(net::headerValue(headers, "content-type"));
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type.size() > 60) type.resize(60);
    return type;
}

// Why an answer without playable audio is refused, from what the server said it sends: "not
// audio (text/html)" for a web page, "unsupported audio type (audio/x-foo)" for audio of a type
// not played here, and the bare finding when the server claims a type we play (or names none).
std::string notPlayable(const std::string& type) {
    const Container claimed = containerOfType(type);
    if (claimed == Container::Ogg) return "not audio (no Ogg Vorbis or Opus stream)";
    if (claimed == Container::Adts) return "not audio (no AAC frames)";
    if (claimed == Container::MpegTs) return "not audio (no MPEG transport stream)";
    if (claimed == Container::Mp3 || type.empty() || type == "application/octet-stream") {
        return "not audio (no MPEG layer III frames)";
    }
    if (type.rfind("audio/", 0) == 0 || type.rfind("video/", 0) == 0) {
        return "unsupported audio type (" + type + ")";
    }
    return "not audio (" + type + ")";
}

// Cuts the first bytes of a stream as `kind`: whether whole packets of a codec we play come out,
// the bit rate they measure, and why the stream is refused when it is one we cannot play.
struct StreamLook {
    bool packets = false;
    int kbps = 0;
    std::string refused;
};

StreamLook lookAt(Container kind, const std::vector<uint8_t>& head) {
    StreamLook look;
    StreamDemux demux(kind);
    demux.push(head.data(), head.size());
    const uint8_t* p = nullptr;
    size_t n = 0;
    int packets = 0;
    while (demux.next(&p, &n))
        ++packets;
    // An Ogg stream counts once its headers are whole: its first audio page (up to a second of
    // audio) may still be on its way.
    look.packets =
        demux.format().codec != StreamCodec::None && (packets > 0 || kind == Container::Ogg);
    look.kbps = demux.measuredKbps();
    look.refused = demux.refused();
    return look;
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
        const std::string type = contentTypeOf(net_->headerLines());
        const Container kind = pickContainer(type, head, probe);
        if (kind == Container::Unknown) {
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
            *error = !refused_.empty() ? refused_
                     : Clock::now() > deadline && head.size() < kProbeBytes
                         ? net::tooLittleAudio(options_.openDeadlineMs)
                         : notPlayable(type);
            return false;
        }
        if (kind != Container::Mp3) return openPackets(kind, head, deadline, error);
        measuredKbps_ = probe.header.bitrateKbps;
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

    // The container a stream's first bytes hold: the one its content type names if the bytes
    // bear it out, else whichever they are. Unknown when none (refused_ says why when the bytes
    // are a container of a codec not played here).
    Container pickContainer(const std::string& type, const std::vector<uint8_t>& head,
                            const Mp3Probe& mp3) {
        const Container claimed = containerOfType(type);
        Container order[] = {claimed, Container::Ogg, Container::MpegTs, Container::Adts,
                             Container::Mp3};
        for (Container c : order) {
            if (c == Container::Unknown) continue;
            if (c == Container::Mp3) {
                if (mp3.ok) return c;
                continue;
            }
            StreamLook look = lookAt(c, head);
            if (look.packets) {
                measuredKbps_ = look.kbps;
                return c;
            }
            // The bytes are this container, of a codec not played here: nothing else is guessed.
            if (!look.refused.empty()) {
                refused_ = look.refused;
                return Container::Unknown;
            }
        }
        return Container::Unknown;
    }

    // Opens the packet path: cuts and decodes until the first audio tells the output format.
    bool openPackets(Container kind, const std::vector<uint8_t>& head, Clock::time_point deadline,
                     std::string* error) {
        rateFromHead_ = measuredKbps_ > 0;
        demux_ = std::make_unique<StreamDemux>(kind);
        demux_->push(head.data(), head.size());
        std::vector<uint8_t> more;
        while (pending_.empty()) {
            if (!decodePacket(error)) {
                if (!error->empty()) return false;
                if (!demux_->refused().empty()) {
                    *error = demux_->refused();
                    return false;
                }
                if (Clock::now() > deadline) {
                    *error = net::tooLittleAudio(options_.openDeadlineMs);
                    return false;
                }
                more.clear();
                if (pump(&more, 16 * 1024) > 0) {
                    demux_->push(more.data(), more.size());
                } else if (net_->transferEnded()) {
                    *error = "closed before any audio";
                    return false;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        }
        rateHz_ = packets_.rateHz();
        channels_ = packets_.channels();
        feed_.resize(16 * 1024);
        return rateHz_ > 0 && channels_ > 0;
    }

    // Decodes the next whole packet into pending_; false when none is buffered (or, with
    // *error set, when the stream's codec cannot be decoded).
    bool decodePacket(std::string* error) {
        const uint8_t* p = nullptr;
        size_t n = 0;
        if (!demux_->next(&p, &n)) return false;
        const StreamFormat& format = demux_->format();
        if (format.generation != generation_) {
            std::string why;
            if (!packets_.open(format, &why)) {
                if (error) *error = why;
                return false;
            }
            generation_ = format.generation;
        }
        if (demux_->title() != shownTitle_) {
            shownTitle_ = demux_->title();
            std::lock_guard<std::mutex> lock(titleMutex_);
            title_ = shownTitle_;
        }
        const size_t before = pending_.size();
        packets_.decode(p, n, &pending_);
        // Where the first bytes were too few to tell the bit rate, the first seconds tell it.
        if (!rateFromHead_ && packets_.channels() > 0 && decodedSeconds_ < 10) {
            packetBytes_ += n;
            decodedSeconds_ += double(pending_.size() - before) / packets_.channels() /
                               std::max(1, packets_.rateHz());
            if (decodedSeconds_ > 0.5)
                measuredKbps_.store(static_cast<int>(packetBytes_ * 8 / decodedSeconds_ / 1000));
        }
        return true;
    }

    int decodePackets(float* dst, int maxFrames, Status* status) {
        *status = Status::Ok;
        while (true) {
            const size_t have = (pending_.size() - pendingAt_) / channels_;
            if (have > 0) {
                const size_t n = std::min<size_t>(have, size_t(maxFrames));
                std::copy_n(pending_.begin() + static_cast<long>(pendingAt_), n * channels_, dst);
                pendingAt_ += n * channels_;
                if (pendingAt_ == pending_.size()) {
                    pending_.clear();
                    pendingAt_ = 0;
                }
                return static_cast<int>(n);
            }
            std::string why;
            if (decodePacket(&why)) continue;
            if (!why.empty()) break;  // a chained stream of a codec not played here
            const size_t got = net_->read(feed_.data(), feed_.size());
            if (got > 0) {
                demux_->push(feed_.data(), got);
                continue;
            }
            if (net_->transferEnded() && net_->available() == 0) break;
            *status = Status::Starved;
            return 0;
        }
        *status = Status::End;
        return 0;
    }

    int read(float* dst, int maxFrames, Status* status) override {
        int frames =
            demux_ ? decodePackets(dst, maxFrames, status) : decode(dst, maxFrames, status);
        if (*status != Status::End && deliveringTooLittle(frames)) *status = Status::End;
        return frames;
    }

    int64_t seek(int64_t) override { return -1; }
    int rateHz() const override { return rateHz_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return -1; }
    bool isNetwork() const override { return true; }
    // The station's header lines; where it names no bit rate (icy-br), the one measured on its
    // first bytes, so the player shows a rate for every station.
    std::vector<std::string> headerLines() const override {
        auto lines = net_->headerLines();
        const bool named = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.size() >= 7 && strncasecmp(l.c_str(), "icy-br:", 7) == 0;
        });
        const int kbps = measuredKbps_.load();
        if (!named && kbps > 0) lines.push_back("icy-br:" + std::to_string(kbps));
        return lines;
    }
    // ICY metadata where the station sends it, else the title an Ogg stream's comments name.
    std::string metadata() const override {
        std::string icy = net_->metadata();
        if (!icy.empty()) return icy;
        std::lock_guard<std::mutex> lock(titleMutex_);
        return title_;
    }

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
    std::atomic<int> measuredKbps_{0};  // read by headerLines() on any thread
    bool rateFromHead_ = false;
    uint64_t packetBytes_ = 0;
    double decodedSeconds_ = 0;
    std::string refused_;  // why a stream of a container we read is still not played
    // The packet path (every codec but MP3).
    std::unique_ptr<StreamDemux> demux_;
    PacketDecoder packets_;
    uint32_t generation_ = 0;
    std::vector<float> pending_;
    size_t pendingAt_ = 0;
    std::string shownTitle_;  // decode thread's copy of title_
    mutable std::mutex titleMutex_;
    std::string title_;  // guarded by titleMutex_
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
