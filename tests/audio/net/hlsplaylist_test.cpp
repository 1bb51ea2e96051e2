#include "audio/decode/net/hlsplaylist.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "fuzz/fuzz_hls.h"

namespace velorixa::net {
namespace {

using Kind = HlsPlaylist::Kind;

// Everything a media playlist's reading yields, on one line: kind, target duration, end, what
// is not supported, then each segment's sequence number and address.
std::string Summary(const HlsPlaylist& p) {
    std::ostringstream out;
    out << (p.kind == Kind::Media    ? "media "
            : p.kind == Kind::Master ? "master "
                                     : "not HLS ")
        << p.targetDurationS << "s" << (p.endList ? " ended" : "");
    if (!p.unsupported.empty()) out << " [" << p.unsupported << "]";
    out << ":";
    for (const HlsSegment& s : p.segments)
        out << " " << s.sequence << " " << s.uri;
    return out.str();
}

TEST(HlsPlaylist, MediaPlaylistsAreReadTagByTag) {
    const struct {
        const char* name;
        std::string body, read;
    } cases[] = {
        {"live",
         "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:41\n"
         "#EXTINF:2.000000,\nlive41.mp3\n#EXTINF:2.0,\nlive42.mp3\n",
         "media 2s: 41 live41.mp3 42 live42.mp3"},
        {"ended, CR LF, byte order mark, blanks",
         "\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-TARGETDURATION:10\r\n\r\n#EXTINF:9.5,Song\r\n  a.aac  \r\n"
         "#EXT-X-ENDLIST\r\n",
         "media 10s ended: 0 a.aac"},
        {"no media sequence starts at 0",
         "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\nhttp://h/x.ts\n#EXTINF:4,\ny.ts\n",
         "media 4s: 0 http://h/x.ts 1 y.ts"},
        {"a URI without #EXTINF is no segment",
         "#EXTM3U\n#EXT-X-TARGETDURATION:4\nstray.ts\n#EXTINF:4,\nok.ts\n", "media 4s: 0 ok.ts"},
        {"AES-128",
         "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n"
         "#EXTINF:4,\ns.ts\n",
         "media 4s [encrypted segments (AES-128)]: 0 s.ts"},
        {"a key of NONE is clear",
         "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXT-X-KEY:METHOD=NONE\n#EXTINF:4,\ns.ts\n",
         "media 4s: 0 s.ts"},
        {"fragmented MP4",
         "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:4,\ns.m4s\n",
         "media 4s [fragmented MP4 segments]: 0 s.m4s"},
        {"hostile numbers",
         "#EXTM3U\n#EXT-X-TARGETDURATION:-5\n#EXT-X-MEDIA-SEQUENCE:99999999999999999999\n"
         "#EXTINF:nan,\na\n#EXTINF:1e300,\nb\n#EXTINF:-3,\nc\n",
         "media 0s: 0 a 1 b 2 c"},
        {"a station list", "#EXTM3U\n#EXTINF:-1,Radio\nhttp://radio.example/live\n", "not HLS 0s:"},
        {"a web page", "<html>#EXT-X-TARGETDURATION:2</html>", "not HLS 0s:"},
        {"empty", "", "not HLS 0s:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Summary(ParseHlsPlaylist(c.body)), c.read);
        EXPECT_EQ(LooksLikeHls(c.body), c.read.rfind("media", 0) == 0);
    }
}

TEST(HlsPlaylist, DurationsTitlesAndByteRanges) {
    const HlsPlaylist p = ParseHlsPlaylist(
        "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:5.5,Artist - Title\n#EXT-X-BYTERANGE:1000@200\n"
        "all.aac\n#EXTINF:6,\n#EXT-X-BYTERANGE:500\nall.aac\n#EXTINF:1e300,\nlong.aac\n");
    ASSERT_EQ(p.segments.size(), 3u);
    EXPECT_DOUBLE_EQ(p.segments[0].durationS, 5.5);
    EXPECT_EQ(p.segments[0].title, "Artist - Title");
    EXPECT_EQ(p.segments[0].rangeOffset, 200);
    EXPECT_EQ(p.segments[0].rangeLength, 1000);
    EXPECT_EQ(p.segments[1].rangeOffset, 1200) << "a range without offset follows the last one";
    EXPECT_EQ(p.segments[1].rangeLength, 500);
    EXPECT_EQ(p.segments[2].rangeLength, -1) << "a range applies to one segment";
    EXPECT_DOUBLE_EQ(p.segments[2].durationS, 86400) << "durations are clamped to a day";
}

TEST(HlsPlaylist, HugeListsAreCutAtTheEntryLimit) {
    std::string body = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n";
    for (int i = 0; i < 50; ++i)
        body += "#EXTINF:1,\ns" + std::to_string(i) + ".mp3\n";
    const HlsPlaylist p = ParseHlsPlaylist(body, 20);
    EXPECT_EQ(p.segments.size(), 20u);
    EXPECT_TRUE(p.truncated);
    EXPECT_FALSE(ParseHlsPlaylist(body).truncated);
}

TEST(HlsPlaylist, MasterPicksOneVariant) {
    const std::string head = "#EXTM3U\n";
    const struct {
        const char* name;
        std::string body;
        std::string chosen;
    } cases[] = {
        {"audio-only: the highest bandwidth",
         "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.5\"\nlow.m3u8\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=320000,CODECS=\"mp4a.40.2\"\nhigh.m3u8\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"mp4a.40.2\"\nmid.m3u8\n",
         "high.m3u8"},
        {"audio-only wins over video at any bandwidth",
         "#EXT-X-STREAM-INF:BANDWIDTH=2000000,CODECS=\"avc1.4d401f,mp4a.40.2\"\nvideo.m3u8\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=96000,CODECS=\"mp4a.40.2\"\naudio.m3u8\n",
         "audio.m3u8"},
        {"no codecs named: the highest bandwidth",
         "#EXT-X-STREAM-INF:BANDWIDTH=128000\na128.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=256000\n"
         "a256.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=256000\nsame.m3u8\n",
         "a256.m3u8"},
        {"video only: the lowest bandwidth",
         "#EXT-X-STREAM-INF:BANDWIDTH=5000000,CODECS=\"avc1.64001f,mp4a.40.2\"\nhd.m3u8\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=800000,CODECS=\"avc1.42e00a,mp4a.40.2\"\nsd.m3u8\n",
         "sd.m3u8"},
        {"audio from a rendition group: its default",
         "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"en\",URI=\"en/a.m3u8\"\n"
         "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"main\",DEFAULT=YES,URI=\"main/a.m3u8\"\n"
         "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"aud\",URI=\"subs.m3u8\"\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS=\"avc1.42e00a,mp4a.40.2\",AUDIO=\"aud\"\n"
         "v.m3u8\n",
         "main/a.m3u8"},
        {"bandwidth that is not a number counts as none",
         "#EXT-X-STREAM-INF:BANDWIDTH=lots\nx.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=1\ny.m3u8\n",
         "y.m3u8"},
        {"a variant without its URI line names nothing", "#EXT-X-STREAM-INF:BANDWIDTH=1\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HlsPlaylist p = ParseHlsPlaylist(head + c.body);
        EXPECT_EQ(p.kind, Kind::Master);
        EXPECT_TRUE(p.segments.empty());
        EXPECT_EQ(ChooseHlsVariant(p), c.chosen);
    }
}

TEST(HlsPlaylist, LivePlaybackStartsThreeTargetDurationsBehindTheEdge) {
    const struct {
        std::vector<double> durations;
        int target;
        bool ended;
        size_t start;
    } cases[] = {
        {{2, 2, 2, 2, 2}, 2, false, 2},  // the last three segments
        {{2, 2, 2}, 2, false, 0},
        {{2, 2}, 2, false, 0},  // shorter than three targets: from the first
        {{10, 10, 10, 10, 10, 10}, 10, false, 3},
        {{2, 2, 2, 6}, 6, false, 0},
        {{1.5, 1.5, 1.5, 1.5, 1.5}, 1, false, 3},
        {{2, 2, 2, 2, 2}, 2, true, 0},  // an ended list plays from its start
        {{}, 2, false, 0},
    };
    for (const auto& c : cases) {
        std::string body = "#EXTM3U\n#EXT-X-TARGETDURATION:" + std::to_string(c.target) + "\n";
        for (double d : c.durations)
            body += "#EXTINF:" + std::to_string(d) + ",\ns.mp3\n";
        if (c.ended) body += "#EXT-X-ENDLIST\n";
        EXPECT_EQ(HlsStartIndex(ParseHlsPlaylist(body)), c.start) << body;
    }
}

// The fuzz target's properties on seeded random mutations of valid playlists.
TEST(HlsPlaylist, FuzzPropertiesHoldOnMutatedPlaylists) {
    const std::string seeds[] = {
        "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:7\n#EXTINF:2,t\na.mp3\n"
        "#EXT-X-BYTERANGE:10@5\n#EXTINF:2,\nb.mp3\n#EXT-X-ENDLIST\n",
        "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",DEFAULT=YES,URI=\"r.m3u8\"\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=9,CODECS=\"mp4a.40.2,avc1\",AUDIO=\"g\"\nv.m3u8\n",
    };
    std::mt19937 rng(22);
    for (int round = 0; round < 3000; ++round) {
        std::string in = seeds[round % 2];
        for (int edits = 1 + int(rng() % 6); edits > 0; --edits) {
            const size_t at = rng() % (in.size() + 1);
            switch (rng() % 3) {
                case 0:
                    in.insert(at, 1, static_cast<char>(rng() & 0xff));
                    break;
                case 1:
                    if (at < in.size()) in.erase(at, 1 + rng() % 8);
                    break;
                default:
                    in.insert(at, in.substr(rng() % in.size(), rng() % 24));
            }
        }
        EXPECT_EQ(fuzz::fuzzHlsOne(reinterpret_cast<const uint8_t*>(in.data()), in.size()), "")
            << in;
    }
}

}  // namespace
}  // namespace velorixa::net
