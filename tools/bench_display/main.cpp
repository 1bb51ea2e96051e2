// bench_display: what the display costs and how far it lags behind the sound, from one run.
//
//   1. The cost of one display tick (`TimerTik`: `DrawFft` on the playing channel, the two
//      pictures, the level bars and the circle) plus the paint it causes, over 10,000 ticks of
//      broadband sound and a tone sweep rendered offline between the ticks; median and worst.
//   2. The delay of the bars behind the sound: tone bursts after silence played in real time on
//      the no-sound device, the display timer running at 10 ms as in the window. For each burst,
//      the moment the output plays its first sample (a thread watches the heard position every
//      0.25 ms) against the moment the band of the tone first reaches 20 of 127.
//
// Usage: bench_display [ticks [cost]]   (default 10000; "cost" skips the delay; Qt's platform as
// set, e.g. QT_QPA_PLATFORM= offscreen, or an X display to include the X server's share of the
// paint) Exit code 0 when the figures meet their aims (paint cost below 1 ms median, delay within
// 30 ms), 3 when not, 1 on a set-up fault.

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/audiolib.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "display/ui/displaypanel.h"

using namespace velorixa;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;

void pushFrame(testmedia::Pcm& pcm, double v) {
    auto s = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    pcm.samples.push_back(s);
    pcm.samples.push_back(s);
}

// Pink-ish noise (white noise through a one-pole low-pass mixed with white) under a rising
// sine sweep: every band moves, as with music.
testmedia::Pcm musicLike(double seconds) {
    testmedia::Pcm pcm;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> white(-1, 1);
    double lp = 0, phase = 0;
    const size_t n = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < n; ++i) {
        double w = white(rng);
        lp = 0.97 * lp + 0.03 * w;
        double t = double(i % (kRate * 10)) / (kRate * 10);  // a 10 s sweep, repeated
        phase += 2 * M_PI * (50 * std::pow(300.0, t)) / kRate;
        pushFrame(pcm, 0.25 * (3 * lp + 0.2 * w) + 0.3 * std::sin(phase));
    }
    return pcm;
}

// Bursts of a 1 kHz tone (0.4 s) after 0.6 s of silence each.
testmedia::Pcm bursts(int count) {
    testmedia::Pcm pcm;
    for (int b = 0; b < count; ++b) {
        for (int i = 0; i < kRate * 6 / 10; ++i)
            pushFrame(pcm, 0);
        for (int i = 0; i < kRate * 4 / 10; ++i)
            pushFrame(pcm, 0.5 * std::sin(2 * M_PI * 1000 * i / kRate));
    }
    for (int i = 0; i < kRate / 2; ++i)
        pushFrame(pcm, 0);
    return pcm;
}

// CPU time of the calling thread: what the tick costs, whatever else the machine runs.
double threadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The display's controls in a window of the player's size, driven by their own timer and player.
struct Window {
    QWidget top;
    QFrame* frame1;
    QWidget* effects;
    QFrame* help;
    QTimer tik;
    PLAYER player;
    std::unique_ptr<display::DisplayPanel> panel;
    Window() {
        top.setFixedSize(457, 425);
        frame1 = new QFrame(&top);
        frame1->setGeometry(16, 144, 425, 137);
        effects = new QWidget(&top);
        effects->setGeometry(0, 0, 457, 425);
        frame1->raise();
        help = new QFrame(&top);
        help->hide();
        tik.setTimerType(Qt::PreciseTimer);
        tik.setInterval(10);
        panel = std::make_unique<display::DisplayPanel>(player, tik, *frame1, *effects, *help, 15);
        panel->SampleFftBase(display::ColourValue(0, 0, 64));
        panel->InitFft();
        panel->ClearFFT();
        top.show();
    }
};

bool startPlayer(PLAYER& player, const QString& path) {
    std::array<uint8_t, 4> eq{0, 50, 50, 50};
    std::array<uint8_t, 5> eff{0, 100, 100, 100, 100};
    return player.StartPlay(path, 2, 100, 100, 0, eq, eff);
}

// The first sample of each burst in the decoded sound (the encoder's delay and pre-echo
// included), in seconds.
std::vector<double> burstOnsets(const QString& path) {
    std::vector<double> onsets;
    DWORD src = BASS_StreamCreateFile(0, path.toLocal8Bit().constData(), 0, 0, BASS_STREAM_DECODE);
    if (!src) return onsets;
    std::vector<int16_t> buf(4096);
    int64_t frame = 0, quietRun = kRate;  // the file starts silent
    for (;;) {
        DWORD got = BASS_ChannelGetData(src, buf.data(), static_cast<DWORD>(buf.size() * 2));
        if (got == 0xFFFFFFFFu || got == 0) break;
        for (size_t i = 0; i + 1 < got / 2; i += 2, ++frame) {
            if (std::abs(buf[i]) > 1600) {  // above 0.05 of full scale
                if (quietRun > kRate / 4) onsets.push_back(double(frame) / kRate);
                quietRun = 0;
            } else {
                ++quietRun;
            }
        }
    }
    BASS_StreamFree(src);
    return onsets;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    const QString music = dir.path() + "/music.mp3";
    const QString tones = dir.path() + "/bursts.mp3";
    const int burstCount = 12;
    if (!testmedia::writeFile(music.toStdString(),
                              testmedia::encodeMp3(musicLike(ticks / 100.0 + 2))) ||
        !testmedia::writeFile(tones.toStdString(), testmedia::encodeMp3(bursts(burstCount)))) {
        std::fprintf(stderr, "cannot write the test sound\n");
        return 1;
    }
    int status = 0;

    // 1. The cost of a tick and its paint, the sound rendered offline in between.
    {
        if (!BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr)) return 1;
        Window w;
        PLAYER& player = w.player;
        display::DisplayPanel& panel = *w.panel;
        QApplication::processEvents();
        if (!startPlayer(player, music)) {
            std::fprintf(stderr, "cannot play %s\n", qPrintable(music));
            return 1;
        }
        panel.StreamRunning();
        std::vector<float> out(2 * kRate / 100);
        std::vector<double> us, cpu;
        us.reserve(static_cast<size_t>(ticks));
        cpu.reserve(static_cast<size_t>(ticks));
        int painted = 0;
        for (int i = 0; i < ticks; ++i) {
            VX_Render(out.data(), kRate / 100);
            const int before = panel.PicFFT2->paints();
            auto t0 = Clock::now();
            const double c0 = threadCpuUs();
            panel.TimerTik_Timer();
            QApplication::processEvents();  // the paint the tick asked for
            cpu.push_back(threadCpuUs() - c0);
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            painted += panel.PicFFT2->paints() > before;
        }
        const double med = median(us);
        const double worst = *std::max_element(us.begin(), us.end());
        std::printf(
            "tick + paint (%s), wall time: median %.1f us, worst %.1f us over %d ticks (%d "
            "painted, %d draws)\n",
            qPrintable(QGuiApplication::platformName()), med, worst, ticks, painted, panel.draws());
        std::printf(
            "tick + paint, CPU time of the window's thread: median %.1f us, worst %.1f "
            "us\n",
            median(cpu), *std::max_element(cpu.begin(), cpu.end()));
        if (median(cpu) > 1000) status = 3;
        player.ExitForm();
    }

    // 2. The delay of the bars behind the sound, in real time.
    if (argc <= 2 || std::string(argv[2]) != "cost") {
        const std::vector<double> onsets = [&] {
            BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr);
            auto o = burstOnsets(tones);
            BASS_Free();
            return o;
        }();
        if (static_cast<int>(onsets.size()) != burstCount) {
            std::fprintf(stderr, "found %zu bursts in the decoded sound, made %d\n", onsets.size(),
                         burstCount);
            return 1;
        }
        if (!BASS_Init(VX_DEVICE_NOSOUND, kRate, 0, nullptr)) return 1;
        Window w;
        PLAYER& player = w.player;
        display::DisplayPanel& panel = *w.panel;
        QTimer& tik = w.tik;
        // The output plays a sample when its block is rendered: the watcher sees the heard
        // position step over the onset and dates the onset inside that step.
        std::vector<Clock::time_point> played(onsets.size());
        std::atomic<bool> quit{false};
        if (!startPlayer(player, tones)) return 1;
        panel.StreamRunning();
        const DWORD chan = player.ChanPIT;
        std::thread watcher([&] {
            size_t next = 0;
            double last = 0;
            while (!quit.load() && next < onsets.size()) {
                double pos = BASS_ChannelBytes2Seconds(chan, BASS_ChannelGetPosition(chan));
                auto now = Clock::now();
                if (pos >= onsets[next]) {
                    // The step from last to pos was rendered at once, played from its start on.
                    double into = std::max(0.0, onsets[next] - last);
                    played[next] = now + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(into));
                    ++next;
                }
                last = pos;
                std::this_thread::sleep_for(std::chrono::microseconds(250));
            }
        });
        std::vector<Clock::time_point> rose(onsets.size());
        size_t seen = 0;
        bool high = false;
        QObject::connect(&tik, &QTimer::timeout, [&] {
            const int band = panel.sfft().Bands()[4];
            if (!high && band >= 20 && seen < rose.size()) rose[seen++] = Clock::now();
            high = band >= 20 ? true : (band == 0 ? false : high);
        });
        tik.start();
        QElapsedTimer t;
        t.start();
        while (seen < onsets.size() && t.elapsed() < (burstCount + 3) * 1000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        quit = true;
        watcher.join();
        tik.stop();
        player.ExitForm();
        std::vector<double> ms;
        for (size_t i = 0; i < seen; ++i)
            ms.push_back(std::chrono::duration<double, std::milli>(rose[i] - played[i]).count());
        if (ms.size() != onsets.size()) {
            std::printf("delay: only %zu of %zu bursts seen\n", ms.size(), onsets.size());
            return 3;
        }
        const double worst = *std::max_element(ms.begin(), ms.end());
        const double best = *std::min_element(ms.begin(), ms.end());
        std::printf(
            "bars behind the sound (first bar >= 20/127 after the output played the "
            "burst's first sample): median %.1f ms, min %.1f ms, max %.1f ms over %zu "
            "bursts\n",
            median(ms), best, worst, ms.size());
        if (worst > 30) status = status ? status : 3;
    }
    return status;
}
