#include "audio/decode/net/ringstream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cassert>

namespace velorixa::net {

void initCurlOnce() {
    // curl_global_init must run before any other thread uses curl; never cleaned up, as other
    // parts of the process may still hold handles at exit.
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)rc;
}

RingNetStream::RingNetStream(const NetOptions& options)
    : options_(options), ring_(options.bufferBytes) {}

RingNetStream::~RingNetStream() {
    assert(!thread_.joinable() && "the derived destructor must call stopThread()");
    stopThread();
}

const char* RingNetStream::refusal(const NetOptions& options, const std::string& url) {
    if (options.bufferBytes == 0 || options.connectTimeoutMs <= 0 || options.stallTimeoutMs <= 0 ||
        options.maxRedirects < 0 || options.maxHeaderBytes == 0)
        return "invalid options";
    if (url.empty()) return "empty URL";
    return nullptr;
}

bool RingNetStream::launch() {
    initCurlOnce();
    multi_ = curl_multi_init();
    if (multi_ == nullptr) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void RingNetStream::stopThread() {
    stop_.store(true);
    if (multi_ != nullptr) curl_multi_wakeup(static_cast<CURLM*>(multi_));
    readyCv_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (multi_ != nullptr) curl_multi_cleanup(static_cast<CURLM*>(multi_));
    multi_ = nullptr;
}

void* RingNetStream::newTransfer(const char* url, char* errorText, CurlCallback onWrite,
                                 CurlCallback onHeader, void* data) const {
    CURL* easy = curl_easy_init();
    if (easy == nullptr) return nullptr;
    curl_easy_setopt(easy, CURLOPT_URL, url);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(options_.maxRedirects));
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A stream ended while its host name is still being looked up must not wait for the
    // resolver thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Velorixa/0.5");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, data);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, data);
    return easy;
}

bool RingNetStream::waitForAudio(std::chrono::steady_clock::time_point deadline,
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

size_t RingNetStream::read(uint8_t* dst, size_t n) {
    return ring_.read(dst, n);
}
size_t RingNetStream::available() const {
    return ring_.size();
}
bool RingNetStream::transferEnded() const {
    return ended_.load(std::memory_order_acquire);
}
std::vector<std::string> RingNetStream::headerLines() const {
    std::lock_guard lock(mutex_);
    return publishedHeaders_;
}
std::string RingNetStream::metadata() const {
    std::lock_guard lock(mutex_);
    return metadata_;
}
uint64_t RingNetStream::metadataCount() const {
    return metaCount_.load(std::memory_order_acquire);
}
std::string RingNetStream::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void RingNetStream::publishHeaders(std::vector<std::string> lines) {
    std::lock_guard lock(mutex_);
    publishedHeaders_ = std::move(lines);
}

void RingNetStream::publishMetadata(std::string metadata, uint64_t count) {
    {
        std::lock_guard lock(mutex_);
        metadata_ = std::move(metadata);
    }
    metaCount_.store(count, std::memory_order_release);
}

void RingNetStream::pushAudio(const uint8_t* bytes, size_t n) {
    if (n == 0) return;
    const size_t written = ring_.write(bytes, n);
    if (written < n) staging_.assign(bytes + written, bytes + n);
    const uint64_t before = audioTotal_.load(std::memory_order_relaxed);
    if (before < options_.minStartBytes) {
        // Only while the opener may be waiting: take the lock so the wake-up cannot be missed.
        std::lock_guard lock(mutex_);
        audioTotal_.store(before + n, std::memory_order_release);
        readyCv_.notify_all();
    } else {
        audioTotal_.store(before + n, std::memory_order_release);
    }
}

bool RingNetStream::flushStaging() {
    if (staging_.empty()) return true;
    const size_t written = ring_.write(staging_.data(), staging_.size());
    staging_.erase(staging_.begin(), staging_.begin() + static_cast<std::ptrdiff_t>(written));
    return staging_.empty();
}

bool RingNetStream::roomAgain() {
    return flushStaging() &&
           ring_.freeSpace() >= std::min<size_t>(ring_.capacity() / 2, CURL_MAX_WRITE_SIZE);
}

void RingNetStream::finish(std::string failure) {
    {
        std::lock_guard lock(mutex_);
        if (failure_.empty()) failure_ = std::move(failure);
        ended_.store(true, std::memory_order_release);
    }
    readyCv_.notify_all();
}

}  // namespace velorixa::net
