#pragma once
// A small HTTP/ICY server on 127.0.0.1 for network tests: each connection gets the response set
// up for the requested path, sent as scripted (pauses, early close, silence, oversized headers).
//
// Thread contract: configure (setResponse) before clients connect; resume(), requests() and
// connections() from any thread. Each connection is served on a thread of its own; the
// destructor closes every connection and joins all threads.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velorixa::test {

struct TestResponse {
    static constexpr size_t kNever = SIZE_MAX;

    std::string statusLine = "ICY 200 OK";
    std::vector<std::string> headers;  // "Name: value", sent in this order
    std::string body;                  // bytes sent after the header

    bool neverAnswer = false;        // read the request, then send nothing until the server stops
    int answerDelayMs = 0;           // read the request, then wait this long before answering
    bool talkFirst = false;          // send at once, without reading a request
    size_t pauseAtByte = kNever;     // hold the body at this byte until resume()
    size_t closeAtByte = kNever;     // close the connection after this many body bytes
    bool holdOpenAfterBody = false;  // keep the connection open after the body (a live source)
    size_t chunkBytes = 1024;        // bytes per send()
    int chunkDelayMs = 0;            // pause between sends
};

// Pseudo-random bytes standing in for audio (the network layer does not look inside).
std::string testAudio(size_t n, uint32_t seed);
// One metadata block as sent on the wire: the length byte, then the text padded with zero
// bytes to a multiple of 16 (an empty text gives the single byte 0).
std::string icyMetaBlock(const std::string& text);
// Interleaves audio with a metadata block after every metaInt audio bytes; metaFor(i) gives the
// text of block i (0-based), "" for "no new metadata".
std::string icyBody(const std::string& audio, size_t metaInt,
                    const std::function<std::string(size_t)>& metaFor);

class TestServer {
  public:
    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Paths without a response answer "HTTP/1.1 404 Not Found".
    void setResponse(const std::string& path, TestResponse response);
    // Paths without a response are then files of this folder, read when asked for (so files
    // written meanwhile are served; write them under another name and rename them into place),
    // with the content type of their extension; a missing file answers 404.
    void serveFolder(const std::string& folder);
    uint16_t port() const { return port_; }
    std::string url(const std::string& path = "/") const;
    // Lets every body held at pauseAtByte go on.
    void resume();
    // Raw request heads received so far, in arrival order.
    std::vector<std::string> requests() const;
    int connections() const { return connections_.load(); }

    // A loopback port on which nothing listens (bound once, then released).
    static uint16_t unusedPort();

  private:
    void acceptLoop();
    void serve(int fd);
    // Waits ms (ms < 0: until resume()); false if the server stops first.
    bool hold(int ms);

    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool resumed_ = false;
    std::map<std::string, TestResponse> responses_;
    std::string folder_;
    std::vector<std::string> requests_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
};

}  // namespace velorixa::test
