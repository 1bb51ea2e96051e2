#pragma once
// The libcurl implementation behind NetStream::open(), exposed for callers that must not block
// while the stream connects (and for tests that end a stream in the middle of connecting).
//
// Thread contract: start() and waitUntilReady() on the owner's thread; read() from one consumer
// thread at a time; the other queries from any thread. All curl calls happen on the stream's own
// network thread; the destructor asks it to stop and joins it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/icydemuxer.h"
#include "audio/decode/net/netstream.h"
#include "audio/decode/net/spscring.h"

namespace velorixa::net {

// Sets libcurl up for the process on first use (any thread).
void initCurlOnce();
// A failed transfer as a listener would put it ("connection refused", "HTTP 404 Not Found",
// "timed out"): code is the transfer's CURLcode, detail curl's error text, httpCode and
// statusLine the final response's.
std::string describeTransferFailure(int code, const char* detail, long httpCode,
                                    const std::string& statusLine);

class CurlNetStream final : public NetStream {
  public:
    // Starts the transfer and returns at once; nullptr (with *error) only for invalid options or
    // a curl set-up failure.
    static std::unique_ptr<CurlNetStream> start(const std::string& url, const NetOptions& options,
                                                std::string* error = nullptr);
    ~CurlNetStream() override;
    CurlNetStream(const CurlNetStream&) = delete;
    CurlNetStream& operator=(const CurlNetStream&) = delete;

    // Blocks until minStartBytes of audio arrived, the transfer ended or the deadline passed.
    // True when there is audio to play; false (with *error) when the transfer ended without any
    // or too little came by the deadline.
    bool waitUntilReady(std::chrono::steady_clock::time_point deadline,
                        std::string* error = nullptr);

    size_t read(uint8_t* dst, size_t n) override;
    size_t available() const override;
    bool transferEnded() const override;
    std::vector<std::string> headerLines() const override;
    std::string metadata() const override;
    uint64_t metadataCount() const override;

    // Why the transfer ended; empty while it runs or when the server closed it normally.
    std::string failure() const;
    // Metadata interval in use: 0 for plain audio (no, zero or malformed icy-metaint).
    size_t icyMetaIntBytes() const { return metaInt_.load(std::memory_order_acquire); }
    // Audio bytes received so far (read or not).
    uint64_t audioBytesReceived() const { return audioTotal_.load(std::memory_order_acquire); }

  private:
    CurlNetStream(const std::string& url, const NetOptions& options);
    void run();
    void finish(std::string failure);
    static size_t onWrite(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    size_t write(const uint8_t* data, size_t n);
    size_t header(const char* data, size_t n);
    bool flushStaging();
    // Network thread: false while the first line of an answer without an HTTP status line is
    // being looked at, or once it was found to be a failure (answerFailure_ says which).
    bool answerHasStatusLine(const uint8_t* data, size_t n);

    const std::string url_;
    const NetOptions options_;
    void* multi_ = nullptr;  // CURLM*, owned; lives until the thread is joined
    SpscRing ring_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<uint64_t> audioTotal_{0};
    std::atomic<uint64_t> metaCount_{0};
    std::atomic<size_t> metaInt_{0};

    // Network-thread state.
    HeaderBlock headers_;
    std::unique_ptr<IcyDemuxer> demuxer_;
    std::vector<uint8_t> scratch_;  // one callback's audio after demuxing
    std::vector<uint8_t> staging_;  // audio that did not fit into the ring yet
    bool paused_ = false;
    bool headerTooLarge_ = false;
    void* easy_ = nullptr;  // CURL*, owned by run()
    std::string preamble_;  // the start of an answer without an HTTP status line
    bool noStatusChecked_ = false;
    std::string answerFailure_;  // what such an answer said ("ICY 404 Not Found")
    int64_t lastDataMs_ = 0;

    // Shared with other threads, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable readyCv_;
    std::vector<std::string> publishedHeaders_;
    std::string metadata_;
    std::string failure_;
};

}  // namespace velorixa::net
