#include "audio/net/testserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <stdexcept>

namespace velorixa::test {
namespace {

constexpr int kPollMs = 20;  // how often blocked server threads look at the stop flag

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
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
    stop_.store(true);
    {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    }
    const char b = 1;
    (void)!::write(wakePipe_[1], &b, 1);
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
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
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
    const int fd = listenOnLoopback(&port);
    ::close(fd);  // nothing listens there any more: connecting is refused
    return port;
}

void TestServer::acceptLoop() {
    while (!stop_.load()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (stop_.load() || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++connections_;
        std::lock_guard lock(mutex_);
        clientFds_.push_back(fd);
        clientThreads_.emplace_back([this, fd] { serve(fd); });
    }
}

bool TestServer::waitReadable(int fd) {
    while (!stop_.load()) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, kPollMs);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

bool TestServer::sendAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        if (stop_.load()) return false;
        pollfd p{fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, kPollMs);
        if (r < 0 && errno != EINTR) return false;
        if (r <= 0) continue;
        const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;
        }
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

void TestServer::serve(int fd) {
    TestResponse r;
    bool found = false;
    {
        std::lock_guard lock(mutex_);
        auto it = responses_.find("*");
        if (it != responses_.end() && it->second.talkFirst) {
            r = it->second;
            found = true;
        }
    }
    if (!found) {
        std::string head;
        char buf[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < (1 << 16)) {
            if (!waitReadable(fd)) return;
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
        if (it == responses_.end()) it = responses_.find("*");
        if (it != responses_.end()) {
            r = it->second;
        } else {
            r.statusLine = "HTTP/1.1 404 Not Found";
            r.headers = {"Content-Type: text/plain", "Content-Length: 9"};
            r.body = "not found";
        }
    }

    auto holdUntilClosed = [&] {
        // Drain whatever the client sends until it hangs up or the server stops.
        char sink[4096];
        while (waitReadable(fd))
            if (::recv(fd, sink, sizeof sink, 0) <= 0) return;
    };
    if (r.neverAnswer) {
        holdUntilClosed();
        return;
    }

    for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.answerDelayMs);
         std::chrono::steady_clock::now() < until;) {
        if (stop_.load()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    std::string head = r.statusLine + "\r\n";
    for (const std::string& h : r.headers)
        head += h + "\r\n";
    head += "\r\n";
    if (!sendAll(fd, head.data(), head.size())) return;

    const size_t end = std::min(r.body.size(), r.closeAtByte);
    size_t pos = 0;
    while (pos < end) {
        if (pos == r.pauseAtByte) {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [&] { return resumed_ || stop_.load(); });
            if (stop_.load()) return;
        }
        size_t next = std::min(end, pos + std::max<size_t>(r.chunkBytes, 1));
        if (pos < r.pauseAtByte && next > r.pauseAtByte) next = r.pauseAtByte;
        if (!sendAll(fd, r.body.data() + pos, next - pos)) return;
        pos = next;
        if (r.chunkDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(r.chunkDelayMs));
    }
    if (r.holdOpenAfterBody && r.closeAtByte == TestResponse::kNever) holdUntilClosed();
    ::shutdown(fd, SHUT_RDWR);
}

}  // namespace velorixa::test
