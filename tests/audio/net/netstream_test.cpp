// NetStream against the local test server: audio and metadata separation, headers, stalls,
// failures, redirects and shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "audio/decode/net/curlstream.h"
#include "audio/decode/net/netstream.h"
#include "audio/net/testserver.h"

namespace velorixa::net {
namespace {

using namespace std::chrono_literals;
using test::icyBody;
using test::icyMetaBlock;
using test::testAudio;
using test::TestResponse;
using test::TestServer;
using Clock = std::chrono::steady_clock;

NetOptions quickOptions() {
    NetOptions o;
    o.connectTimeoutMs = 2000;
    o.stallTimeoutMs = 2000;
    o.minStartBytes = 1024;
    return o;
}

// Reads until the transfer ended and the buffer is empty; gives up after `limit` so a fault
// shows as a failed comparison instead of a hung test.
std::string readAll(NetStream& s, std::chrono::milliseconds limit = 10s) {
    std::string out;
    uint8_t buf[3000];
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const bool ended = s.transferEnded();
        const size_t n = s.read(buf, sizeof buf);
        out.append(reinterpret_cast<char*>(buf), n);
        if (n == 0) {
            if (ended) break;
            std::this_thread::sleep_for(2ms);
        }
    }
    return out;
}

template <class Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string title(size_t i) {
    return "StreamTitle='Song " + std::to_string(i) + "';StreamUrl='';";
}

// Each stream ends with the server's close; what came through must be exactly the audio, with
// the final response's headers and the latest title.
TEST(NetStream, DeliversExactAudioFinalHeadersAndLatestTitle) {
    TestServer server;
    struct Case {
        std::string path, audio, latest;
        uint64_t titles = 0;
        std::vector<std::string> headers;
        size_t requests = 1, bufferBytes = 0;
    };
    std::vector<Case> cases;
    auto add = [&](const Case& c, const std::string& path, const TestResponse& r) {
        server.setResponse(path, r);
        cases.push_back(c);
    };
    TestResponse r;
    // A new title every fifth block; the blocks between say "no new metadata"; the blocks
    // straddle the sends.
    const std::string audio = testAudio(150'000, 11);
    r.headers = {"icy-notice1:<BR>test", "icy-name:Test Radio", "icy-br:128",
                 "content-type:audio/mpeg", "icy-metaint:1000"};
    r.body = icyBody(audio, 1000, [](size_t i) { return i % 5 == 0 ? title(i) : std::string(); });
    r.chunkBytes = 777;
    add({"/icy", audio, title(145), 30, r.headers}, "/icy", r);  // blocks 0, 5, ..., 145
    // Without a usable interval (absent, "no metadata", unparsable: the parser's own tests cover
    // the other bad values) a body that looks like metadata passes as is.
    const std::string plain = icyBody(testAudio(20'000, 13), 500, title);
    for (const char* header : {"", "icy-metaint:0", "icy-metaint:abc"}) {
        r = {};
        r.statusLine = "HTTP/1.1 200 OK";
        r.headers = {"Content-Type: audio/mpeg", "Connection: close"};
        if (header[0] != '\0') r.headers.push_back(header);
        r.body = plain;
        const std::string path = "/plain" + std::to_string(cases.size());
        add({path, plain, "", 0, r.headers}, path, r);
    }
    // Two redirects, relative and absolute: only the final headers remain.
    r = {};
    r.statusLine = "HTTP/1.1 302 Found";
    r.headers = {"Location: /second", "Content-Length: 14"};
    r.body = "moved here too";
    server.setResponse("/first", r);
    r.headers = {"Location: " + server.url("/radio"), "Content-Length: 14"};
    server.setResponse("/second", r);
    r = {};
    r.headers = {"icy-br:64", "icy-metaint:2000"};
    r.body = icyBody(audio.substr(0, 10'000), 2000, title);
    add({"/first", audio.substr(0, 10'000), title(4), 5, r.headers, 3}, "/radio", r);
    // A live source that closes early, inside a run of audio.
    r.headers = {"icy-metaint:1000"};
    r.body = icyBody(audio.substr(0, 30'000), 1000, title);
    r.closeAtByte = 5 * (1000 + icyMetaBlock(title(0)).size()) + 600;
    r.holdOpenAfterBody = true;
    add({"/early", audio.substr(0, 5600), title(4), 5, r.headers}, "/early", r);
    // A ring smaller than one curl delivery fills to the last byte and holds the network back
    // instead of dropping.
    r = {};
    r.headers = {"icy-metaint:8192"};
    const std::string more = testAudio(400'000, 17);
    r.body = icyBody(more, 8192, title);
    r.chunkBytes = 16384;
    add({"/full", more, title(47), 48, r.headers, 1, 5000}, "/full", r);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        NetOptions o = quickOptions();
        if (c.bufferBytes) o.bufferBytes = c.bufferBytes, o.minStartBytes = 4096;
        const size_t before = server.requests().size();
        std::string error;
        auto s = NetStream::open(server.url(c.path), o, &error);
        ASSERT_NE(s, nullptr) << error;
        EXPECT_EQ(s->headerLines(), c.headers);
        if (c.bufferBytes) {
            EXPECT_TRUE(waitFor([&] { return s->available() == c.bufferBytes; }, 5s));
            EXPECT_FALSE(s->transferEnded());
        }
        EXPECT_TRUE(readAll(*s, 20s) == c.audio) << "metadata leaked into the audio or audio lost";
        EXPECT_TRUE(s->transferEnded());
        EXPECT_EQ(s->metadata(), c.latest);
        EXPECT_EQ(s->metadataCount(), c.titles);
        const auto requests = server.requests();
        ASSERT_EQ(requests.size() - before, c.requests);
        EXPECT_NE(requests[before].find("\r\nIcy-MetaData: 1\r\n"), std::string::npos);
    }
}

TEST(NetStream, StallThenRecoveryKeepsEveryByteAndUpdatesTheTitle) {
    TestServer server;
    const std::string audio = testAudio(40'000, 15);
    TestResponse r;
    r.headers = {"icy-metaint:4000"};
    // Titles A for the first half, B after the pause.
    r.body = icyBody(audio, 4000, [](size_t i) {
        return i < 4 ? std::string("StreamTitle='A';") : std::string("StreamTitle='B';");
    });
    r.pauseAtByte = 4 * (4000 + icyMetaBlock("StreamTitle='A';").size()) + 100;
    server.setResponse("/", r);
    NetOptions o = quickOptions();
    o.stallTimeoutMs = 5000;
    auto s = NetStream::open(server.url(), o);
    ASSERT_NE(s, nullptr);

    std::string got = readAll(*s, 1s);  // all that came before the pause
    EXPECT_EQ(got.size(), 16'100u);
    EXPECT_FALSE(s->transferEnded());
    EXPECT_EQ(s->metadata(), "StreamTitle='A';");

    server.resume();
    got += readAll(*s);
    EXPECT_TRUE(got == audio);
    EXPECT_EQ(s->metadata(), "StreamTitle='B';");
}

TEST(NetStream, StallTimeoutEndsTheTransfer) {
    const std::string audio = testAudio(30'000, 16);
    TestServer server;
    TestResponse r;
    r.statusLine = "HTTP/1.1 200 OK";
    r.body = audio;
    r.pauseAtByte = 10'000;  // never resumed
    server.setResponse("/", r);
    NetOptions o = quickOptions();
    o.stallTimeoutMs = 300;
    auto s = NetStream::open(server.url(), o);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(waitFor([&] { return s->transferEnded(); }, 5s));
    EXPECT_EQ(dynamic_cast<CurlNetStream&>(*s).failure(), "stalled");
    EXPECT_TRUE(readAll(*s) == audio.substr(0, 10'000));
}

// Every failure gives nullptr and a reason, well within the configured time.
void expectOpenFails(const std::string& url, const NetOptions& o, const std::string& expected) {
    std::string error;
    const auto t0 = Clock::now();
    EXPECT_EQ(NetStream::open(url, o, &error), nullptr) << url;
    EXPECT_NE(error.find(expected), std::string::npos) << "error was: " << error;
    // A bound on correctness (the timeout is honoured), not a speed claim.
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(o.connectTimeoutMs) + 3s);
}

TEST(NetStream, FailuresGiveNullAndTheirReason) {
    // A 404 and a refused connection are among the player's own stream tests.
    TestServer server, plain;
    TestResponse icy404, silent, empty, big, longLine, loop, talker;
    icy404.statusLine = "ICY 404 Resource Not Found";  // not an accepted alias of 200
    silent.neverAnswer = true;
    empty.headers = {"icy-metaint:8192"};  // headers but no body before the close
    big.headers.assign(1024, "X-Padding: " + std::string(1010, 'p'));  // 1 MB of header lines
    big.body = longLine.body = testAudio(10'000, 19);
    longLine.headers = {"X-Long: " + std::string(200'000, 'l')};
    loop.statusLine = "HTTP/1.1 302 Found";
    loop.headers = {"Location: /loop", "Content-Length: 0"};
    // TLS to a server that answers in plain text at once: the handshake fails.
    talker.talkFirst = true;
    talker.statusLine = "HTTP/1.1 200 OK";
    talker.body = testAudio(5000, 20);
    const std::pair<const char*, TestResponse> responses[] = {
        {"/icy404", icy404}, {"/silent", silent},     {"/empty", empty},
        {"/bigheader", big}, {"/longline", longLine}, {"/loop", loop}};
    for (const auto& [path, r] : responses)
        server.setResponse(path, r);
    plain.setResponse("*", talker);
    NetOptions o = quickOptions();
    o.connectTimeoutMs = 400;
    const std::pair<std::string, const char*> cases[] = {
        {server.url("/icy404"), "ICY 404 Resource Not Found"},
        {server.url("/silent"), "timed out"},
        {server.url("/empty"), "closed before any data"},
        {server.url("/bigheader"), "response header too large"},
        {server.url("/longline"), "response header too large"},
        {"https://127.0.0.1:" + std::to_string(plain.port()) + "/", "TLS failure"},
        {"file:///etc/hostname", "unsupported protocol"},
        {"", "empty URL"},
    };
    for (const auto& [url, expected] : cases)
        expectOpenFails(url, o, expected);
    // A redirect loop stops at maxRedirects: the first request and 5 redirects.
    const size_t before = server.requests().size();
    expectOpenFails(server.url("/loop"), o, "too many redirects");
    EXPECT_EQ(server.requests().size() - before, 6u);
}

TEST(NetStream, DestructorStopsPromptlyWhileConnectingOrStreaming) {
    TestServer server;
    TestResponse silent;
    silent.neverAnswer = true;
    server.setResponse("/silent", silent);
    TestResponse live;
    live.headers = {"icy-metaint:1000"};
    live.body = icyBody(testAudio(200'000, 21), 1000, [](size_t i) { return title(i); });
    live.holdOpenAfterBody = true;
    server.setResponse("/live", live);

    NetOptions o = quickOptions();
    o.connectTimeoutMs = 60'000;  // far beyond the bound checked below
    o.stallTimeoutMs = 60'000;
    {
        auto s = CurlNetStream::start(server.url("/silent"), o);
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(waitFor([&] { return server.connections() == 1; }, 5s));
        const auto t0 = Clock::now();
        s.reset();
        EXPECT_LT(Clock::now() - t0, 2s);
    }
    {
        // Streaming with a full ring (the network thread waits for room) and an open server.
        o.bufferBytes = 16'384;
        auto s = NetStream::open(server.url("/live"), o);
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(waitFor([&] { return s->available() == 16'384; }, 5s));
        const auto t0 = Clock::now();
        s.reset();
        EXPECT_LT(Clock::now() - t0, 2s);
    }
}

}  // namespace
}  // namespace velorixa::net
