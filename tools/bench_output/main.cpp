// bench_output: the sound output against a private PulseAudio server (two null sinks, "a" at
// 48 kHz and "b" at 44.1 kHz), timed on the sinks' own clock from their monitors.
//
//   bench_output pull [runs]   a 440 Hz tone plays on "b"; "b" is unloaded: the time until the
//                              tone is heard on "a" (median, min, max of runs, default 10);
//                              then "b" is loaded back and the sound returns before the next run
//   bench_output latency       per buffer setting: from the play call to the tone on "a", and
//                              the latency the server measures for the stream
//
// Exit code 0, or 1 when the server cannot run or a step never happened.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audiolib.h"
#include "audio/output.h"
#include "common/pulseserver.h"
#include "common/testmedia.h"

namespace {

using testmedia::PulseServer;

template <class F>
bool waitUntil(F cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (cond()) return true;
        QThread::msleep(2);
    }
    return cond();
}

bool hearing(PulseServer::Recorder& r, size_t from) {
    return testmedia::firstToneFrame(r.samples(), from, 440, 0.1) >= 0;
}

struct Session {
    DWORD channel = 0;
    bool open(const std::string& path) {
        const DWORD source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        if (!source || !BASS_FX_PitchCreate(source)) return false;
        channel = BASS_FX_PitchGetResampledHandle(source);
        return channel != 0;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int pull(PulseServer& server, const std::string& tone, int runs) {
    velorixa::audio::chooseOutput("b");
    if (!BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr)) return 1;
    Session s;
    if (!s.open(tone) || !BASS_StreamPlay(s.channel, 0, 0)) return 1;
    auto& onA = server.record("a");
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (!waitUntil([] { return velorixa::audio::outputInUse() == "b"; }, 5000)) return 1;
        QThread::msleep(300);
        const size_t mark = onA.frames();
        server.unloadSink("b");
        if (!waitUntil([&] { return hearing(onA, mark); }, 5000)) return 1;
        const long onset = testmedia::firstToneFrame(onA.samples(), mark, 440, 0.1);
        ms.push_back(1000.0 * double(onset - long(mark)) / PulseServer::kRecordRate);
        std::printf("run %2d: %6.1f ms\n", i + 1, ms.back());
        server.loadSink("b", 44100);
    }
    std::printf(
        "sink removal to sound on the other: median %.1f ms, min %.1f, max %.1f (%d runs)\n",
        median(ms), *std::min_element(ms.begin(), ms.end()),
        *std::max_element(ms.begin(), ms.end()), runs);
    BASS_Free();
    return 0;
}

int latency(PulseServer& server, const std::string& tone) {
    std::printf("buffer frames | play call to sound (ms, median of 5) | server's latency (ms)\n");
    for (int frames : velorixa::audio::kOutputBufferChoices) {
        velorixa::audio::setOutputBuffer(frames);
        velorixa::audio::chooseOutput("a");
        if (!BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr)) return 1;
        auto& onA = server.record("a");
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            Session s;
            if (!s.open(tone)) return 1;
            QThread::msleep(300);
            const size_t mark = onA.frames();
            BASS_StreamPlay(s.channel, 0, 0);
            if (!waitUntil([&] { return hearing(onA, mark); }, 5000)) return 1;
            const long onset = testmedia::firstToneFrame(onA.samples(), mark, 440, 0.1);
            ms.push_back(1000.0 * double(onset - long(mark)) / PulseServer::kRecordRate);
            BASS_ChannelStop(s.channel);
            QThread::msleep(200);
        }
        std::printf("%13d | %36.1f | %d\n", frames, median(ms), velorixa::audio::outputLatencyMs());
        BASS_Free();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    if (what != "pull" && what != "latency") {
        std::fprintf(stderr, "usage: bench_output pull [runs] | latency\n");
        return 1;
    }
    const QString why = PulseServer::unavailable();
    if (!why.isEmpty()) {
        std::fprintf(stderr, "bench_output: %s\n", qPrintable(why));
        return 1;
    }
    PulseServer server;
    if (!server.start()) {
        std::fprintf(stderr, "bench_output: the private pulseaudio daemon did not start\n");
        return 1;
    }
    qputenv("PULSE_SERVER", server.address());
    qunsetenv("SDL_AUDIODRIVER");
    QTemporaryDir dir;
    const std::string tone = dir.filePath("tone.wav").toStdString();
    testmedia::writeFile(tone, testmedia::wavBytes(testmedia::sine(440, 60, 44100, 2, 0.5)));
    const int rc = what == "pull" ? pull(server, tone, argc > 2 ? std::atoi(argv[2]) : 10)
                                  : latency(server, tone);
    if (rc) std::fprintf(stderr, "bench_output: a step did not happen\n");
    return rc;
}
