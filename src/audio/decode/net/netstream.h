#pragma once
// An internet audio stream (http, https, ftp) fetched by libcurl on a network thread of its own.
// ICY metadata blocks are cut out on that thread, so read() returns audio bytes only.
//
// Thread contract: open() blocks the caller (at most openDeadlineMs); every other member may be
// called from any thread. read() never blocks, so the decoder may poll it; the destructor stops
// the network thread and returns within about one poll interval.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velorixa::net {

struct NetOptions {
    int connectTimeoutMs = 5000;  // connect and first audio bytes
    // The whole open (connect, response, minStartBytes of audio): a station that sends its
    // headers and then trickles fails here instead of holding the caller for ever.
    int openDeadlineMs = 6000;
    int stallTimeoutMs = 15000;    // no data at all for this long ends the stream
    size_t bufferBytes = 1 << 20;  // network ring buffer size
    size_t minStartBytes = 4096;   // open() returns once this many audio bytes are buffered
    int maxRedirects = 5;
    size_t maxHeaderBytes = 64 * 1024;  // larger response headers are refused
};

// The reason given when an open's deadline passes: "too little audio within 6 s".
std::string tooLittleAudio(int deadlineMs);

class NetStream {
  public:
    // Connects and waits until minStartBytes of audio arrived (or the stream ended with some
    // data), for at most openDeadlineMs. Returns nullptr on any failure; *error gets a short
    // reason ("HTTP 404 Not Found", "too many redirects", "too little audio within 6 s", ...).
    static std::unique_ptr<NetStream> open(const std::string& url, const NetOptions& options = {},
                                           std::string* error = nullptr);
    virtual ~NetStream() = default;

    // Copies up to n buffered audio bytes; returns how many (0 when none are buffered now).
    virtual size_t read(uint8_t* dst, size_t n) = 0;
    // Bytes buffered and not yet read.
    virtual size_t available() const = 0;
    // The transfer is over (closed by the server, failed or timed out); buffered bytes may remain.
    virtual bool transferEnded() const = 0;
    // Response header lines, status line excluded, in the order received.
    virtual std::vector<std::string> headerLines() const = 0;
    // The latest metadata string ("StreamTitle='...';"); empty when none arrived.
    virtual std::string metadata() const = 0;
    // Counts metadata strings received so far (changes when a new title arrives).
    virtual uint64_t metadataCount() const = 0;
};

}  // namespace velorixa::net
