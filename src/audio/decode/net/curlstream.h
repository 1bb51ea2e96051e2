#pragma once
// The libcurl implementation behind NetStream::open(), exposed for callers that must not block
// while the stream connects (and for tests that end a stream in the middle of connecting).
//
// Thread contract: start() and waitUntilReady() on the owner's thread; read() from one consumer
// thread at a time; the other queries from any thread. All curl calls happen on the stream's own
// network thread; the destructor asks it to stop and joins it.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/icydemuxer.h"
#include "audio/decode/net/ringstream.h"

namespace velorixa::net {

// A failed transfer as a listener would put it ("connection refused", "HTTP 404 Not Found",
// "timed out"): code is the transfer's CURLcode, detail curl's error text, httpCode and
// statusLine the final response's.
std::string describeTransferFailure(int code, const char* detail, long httpCode,
                                    const std::string& statusLine);

class CurlNetStream final : public RingNetStream {
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

    // Metadata interval in use: 0 for plain audio (no, zero or malformed icy-metaint).
    size_t icyMetaIntBytes() const { return metaInt_.load(std::memory_order_acquire); }
    // Audio bytes received so far (read or not).
    uint64_t audioBytesReceived() const { return audioTotal_.load(std::memory_order_acquire); }

  private:
    CurlNetStream(const std::string& url, const NetOptions& options);
    void run() override;
    static size_t onWrite(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    size_t write(const uint8_t* data, size_t n);
    size_t header(const char* data, size_t n);
    // Network thread: false while the first line of an answer without an HTTP status line is
    // being looked at, or once it was found to be a failure (answerFailure_ says which).
    bool answerHasStatusLine(const uint8_t* data, size_t n);

    const std::string url_;
    std::atomic<size_t> metaInt_{0};

    // Network-thread state.
    HeaderBlock headers_;
    std::unique_ptr<IcyDemuxer> demuxer_;
    std::vector<uint8_t> scratch_;  // one callback's audio after demuxing
    bool headerTooLarge_ = false;
    void* easy_ = nullptr;  // CURL*, owned by run()
    std::string preamble_;  // the start of an answer without an HTTP status line
    bool noStatusChecked_ = false;
    std::string answerFailure_;  // what such an answer said ("ICY 404 Not Found")
    int64_t lastDataMs_ = 0;
};

}  // namespace velorixa::net
