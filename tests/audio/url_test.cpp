// Internet streams from a small ICY server on 127.0.0.1: playback, header and metadata tags,
// the stalled state while the server holds back data, the end, and refused streams.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "audiotest.h"

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

// Serves one scripted response per connection: a header, then the body in 4 KB pieces, holding
// at holdAt until release(), then closing or keeping the connection open.
class IcyServer {
  public:
    IcyServer(std::string head, std::string body, size_t holdAt = std::string::npos,
              bool closeAtEnd = true)
        : head_(std::move(head)), body_(std::move(body)), holdAt_(holdAt), closeAtEnd_(closeAtEnd) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ADD_FAILURE() << "cannot listen";
        }
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~IcyServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/stream"; }
    void release() { released_ = true; }

  private:
    void serve() {
        int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) return;
        char buf[4096];
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(client, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<size_t>(n));
        }
        bool ok = send(client, head_.data(), head_.size());
        for (size_t at = 0; ok && at < body_.size() && !stop_;) {
            if (at >= holdAt_ && !released_) {
                std::this_thread::sleep_for(2ms);
                continue;
            }
            size_t end = std::min(body_.size(), at + 4096);
            if (at < holdAt_) end = std::min(end, holdAt_);
            ok = send(client, body_.data() + at, end - at);
            at = end;
        }
        while (!closeAtEnd_ && !stop_)
            std::this_thread::sleep_for(5ms);
        ::close(client);
    }
    static bool send(int fd, const char* p, size_t n) {
        while (n > 0) {
            ssize_t sent = ::send(fd, p, n, MSG_NOSIGNAL);
            if (sent <= 0) return false;
            p += sent;
            n -= static_cast<size_t>(sent);
        }
        return true;
    }

    std::string head_, body_;
    size_t holdAt_;
    bool closeAtEnd_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false}, released_{false};
    std::thread thread_;
};

// MP3 bytes with an ICY metadata block after every metaInt audio bytes.
std::string withMetadata(const std::vector<uint8_t>& mp3, size_t metaInt,
                         const std::string& title) {
    std::string out;
    std::string meta = "StreamTitle='" + title + "';StreamUrl='http://example.org/';";
    std::string block(1, static_cast<char>((meta.size() + 15) / 16));
    block += meta;
    block.resize(1 + 16 * static_cast<size_t>(block[0]), '\0');
    for (size_t at = 0; at < mp3.size(); at += metaInt) {
        size_t n = std::min(metaInt, mp3.size() - at);
        out.append(reinterpret_cast<const char*>(mp3.data() + at), n);
        if (n == metaInt) out += block;
    }
    return out;
}

const char* kHead =
    "ICY 200 OK\r\nicy-name:Test Radio\r\nicy-br:128\r\nicy-metaint:8192\r\n"
    "content-type:audio/mpeg\r\n\r\n";

}  // namespace

TEST(AudioUrl, PlaysWithHeaderAndMetadataTags) {
    auto mp3 = testmedia::encodeMp3(testmedia::sine(600, 3, 44100, 2), {.quality = 9});
    IcyServer server(kHead, withMetadata(mp3, 8192, "Artist - Song"));
    OfflineSession session;
    DWORD src = BASS_StreamCreateURL(server.url().c_str(), 0, 0x600000, nullptr);
    ASSERT_NE(src, 0u);
    EXPECT_EQ(BASS_StreamGetLength(src), 0xFFFFFFFFu) << "unknown";
    EXPECT_FALSE(BASS_ChannelSetPosition(src, 0)) << "a live stream cannot seek";
    const char* headers = BASS_StreamGetTags(src, BASS_TAG_HTTP);
    ASSERT_NE(headers, nullptr);
    std::vector<std::string> lines;
    for (const char* p = headers; *p; p += std::strlen(p) + 1)
        lines.emplace_back(p);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-br:128"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-name:Test Radio"), lines.end());

    DWORD ch = BASS_FX_PitchCreate(src);
    ASSERT_TRUE(BASS_StreamPlay(ch, 0, 0));
    // Network sources are not waited for offline; give the decoder a moment.
    std::this_thread::sleep_for(100ms);
    auto out = render(16384);
    EXPECT_NEAR(toneHz(side(out, 0, 8192), 600), 600, 1.5) << "the metadata is cut out";
    const char* meta = BASS_StreamGetTags(src, BASS_TAG_META);
    ASSERT_NE(meta, nullptr);
    EXPECT_STREQ(meta, "StreamTitle='Artist - Song';StreamUrl='http://example.org/';");
    EXPECT_EQ(BASS_ChannelGetFlags(src), 0x600000u);
}

TEST(AudioUrl, StallsWhileTheServerHoldsBackThenEnds) {
    auto mp3 = testmedia::encodeMp3(testmedia::sine(600, 4, 44100, 2), {.quality = 9});
    std::string body(reinterpret_cast<const char*>(mp3.data()), mp3.size());
    IcyServer server("HTTP/1.0 200 OK\r\ncontent-type:audio/mpeg\r\n\r\n", body, 20000);
    OfflineSession session;
    DWORD src = BASS_StreamCreateURL(server.url().c_str(), 0, 0x600000, nullptr);
    ASSERT_NE(src, 0u);
    EXPECT_EQ(BASS_StreamGetTags(src, BASS_TAG_META), nullptr) << "no metadata yet";
    DWORD ch = BASS_FX_PitchCreate(src);
    BASS_StreamPlay(ch, 0, 0);
    // 20000 bytes at 128 kb/s are about 1.25 s: play past them.
    for (int i = 0; i < 100 && BASS_ChannelIsActive(src) != 2; ++i) {
        render(4410);
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(BASS_ChannelIsActive(src), 2u) << "stalled, waiting for data";
    EXPECT_EQ(BASS_ChannelIsActive(ch), 2u);
    server.release();
    bool flowing = false;
    for (int i = 0; i < 200 && !flowing; ++i) {
        std::this_thread::sleep_for(5ms);
        render(512);
        flowing = BASS_ChannelIsActive(src) == 1;
    }
    EXPECT_TRUE(flowing) << "data flows again";
    // The server closes after the body: the source ends once it is played out.
    for (int i = 0; i < 400 && BASS_ChannelIsActive(ch) != 0; ++i) {
        render(4410);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(BASS_ChannelIsActive(src), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(ch), 0u);
    EXPECT_NEAR(positionSeconds(src), 4.0, 0.1);
}

TEST(AudioUrl, RefusedStreams) {
    OfflineSession session;
    std::string noise(100000, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) ^ (i >> 3));
    {
        IcyServer server("HTTP/1.0 200 OK\r\ncontent-type:audio/mpeg\r\n\r\n", noise);
        EXPECT_EQ(BASS_StreamCreateURL(server.url().c_str(), 0, 0x600000, nullptr), 0u);
    }
    {
        IcyServer server("HTTP/1.0 404 Not Found\r\n\r\n", "<html>gone</html>");
        EXPECT_EQ(BASS_StreamCreateURL(server.url().c_str(), 0, 0x600000, nullptr), 0u);
    }
    EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1:1/none", 0, 0x600000, nullptr), 0u);
    EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0x600000, nullptr), 0u);
    EXPECT_EQ(BASS_StreamCreateURL("gopher://127.0.0.1/", 0, 0x600000, nullptr), 0u);
}
