// The HLS stream against the local test server: segment order, the live edge, a growing
// playlist, missing segments, masters, and playlists that must be refused.
#include "audio/decode/net/hlsstream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/net/testserver.h"

namespace velorixa::net {
namespace {

using namespace std::chrono_literals;
using test::testAudio;
using test::TestResponse;
using test::TestServer;
using Clock = std::chrono::steady_clock;

NetOptions quickOptions() {
    NetOptions o;
    o.connectTimeoutMs = 2000;
    o.openDeadlineMs = 3000;
    o.stallTimeoutMs = 8000;
    o.minStartBytes = 1024;
    return o;
}

std::unique_ptr<HlsNetStream> openHls(const std::string& url, std::string* error,
                                      const NetOptions& o = quickOptions()) {
    return HlsNetStream::open(url, o, Clock::now() + std::chrono::milliseconds(o.openDeadlineMs),
                              error);
}

TestResponse ok(std::string body, const std::string& type) {
    TestResponse r;
    r.statusLine = "HTTP/1.1 200 OK";
    r.headers = {"Content-Type: " + type, "Content-Length: " + std::to_string(body.size())};
    r.body = std::move(body);
    return r;
}

TestResponse playlist(const std::string& body) {
    return ok(body, "application/vnd.apple.mpegurl");
}

// A media playlist of 1-second segments named seg<N>.mp3, first..last.
std::string live(int first, int last, bool ended = false) {
    std::string s =
        "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    for (int i = first; i <= last; ++i)
        s += "#EXTINF:1.0,\nseg" + std::to_string(i) + ".mp3\n";
    return ended ? s + "#EXT-X-ENDLIST\n" : s;
}

// Reads whatever is buffered until pred(all read so far) holds, the stream ended or limit.
template <class Pred>
bool readUntil(NetStream& s, std::string* out, Pred pred, std::chrono::milliseconds limit) {
    uint8_t buf[4096];
    const auto deadline = Clock::now() + limit;
    while (!pred(*out) && Clock::now() < deadline) {
        const bool ended = s.transferEnded();
        const size_t n = s.read(buf, sizeof buf);
        out->append(reinterpret_cast<char*>(buf), n);
        if (n == 0 && ended) break;
        if (n == 0) std::this_thread::sleep_for(2ms);
    }
    return pred(*out);
}

std::string readToEnd(NetStream& s, std::chrono::milliseconds limit = 20s) {
    std::string out;
    readUntil(
        s, &out, [](const std::string&) { return false; }, limit);
    return out;
}

int requestsFor(const TestServer& server, const std::string& path) {
    int n = 0;
    for (const std::string& r : server.requests())
        n += r.rfind("GET " + path + " ", 0) == 0;
    return n;
}

TEST(HlsStream, AddressesResolveAgainstThePlaylist) {
    const std::string base = "http://h.example:8000/live/index.m3u8?token=1";
    const struct {
        std::string reference, expected;
    } cases[] = {
        {"seg1.mp3", "http://h.example:8000/live/seg1.mp3"},
        {"sub/seg.ts?x=2", "http://h.example:8000/live/sub/seg.ts?x=2"},
        {"/abs/x.aac", "http://h.example:8000/abs/x.aac"},
        {"../up.aac", "http://h.example:8000/up.aac"},
        {"https://cdn.example/a.ts", "https://cdn.example/a.ts"},
        {"//cdn.example/b.ts", "http://cdn.example/b.ts"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveHlsAddress(base, c.reference), c.expected) << c.reference;
}

// An ended playlist reached through a redirect: its relative, absolute-path and full addresses
// resolve against where the playlist really is; a missing segment is skipped.
TEST(HlsStream, EndedPlaylistPlaysEverySegmentInOrderAndSkipsAMissingOne) {
    TestServer server;
    const std::string s0 = testAudio(5000, 1), s1 = testAudio(7000, 2), s3 = testAudio(3000, 3);
    server.setResponse("/vod/a/s0.mp3", ok(s0, "audio/mpeg"));
    server.setResponse("/vod/s1.mp3", ok(s1, "audio/mpeg"));
    server.setResponse("/vod/a/s3.mp3", ok(s3, "audio/mpeg"));
    server.setResponse("/vod/a/index.m3u8",
                       playlist("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,Morning Show\n"
                                "s0.mp3\n#EXTINF:2,Morning Show\n/vod/s1.mp3\n#EXTINF:2,\n" +
                                server.url("/vod/a/s2.mp3") +
                                "\n#EXTINF:2,\ns3.mp3\n"
                                "#EXT-X-ENDLIST\n"));
    TestResponse moved;
    moved.statusLine = "HTTP/1.1 302 Found";
    moved.headers = {"Location: /vod/a/index.m3u8", "Content-Length: 0"};
    server.setResponse("/station", moved);

    std::string error;
    auto s = openHls(server.url("/station"), &error);
    ASSERT_TRUE(s) << error;
    EXPECT_TRUE(readToEnd(*s) == s0 + s1 + s3);
    EXPECT_TRUE(s->transferEnded());
    EXPECT_EQ(s->failure(), "");
    EXPECT_EQ(s->segmentsFetched(), 3u);
    EXPECT_EQ(s->segmentsSkipped(), 1u);
    EXPECT_EQ(requestsFor(server, "/vod/a/s2.mp3"), 1) << "asked for once, then skipped";
    EXPECT_EQ(s->metadata(), "StreamTitle='Morning Show';");
    EXPECT_EQ(s->metadataCount(), 1u) << "the same title twice is one title";
    const std::vector<std::string> h = s->headerLines();
    EXPECT_NE(std::find(h.begin(), h.end(), "Content-Type: audio/mpeg"), h.end())
        << "the segments' type names the codec";
}

// A live playlist: playback starts three target durations behind its end, follows it as it
// grows (a segment that is late only delays), and plays an ended list to its last segment.
TEST(HlsStream, LivePlaylistStartsNearTheEdgeAndFollowsItsGrowth) {
    TestServer server;
    std::vector<std::string> seg;
    for (int i = 0; i <= 18; ++i) {
        seg.push_back(testAudio(2000 + 100 * i, 100 + i));
        server.setResponse("/live/seg" + std::to_string(i) + ".mp3", ok(seg[i], "audio/mpeg"));
    }
    server.setResponse("/live/index.m3u8", playlist(live(10, 15)));
    std::string error;
    auto s = openHls(server.url("/live/index.m3u8"), &error);
    ASSERT_TRUE(s) << error;
    std::string got;
    const std::string start = seg[13] + seg[14] + seg[15];
    ASSERT_TRUE(readUntil(
        *s, &got, [&](const std::string& g) { return g.size() >= start.size(); }, 10s));
    EXPECT_TRUE(got == start) << "starts at segment 13 of 10..15";
    EXPECT_EQ(requestsFor(server, "/live/seg12.mp3"), 0);

    // Nothing new for a while, then a playlist cut short as a server rewriting it in place
    // sends it: the playlist is loaded again and again, the stream waits and repeats nothing.
    // Each playlist below is loaded twice before the next one is served.
    for (const std::string& body : {live(10, 15), live(10, 15).substr(0, 20), live(10, 13)}) {
        server.setResponse("/live/index.m3u8", playlist(body));
        const uint64_t loads = s->playlistLoads();
        ASSERT_TRUE(readUntil(
            *s, &got, [&](const std::string&) { return s->playlistLoads() >= loads + 2; }, 10s));
    }
    EXPECT_FALSE(s->transferEnded());
    server.setResponse("/live/index.m3u8", playlist(live(12, 17)));
    const std::string grown = start + seg[16] + seg[17];
    EXPECT_TRUE(readUntil(
        *s, &got, [&](const std::string& g) { return g.size() >= grown.size(); }, 10s));
    server.setResponse("/live/index.m3u8", playlist(live(15, 18, true)));
    got += readToEnd(*s);
    EXPECT_TRUE(got == grown + seg[18]) << got.size() << " bytes";
    EXPECT_EQ(s->failure(), "");
    EXPECT_EQ(s->segmentsSkipped(), 0u);
}

TEST(HlsStream, ALiveStreamThatStopsGrowingEndsAsStalled) {
    TestServer server;
    const std::string a = testAudio(3000, 7);
    server.setResponse("/s/seg0.mp3", ok(a, "audio/mpeg"));
    server.setResponse("/s/index.m3u8", playlist(live(0, 0)));
    NetOptions o = quickOptions();
    o.stallTimeoutMs = 1500;
    std::string error;
    auto s = openHls(server.url("/s/index.m3u8"), &error, o);
    ASSERT_TRUE(s) << error;
    EXPECT_TRUE(readToEnd(*s) == a);
    EXPECT_EQ(s->failure(), "stalled");
    EXPECT_GE(s->playlistLoads(), 2u) << "the playlist was loaded again before giving up";
}

TEST(HlsStream, MasterPlaylistLeadsToTheChosenVariant) {
    TestServer server;
    const std::string audio = testAudio(4000, 9);
    server.setResponse(
        "/m/master.m3u8",
        playlist("#EXTM3U\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS=\"avc1.42e00a,mp4a.40.2\"\n"
                 "video/index.m3u8\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.5\"\n"
                 "low/index.m3u8\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"mp4a.40.2\"\n"
                 "high/index.m3u8\n"));
    server.setResponse("/m/high/index.m3u8",
                       playlist("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\na.aac\n"
                                "#EXT-X-ENDLIST\n"));
    server.setResponse("/m/high/a.aac", ok(audio, "audio/aac"));
    std::string error;
    auto s = openHls(server.url("/m/master.m3u8"), &error);
    ASSERT_TRUE(s) << error;
    EXPECT_TRUE(readToEnd(*s) == audio);
    EXPECT_EQ(requestsFor(server, "/m/video/index.m3u8"), 0);
    EXPECT_EQ(requestsFor(server, "/m/low/index.m3u8"), 0);
}

TEST(HlsStream, PlaylistsThatCannotPlayAreRefusedWithTheirReasonWithinTheDeadline) {
    TestServer server;
    std::string error;
    server.setResponse("/seg.mp3", ok(testAudio(4000, 5), "audio/mpeg"));
    const std::string media = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n";
    std::string huge = media;
    while (huge.size() < (2u << 20))
        huge += "#EXTINF:2,\nseg.mp3\n";
    // A playlist that never ends: a line at a time, for ever.
    TestResponse endless = playlist(media + std::string(1 << 20, '\n'));
    endless.headers = {"Content-Type: application/vnd.apple.mpegurl"};
    endless.chunkBytes = 1;
    endless.chunkDelayMs = 20;
    const struct {
        const char* path;
        TestResponse response;
        const char* why;
    } cases[] = {
        {"/aes.m3u8",
         playlist(media + "#EXT-X-KEY:METHOD=AES-128,URI=\"k.bin\"\n#EXTINF:2,\nseg.mp3\n"),
         "encrypted segments (AES-128) are not supported"},
        {"/fmp4.m3u8", playlist(media + "#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:2,\nseg.mp3\n"),
         "fragmented MP4 segments are not supported"},
        {"/loop.m3u8", playlist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nloop.m3u8\n"),
         "HLS master playlists lead to further masters too many times"},
        {"/selfseg.m3u8", playlist(media + "#EXTINF:2,\nselfseg.m3u8\n"),
         "an HLS segment is a playlist, not audio"},
        {"/huge.m3u8", playlist(huge), "HLS playlist larger than 1 MiB"},
        {"/endless.m3u8", endless, "too little audio within 3 s"},
        {"/gone.m3u8",
         playlist(media + "#EXTINF:2,\nnone1.mp3\n#EXTINF:2,\nnone2.mp3\n#EXT-X-ENDLIST\n"),
         "no segment could be fetched (HTTP 404 Not Found)"},
        {"/empty.m3u8", playlist(media + "#EXT-X-ENDLIST\n"), "the HLS playlist lists no segments"},
        {"/text.m3u8", ok("hello", "text/plain"), "not an HLS playlist"},
        {"/novariant.m3u8", playlist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\n"),
         "the HLS master playlist names no stream"},
    };
    for (const auto& c : cases)
        server.setResponse(c.path, c.response);
    EXPECT_FALSE(openHls(server.url("/missing.m3u8"), &error));
    EXPECT_EQ(error, "HTTP 404 Not Found");
    for (const auto& c : cases) {
        const auto t0 = Clock::now();
        EXPECT_FALSE(openHls(server.url(c.path), &error)) << c.path;
        EXPECT_EQ(error, c.why) << c.path;
        // The open's one deadline (3 s here), with room for a loaded machine.
        EXPECT_LT(Clock::now() - t0, 6s) << c.path;
    }
    EXPECT_EQ(requestsFor(server, "/loop.m3u8"), 1 + HlsNetStream::kMaxMasterHops);
}

}  // namespace
}  // namespace velorixa::net
