#pragma once
// What every network stream shares: the ring its network thread fills and the decoder reads,
// the bytes waiting for room in it, the opener's wait for the first audio and the end report.
// A stream puts its own transfer logic into run(), which the network thread started by launch()
// executes.
//
// Thread contract: read() from one consumer thread at a time; available(), transferEnded(),
// headerLines(), metadata(), metadataCount() and failure() from any thread; waitForAudio() on
// the opener's thread; pushAudio(), flushStaging(), roomAgain() and finish() on the network
// thread only. The derived destructor calls stopThread() first, so run() never outlives the
// members it uses.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/decode/net/netstream.h"
#include "audio/decode/net/spscring.h"

namespace velorixa::net {

// Sets libcurl up for the process on first use (any thread).
void initCurlOnce();

class RingNetStream : public NetStream {
  public:
    ~RingNetStream() override;
    RingNetStream(const RingNetStream&) = delete;
    RingNetStream& operator=(const RingNetStream&) = delete;

    size_t read(uint8_t* dst, size_t n) override;
    size_t available() const override;
    bool transferEnded() const override;
    std::vector<std::string> headerLines() const override;
    std::string metadata() const override;
    uint64_t metadataCount() const override;

    // Why the stream ended; empty while it runs or when it ended normally.
    std::string failure() const;

  protected:
    explicit RingNetStream(const NetOptions& options);

    // Why options or url cannot be used ("invalid options", "empty URL"); nullptr when they can.
    static const char* refusal(const NetOptions& options, const std::string& url);
    // Creates the curl multi handle and starts the network thread in run(); false when curl
    // could not be set up.
    bool launch();
    // Asks the network thread to stop, wakes it and joins it.
    void stopThread();
    // Blocks until minStartBytes of audio arrived, the stream ended or deadline passed; true when
    // there is audio to play, else false with *error.
    bool waitForAudio(std::chrono::steady_clock::time_point deadline, std::string* error);

    // Network thread: n audio bytes into the ring; what does not fit waits in staging_, and the
    // caller holds further data (pauses curl) until flushStaging() empties it.
    void pushAudio(const uint8_t* bytes, size_t n);
    // Network thread: true once nothing waits in staging_ any more.
    bool flushStaging();
    // Network thread: a paused transfer may go on (staging empty and room for a whole write).
    bool roomAgain();
    void publishHeaders(std::vector<std::string> lines);
    void publishMetadata(std::string metadata, uint64_t count);
    // Network thread: the stream is over; the first failure given is the one reported.
    void finish(std::string failure);

    // Network thread: a new curl easy handle (CURL*, nullptr when curl fails) for url with what
    // every transfer of a stream sets: the protocols, redirects, timeouts, the user agent, the
    // error text into errorText (CURL_ERROR_SIZE bytes) and the callbacks, called with data.
    using CurlCallback = size_t (*)(char* bytes, size_t size, size_t count, void* data);
    void* newTransfer(const char* url, char* errorText, CurlCallback onWrite, CurlCallback onHeader,
                      void* data) const;

    virtual void run() = 0;

    const NetOptions options_;
    void* multi_ = nullptr;  // CURLM*, owned; lives until the thread is joined
    SpscRing ring_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> audioTotal_{0};

    // Network-thread state.
    std::vector<uint8_t> staging_;  // audio that did not fit into the ring yet
    bool paused_ = false;

  private:
    std::thread thread_;
    std::atomic<bool> ended_{false};
    std::atomic<uint64_t> metaCount_{0};

    // Shared with other threads, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable readyCv_;
    std::vector<std::string> publishedHeaders_;
    std::string metadata_;
    std::string failure_;
};

}  // namespace velorixa::net
