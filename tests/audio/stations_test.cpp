// Stations of every codec from a loopback server: AAC, Ogg Vorbis and Ogg Opus, with and without
// ICY metadata, told by their bytes when the content type is missing or wrong. Where a station
// sends no ICY titles, an Ogg stream's own comments name the title; where it names no bit rate,
// the measured one is shown.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "audio/net/testserver.h"
#include "audiotest.h"

using namespace audiotest;

namespace velorixa {

TEST(Stations, EachCodecPlaysItsToneWithItsTitleAndRate) {
    TempDir dir;
    OfflineSession session;
    test::TestServer server;
    const struct {
        const char* path;
        const char* format;
        const char* type;
        size_t metaInt;  // 0: no ICY metadata
        double toneHz;
        const char* title;  // what the stream's metadata shows
    } cases[] = {
        {"/aac", "aac", "audio/aac", 0, 440, ""},
        {"/aacp-icy", "aac", "audio/aacp", 8192, 550, "StreamTitle='Icy Title';"},
        {"/aac-as-mpeg", "aac", "audio/mpeg", 0, 660, ""},
        {"/vorbis", "ogg", "application/ogg", 0, 440, "StreamTitle='Tone Maker - Four Forty';"},
        {"/vorbis-icy", "ogg", "audio/ogg", 4000, 500, "StreamTitle='Icy Title';"},
        {"/opus", "opus", "audio/ogg", 0, 770, "StreamTitle='Tone Maker - Four Forty';"},
        {"/opus-notype", "opus", "", 16000, 600, "StreamTitle='Icy Title';"},
        {"/ts", "ts", "video/mp2t", 0, 480, ""},
    };
    for (const auto& c : cases) {
        auto bytes = testmedia::encodeWithTool(testmedia::sine(c.toneHz, 6, 44100, 2), c.format,
                                               dir.file(""), "Tone Maker", "Four Forty");
        ASSERT_FALSE(bytes.empty()) << c.format;
        std::string audio(bytes.begin(), bytes.end());
        test::TestResponse r;
        if (*c.type) r.headers.push_back(std::string("content-type: ") + c.type);
        r.body = audio;
        if (c.metaInt) {
            r.headers.push_back("icy-metaint:" + std::to_string(c.metaInt));
            r.body = test::icyBody(audio, c.metaInt, [](size_t i) {
                return i == 0 ? "StreamTitle='Icy Title';" : "";
            });
        }
        if (std::strcmp(c.path, "/aacp-icy") == 0) r.headers.push_back("icy-br:96");
        server.setResponse(c.path, r);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        DWORD src =
            BASS_StreamCreateURL(server.url(c.path).c_str(), 0, BASS_STREAM_DECODE, nullptr);
        ASSERT_NE(src, 0u) << VX_StreamGetError();
        DWORD ch = BASS_FX_PitchCreate(src);
        ASSERT_NE(ch, 0u);
        ASSERT_TRUE(BASS_StreamPlay(ch, 0, 0));
        std::vector<float> out;
        for (int i = 0; i < 400 && out.size() < 2 * 44100 * 2; ++i) {
            if (!VX_RenderReady(512)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            auto part = render(512);
            out.insert(out.end(), part.begin(), part.end());
        }
        ListenOnFailure listen(c.path + 1, out);
        ASSERT_GE(out.size(), size_t(2 * 44100 * 2));
        std::vector<float> tail(out.end() - 2 * 8192, out.end());
        EXPECT_NEAR(toneHz(side(tail, 0), c.toneHz), c.toneHz, 2);
        EXPECT_NEAR(rmsOf(side(tail, 1)), 0.5 / std::sqrt(2.0), 0.05);
        const char* meta = BASS_StreamGetTags(src, BASS_TAG_META);
        EXPECT_EQ(std::string(meta ? meta : ""), c.title);
        // icy-br as sent, else measured: the encoders' rates.
        std::vector<std::string> lines;
        for (const char* p = BASS_StreamGetTags(src, BASS_TAG_HTTP); p && *p; p += strlen(p) + 1)
            lines.emplace_back(p);
        auto br = std::find_if(lines.begin(), lines.end(),
                               [](const std::string& l) { return l.rfind("icy-br:", 0) == 0; });
        ASSERT_NE(br, lines.end());
        const int kbps = std::stoi(br->substr(7));
        if (std::strcmp(c.path, "/aacp-icy") == 0) {
            EXPECT_EQ(kbps, 96);
        }
        EXPECT_GT(kbps, 10);  // a pure tone costs Vorbis little
        EXPECT_LT(kbps, 200);
        BASS_StreamFree(src);
    }
}

TEST(Stations, StreamsOfACodecNotPlayedSayWhich) {
    TempDir dir;
    OfflineSession session;
    test::TestServer server;
    auto flac =
        testmedia::encodeWithTool(testmedia::sine(440, 2, 44100, 2), "oggflac", dir.file(""));
    ASSERT_FALSE(flac.empty());
    test::TestResponse r;
    r.headers = {"content-type: audio/ogg"};
    r.body.assign(flac.begin(), flac.end());
    server.setResponse("/flac", r);
    EXPECT_EQ(BASS_StreamCreateURL(server.url("/flac").c_str(), 0, BASS_STREAM_DECODE, nullptr),
              0u);
    EXPECT_EQ(std::string(VX_StreamGetError()), "unsupported codec (flac)");
}

}  // namespace velorixa
