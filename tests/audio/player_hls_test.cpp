// The player on an HLS station: a live playlist of MP3 segments, or of AAC in MPEG-TS segments,
// written into a folder while the player plays, served by a local HTTP server, one listed segment
// never written.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <thread>

#include "audio/audiolib.h"
#include "audio/audiotest.h"
#include "audio/decode/mp3probe.h"
#include "audio/net/testserver.h"
#include "audio/player.h"
#include "common/testmedia.h"

namespace velorixa {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

// MP3 frames of a tone whose frequency steps every second, cut into one-second segments at frame
// boundaries (as a live encoder cuts them); frames carry no bit reservoir, so each segment
// decodes on its own and after any other.
std::vector<std::string> oneSecondSegments(const std::vector<double>& freqs) {
    testmedia::Mp3Options opt;
    opt.selfContainedFrames = true;
    opt.quality = 9;
    const std::vector<uint8_t> mp3 =
        testmedia::encodeMp3(testmedia::toneSteps(freqs, kRate, 2, 0.5), opt);
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 <= mp3.size();) {
        audio::Mp3FrameHeader h;
        if (!audio::parseMp3Header(&mp3[at], &h) || h.frameBytes <= 0) break;
        starts.push_back(at);
        at += static_cast<size_t>(h.frameBytes);
    }
    starts.push_back(mp3.size());
    // The first frame is the encoder's information frame, not audio.
    const double framesPerSecond = double(kRate) / 1152;
    std::vector<std::string> segments;
    for (size_t k = 0; k < freqs.size(); ++k) {
        const size_t a = 1 + size_t(std::lround(k * framesPerSecond));
        const size_t b = k + 1 == freqs.size() ? starts.size() - 1
                                               : 1 + size_t(std::lround((k + 1) * framesPerSecond));
        segments.emplace_back(reinterpret_cast<const char*>(&mp3[starts[a]]),
                              starts[b] - starts[a]);
    }
    return segments;
}

// One-second AAC segments in MPEG-TS, each encoded on its own as a live packager's are.
std::vector<std::string> oneSecondTsSegments(const std::vector<double>& freqs,
                                             const std::string& dir) {
    std::vector<std::string> segments;
    for (double f : freqs) {
        const std::vector<uint8_t> ts =
            testmedia::encodeWithTool(testmedia::sine(f, 1.0, kRate, 2, 0.5), "ts", dir);
        segments.emplace_back(ts.begin(), ts.end());
    }
    return segments;
}

// Writes a file under a temporary name, then renames it into place: the server never sees it
// half written.
void publish(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(testmedia::writeFile(path + ".part", bytes));
    ASSERT_EQ(std::rename((path + ".part").c_str(), path.c_str()), 0);
}

// The tone of a window: the candidate frequency with the most power, when it stands well clear
// of the others; 0 for a silent or mixed window.
double toneOf(const std::vector<float>& mono, const std::vector<double>& freqs) {
    if (testmedia::rms(mono.data(), mono.size()) < 0.05) return 0;
    double best = 0, bestPower = 0, second = 0;
    for (double f : freqs) {
        double re = 0, im = 0;
        const double w = 2 * std::numbers::pi * f / kRate;
        for (size_t i = 0; i < mono.size(); ++i) {
            re += mono[i] * std::cos(w * double(i));
            im += mono[i] * std::sin(w * double(i));
        }
        const double power = re * re + im * im;
        if (power > bestPower) {
            second = bestPower;
            bestPower = power;
            best = f;
        } else {
            second = std::max(second, power);
        }
    }
    return bestPower > 4 * second ? best : 0;
}

// The tones heard, in order, from 100 ms windows; a tone counts once it fills two windows in a
// row (a window across a join may hold two). *gaps counts silent windows between sounding ones.
std::vector<double> tonesHeard(const std::vector<float>& stereo, const std::vector<double>& freqs,
                               int* gaps) {
    const size_t window = kRate / 10;
    std::vector<double> heard;
    double last = -1;
    int run = 0, silentRun = 0;
    bool sounded = false;
    *gaps = 0;
    std::vector<float> mono(window);
    for (size_t at = 0; at + window <= stereo.size() / 2; at += window) {
        for (size_t i = 0; i < window; ++i)
            mono[i] = stereo[2 * (at + i)];
        const bool sounding = testmedia::rms(mono.data(), window) > 0.05;
        if (sounding && sounded) *gaps += silentRun;
        silentRun = sounding ? 0 : silentRun + 1;
        sounded = sounded || sounding;
        const double tone = toneOf(mono, freqs);
        run = tone == last ? run + 1 : 1;
        last = tone;
        if (run == 2 && tone != 0 && (heard.empty() || heard.back() != tone)) heard.push_back(tone);
    }
    return heard;
}

class PlayerHlsLive : public testing::TestWithParam<const char*> {};

TEST_P(PlayerHlsLive, PlaylistGrowsWhilePlayingAndAMissingSegmentIsSkipped) {
    ASSERT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr));
    const std::vector<double> freqs{330, 440, 550, 660, 770, 880, 990};
    const size_t missing = 4;
    const std::string ext = GetParam();
    audiotest::TempDir dir, staging;
    const std::vector<std::string> segments =
        ext == "mp3" ? oneSecondSegments(freqs) : oneSecondTsSegments(freqs, staging.file(""));
    ASSERT_EQ(segments.size(), freqs.size());
    for (const std::string& segment : segments)
        ASSERT_FALSE(segment.empty()) << "the encoder made every segment";
    test::TestServer server;
    server.serveFolder(dir.file(""));
    // The live encoder: a window of the last five segments, one more each second.
    size_t published = 0;
    auto publishNext = [&](bool ended) {
        if (!ended) {
            if (published != missing)
                publish(dir.file("seg" + std::to_string(published) + "." + ext),
                        segments[published]);
            ++published;
        }
        const size_t first = published > 5 ? published - 5 : 0;
        std::string list =
            "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n"
            "#EXT-X-MEDIA-SEQUENCE:" +
            std::to_string(first) + "\n";
        for (size_t k = first; k < published; ++k)
            list += "#EXTINF:1.0,\nseg" + std::to_string(k) + "." + ext + "\n";
        if (ended) list += "#EXT-X-ENDLIST\n";
        publish(dir.file("index.m3u8"), list);
    };
    for (int i = 0; i < 3; ++i)
        publishNext(false);

    PLAYER player;
    ASSERT_TRUE(player.StartPlay(QString::fromStdString(server.url("/index.m3u8")), 1, 100, 100, 0,
                                 {0, 50, 50, 50}, {0, 100, 100, 100, 100}))
        << VX_StreamGetError();
    EXPECT_EQ(player.GetFreqStr(), kRate);

    // The encoder adds a segment each second and ends the playlist after the last one. The
    // offline output renders 10 ms whenever the decoder has them, so the sound comes out as the
    // station sends it, without gaps of the test's own making.
    std::vector<float> out;
    const size_t block = kRate / 100;
    bool ended = false;
    const auto t0 = Clock::now();
    while (!player.GetFileEnd() && Clock::now() - t0 < 60s) {
        if (!ended && Clock::now() - t0 >= (published - 2) * 1s) {
            ended = published == segments.size();
            publishNext(ended);
        }
        if (!VX_RenderReady(static_cast<DWORD>(block))) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        out.resize(out.size() + 2 * block);
        VX_Render(out.data() + out.size() - 2 * block, static_cast<DWORD>(block));
    }
    EXPECT_TRUE(player.GetFileEnd()) << "the ended playlist plays to its end";
    std::vector<double> expected = freqs;
    expected.erase(expected.begin() + missing);
    int gaps = 0;
    EXPECT_EQ(tonesHeard(out, freqs, &gaps), expected)
        << "every segment in order, the missing one left out";
    EXPECT_EQ(gaps, 0) << "no silence while the playlist grew";
    bool asked = false;
    for (const std::string& r : server.requests())
        asked = asked || r.rfind("GET /seg4." + ext + " ", 0) == 0;
    EXPECT_TRUE(asked) << "the missing segment was listed and asked for";
    player.ExitForm();
    BASS_Free();
}

INSTANTIATE_TEST_SUITE_P(Segments, PlayerHlsLive, testing::Values("mp3", "ts"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// A station link (.pls) that names an HLS playlist plays it; an encrypted one is refused with
// its reason, as a station that gives no audio is.
TEST(PlayerHls, PlaylistLinksLeadToHlsAndEncryptedStationsSayWhy) {
    ASSERT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr));
    const std::vector<std::string> segments = oneSecondSegments({440, 660});
    test::TestServer server;
    auto ok = [](const std::string& body, const std::string& type) {
        test::TestResponse r;
        r.statusLine = "HTTP/1.1 200 OK";
        r.headers = {"Content-Type: " + type};
        r.body = body;
        return r;
    };
    server.setResponse("/hls/seg0.mp3", ok(segments[0], "audio/mpeg"));
    server.setResponse("/hls/seg1.mp3", ok(segments[1], "audio/mpeg"));
    const std::string media = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n";
    // Served as plain text: the body, not the type, tells an HLS playlist.
    server.setResponse(
        "/hls/index.m3u8",
        ok(media + "#EXTINF:1,\nseg0.mp3\n#EXTINF:1,\nseg1.mp3\n#EXT-X-ENDLIST\n", "text/plain"));
    server.setResponse("/hls/locked.m3u8",
                       ok(media + "#EXT-X-KEY:METHOD=AES-128,URI=\"key\"\n#EXTINF:1,\nseg0.mp3\n",
                          "application/x-mpegurl"));
    server.setResponse(
        "/station.pls",
        ok("[playlist]\nNumberOfEntries=1\nFile1=" + server.url("/hls/index.m3u8") + "\n",
           "audio/x-scpls"));
    PLAYER player;
    auto start = [&](const std::string& path) {
        return player.StartPlay(QString::fromStdString(server.url(path)), 1, 100, 100, 0,
                                {0, 50, 50, 50}, {0, 100, 100, 100, 100});
    };
    EXPECT_TRUE(start("/station.pls")) << VX_StreamGetError();
    EXPECT_EQ(player.GetFreqStr(), kRate);
    EXPECT_FALSE(start("/hls/locked.m3u8"));
    EXPECT_EQ(std::string(VX_StreamGetError()), "encrypted segments (AES-128) are not supported");
    player.ExitForm();
    BASS_Free();
}

}  // namespace
}  // namespace velorixa
