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
//   bench_knobs recall            the performance keys: from a letter key (a real key event) to
//                                 the recalled volume and pitch in the offline output; a full
//                                 set file saved and loaded; an F-key switching sets while a
//                                 tone plays (the handler's time and the output around it)
//
// Run with QT_QPA_PLATFORM=offscreen. Exit code 0, or 1 on a set-up fault.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
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
#include "perform/setfile.h"
#include "perform/ui/performancepanel.h"
#include "perform/ui/setfiles.h"
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
    list.PlayListView()->model().setTexts({path});
    list.PlayListView()->refresh();
    list.PlayListView()->setEnabled(true);
    w.playback().play();  // the play button: the only line is the next item
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
std::unique_ptr<VelMix> StartedWindow(const QString& appPath = "/tmp/") {
    auto w = std::make_unique<VelMix>(appPath);
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
    explicit OfflineWindow(const QString& appPath = "/tmp/") {
        ok = BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr) != 0;
        w = StartedWindow(appPath);
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
        const int timePerf = o.w->waveTickMs();
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
        const int timePerf = o.w->waveTickMs();
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
        const int tickMs = o.w->waveTickMs() + 1;  // the main loop's shortest period
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
                        w.waveTickMs(), mean, worst, 100.0 * cpu / wall, st.changes / wall);
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
            std::printf("%-8s %9s %12s %12s %14s %16s\n", "ScrROT", "tick ms", "tick mean",
                        "tick worst", "window CPU", "knob changes/s");
            begin(w, 0);
        });
    };
    const int rc = Main(env);
    return rc != 0 ? rc : status;
}

}  // namespace

// ---- the performance keys ------------------------------------------------------------------

// A key typed on the tab control; returns the handler's wall time in ms.
double TypeKey(VelMix& w, Qt::Key key) {
    w.MenuTabs()->setFocus();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QElapsedTimer t;
    t.start();
    QApplication::sendEvent(w.MenuTabs()->tabBar(), &down);
    const double ms = t.nsecsElapsed() / 1e6;
    QApplication::sendEvent(w.MenuTabs()->tabBar(), &up);
    return ms;
}

// Per upward zero crossing of the left channel: the time (frames) and the period before it.
struct Crossing {
    double at, period;
};
std::vector<Crossing> Crossings(const std::vector<float>& st) {
    std::vector<Crossing> c;
    double last = -1;
    for (size_t i = 1; i < st.size() / 2; ++i) {
        const float a = st[2 * (i - 1)], b = st[2 * i];
        if (a < 0 && b >= 0) {
            const double at = (i - 1) + a / (a - b);
            if (last >= 0) c.push_back({at, at - last});
            last = at;
        }
    }
    return c;
}

int RunRecall(const QString& dir) {
    const QString tone = dir + "/tone 440.mp3";
    testmedia::writeFile(tone.toStdString(),
                         testmedia::encodeMp3(testmedia::sine(440, 40, kRate, 2, 0.25)));
    OfflineWindow o(dir + "/");
    if (!o.ok || !PlayFile(*o.w, tone)) return 1;
    perform::PerformancePanel& perf = o.w->performance();
    controls::EffectsPage& p = o.w->effectsPage();
    // Key B: volume 80, pitch 150 (twice the source's rate); then the initial sound.
    p.ScrVOL()->setValue(80);
    p.knob(2)->bar()->setValue(150);
    o.w->findChild<QPushButton*>("ButKbdSet_2")->click();
    o.w->findChild<QPushButton*>("CmdAppSet")->click();
    TypeKey(*o.w, Qt::Key_Space);
    std::vector<float> before, after;
    o.Render(200, 5, before);  // 1 s settles the initial sound
    const double handlerMs = TypeKey(*o.w, Qt::Key_B);
    o.Render(100, 5, after);  // 0.5 s after the key
    const double rmsBefore = testmedia::rms(before.data() + before.size() / 2, before.size() / 2);
    const double rmsAfter = testmedia::rms(after.data() + after.size() / 2, after.size() / 2);
    // The level per 1 ms: the first one off the old level by 1 %, the first within 1 % of the
    // new one for good.
    const int win = kRate / 1000;
    double firstLevel = -1, levelDone = -1;
    for (size_t at = 0; at + win <= after.size() / 2; at += win) {
        // RMS over one period of the tone at least (2.3 ms) would smear; the peak of 1 ms does.
        const double pk = testmedia::peak(after.data() + 2 * at, 2 * win) / std::sqrt(2.0);
        const double ms = at * 1000.0 / kRate;
        if (firstLevel < 0 && std::fabs(pk - rmsBefore) > 0.01 * rmsBefore) firstLevel = ms;
        if (std::fabs(pk - rmsAfter) > 0.01 * rmsAfter)
            levelDone = -1;
        else if (levelDone < 0)
            levelDone = ms;
    }
    double firstPitch = -1, pitchDone = -1;
    for (const Crossing& c : Crossings(after)) {
        const double hz = kRate / c.period, ms = c.at * 1000.0 / kRate;
        if (firstPitch < 0 && std::fabs(hz - 440) > 0.02 * 440) firstPitch = ms;
        if (std::fabs(hz - 880) > 0.01 * 880)
            pitchDone = -1;
        else if (pitchDone < 0)
            pitchDone = ms;
    }
    std::printf("letter key B (volume 50 -> 80, pitch 100 -> 150) on a 440 Hz tone, offline:\n");
    std::printf("  key handler %.2f ms of window-thread time\n", handlerMs);
    std::printf(
        "  level: first change after %.1f ms of sound, within 1 %% of the new level "
        "(x%.2f) from %.1f ms\n",
        firstLevel, rmsAfter / rmsBefore, levelDone);
    std::printf("  pitch: first change after %.1f ms of sound, at 880 Hz (+-1 %%) from %.1f ms\n",
                firstPitch, pitchDone);

    // A full set: every key and style filled.
    perform::PerformanceSet full;
    for (int k = 1; k <= perform::kKeyCount; ++k) {
        for (int i = 0; i < perform::kSlotCount; ++i)
            full.KeySet[k].Slot[i] = static_cast<int16_t>(k * 7 + i);
        for (int i = 1; i <= perform::kSpareCount; ++i)
            full.KeySet[k].Spare[i] = k / 3.0 + i;
        for (int i = 1; i <= perform::kNameCount; ++i)
            full.KeySet[k].Names[i] = QStringLiteral("name %1").arg(i);
    }
    for (int s = 1; s <= perform::kStyleCount; ++s)
        full.Styles[s] = {QStringLiteral("Style%1").arg(s), "ABCDEFG", {}, "note"};
    const QString setPath = dir + "/full.PSF";
    std::vector<double> saves, loads;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        perform::SaveSetFile(setPath, full);
        saves.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        const perform::SetFileRead r = perform::LoadSetFile(setPath);
        loads.push_back(t.nsecsElapsed() / 1e6);
        if (r.status != perform::SetFileStatus::Ok || !(r.set == full)) return 1;
    }
    std::sort(saves.begin(), saves.end());
    std::sort(loads.begin(), loads.end());
    std::printf(
        "full set file (%d lines): save median %.2f ms (worst %.2f), load median %.2f ms "
        "(worst %.2f), 20 rounds\n",
        perform::kSetFileLines, saves[10], saves.back(), loads[10], loads.back());

    // F1 while the tone plays: bound to a set whose key A holds key B's setting.
    perform::PerformanceSet one = perf.skbd().set();
    one.KeySet[1] = one.KeySet[2];
    if (!perform::SaveSetFile(dir + "/f1.PSF", one)) return 1;
    perf.setFiles().FileBoxSetFon_Click();
    auto* fileBoxSet = o.w->findChild<QListWidget*>("FileBoxSet");
    const auto items = fileBoxSet->findItems("f1.PSF", Qt::MatchExactly);
    if (items.isEmpty()) return 1;
    fileBoxSet->setCurrentItem(items[0]);
    o.w->findChild<QPushButton*>("CmdFunKey_1")->click();
    std::vector<float> around, later;
    o.Render(40, 5, around);
    const size_t switchAt = around.size();
    const double fMs = TypeKey(*o.w, Qt::Key_F1);
    o.Render(40, 5, later);
    around.insert(around.end(), later.begin(), later.end());
    const double ownStep = 2 * 0.25 * 1.6 * std::sin(M_PI * 880 / kRate);  // the tone's largest
    std::printf(
        "F1 (loads \"f1.PSF\", %s) while playing: handler %.2f ms; output 200 ms before "
        "and after: RMS %.3f / %.3f, largest step %.4f / %.4f (the tone's own up to "
        "%.4f)\n",
        perf.setFiles().SetFile()[0] == "f1.PSF" ? "loaded" : "NOT loaded", fMs,
        testmedia::rms(around.data(), switchAt),
        testmedia::rms(around.data() + switchAt, around.size() - switchAt),
        LargestStep(std::vector<float>(around.begin(), around.begin() + switchAt), 0),
        LargestStep(std::vector<float>(around.begin() + switchAt, around.end()), 0), ownStep);
    return 0;
}

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
    if (std::strcmp(mode, "recall") == 0) return RunRecall(dir.path());
    if (std::strcmp(mode, "loop") == 0)
        return RunLoop(dir.path(), argc >= 3 ? std::atof(argv[2]) : 5.0);
    return RunRender(dir.path());
}
