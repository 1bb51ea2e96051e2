// bench_levels: CPU time of the background loudness measurement (decoding through the player's
// decoders plus libebur128's integrated loudness and sample peak), per minute of audio, for
// each file format the player reads. The files are made first with ffmpeg: pink noise, 44.1 kHz
// stereo, `seconds` long.
//
// Usage: bench_levels [seconds] [runs]   (defaults 60 and 3)
// Prints per format the CPU seconds per minute of audio of the whole measurement and of the
// decoding alone (the best of the runs; the measuring thread's own CPU clock).

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/decoder.h"
#include "levels/loudness.h"

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

bool makeFile(const QString& path, const QStringList& codec, int seconds) {
    QProcess p;
    QStringList args{
        "-v",       "error",
        "-nostdin", "-y",
        "-f",       "lavfi",
        "-i",       QString("anoisesrc=color=pink:sample_rate=44100:duration=%1").arg(seconds),
        "-ac",      "2"};
    args << codec << path;
    p.start("ffmpeg", args);
    return p.waitForFinished(300000) && p.exitCode() == 0;
}

double decodeOnly(const QString& path) {
    std::string why;
    auto dec = velorixa::audio::openAudioFile(path.toStdString(), 0, 0, &why);
    if (!dec) return -1;
    std::vector<float> buf(4096 * static_cast<size_t>(dec->channels()));
    velorixa::audio::Decoder::Status st = velorixa::audio::Decoder::Status::Ok;
    while (st == velorixa::audio::Decoder::Status::Ok && dec->read(buf.data(), 4096, &st) > 0) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const struct {
        const char* name;
        const char* ext;
        QStringList codec;
    } formats[] = {
        {"MP3 192k", "mp3", {"-c:a", "libmp3lame", "-b:a", "192k"}},
        {"FLAC", "flac", {"-c:a", "flac"}},
        {"Ogg Vorbis", "ogg", {"-c:a", "libvorbis", "-q:a", "5"}},
        {"Opus 128k", "opus", {"-c:a", "libopus", "-b:a", "128k"}},
        {"AAC 192k", "m4a", {"-c:a", "aac", "-b:a", "192k"}},
        {"WAV 16-bit", "wav", {"-c:a", "pcm_s16le"}},
    };
    std::printf("loudness measurement, %d s of pink noise, best of %d runs\n", seconds, runs);
    std::printf("%-12s %14s %14s %10s\n", "format", "CPU s/min", "decode s/min", "LUFS");
    for (const auto& f : formats) {
        const QString path = dir.filePath(QString("noise.") + f.ext);
        if (!makeFile(path, f.codec, seconds)) {
            std::printf("%-12s could not be made\n", f.name);
            continue;
        }
        double best = 1e9, bestDecode = 1e9, lufs = 0, audioSec = 0;
        for (int r = 0; r < runs; ++r) {
            double t0 = threadCpuSeconds();
            const velorixa::levels::Loudness l = velorixa::levels::MeasureLoudness(path);
            best = std::min(best, threadCpuSeconds() - t0);
            lufs = l.lufs;
            audioSec = l.seconds;
            t0 = threadCpuSeconds();
            decodeOnly(path);
            bestDecode = std::min(bestDecode, threadCpuSeconds() - t0);
        }
        if (audioSec <= 0) {
            std::printf("%-12s did not decode\n", f.name);
            continue;
        }
        std::printf("%-12s %14.3f %14.3f %10.2f\n", f.name, best * 60 / audioSec,
                    bestDecode * 60 / audioSec, lufs);
    }
    return 0;
}
