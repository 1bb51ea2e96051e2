// bench_midi: how fast a controller reaches the sound. A JACK server of the bench's own (dummy
// back end, 64-frame period at 48 kHz: 1.3 ms) and a JACK MIDI client of its own play into the
// player's window (offscreen, the audio layer's no-sound device) with one knob bound to the pitch.
//
// 1. Latency: 1,000 control changes, one at a time, each timed from the client's send to the
//    moment the window hands the new pitch to the player (the player's parameters, which the
//    audio thread reads at its next block). Median and worst.
// 2. Burst: 1,000 control changes a second for 3 s from a fast knob; the window thread's CPU time
//    in that time, the longest the window's event loop went without running a 5 ms timer, how
//    many events the window took for the messages sent, and whether the last value was applied.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_midi
// Exit code 0 when the median and worst latency are under 5 ms and the last value of the burst
// was applied, 3 when not, 1 on a set-up fault (no jackd).

#include <rtmidi/RtMidi.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/ui/controllers.h"
#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "controls/soundcontrol.h"
#include "midi/controllerhub.h"
#include "midi/mapping.h"
#include "util/textfile.h"

using namespace velorixa;
using Clock = std::chrono::steady_clock;

namespace {

bool waitFor(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (cond()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return cond();
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir config, appDir;
    const QString server = QStringLiteral("vxbench%1").arg(::getpid());
    qputenv("JACK_DEFAULT_SERVER", server.toUtf8());
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QProcess jackd;
    jackd.start("jackd", {"--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "64"});
    const QString socket = QStringLiteral("/dev/shm/jack_%1_%2_0").arg(server).arg(::getuid());
    if (!jackd.waitForStarted(5000) || !waitFor([&] { return QFile::exists(socket); }, 10000)) {
        std::fprintf(stderr, "bench_midi: jackd did not start\n");
        return 1;
    }
    const QString pad = QStringLiteral("vxbench:out");
    QDir().mkpath(config.path() + "/velorixa");
    QString err;
    util::SaveWhole(config.path() + "/velorixa/" + midi::MappingFileName(pad),
                    QByteArray(midi::kMappingHeader) + "\ncc 1 20 = knob 2\n", &err);
    int rc = 1;
    {
        RtMidiOut out(RtMidi::UNIX_JACK, "vxbench");
        out.openVirtualPort("out");
        auto send = [&](int v) {
            std::vector<unsigned char> m{0xB0, 20, static_cast<unsigned char>(v)};
            out.sendMessage(&m);
        };
        BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr);
        VelMix w(appDir.path() + "/");
        w.Show();
        if (!waitFor([&] { return w.controllers().hub().controllers().contains(pad); }, 15000)) {
            std::fprintf(stderr, "bench_midi: the player did not find the controller\n");
            return 1;
        }
        // The pitch reaches the player in the same call that emits knobChanged.
        Clock::time_point reached;
        std::atomic<int> seen{-1};
        QObject::connect(&w.soundControl(), &controls::SoundControl::knobChanged,
                         [&](int knob, int value, controls::Origin) {
                             if (knob != 2) return;
                             reached = Clock::now();
                             seen = value;
                         });
        send(64);  // 100: where the knob stands, taken over
        waitFor([] { return false; }, 200);
        std::vector<double> lat;
        for (int i = 0; i < 1000; ++i) {
            const int v = i % 2 ? 64 : 66;  // 100 and 102 by turns: every message changes it
            const int want = midi::AbsoluteValue(midi::RangeOf({midi::TargetKind::Knob, 2}), v);
            const auto t0 = Clock::now();
            send(v);
            if (!waitFor([&] { return seen == want; }, 10000)) {
                std::fprintf(stderr, "bench_midi: message %d was lost\n", i);
                break;
            }
            lat.push_back(std::chrono::duration<double, std::milli>(reached - t0).count());
        }
        std::sort(lat.begin(), lat.end());
        const double median = lat.empty() ? 1e9 : lat[lat.size() / 2];
        const double p99 = lat.empty() ? 1e9 : lat[lat.size() * 99 / 100];
        const double worst = lat.empty() ? 1e9 : lat.back();
        std::printf(
            "latency, %zu control changes: median %.3f ms, 99th percentile %.3f ms, worst %.3f ms "
            "(JACK period 1.33 ms)\n",
            lat.size(), median, p99, worst);

        // The burst: a sender thread at 1,000 messages a second, a sweep up and down.
        const long handledBefore = w.controllers().hub().handled();
        std::atomic<bool> done{false};
        const int kMessages = 3000;
        int last = 0;
        std::thread sender([&] {
            auto next = Clock::now();
            for (int i = 0; i < kMessages; ++i) {
                last =
                    64 + static_cast<int>(63 * (i % 254 < 127 ? i % 127 : 126 - i % 127) / 126.0);
                send(last);
                next += std::chrono::milliseconds(1);
                std::this_thread::sleep_until(next);
            }
            done = true;
        });
        double maxGapMs = 0;
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            maxGapMs = std::max(maxGapMs, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        tick.start();
        const double cpu0 = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        {
            // The window's own event loop, idle but for the controller's events and a 5 ms timer.
            QEventLoop loop;
            QTimer poll;
            poll.setInterval(20);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (done) QTimer::singleShot(100, &loop, &QEventLoop::quit);
                if (done) poll.stop();
            });
            poll.start();
            loop.exec();
        }
        const double cpu = threadCpuMs() - cpu0;
        const double wallMs = wall.nsecsElapsed() / 1e6;
        tick.stop();
        sender.join();
        const int want = midi::AbsoluteValue(midi::RangeOf({midi::TargetKind::Knob, 2}), last);
        const bool lastApplied = w.soundControl().setting().knobs[2].value == want;
        std::printf(
            "burst, %d messages at 1000/s: window thread CPU %.1f ms in %.0f ms (%.1f %%), "
            "%ld window events, longest event-loop gap %.1f ms, last value applied: %s\n",
            kMessages, cpu, wallMs, 100 * cpu / wallMs,
            w.controllers().hub().handled() - handledBefore, maxGapMs, lastApplied ? "yes" : "no");
        std::printf(
            "(the window thread's CPU includes the window's own timers and a 5 ms probe timer)\n");
        rc = median < 5 && worst < 5 && lastApplied ? 0 : 3;
        w.Unload();
    }
    BASS_Free();
    jackd.terminate();
    jackd.waitForFinished(5000);
    return rc;
}
