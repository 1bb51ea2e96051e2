// bench_radio: a station as the player meets it, served on 127.0.0.1 by this tool.
//
//   bench_radio first                 the play key (numeric "*", a real key event) on a station
//                                     line to the first sound, in the window on the no-sound
//                                     output; median of 5, for an MP3 and an AAC ICY station
//                                     and for a live HLS station (2-second MP3 segments, five
//                                     listed)
//   bench_radio long [minutes] [x]    a station whose title changes every 5 s of audio, played
//                                     for that many minutes of audio (default 60) at x times
//                                     real time (default 12) through the offline output: once
//                                     sent evenly, once in bursts (up to 2 s of audio held back,
//                                     then sent at once); titles seen, gaps in the sound,
//                                     reconnects, memory at start and end
//
// Both send an Icecast-like connect burst (64 KiB) first, as stations do. Run with
// QT_QPA_PLATFORM=offscreen. Exit code 0, or 1 on a set-up fault.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "audio/decode/mp3probe.h"
#include "audio/net/testserver.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playlist/playlists.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

using namespace velorixa;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;
constexpr size_t kConnectBurst = 64 * 1024;
constexpr size_t kMetaInt = 8192;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

long RssKiB() {
    std::ifstream f("/proc/self/statm");
    long pages = 0, rss = 0;
    f >> pages >> rss;
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

// One ICY station on a loopback port: audio (an MP3 looped), a title every titleBytes of audio,
// sent at speed x its byte rate; with bursts, up to burstS seconds of audio are held back and
// then sent at once.
class Station {
  public:
    Station(std::vector<uint8_t> mp3, double bytesPerSecond, double speed, double burstS,
            std::string contentType = "audio/mpeg")
        : mp3_(std::move(mp3)),
          byteRate_(bytesPerSecond),
          speed_(speed),
          burstS_(burstS),
          type_(std::move(contentType)) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(fd_, 8);
        thread_ = std::thread([this] { acceptLoop(); });
    }
    ~Station() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
        for (auto& t : clients_)
            t.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/live"; }
    int connections() const { return connections_; }

  private:
    void acceptLoop() {
        while (!stop_) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            ++connections_;
            clients_.emplace_back([this, c] { serve(c); });
        }
    }
    void serve(int c) {
        char req[2048];
        (void)!recv(c, req, sizeof req, 0);
        const std::string head = "ICY 200 OK\r\ncontent-type: " + type_ +
                                 "\r\nicy-br:128\r\n"
                                 "icy-name:Bench Radio\r\nicy-metaint:" +
                                 std::to_string(kMetaInt) + "\r\n\r\n";
        bool ok = send(c, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        const auto start = Clock::now();
        size_t audio = 0, sinceMeta = 0;
        std::string out;
        int title = -1;
        while (ok && !stop_) {
            // Audio due by now at speed x real time, after the connect burst; with bursts,
            // nothing is sent until burstS of audio is due, then all of it.
            const double due = kConnectBurst + Ms(Clock::now() - start) / 1000 * byteRate_ * speed_;
            const double held = burstS_ * byteRate_;
            if (audio >= due || (burstS_ > 0 && audio + held > due && audio >= kConnectBurst)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            out.clear();
            while (audio < due && out.size() < 64 * 1024) {
                const size_t n = std::min(kMetaInt - sinceMeta, size_t(1024));
                for (size_t i = 0; i < n; ++i)
                    out += char(mp3_[(audio + i) % mp3_.size()]);
                audio += n;
                sinceMeta += n;
                if (sinceMeta == kMetaInt) {
                    sinceMeta = 0;
                    const int t = int(audio / (5 * byteRate_));  // a new title every 5 s of audio
                    std::string text;
                    if (t != title) text = "StreamTitle='Song " + std::to_string(t) + "';";
                    title = t;
                    const size_t blocks = (text.size() + 15) / 16;
                    out += char(blocks);
                    text.resize(blocks * 16, '\0');
                    out += text;
                }
            }
            ok = send(c, out.data(), out.size(), MSG_NOSIGNAL) == ssize_t(out.size());
        }
        close(c);
    }

    std::vector<uint8_t> mp3_;
    double byteRate_, speed_, burstS_;
    std::string type_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
    std::vector<std::thread> clients_;
};

// A tone that loops without a seam: 11 periods fit one MPEG frame (1152 samples), the frames
// are encoded without a bit reservoir, and the encoder's lead-in and tail are cut off.
struct ToneStream {
    std::vector<uint8_t> mp3;
    double bytesPerSecond;
};
ToneStream ToneMp3(double seconds) {
    testmedia::Mp3Options opt;
    opt.selfContainedFrames = true;
    const std::vector<uint8_t> mp3 =
        testmedia::encodeMp3(testmedia::sine(11.0 * kRate / 1152, seconds, kRate, 2, 0.25), opt);
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 < mp3.size();) {
        const uint8_t* h = &mp3[at];
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
            ++at;
            continue;
        }
        static const int kKbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
        const int kbps = kKbps[h[2] >> 4];
        if (kbps == 0) {
            ++at;
            continue;
        }
        starts.push_back(at);
        at += 144 * kbps * 1000 / kRate + ((h[2] >> 1) & 1);
    }
    // The first frame is the encoder's info frame; the lead-in and the tail go too.
    const size_t first = 10, last = starts.size() - 10;
    std::vector<uint8_t> cut(mp3.begin() + long(starts[first]), mp3.begin() + long(starts[last]));
    const double duration = double(last - first) * 1152 / kRate;
    return {cut, cut.size() / duration};
}

// The same tone as AAC in ADTS frames (what AAC stations send), made by ffmpeg's encoder; looped
// whole (the seam does not matter for the first sound).
ToneStream ToneAac(double seconds) {
    QTemporaryDir dir;
    const std::vector<uint8_t> aac =
        testmedia::encodeWithTool(testmedia::sine(11.0 * kRate / 1152, seconds, kRate, 2, 0.25),
                                  "aac", dir.path().toStdString());
    return {aac, aac.size() / seconds};
}

// ---- first sound --------------------------------------------------------------------------

// A live HLS station: the tone cut at frame boundaries into 2-second segments, a playlist
// listing the last five, served by the tests' loopback server.
class HlsStation {
  public:
    explicit HlsStation(const std::vector<uint8_t>& mp3) {
        const size_t perSegment = size_t(2.0 * kRate / 1152);
        std::string segment, list = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:100\n";
        size_t frames = 0;
        int index = 100;
        for (size_t at = 0; at + 4 <= mp3.size();) {
            audio::Mp3FrameHeader h;
            if (!audio::parseMp3Header(&mp3[at], &h) || h.frameBytes <= 0) break;
            segment.append(reinterpret_cast<const char*>(&mp3[at]), size_t(h.frameBytes));
            at += size_t(h.frameBytes);
            if (++frames % perSegment != 0 || index == 105) continue;
            const std::string path = "/live/" + std::to_string(index++) + ".mp3";
            test::TestResponse r;
            r.statusLine = "HTTP/1.1 200 OK";
            r.headers = {"Content-Type: audio/mpeg"};
            r.body = segment;
            server_.setResponse(path, r);
            list += "#EXTINF:" + std::to_string(perSegment * 1152.0 / kRate) + ",\n" + path + "\n";
            segment.clear();
        }
        test::TestResponse r;
        r.statusLine = "HTTP/1.1 200 OK";
        r.headers = {"Content-Type: application/vnd.apple.mpegurl"};
        r.body = list;
        server_.setResponse("/live/index.m3u8", r);
    }
    std::string url() const { return server_.url("/live/index.m3u8"); }

  private:
    test::TestServer server_;
};

// The play key on a station line of the list to the first sound, 5 times.
std::vector<double> FirstSound(const std::string& url) {
    QTemporaryDir dir;
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        if (!BASS_Init(VX_DEVICE_NOSOUND, kRate, 0, nullptr)) return {};
        auto w = std::make_unique<VelMix>(dir.path() + "/");
        w->Show();
        w->setStateLoaded(false);
        w->TimerBeg()->setInterval(0);
        w->TimerBeg()->start();
        while (w->formStartCount() == 0)
            QApplication::processEvents();
        w->playControl().messageBox = [](const QString& t, const QString&) {
            std::fprintf(stderr, "message: %s\n", qPrintable(t));
        };
        // The station is the list's selected line, as after Backspace and the Down key.
        PlayListPage& list = w->playListPage();
        list.PlayListView()->model().setTexts({QString::fromStdString(url) + " Bench"});
        list.PlayListView()->refresh();
        list.PlayListView()->setEnabled(true);
        list.PlayListView()->setCurrentIndex(list.PlayListView()->QListView::model()->index(0, 0));
        w->MenuTabs()->setFocus();
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Asterisk, Qt::KeypadModifier);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Asterisk, Qt::KeypadModifier);
        const auto t0 = Clock::now();
        QApplication::sendEvent(w->MenuTabs()->tabBar(), &down);
        QApplication::sendEvent(w->MenuTabs()->tabBar(), &up);
        // The first sound: the output's level rises.
        double first = -1;
        while (Ms(Clock::now() - t0) < 8000) {
            QApplication::processEvents(QEventLoop::AllEvents, 2);
            if (w->player().ChanPIT && BASS_ChannelGetLevel(w->player().ChanPIT) > 0 &&
                BASS_ChannelGetLevel(w->player().ChanPIT) != 0xFFFFFFFFu) {
                first = Ms(Clock::now() - t0);
                break;
            }
        }
        if (first < 0)
            std::fprintf(stderr, "no sound: playing %d, name %s\n", w->player().GetFilePlayPerf(),
                         qPrintable(w->playQueue().NamePlay));
        ms.push_back(first);
        w->Unload();
        w.reset();
        BASS_Free();
    }
    return ms;
}

int RunFirst() {
    const ToneStream tone = ToneMp3(30);
    const ToneStream aac = ToneAac(30);
    if (aac.mp3.empty()) {
        std::fprintf(stderr, "no AAC stream could be made\n");
        return 1;
    }
    Station station(tone.mp3, tone.bytesPerSecond, 1.0, 0);
    Station aacStation(aac.mp3, aac.bytesPerSecond, 1.0, 0, "audio/aac");
    HlsStation hls(tone.mp3);
    std::printf(
        "play key to first sound on a loopback station (the window waits 1000 ms before "
        "it connects):\n");
    for (const auto& [label, url] :
         {std::pair<const char*, std::string>{"MP3 station", station.url()},
          {"AAC station", aacStation.url()},
          {"HLS station", hls.url()}}) {
        const std::vector<double> ms = FirstSound(url);
        if (ms.empty()) return 1;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::printf("  %-12s median %.0f ms, all:", label, sorted[sorted.size() / 2]);
        for (double m : ms)
            std::printf(" %.0f", m);
        std::printf(" (aim <= 1200)\n");
    }
    return 0;
}

// ---- an hour of radio -----------------------------------------------------------------------

struct LongResult {
    int titles = 0, gaps = 0, reconnects = 0;
    double longestGapMs = 0;
    long rssStart = 0, rssEnd = 0;
};

// Plays the station for `minutes` of audio, rendering at speed x real time; a stall reconnects
// as the window's focus timer does.
LongResult PlayLong(Station& station, double minutes, double speed) {
    LongResult r;
    BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr);
    PLAYER player;
    const std::array<uint8_t, 4> eq{0, 50, 50, 50};
    const std::array<uint8_t, 5> fx{0, 100, 100, 100, 100};
    const QString url = QString::fromStdString(station.url());
    if (!player.StartPlay(url, 1, 100, 50, 0, eq, fx)) {
        std::fprintf(stderr, "station did not open\n");
        return r;
    }
    const int block = kRate / 100;  // 10 ms of audio
    std::vector<float> buf(2 * block);
    const long blocks = long(minutes * 60 * 100);
    std::string lastMeta;
    long silentRun = 0;
    bool sounded = false;
    const auto start = Clock::now();
    for (long b = 0; b < blocks; ++b) {
        // Paced: block b is due at b x 10 ms / speed of wall time.
        const auto due = start + std::chrono::microseconds(long(b * 10000 / speed));
        std::this_thread::sleep_until(due);
        VX_Render(buf.data(), block);
        const double pk = testmedia::peak(buf.data(), buf.size());
        if (pk > 0.01) {
            if (sounded && silentRun >= 1) {
                ++r.gaps;
                r.longestGapMs = std::max(r.longestGapMs, silentRun * 10.0);
            }
            silentRun = 0;
            sounded = true;
        } else if (sounded) {
            ++silentRun;
        }
        if (b == 200) r.rssStart = RssKiB();
        if (b % 100 == 0) {  // once a second of audio, as the window shows titles
            const char* meta = BASS_StreamGetTags(player.ChanEQL, BASS_TAG_META);
            if (meta && lastMeta != meta) {
                lastMeta = meta;
                ++r.titles;
            }
            if (player.GetChannelStalled()) {
                ++r.reconnects;
                player.StartPlay(url, 1, 100, 50, 0, eq, fx);
            }
        }
    }
    r.rssEnd = RssKiB();
    player.ExitForm();
    return r;
}

int RunLong(double minutes, double speed) {
    const ToneStream tone = ToneMp3(60);
    std::printf(
        "%.0f min of audio at %.0fx real time, a title every 5 s (%d expected), "
        "offline output, a reconnect when the player reports a stall:\n",
        minutes, speed, int(minutes * 12));
    for (double burst : {0.0, 2.0}) {
        Station station(tone.mp3, tone.bytesPerSecond, speed, burst);
        const LongResult r = PlayLong(station, minutes, speed);
        std::printf(
            "  %-34s titles %d, gaps %d (longest %.0f ms), reconnects %d, connections "
            "%d, memory %ld -> %ld KiB\n",
            burst > 0 ? "sent in bursts of up to 2 s late:" : "sent evenly:", r.titles, r.gaps,
            r.longestGapMs, r.reconnects, station.connections(), r.rssStart, r.rssEnd);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const char* mode = argc >= 2 ? argv[1] : "first";
    if (std::strcmp(mode, "long") == 0)
        return RunLong(argc >= 3 ? std::atof(argv[2]) : 60, argc >= 4 ? std::atof(argv[3]) : 12);
    return RunFirst();
}
