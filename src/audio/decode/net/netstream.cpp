#include <curl/curl.h>

#include <chrono>
#include <cstring>

#include "audio/decode/net/curlstream.h"

namespace velorixa::net {
namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// How long one pass of the network loop may wait for socket activity. It bounds how late a stop
// request, a stall check or the resumption after a full ring is noticed.
constexpr int kPollMs = 50;
constexpr int kPausedPollMs = 10;

}  // namespace

// The reasons are said as a listener would put them; curl's own text follows only where it
// adds something a person can use.
std::string describeTransferFailure(int code, const char* detail, long httpCode,
                                    const std::string& statusLine) {
    const CURLcode rc = static_cast<CURLcode>(code);
    std::string what;
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            what = "unknown host";
            break;
        case CURLE_COULDNT_CONNECT:
            return "connection refused";
        case CURLE_HTTP_RETURNED_ERROR:
            return describeStatus(static_cast<int>(httpCode), statusLine);
        case CURLE_OPERATION_TIMEDOUT:
            return "timed out";
        case CURLE_TOO_MANY_REDIRECTS:
            what = "too many redirects";
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
            what = "unsupported protocol";
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED:
            what = "TLS failure";
            break;
        default:
            what = curl_easy_strerror(rc);
            break;
    }
    if (detail != nullptr && detail[0] != '\0') what += std::string(": ") + detail;
    return what;
}

std::unique_ptr<NetStream> NetStream::open(const std::string& url, const NetOptions& options,
                                           std::string* error) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.openDeadlineMs);
    std::unique_ptr<CurlNetStream> s = CurlNetStream::start(url, options, error);
    if (!s || !s->waitUntilReady(deadline, error)) return nullptr;
    return s;
}

std::unique_ptr<CurlNetStream> CurlNetStream::start(const std::string& url,
                                                    const NetOptions& options, std::string* error) {
    const char* why = refusal(options, url);
    std::unique_ptr<CurlNetStream> s;
    if (why == nullptr) {
        s.reset(new CurlNetStream(url, options));
        if (!s->launch()) why = "curl set-up failed";
    }
    if (why == nullptr) return s;
    if (error) *error = why;
    return nullptr;
}

CurlNetStream::CurlNetStream(const std::string& url, const NetOptions& options)
    : RingNetStream(options), url_(url), headers_(options.maxHeaderBytes) {}

CurlNetStream::~CurlNetStream() {
    stopThread();
}

bool CurlNetStream::waitUntilReady(std::chrono::steady_clock::time_point deadline,
                                   std::string* error) {
    return waitForAudio(deadline, error);
}

std::string tooLittleAudio(int deadlineMs) {
    return "too little audio within " + std::to_string((deadlineMs + 500) / 1000) + " s";
}

size_t CurlNetStream::onWrite(char* data, size_t size, size_t count, void* self) {
    return static_cast<CurlNetStream*>(self)->write(reinterpret_cast<const uint8_t*>(data),
                                                    size * count);
}

size_t CurlNetStream::onHeader(char* data, size_t size, size_t count, void* self) {
    return static_cast<CurlNetStream*>(self)->header(data, size * count);
}

size_t CurlNetStream::header(const char* data, size_t n) {
    if (stop_.load(std::memory_order_relaxed)) return 0;
    if (!headers_.addLine(std::string_view(data, n))) {
        headerTooLarge_ = true;
        return 0;  // makes curl end the transfer
    }
    return n;
}

bool CurlNetStream::answerHasStatusLine(const uint8_t* data, size_t n) {
    // HTTP/0.9 answers are let through so that a station's own status line ("ICY 404 Not
    // Found", which curl does not know) arrives here as the first body bytes and can be
    // reported as what it is. Any other HTTP answer without a status line is refused, as
    // curl would have refused it; FTP has no status line and is not looked at.
    if (headers_.sawStatusLine() || noStatusChecked_) return true;
    char* scheme = nullptr;
    curl_easy_getinfo(static_cast<CURL*>(easy_), CURLINFO_SCHEME, &scheme);
    if (scheme == nullptr ||
        (std::strcmp(scheme, "HTTP") != 0 && std::strcmp(scheme, "HTTPS") != 0 &&
         std::strcmp(scheme, "http") != 0 && std::strcmp(scheme, "https") != 0)) {
        noStatusChecked_ = true;
        return true;
    }
    // The first line is enough; it is collected over calls in case it comes in pieces.
    preamble_.append(reinterpret_cast<const char*>(data), std::min<size_t>(n, 256));
    const size_t eol = preamble_.find_first_of("\r\n");
    if (eol == std::string::npos && preamble_.size() < 256) return false;
    const std::string line = preamble_.substr(0, std::min(eol, preamble_.size()));
    HeaderBlock status;
    status.addLine(line);
    answerFailure_ = status.statusCode() > 0 && line.compare(0, 4, "ICY ") == 0
                         ? describeStatus(status.statusCode(), line)
                         : "the server answered without an HTTP status line";
    return false;
}

size_t CurlNetStream::write(const uint8_t* data, size_t n) {
    if (stop_.load(std::memory_order_relaxed)) return 0;
    if (!answerHasStatusLine(data, n)) {
        if (!answerFailure_.empty()) return 0;  // ends the transfer
        return n;                               // the first line is not complete yet
    }
    // Audio left over from the previous call goes first; until it fits, curl holds the data.
    if (!staging_.empty()) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    lastDataMs_ = nowMs();
    if (!demuxer_) {
        // The first body byte: the headers now are those of the final response.
        const IcyMetaInt mi = parseIcyMetaInt(headers_.lines());
        // A malformed interval cannot be followed; playing the body as plain audio lets the
        // decoder resynchronise past the metadata, which beats refusing the station.
        const size_t interval = mi.kind == IcyMetaInt::Kind::Valid ? mi.bytes : 0;
        demuxer_ = std::make_unique<IcyDemuxer>(interval);
        metaInt_.store(interval, std::memory_order_release);
        publishHeaders(headers_.lines());
    }
    if (scratch_.size() < n) scratch_.resize(n);
    const uint64_t countBefore = demuxer_->metadataCount();
    const size_t audio = demuxer_->feed(data, n, scratch_.data());
    if (demuxer_->metadataCount() != countBefore)
        publishMetadata(demuxer_->latestMetadata(), demuxer_->metadataCount());
    pushAudio(scratch_.data(), audio);
    return n;
}

void CurlNetStream::run() {
    CURLM* multi = static_cast<CURLM*>(multi_);
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* easy = static_cast<CURL*>(newTransfer(url_.c_str(), errorText, &CurlNetStream::onWrite,
                                                &CurlNetStream::onHeader, this));
    if (easy == nullptr) {
        finish("curl set-up failed");
        return;
    }
    curl_slist* requestHeaders = curl_slist_append(nullptr, "Icy-MetaData: 1");
    // Shoutcast servers answer with this status line instead of an HTTP one (curl compares the
    // start of the line); their other statuses are told apart in write().
    curl_slist* aliases = curl_slist_append(nullptr, "ICY 200");
    easy_ = easy;
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders);
    curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
    curl_easy_setopt(easy, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_multi_add_handle(multi, easy);

    const int64_t startMs = nowMs();
    lastDataMs_ = startMs;
    std::string failure;
    bool done = false;
    while (!stop_.load(std::memory_order_acquire)) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) {
            failure = curl_multi_strerror(mc);
            break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE) continue;
            done = true;
            const CURLcode rc = msg->data.result;
            if (rc == CURLE_OK) break;
            long httpCode = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &httpCode);
            if (!answerFailure_.empty()) {
                failure = answerFailure_;
            } else if (headerTooLarge_ || (rc == CURLE_OUT_OF_MEMORY && !demuxer_)) {
                // curl's own limit on one header line reports itself as out of memory.
                failure = "response header too large";
            } else {
                failure = describeTransferFailure(rc, errorText, httpCode, headers_.statusLine());
            }
        }
        if (done || running == 0) break;

        const int64_t now = nowMs();
        if (paused_) {
            // A full ring is the reader's doing, not a stall of the server.
            lastDataMs_ = now;
            if (roomAgain()) {
                paused_ = false;
                curl_easy_pause(easy, CURLPAUSE_CONT);
                continue;
            }
        } else {
            flushStaging();
            if (audioTotal_.load(std::memory_order_relaxed) == 0) {
                if (now - startMs > options_.connectTimeoutMs) {
                    failure = "timed out";
                    break;
                }
            } else if (now - lastDataMs_ > options_.stallTimeoutMs) {
                failure = "stalled";
                break;
            }
        }
        curl_multi_poll(multi, nullptr, 0, paused_ ? kPausedPollMs : kPollMs, nullptr);
    }
    // Audio already received stays readable after the end: hand the rest over as the reader
    // makes room, so the end is reported only once nothing is left behind.
    while (!flushStaging() && !stop_.load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::milliseconds(kPausedPollMs));

    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(requestHeaders);
    curl_slist_free_all(aliases);
    if (stop_.load() && failure.empty()) failure = "stopped";
    finish(std::move(failure));
}

}  // namespace velorixa::net
