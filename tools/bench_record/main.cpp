// The recording benchmark: the writer's CPU time per minute of audio (FLAC and WAV), the audio
// thread's longest hand-over into the ring, and a long recording made through the offline output
// at many times real time, checked frame for frame.
//
//   bench_record [--minutes M] [--realtime S] [--out DIR] [--keep]
//
// --minutes: length of the offline recording of each format (default 60); --realtime: seconds
// recorded from the no-sound output's own audio thread, for the hand-over time as on stage
// (default 20, 0 skips); --out: folder for the takes (default a temporary one, removed unless
// --keep). The music is a 30 s loop of chords and noise, so that FLAC has work to do.
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "audio/audiolib.h"
#include "audio/record/recorder.h"
#include "common/soundfile.h"
#include "common/testmedia.h"

using velorixa::audio::Recorder;
using velorixa::audio::RecordFormat;
using velorixa::audio::RecordStatus;

namespace {

constexpr int kRate = 44100;

testmedia::Pcm musicLoop() {
    testmedia::Pcm pcm;
    pcm.rateHz = kRate;
    pcm.channels = 2;
    const int frames = 30 * kRate;
    pcm.samples.resize(2 * static_cast<size_t>(frames));
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 0.03);
    const double chords[3][3] = {{220, 277.2, 329.6}, {196, 246.9, 293.7}, {174.6, 220, 261.6}};
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const auto& c = chords[(i / (2 * kRate)) % 3];
        double v = 0;
        for (double f : c)
            v += 0.15 * std::sin(2 * M_PI * f * t) * (0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t));
        for (int ch = 0; ch < 2; ++ch)
            pcm.samples[2 * i + ch] =
                static_cast<int16_t>(std::lround((v + noise(rng)) * 32767 * 0.8));
    }
    return pcm;
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool offlineRun(const std::string& mp3, RecordFormat format, double minutes, const QString& dir) {
    if (!BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr)) return false;
    DWORD stream = BASS_StreamCreateFile(0, mp3.c_str(), 0, 0, 0);
    BASS_StreamPlay(stream, 0, 0);
    Recorder recorder;
    const std::string path =
        QDir(dir)
            .filePath(QStringLiteral("bench.") + velorixa::audio::RecordExtension(format))
            .toStdString();
    std::string why;
    if (!recorder.start(path, format, &why)) {
        std::printf("cannot start: %s\n", why.c_str());
        return false;
    }
    const uint64_t total = static_cast<uint64_t>(minutes * 60 * kRate);
    const uint64_t ringFrames = 20ull * kRate;
    std::vector<float> block(2 * 512);
    uint64_t played = 0;
    const auto t0 = std::chrono::steady_clock::now();
    while (played < total) {
        // Faster than real time the renderer could outrun any disk: it waits while the ring is
        // more than half full (a real output never does; it runs at one times real time).
        for (RecordStatus s = recorder.status();
             s.framesOffered - s.framesWritten - s.framesLost > ringFrames / 2;
             s = recorder.status())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const int n = static_cast<int>(std::min<uint64_t>(512, total - played));
        VX_Render(block.data(), static_cast<DWORD>(n));
        played += static_cast<uint64_t>(n);
        if (BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED) BASS_StreamPlay(stream, 0, 0);
    }
    const RecordStatus s = recorder.stop();
    const double wall = seconds(std::chrono::steady_clock::now() - t0);
    BASS_Free();
    const testsound::SoundFile f = testsound::ReadSoundFile(path);
    std::string log;
    const int64_t ffmpeg = testsound::FfmpegFrames(path, &log);
    const bool flacOk = format != RecordFormat::Flac || testsound::FlacTestPasses(path, &log);
    std::printf("%s, %.0f min of audio through the offline output in %.1f s (%.0f x real time)\n",
                velorixa::audio::RecordExtension(format), minutes, wall, minutes * 60 / wall);
    std::printf("  frames played %llu, offered %llu, written %llu, lost %llu; file %.1f MB\n",
                (unsigned long long)played, (unsigned long long)s.framesOffered,
                (unsigned long long)s.framesWritten, (unsigned long long)s.framesLost,
                s.bytes / 1e6);
    std::printf("  read back: libsndfile %zu frames (%s), ffmpeg -xerror %lld frames%s\n",
                f.frames(), f.ok ? "ok" : "FAILED", (long long)ffmpeg,
                format == RecordFormat::Flac ? (flacOk ? ", flac -t ok" : ", flac -t FAILED") : "");
    std::printf(
        "  writer CPU %.2f s in all, %.3f s per minute of audio (%.2f %% of one core at real "
        "time)\n",
        s.writerCpuSeconds, s.writerCpuSeconds / minutes, s.writerCpuSeconds / minutes / 60 * 100);
    std::printf("  hand-over on the rendering thread: longest %.1f us, mean %.2f us\n",
                s.longestHandOverNs / 1e3, s.meanHandOverNs / 1e3);
    return s.framesLost == 0 && s.framesWritten == played && f.ok && f.frames() == played &&
           ffmpeg == int64_t(played) && flacOk;
}

bool realtimeRun(const std::string& mp3, double secs, const QString& dir) {
    if (!BASS_Init(VX_DEVICE_NOSOUND, kRate, 0, nullptr)) return false;
    DWORD stream = BASS_StreamCreateFile(0, mp3.c_str(), 0, 0, 0);
    BASS_StreamPlay(stream, 0, 0);
    Recorder recorder;
    const std::string path = QDir(dir).filePath("realtime.flac").toStdString();
    std::string why;
    if (!recorder.start(path, RecordFormat::Flac, &why)) return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(secs));
    const RecordStatus s = recorder.stop();
    BASS_Free();
    std::printf(
        "real time (no-sound output's audio thread), %.0f s: offered %llu, written %llu, lost "
        "%llu\n",
        secs, (unsigned long long)s.framesOffered, (unsigned long long)s.framesWritten,
        (unsigned long long)s.framesLost);
    std::printf(
        "  hand-over on the audio thread: longest %.1f us, mean %.2f us (blocks of 512 frames)\n",
        s.longestHandOverNs / 1e3, s.meanHandOverNs / 1e3);
    return s.framesLost == 0 && s.framesWritten == s.framesOffered;
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 60, realtime = 20;
    QString out;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--minutes") && i + 1 < argc)
            minutes = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--realtime") && i + 1 < argc)
            realtime = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--keep"))
            keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--minutes M] [--realtime S] [--out DIR] [--keep]\n",
                         argv[0]);
            return 2;
        }
    }
    QTemporaryDir tmp;
    tmp.setAutoRemove(!keep);
    const QString dir = out.isEmpty() ? tmp.path() : out;
    QDir().mkpath(dir);
    const std::string mp3 = QDir(dir).filePath("music.mp3").toStdString();
    testmedia::writeFile(mp3, testmedia::encodeMp3(musicLoop()));
    bool ok = true;
    if (realtime > 0) ok = realtimeRun(mp3, realtime, dir) && ok;
    for (RecordFormat f : {RecordFormat::Flac, RecordFormat::Wav24})
        ok = offlineRun(mp3, f, minutes, dir) && ok;
    std::printf("%s\n",
                ok ? "PASS: frames written equal frames played, none lost, files valid" : "FAIL");
    return ok ? 0 : 1;
}
