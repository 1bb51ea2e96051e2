#include "audio/net/testserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace velorixa::test {
namespace {

int listenOnLoopback(uint16_t* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

// A file of the served folder as a response; false when there is none by that path.
bool fileResponse(const std::string& folder, const std::string& path, TestResponse* r) {
    const std::string name = path.substr(0, path.find('?'));
    if (folder.empty() || name.find("..") != std::string::npos) return false;
    std::ifstream in(folder + name, std::ios::binary);
    if (!in) return false;
    std::ostringstream body;
    body << in.rdbuf();
    const std::string ext = name.substr(std::min(name.size(), name.rfind('.')));
    const char* type = ext == ".m3u8"  ? "application/vnd.apple.mpegurl"
                       : ext == ".mp3" ? "audio/mpeg"
                       : ext == ".aac" ? "audio/aac"
                       : ext == ".ts"  ? "video/mp2t"
                                       : "application/octet-stream";
    r->statusLine = "HTTP/1.1 200 OK";
    r->body = body.str();
    r->headers = {std::string("Content-Type: ") + type,
                  "Content-Length: " + std::to_string(r->body.size())};
    return true;
}

}  // namespace

std::string testAudio(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xff);
    return s;
}

std::string icyMetaBlock(const std::string& text) {
    const size_t blocks = (text.size() + 15) / 16;
    if (blocks > 255) throw std::invalid_argument("metadata text too long");
    std::string out(1, static_cast<char>(blocks));
    out += text;
    out.append(blocks * 16 - text.size(), '\0');
    return out;
}

std::string icyBody(const std::string& audio, size_t metaInt,
                    const std::function<std::string(size_t)>& metaFor) {
    if (metaInt == 0) return audio;
    std::string out;
    size_t block = 0;
    for (size_t pos = 0; pos < audio.size(); pos += metaInt) {
        const size_t run = std::min(metaInt, audio.size() - pos);
        out.append(audio, pos, run);
        if (run == metaInt) out += icyMetaBlock(metaFor(block++));
    }
    return out;
}

TestServer::TestServer() {
    listenFd_ = listenOnLoopback(&port_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

// Shutting a socket down wakes the thread blocked on it: accept() fails, recv() ends, send()
// fails; a thread held by a pause or a delay wakes on the stop flag.
TestServer::~TestServer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (int fd : clientFds_)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(clientThreads_);
    }
    for (std::thread& t : threads)
        t.join();
    for (int fd : clientFds_)
        ::close(fd);
    ::close(listenFd_);
}

void TestServer::serveFolder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
}

void TestServer::setResponse(const std::string& path, TestResponse response) {
    std::lock_guard lock(mutex_);
    responses_[path] = std::move(response);
}

std::string TestServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestServer::resume() {
    std::lock_guard lock(mutex_);
    resumed_ = true;
    cv_.notify_all();
}

std::vector<std::string> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

uint16_t TestServer::unusedPort() {
    uint16_t port = 0;
    ::close(listenOnLoopback(&port));  // nothing listens there any more: connecting is refused
    return port;
}

void TestServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR) continue;
        if (fd < 0) return;  // shut down by the destructor
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++connections_;
        std::lock_guard lock(mutex_);
        clientFds_.push_back(fd);
        clientThreads_.emplace_back([this, fd] { serve(fd); });
    }
}

bool TestServer::hold(int ms) {
    std::unique_lock lock(mutex_);
    auto done = [&] { return stop_ || (ms < 0 && resumed_); };
    if (ms < 0)
        cv_.wait(lock, done);
    else
        cv_.wait_for(lock, std::chrono::milliseconds(ms), done);
    return !stop_;
}

void TestServer::serve(int fd) {
    char buf[4096];
    auto drain = [&] {  // until the client hangs up or the server stops
        while (::recv(fd, buf, sizeof buf, 0) > 0) {
        }
    };
    auto sendAll = [&](const char* data, size_t n) {
        while (n > 0) {
            const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent <= 0) return false;
            data += sent;
            n -= static_cast<size_t>(sent);
        }
        return true;
    };

    TestResponse r;
    {
        std::lock_guard lock(mutex_);
        auto it = responses_.find("*");
        if (it != responses_.end() && it->second.talkFirst) r = it->second;
    }
    if (!r.talkFirst) {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < (1 << 16)) {
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) return;
            head.append(buf, static_cast<size_t>(got));
        }
        // "GET /path HTTP/1.1"
        const size_t a = head.find(' ');
        const size_t b = a == std::string::npos ? a : head.find(' ', a + 1);
        const std::string path = b == std::string::npos ? "/" : head.substr(a + 1, b - a - 1);
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
        auto it = responses_.find(path);
        const bool fromFolder = it == responses_.end() && fileResponse(folder_, path, &r);
        if (it == responses_.end()) it = responses_.find("*");
        if (fromFolder) {
            // r holds the file
        } else if (it != responses_.end()) {
            r = it->second;
        } else {
            r.statusLine = "HTTP/1.1 404 Not Found";
            r.headers = {"Content-Type: text/plain", "Content-Length: 9"};
            r.body = "not found";
        }
    }
    if (r.neverAnswer) return drain();
    if (r.answerDelayMs > 0 && !hold(r.answerDelayMs)) return;

    std::string head = r.statusLine + "\r\n";
    for (const std::string& h : r.headers)
        head += h + "\r\n";
    head += "\r\n";
    if (!sendAll(head.data(), head.size())) return;
    const size_t end = std::min(r.body.size(), r.closeAtByte);
    for (size_t pos = 0; pos < end;) {
        if (pos == r.pauseAtByte && !hold(-1)) return;
        size_t next = std::min(end, pos + std::max<size_t>(r.chunkBytes, 1));
        if (pos < r.pauseAtByte && next > r.pauseAtByte) next = r.pauseAtByte;
        if (!sendAll(r.body.data() + pos, next - pos)) return;
        pos = next;
        if (r.chunkDelayMs > 0 && !hold(r.chunkDelayMs)) return;
    }
    if (r.holdOpenAfterBody && r.closeAtByte == TestResponse::kNever) drain();
    ::shutdown(fd, SHUT_RDWR);
}

}  // namespace velorixa::test
