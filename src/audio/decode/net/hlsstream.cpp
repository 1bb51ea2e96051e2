#include "audio/decode/net/hlsstream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "audio/decode/net/curlstream.h"
#include "audio/decode/net/httpheaders.h"

namespace velorixa::net {

namespace {

using Clock = std::chrono::steady_clock;

// How long one pass of the network loop may wait: it bounds how late a stop request, a stall
// check or the resumption after a full ring is noticed.
constexpr int kPollMs = 50;
constexpr int kPausedPollMs = 10;

// The reload interval follows the target duration, within sane bounds: a hostile target of a
// day must not park the thread, nor one of zero make it hammer the server.
constexpr double kMinReloadS = 1.0;
constexpr double kMaxReloadS = 20.0;

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

std::string ResolveHlsAddress(const std::string& base, const std::string& reference) {
    CURLU* h = curl_url();
    if (h == nullptr) return {};
    std::string out;
    char* joined = nullptr;
    if (curl_url_set(h, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(h, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK &&
        curl_url_get(h, CURLUPART_URL, &joined, 0) == CURLUE_OK) {
        out = joined;
    }
    curl_free(joined);
    curl_url_cleanup(h);
    return out;
}

// One transfer's state, owned by the network thread for the transfer's length.
struct HlsNetStream::Transfer {
    explicit Transfer(HlsNetStream* stream)
        : self(stream), headers(stream->options_.maxHeaderBytes) {}

    HlsNetStream* self;
    bool segment = false;  // the body goes to the ring; else it is collected
    std::string body;
    HeaderBlock headers;
    bool headerTooLarge = false;
    bool bodyTooLarge = false;
    bool bodyIsPlaylist = false;
    bool firstWrite = true;
    std::string finalUrl;  // the address asked for; after the transfer, the one answered
    std::string range;     // "first-last" byte range of a segment; empty: the whole resource

    static size_t onHeader(char* data, size_t size, size_t count, void* p) {
        auto& t = *static_cast<Transfer*>(p);
        if (t.self->stop_.load(std::memory_order_relaxed)) return 0;
        if (!t.headers.addLine(std::string_view(data, size * count))) {
            t.headerTooLarge = true;
            return 0;  // ends the transfer
        }
        return size * count;
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* p) {
        auto& t = *static_cast<Transfer*>(p);
        HlsNetStream& s = *t.self;
        const size_t n = size * count;
        if (s.stop_.load(std::memory_order_relaxed)) return 0;
        if (!t.segment) {
            if (t.body.size() + n > kMaxPlaylistBytes) {
                t.bodyTooLarge = true;
                return 0;
            }
            t.body.append(data, n);
            return n;
        }
        if (t.firstWrite) {
            t.firstWrite = false;
            // A segment that names itself or its playlist would loop for ever as "audio".
            if (n >= 7 && std::memcmp(data, "#EXTM3U", 7) == 0) {
                t.bodyIsPlaylist = true;
                return 0;
            }
            if (!s.headersPublished_) {
                s.headersPublished_ = true;
                s.publishHeaders(t.headers.lines());
            }
        }
        // Bytes left over from the previous call go first; until they fit, curl holds these.
        if (!s.staging_.empty()) {
            s.paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        s.lastData_ = Clock::now();
        s.pushAudio(reinterpret_cast<const uint8_t*>(data), n);
        return n;
    }
};

std::unique_ptr<HlsNetStream> HlsNetStream::open(const std::string& url, const NetOptions& options,
                                                 Clock::time_point deadline, std::string* error) {
    auto fail = [&](std::string why) -> std::unique_ptr<HlsNetStream> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    if (const char* why = refusal(options, url)) return fail(why);
    std::unique_ptr<HlsNetStream> s(new HlsNetStream(url, options));
    if (!s->launch()) return fail("curl set-up failed");
    std::string why;
    if (!s->waitForAudio(deadline, &why)) return fail(std::move(why));
    return s;
}

HlsNetStream::HlsNetStream(const std::string& url, const NetOptions& options)
    : RingNetStream(options), url_(url) {}

HlsNetStream::~HlsNetStream() {
    stopThread();
}

void HlsNetStream::publishTitle(const std::string& title) {
    if (title.empty() || title == lastTitle_) return;
    lastTitle_ = title;
    publishMetadata("StreamTitle='" + title + "';", metadataCount() + 1);
}

bool HlsNetStream::sleepUntil(Clock::time_point until) {
    while (!stop_.load(std::memory_order_acquire)) {
        // Bytes still waiting for room go on meanwhile; a full ring is the reader's doing.
        if (!flushStaging()) lastData_ = Clock::now();
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero()) return true;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
        curl_multi_poll(static_cast<CURLM*>(multi_), nullptr, 0,
                        static_cast<int>(std::min<int64_t>(ms, kPollMs)), nullptr);
    }
    return false;
}

bool HlsNetStream::perform(Transfer& t, std::string* failure) {
    CURLM* multi = static_cast<CURLM*>(multi_);
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* easy = static_cast<CURL*>(
        newTransfer(t.finalUrl.c_str(), errorText, &Transfer::onWrite, &Transfer::onHeader, &t));
    if (easy == nullptr) {
        *failure = "curl set-up failed";
        return false;
    }
    if (!t.range.empty()) curl_easy_setopt(easy, CURLOPT_RANGE, t.range.c_str());
    if (!t.segment) {
        // A playlist comes whole within the stall limit or not at all (a server that trickles
        // an endless playlist is cut off here; the first one is bound by the open's deadline
        // already); compressed playlists are welcome, the size bound applies to the text.
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.stallTimeoutMs));
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    }
    curl_multi_add_handle(multi, easy);

    CURLcode result = CURLE_OK;
    bool done = false, stalled = false;
    while (!stop_.load(std::memory_order_acquire)) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE) continue;
            done = true;
            result = msg->data.result;
        }
        if (done) break;
        const auto now = Clock::now();
        if (paused_) {
            lastData_ = now;  // a full ring is the reader's doing, not a stall of the server
            if (roomAgain()) {
                paused_ = false;
                curl_easy_pause(easy, CURLPAUSE_CONT);
                continue;
            }
        } else {
            flushStaging();
            if (t.segment && now - lastData_ > std::chrono::milliseconds(options_.stallTimeoutMs)) {
                stalled = true;
                break;
            }
        }
        curl_multi_poll(multi, nullptr, 0, paused_ ? kPausedPollMs : kPollMs, nullptr);
    }
    long httpCode = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &httpCode);
    char* effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    if (effective != nullptr) t.finalUrl = effective;
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    paused_ = false;

    if (done && result == CURLE_OK) return true;
    if (stop_.load()) {
        *failure = "stopped";
    } else if (stalled) {
        *failure = "stalled";
    } else if (t.bodyTooLarge) {
        *failure = "HLS playlist larger than " + std::to_string(kMaxPlaylistBytes >> 20) + " MiB";
    } else if (t.bodyIsPlaylist) {
        *failure = "an HLS segment is a playlist, not audio";
    } else if (t.headerTooLarge) {
        *failure = "response header too large";
    } else {
        *failure = describeTransferFailure(result, errorText, httpCode, t.headers.statusLine());
    }
    return false;
}

bool HlsNetStream::fetchPlaylist(const std::string& url, HlsPlaylist* playlist,
                                 std::string* finalUrl, std::string* failure) {
    Transfer t(this);
    t.finalUrl = url;
    if (!perform(t, failure)) return false;
    loads_.fetch_add(1, std::memory_order_acq_rel);
    *playlist = ParseHlsPlaylist(t.body);
    if (finalUrl) *finalUrl = t.finalUrl;
    return true;
}

bool HlsNetStream::fetchSegment(const std::string& url, const HlsSegment& segment,
                                std::string* failure) {
    if (url.empty()) {
        *failure = "bad segment address";
        return false;
    }
    Transfer t(this);
    t.segment = true;
    t.finalUrl = url;
    if (segment.rangeLength == 0) return true;
    if (segment.rangeLength > 0) {
        t.range = std::to_string(segment.rangeOffset) + "-" +
                  std::to_string(segment.rangeOffset + segment.rangeLength - 1);
    }
    return perform(t, failure);
}

bool HlsNetStream::loadMedia(std::string* mediaUrl, HlsPlaylist* media, std::string* failure) {
    std::string url = url_;
    for (int hop = 0;; ++hop) {
        HlsPlaylist p;
        std::string finalUrl;
        if (!fetchPlaylist(url, &p, &finalUrl, failure)) return false;
        if (p.kind == HlsPlaylist::Kind::NotHls) {
            *failure = "not an HLS playlist";
            return false;
        }
        if (p.kind == HlsPlaylist::Kind::Media) {
            if (!p.unsupported.empty()) {
                *failure = p.unsupported + " are not supported";
                return false;
            }
            if (p.segments.empty() && p.endList) {
                *failure = "the HLS playlist lists no segments";
                return false;
            }
            *mediaUrl = finalUrl;
            *media = std::move(p);
            return true;
        }
        if (hop == kMaxMasterHops) {
            *failure = "HLS master playlists lead to further masters too many times";
            return false;
        }
        const std::string variant = ChooseHlsVariant(p);
        url = variant.empty() ? std::string() : ResolveHlsAddress(finalUrl, variant);
        if (url.empty()) {
            *failure = "the HLS master playlist names no stream";
            return false;
        }
    }
}

void HlsNetStream::run() {
    lastData_ = Clock::now();
    std::string failure, mediaUrl;
    HlsPlaylist media;
    if (!loadMedia(&mediaUrl, &media, &failure)) {
        finish(std::move(failure));
        return;
    }
    int64_t next = media.segments.empty() ? media.mediaSequence
                                          : media.segments[HlsStartIndex(media)].sequence;
    auto lastLoad = Clock::now();
    bool lastLoadChanged = true;
    std::string segmentFailure;
    while (!stop_.load(std::memory_order_acquire)) {
        const auto listed = std::find_if(media.segments.begin(), media.segments.end(),
                                         [&](const HlsSegment& s) { return s.sequence >= next; });
        if (listed != media.segments.end()) {
            // Segments that left the playlist before they were fetched are lost.
            if (listed->sequence > next) skipped_.fetch_add(1, std::memory_order_acq_rel);
            next = listed->sequence + 1;
            publishTitle(listed->title);
            std::string why;
            if (fetchSegment(ResolveHlsAddress(mediaUrl, listed->uri), *listed, &why)) {
                fetched_.fetch_add(1, std::memory_order_acq_rel);
                continue;
            }
            if (why == "stopped" || why == "stalled" || why.rfind("an HLS segment", 0) == 0) {
                failure = why;
                break;
            }
            // A missing segment is skipped: the next one plays, a moment of the station lost.
            skipped_.fetch_add(1, std::memory_order_acq_rel);
            segmentFailure = why;
            continue;
        }
        if (media.endList) break;
        const double target = std::clamp(media.targetDurationS, kMinReloadS, kMaxReloadS);
        if (!sleepUntil(lastLoad + seconds(lastLoadChanged ? target : target / 2))) break;
        if (Clock::now() - lastData_ > std::chrono::milliseconds(options_.stallTimeoutMs)) {
            failure = "stalled";
            break;
        }
        lastLoad = Clock::now();
        HlsPlaylist fresh;
        std::string why;
        // A reload that fails, or finds a playlist cut short (a server that rewrites the file
        // in place may send it half written), is tried again; the stall limit ends a server
        // that is gone.
        if (!fetchPlaylist(mediaUrl, &fresh, nullptr, &why) ||
            fresh.kind == HlsPlaylist::Kind::NotHls) {
            lastLoadChanged = false;
            continue;
        }
        if (fresh.kind != HlsPlaylist::Kind::Media) {
            failure = "the HLS playlist is no longer a media playlist";
            break;
        }
        if (!fresh.unsupported.empty()) {
            failure = fresh.unsupported + " are not supported";
            break;
        }
        const int64_t lastBefore = media.segments.empty() ? -1 : media.segments.back().sequence;
        const int64_t lastNow = fresh.segments.empty() ? -1 : fresh.segments.back().sequence;
        lastLoadChanged = lastNow != lastBefore || fresh.endList != media.endList;
        // A first number that went back means the station restarted its sequence: follow the
        // new one. (Fewer segments alone is a playlist cut short: wait for the whole one.)
        if (!fresh.segments.empty() && fresh.mediaSequence < media.mediaSequence)
            next = fresh.segments[HlsStartIndex(fresh)].sequence;
        media = std::move(fresh);
    }
    if (failure.empty() && audioTotal_.load() == 0 && !segmentFailure.empty())
        failure = "no segment could be fetched (" + segmentFailure + ")";
    // Audio already received stays readable after the end: hand the rest over as the reader
    // makes room, so the end is reported only once nothing is left behind.
    while (!flushStaging() && !stop_.load(std::memory_order_acquire))
        sleepUntil(Clock::now() + std::chrono::milliseconds(kPausedPollMs));
    if (stop_.load() && failure.empty()) failure = "stopped";
    finish(std::move(failure));
}

}  // namespace velorixa::net
