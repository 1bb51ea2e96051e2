// bench_knobs: what the rotating knobs cost and how they sound, from one run.
//
//   bench_knobs loop [seconds]    the real main loop (no-sound device) playing a tone with all
//                                 nine knobs rotating at ScrROT 0, 50 and 100: the wave tick's
//                                 period (mean, worst), the window thread's CPU and the knob
//                                 changes (sound updates) per second
//   bench_knobs render            offline renders through the window's knobs: the balance
//                                 swing from 160 at ScrROT 50 (period, bounds), a fast-wave
//                                 knob's swing (equaliser band 2 on a 700 Hz tone), and the
//                                 worst output step with nine knobs at the fastest speed
//   bench_knobs cost              one wave tick of nine knobs on the window thread, taken apart:
//                                 the knobs and their sound updates, then with painting
//   bench_knobs swing RAW [RATE]  the balance swing in a recording (32-bit float stereo), as
//                                 the check script makes with SDL's disk output
//
// Run with QT_QPA_PLATFORM=offscreen. Exit code 0, or 1 on a set-up fault.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <sys/resource.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/ui/entrmain.h"
#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "controls/soundcontrol.h"
#include "controls/ui/effectspage.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

using namespace velorixa;

namespace {

constexpr int kRate = 44100;

double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Plays path in the window as the operator does: the list holds it, the play button opens it.
bool PlayFile(VelMix& w, const QString& path) {
    PlayListPage& list = w.playListPage();
    list.PlayList->model().setTexts({path});
    list.PlayList->refresh();
    list.PlayList->setEnabled(true);
    w.playControl().PlaySelected();  // the play button: the only line is the next item
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && !w.player().GetFilePlayPerf())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return w.player().GetFilePlayPerf();
}

void Click(QPushButton* b) {
    b->click();
}

void RotateAllNine(VelMix& w) {
    controls::EffectsPage& p = w.effectsPage();
    p.knob(1)->bar()->setValue(180);
    for (int eq = 3; eq <= 5; ++eq)
        p.knob(eq)->bar()->setValue(0);
    for (int k = 1; k <= 9; ++k)
        Click(p.knob(k)->rotBut());
}

// ---- the balance swing of a recording or a render -------------------------------------------

struct Swing {
    double periodS = 0;  // mean time between upward crossings of the middle
    int periods = 0;
    double lowBar = 0, highBar = 0;  // bounds, as balance bar values (100 = centre)
    double glideS = -1;              // the last move back to the centre, when there is one
};

// The balance bar value heard in 10 ms windows: the pan law keeps the louder side at full
// gain, so the quieter side's share is 1 - |pan|.
std::vector<double> BalanceCurve(const std::vector<float>& st, int rate, double windowS) {
    const int win = static_cast<int>(rate * windowS);
    std::vector<double> bal;
    for (size_t start = 0; start + win <= st.size() / 2; start += win) {
        double l = 0, r = 0;
        for (int i = 0; i < win; ++i) {
            l += double(st[2 * (start + i)]) * st[2 * (start + i)];
            r += double(st[2 * (start + i) + 1]) * st[2 * (start + i) + 1];
        }
        l = std::sqrt(l / win);
        r = std::sqrt(r / win);
        if (l + r < 1e-4) {
            bal.push_back(NAN);  // silence
            continue;
        }
        const double pan = r >= l ? 1.0 - l / r : -(1.0 - r / l);
        bal.push_back(100.0 + 100.0 * pan);
    }
    return bal;
}

Swing MeasureSwing(const std::vector<double>& bal, double windowS) {
    Swing s;
    s.lowBar = 1e9;
    s.highBar = -1e9;
    std::vector<size_t> ups;
    bool armed = false;
    for (size_t i = 1; i < bal.size(); ++i) {
        if (std::isnan(bal[i]) || std::isnan(bal[i - 1])) continue;
        s.lowBar = std::min(s.lowBar, bal[i]);
        s.highBar = std::max(s.highBar, bal[i]);
        // Upward through the middle, after having been well below it: the still stretches at
        // the middle (before the swing, after the glide back) count as no crossing.
        if (bal[i] < 90.0) armed = true;
        if (armed && bal[i - 1] < 100.0 && bal[i] >= 100.0) {
            ups.push_back(i);
            armed = false;
        }
    }
    if (ups.size() >= 2) {
        s.periods = static_cast<int>(ups.size() - 1);
        s.periodS = (ups.back() - ups.front()) * windowS / s.periods;
    }
    return s;
}

// ---- offline renders through the window ------------------------------------------------------

// A window past its deferred start (at once, without the title cover's half second), on the
// audio layer's device opened before; it never writes the list files.
std::unique_ptr<VelMix> StartedWindow() {
    auto w = std::make_unique<VelMix>("/tmp/");
    w->Show();
    w->setStateLoaded(false);
    w->TimerBeg()->setInterval(0);
    w->TimerBeg()->start();
    while (w->formStartCount() == 0)
        QApplication::processEvents();
    return w;
}

struct OfflineWindow {
    std::unique_ptr<VelMix> w;
    bool ok = false;
    OfflineWindow() {
        ok = BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr) != 0;
        w = StartedWindow();
        w->playControl().messageBox = [](const QString& t, const QString&) {
            std::fprintf(stderr, "message: %s\n", qPrintable(t));
        };
    }
    ~OfflineWindow() {
        w->Unload();
        w.reset();
        BASS_Free();
    }
    // ticks wave ticks of msPerTick of sound each.
    void Render(int ticks, double msPerTick, std::vector<float>& out) {
        std::vector<float> block;
        double due = 0;
        for (int t = 0; t < ticks; ++t) {
            due += kRate * msPerTick / 1000.0;
            const int frames = static_cast<int>(due) - static_cast<int>(out.size() / 2);
            block.resize(2 * static_cast<size_t>(frames));
            VX_Render(block.data(), frames);
            out.insert(out.end(), block.begin(), block.end());
            w->PerforTimer();
        }
    }
};

double LargestStep(const std::vector<float>& st, size_t from) {
    double m = 0;
    for (size_t i = from + 2; i < st.size(); ++i)
        m = std::max(m, double(std::fabs(st[i] - st[i - 2])));
    return m;
}

int RunRender(const QString& dir) {
    const QString tone = dir + "/tone 440.mp3", tone700 = dir + "/tone 700.mp3",
                  tone220 = dir + "/tone 220.mp3";
    testmedia::writeFile(tone.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(440, 40, kRate, 2, 0.25)));
    testmedia::writeFile(tone700.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(700, 40, kRate, 2, 0.25)));
    testmedia::writeFile(tone220.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(220, 40, kRate, 2, 0.25)));
    {
        OfflineWindow o;
        if (!o.ok || !PlayFile(*o.w, tone)) return 1;
        controls::EffectsPage& p = o.w->effectsPage();
        p.ScrROT()->setValue(50);
        p.knob(1)->bar()->setValue(160);
        Click(p.knob(1)->rotBut());
        const int timePerf = o.w->state().TimePerf;
        std::vector<float> out;
        o.Render(64 * 4, timePerf, out);
        const Swing s = MeasureSwing(BalanceCurve(out, kRate, 0.01), 0.01);
        std::printf("balance swing from 160, ScrROT 50 (a tick every %d ms of sound):\n", timePerf);
        std::printf("  period %.3f s over %d periods = %.1f ticks; bounds %.1f .. %.1f\n",
                    s.periodS, s.periods, s.periodS * 1000.0 / timePerf, s.lowBar, s.highBar);
    }
    {
        OfflineWindow o;
        if (!o.ok || !PlayFile(*o.w, tone700)) return 1;
        controls::EffectsPage& p = o.w->effectsPage();
        p.ScrROT()->setValue(50);
        p.knob(4)->bar()->setValue(0);  // band 2 (700 Hz) swings over its whole range
        Click(p.knob(4)->rotBut());
        const int timePerf = o.w->state().TimePerf;
        std::vector<float> out;
        o.Render(32 * 4, timePerf, out);
        // Level in dB per 10 ms; the period between upward crossings of its middle.
        const int win = kRate / 100;
        std::vector<double> db;
        for (size_t at = 0; at + win <= out.size() / 2; at += win)
            db.push_back(testmedia::toDb(testmedia::rms(out.data() + 2 * at, 2 * win)));
        const double lo = *std::min_element(db.begin() + 50, db.end());
        const double hi = *std::max_element(db.begin() + 50, db.end());
        std::vector<size_t> ups;
        for (size_t i = 51; i < db.size(); ++i)
            if (db[i - 1] < (lo + hi) / 2 && db[i] >= (lo + hi) / 2) ups.push_back(i);
        const double period =
            ups.size() >= 2 ? (ups.back() - ups.front()) * 0.01 / (ups.size() - 1) : 0;
        std::printf("equaliser band 2 (fast wave) from 0, ScrROT 50, 700 Hz tone:\n");
        std::printf(
            "  period %.3f s over %zu periods = %.1f ticks; level %.1f .. %.1f dB (%.1f dB "
            "swing)\n",
            period, ups.empty() ? 0 : ups.size() - 1, period * 1000.0 / timePerf, lo, hi, hi - lo);
    }
    {
        OfflineWindow o;
        if (!o.ok || !PlayFile(*o.w, tone220)) return 1;
        std::vector<float> still;
        o.Render(500, 2, still);
        RotateAllNine(*o.w);
        o.w->effectsPage().ScrROT()->setValue(100);
        std::vector<float> out;
        const int tickMs = o.w->state().TimePerf + 1;  // the main loop's shortest period
        o.Render(5000, tickMs, out);
        const double signalStep = 2 * 0.25 * std::sin(M_PI * 220 / kRate);
        std::printf(
            "nine knobs rotating, ScrROT 100 (a tick every %d ms of sound), 220 Hz tone "
            "at 0.25:\n",
            tickMs);
        // The largest step any signal below 440 Hz (the tone at the pitch knob's top) can make
        // at the output's peak level.
        const double peak = testmedia::peak(out.data(), out.size());
        std::printf(
            "  worst output step %.5f; knobs still %.5f; the tone's own largest step "
            "%.5f; output peak %.3f, where a 440 Hz sine steps by up to %.5f\n",
            LargestStep(out, 0), LargestStep(still, 2 * kRate / 10), signalStep, peak,
            2 * peak * std::sin(M_PI * 440 / kRate));
    }
    return 0;
}

// ---- the window thread's cost of one wave tick, taken apart
// --------------------------------------

int RunCost(const QString& dir) {
    const QString tone = dir + "/tone 440.mp3";
    testmedia::writeFile(tone.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(440, 60, kRate, 2, 0.25)));
    if (!BASS_Init(VX_DEVICE_NOSOUND, kRate, 0, nullptr)) return 1;
    auto w = StartedWindow();
    if (!PlayFile(*w, tone)) return 1;
    w->MenuTabs()->setCurrentIndex(2);
    RotateAllNine(*w);
    w->effectsPage().ScrROT()->setValue(100);
    QApplication::processEvents();
    constexpr int kTicks = 3000;
    int changes = 0;
    QObject::connect(&w->soundControl(), &controls::SoundControl::knobChanged, [&] { ++changes; });
    QElapsedTimer t;
    double cpu0 = ThreadCpuSeconds();
    t.start();
    for (int i = 0; i < kTicks; ++i)
        w->PerforTimer();
    const double tickUs = t.nsecsElapsed() / 1e3 / kTicks;
    const double tickCpuUs = (ThreadCpuSeconds() - cpu0) * 1e6 / kTicks;
    const int changesTicks = changes;
    cpu0 = ThreadCpuSeconds();
    t.restart();
    for (int i = 0; i < kTicks; ++i) {
        w->PerforTimer();
        QApplication::processEvents();
    }
    const double withPaintUs = t.nsecsElapsed() / 1e3 / kTicks;
    const double withPaintCpuUs = (ThreadCpuSeconds() - cpu0) * 1e6 / kTicks;
    // One zero-button glide of an effect knob from the top: up to 100 change events.
    w->effectsPage().knob(6)->bar()->setValue(0);
    Click(w->effectsPage().knob(6)->zerBut());
    w->effectsPage().knob(6)->bar()->setValue(0);
    changes = 0;
    t.restart();
    Click(w->effectsPage().knob(6)->zerBut());
    const double glideUs = t.nsecsElapsed() / 1e3;
    std::printf(
        "nine knobs rotating, one wave tick on the window thread (%d ticks, %.1f knob "
        "changes each):\n",
        kTicks, double(changesTicks) / kTicks);
    std::printf("  knobs moved and sent to the player: %.1f us (CPU %.1f us)\n", tickUs, tickCpuUs);
    std::printf("  the same plus the window's events and painting: %.1f us (CPU %.1f us)\n",
                withPaintUs, withPaintCpuUs);
    std::printf("  a zero-button glide of %d change events: %.1f us\n", changes, glideUs);
    w->Unload();
    w.reset();
    BASS_Free();
    return 0;
}

// ---- the real main loop -------------------------------------------------------------------------

// One stretch of the main loop at one rotation speed: ticks and knob changes are counted by
// their signals; the window thread's CPU over the stretch comes from its own clock.
struct Stretch {
    int speed = 0;
    std::vector<qint64> ticks;
    int changes = 0;
    QElapsedTimer clock;
    double cpu0 = 0;
    QMetaObject::Connection tickConn, knobConn;
};

int RunLoop(const QString& dir, double seconds) {
    const QString tone = dir + "/tone 440.mp3";
    testmedia::writeFile(tone.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(440, 120, kRate, 2, 0.25)));
    StartupEnv env = DefaultStartupEnv();
    env.init = [](int, uint32_t freq, uint32_t, void*) {
        return static_cast<int>(BASS_Init(VX_DEVICE_NOSOUND, freq, 0, nullptr));
    };
    env.appFolder = dir;
    env.loadState = [](VelMix&) {};
    int status = 0;
    static const int speeds[] = {0, 50, 100};
    Stretch st;
    std::function<void(VelMix&, int)> begin;
    begin = [&](VelMix& w, int index) {
        if (index == 4) {
            w.Unload();
            return;
        }
        st = Stretch{};
        st.speed = speeds[std::min(index, 2)];
        // Last: the same speed with every knob still, the main loop's own cost.
        if (index == 3) {
            for (int k = 1; k <= 9; ++k)
                Click(w.effectsPage().knob(k)->zerBut());
            std::printf("still:\n");
        }
        w.effectsPage().ScrROT()->setValue(st.speed);
        st.tickConn = QObject::connect(&w, &VelMix::perforTick,
                                       [&] { st.ticks.push_back(st.clock.nsecsElapsed()); });
        st.knobConn = QObject::connect(&w.soundControl(), &controls::SoundControl::knobChanged,
                                       [&] { ++st.changes; });
        st.clock.start();
        st.cpu0 = ThreadCpuSeconds();
        QTimer::singleShot(static_cast<int>(seconds * 1000), &w, [&, index] {
            const double cpu = ThreadCpuSeconds() - st.cpu0;
            const double wall = st.clock.nsecsElapsed() / 1e9;
            QObject::disconnect(st.tickConn);
            QObject::disconnect(st.knobConn);
            double mean = 0, worst = 0;
            // The first interval still belongs to the previous speed.
            for (size_t i = 2; i < st.ticks.size(); ++i) {
                const double d = (st.ticks[i] - st.ticks[i - 1]) / 1e6;
                mean += d;
                worst = std::max(worst, d);
            }
            if (st.ticks.size() > 2) mean /= double(st.ticks.size() - 2);
            std::printf("%-8d %6d ms %9.2f ms %9.2f ms %12.1f %% %16.0f\n", st.speed,
                        w.state().TimePerf, mean, worst, 100.0 * cpu / wall, st.changes / wall);
            std::fflush(stdout);
            begin(w, index + 1);
        });
    };
    env.started = [&](VelMix& w) {
        // After the deferred start: play, set the nine knobs going, then one stretch per speed.
        QTimer::singleShot(700, &w, [&] {
            if (!PlayFile(w, tone)) {
                status = 1;
                w.Unload();
                return;
            }
            w.MenuTabs()->setCurrentIndex(2);
            RotateAllNine(w);
            std::printf("%-8s %9s %12s %12s %14s %16s\n", "ScrROT", "TimePerf", "tick mean",
                        "tick worst", "window CPU", "knob changes/s");
            begin(w, 0);
        });
    };
    const int rc = Main(env);
    return rc != 0 ? rc : status;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc >= 2 ? argv[1] : "render";
    if (std::strcmp(mode, "swing") == 0 && argc >= 3) {
        QFile f(argv[2]);
        if (!f.open(QIODevice::ReadOnly)) return 1;
        const QByteArray raw = f.readAll();
        std::vector<float> st(raw.size() / sizeof(float));
        std::memcpy(st.data(), raw.constData(), st.size() * sizeof(float));
        const int rate = argc >= 4 ? std::atoi(argv[3]) : kRate;
        const std::vector<double> bal = BalanceCurve(st, rate, 0.01);
        const Swing s = MeasureSwing(bal, 0.01);
        std::printf(
            "recording: %.2f s; balance swing period %.3f s over %d periods; bounds %.1f "
            ".. %.1f\n",
            st.size() / 2.0 / rate, s.periodS, s.periods, s.lowBar, s.highBar);
        // The balance heard, once a second, so the glide back shows.
        std::printf("balance each 0.5 s:");
        for (size_t i = 0; i < bal.size(); i += 50)
            std::printf(" %.0f", std::isnan(bal[i]) ? -1.0 : bal[i]);
        std::printf("\n");
        return 0;
    }
    // The other modes run the window.
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (std::strcmp(mode, "cost") == 0) return RunCost(dir.path());
    if (std::strcmp(mode, "loop") == 0)
        return RunLoop(dir.path(), argc >= 3 ? std::atof(argv[2]) : 5.0);
    return RunRender(dir.path());
}
