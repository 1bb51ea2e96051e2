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

void initCurlOnce() {
    // curl_global_init must run before any other thread uses curl; never cleaned up, as other
    // parts of the process may still hold handles at exit.
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)rc;
}

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
    auto fail = [&](const char* why) -> std::unique_ptr<CurlNetStream> {
        if (error) *error = why;
        return nullptr;
    };
    if (options.bufferBytes == 0 || options.connectTimeoutMs <= 0 || options.stallTimeoutMs <= 0 ||
        options.maxRedirects < 0 || options.maxHeaderBytes == 0)
        return fail("invalid options");
    if (url.empty()) return fail("empty URL");
    initCurlOnce();
    std::unique_ptr<CurlNetStream> s(new CurlNetStream(url, options));
    s->multi_ = curl_multi_init();
    if (s->multi_ == nullptr) return fail("curl set-up failed");
    s->thread_ = std::thread([p = s.get()] { p->run(); });
    return s;
}

CurlNetStream::CurlNetStream(const std::string& url, const NetOptions& options)
    : url_(url), options_(options), ring_(options.bufferBytes), headers_(options.maxHeaderBytes) {}

CurlNetStream::~CurlNetStream() {
    stop_.store(true);
    if (multi_ != nullptr) curl_multi_wakeup(static_cast<CURLM*>(multi_));
    readyCv_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (multi_ != nullptr) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

bool CurlNetStream::waitUntilReady(std::chrono::steady_clock::time_point deadline,
                                   std::string* error) {
    // A start threshold the ring cannot hold would never be reached.
    const uint64_t need = std::max<uint64_t>(std::min(options_.minStartBytes, ring_.capacity()), 1);
    std::unique_lock lock(mutex_);
    const bool ready = readyCv_.wait_until(lock, deadline, [&] {
        return ended_.load() || stop_.load() || audioTotal_.load() >= need;
    });
    if (!ready) {
        if (error) *error = tooLittleAudio(options_.openDeadlineMs);
        return false;
    }
    if (audioTotal_.load() > 0) return true;
    if (error) *error = failure_.empty() ? "closed before any data" : failure_;
    return false;
}

std::string tooLittleAudio(int deadlineMs) {
    return "too little audio within " + std::to_string((deadlineMs + 500) / 1000) + " s";
}

size_t CurlNetStream::read(uint8_t* dst, size_t n) {
    return ring_.read(dst, n);
}
size_t CurlNetStream::available() const {
    return ring_.size();
}
bool CurlNetStream::transferEnded() const {
    return ended_.load(std::memory_order_acquire);
}

std::vector<std::string> CurlNetStream::headerLines() const {
    std::lock_guard lock(mutex_);
    return publishedHeaders_;
}

std::string CurlNetStream::metadata() const {
    std::lock_guard lock(mutex_);
    return metadata_;
}

uint64_t CurlNetStream::metadataCount() const {
    return metaCount_.load(std::memory_order_acquire);
}

std::string CurlNetStream::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void CurlNetStream::finish(std::string failure) {
    {
        std::lock_guard lock(mutex_);
        if (failure_.empty()) failure_ = std::move(failure);
        ended_.store(true, std::memory_order_release);
    }
    readyCv_.notify_all();
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
        std::lock_guard lock(mutex_);
        publishedHeaders_ = headers_.lines();
    }
    if (scratch_.size() < n) scratch_.resize(n);
    const uint64_t countBefore = demuxer_->metadataCount();
    const size_t audio = demuxer_->feed(data, n, scratch_.data());
    if (demuxer_->metadataCount() != countBefore) {
        {
            std::lock_guard lock(mutex_);
            metadata_ = demuxer_->latestMetadata();
        }
        metaCount_.store(demuxer_->metadataCount(), std::memory_order_release);
    }
    const size_t written = ring_.write(scratch_.data(), audio);
    if (written < audio) staging_.assign(scratch_.begin() + written, scratch_.begin() + audio);
    if (audio > 0) {
        const uint64_t before = audioTotal_.load(std::memory_order_relaxed);
        if (before < options_.minStartBytes) {
            // Only while open() may be waiting: take the lock so the wake-up cannot be missed.
            std::lock_guard lock(mutex_);
            audioTotal_.store(before + audio, std::memory_order_release);
            readyCv_.notify_all();
        } else {
            audioTotal_.store(before + audio, std::memory_order_release);
        }
    }
    return n;
}

bool CurlNetStream::flushStaging() {
    if (staging_.empty()) return true;
    const size_t written = ring_.write(staging_.data(), staging_.size());
    staging_.erase(staging_.begin(), staging_.begin() + static_cast<std::ptrdiff_t>(written));
    return staging_.empty();
}

void CurlNetStream::run() {
    CURLM* multi = static_cast<CURLM*>(multi_);
    CURL* easy = curl_easy_init();
    if (easy == nullptr) {
        finish("curl set-up failed");
        return;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* requestHeaders = curl_slist_append(nullptr, "Icy-MetaData: 1");
    // Shoutcast servers answer with this status line instead of an HTTP one (curl compares the
    // start of the line); their other statuses are told apart in write().
    curl_slist* aliases = curl_slist_append(nullptr, "ICY 200");
    easy_ = easy;

    curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(options_.maxRedirects));
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders);
    curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
    curl_easy_setopt(easy, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A stream ended while its host name is still being looked up must not wait for the
    // resolver thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Velorixa/0.5");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlNetStream::onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlNetStream::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
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
            if (flushStaging() &&
                ring_.freeSpace() >= std::min<size_t>(ring_.capacity() / 2, CURL_MAX_WRITE_SIZE)) {
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
