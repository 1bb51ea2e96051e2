// velorixa-tone: makes test tones as MP3 files and tells which tones a recording of the player's
// output holds, so the player can be checked by ear without an ear.
//
//   velorixa-tone make OUT.mp3 FREQ SECONDS
//       a sine of FREQ Hz (amplitude half of full scale), 44.1 kHz stereo, 128 kbit/s MP3
//   velorixa-tone analyze RAWFILE FORMAT [RATE [CHANNELS]]
//       RAWFILE: headerless interleaved samples as SDL's "disk" audio driver writes them;
//       FORMAT f32 (native float, what the audio layer opens SDL with) or s16 (little-endian);
//       RATE default 44100, CHANNELS default 2. Prints every 250 ms window (start time, RMS,
//       dominant frequency between 100 and 2000 Hz), then the sequence of tones heard, and a
//       last line "tones: F1 F2 ..." of the tones that lasted at least half a second, in order.
//
// Exit code: 0 done, 1 bad arguments, 2 a file could not be read or written.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "common/testmedia.h"

namespace {

constexpr double kWindowSec = 0.25;
constexpr double kLoHz = 100, kHiHz = 2000;
// Below this RMS (about -50 dBFS) a window counts as silence.
constexpr double kSilenceRms = 0.00316;

int Usage() {
    std::fprintf(stderr,
                 "usage: velorixa-tone make OUT.mp3 FREQ SECONDS\n"
                 "       velorixa-tone analyze RAWFILE f32|s16 [RATE [CHANNELS]]\n");
    return 1;
}

int Make(const char* out, double freqHz, double seconds) {
    if (!(freqHz > 0 && freqHz < 20000) || !(seconds > 0 && seconds <= 3600)) return Usage();
    const auto mp3 = testmedia::encodeMp3(testmedia::sine(freqHz, seconds, 44100, 2));
    if (mp3.empty() || !testmedia::writeFile(out, mp3)) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 2;
    }
    std::printf("%s: %.0f Hz, %.2f s, %zu bytes\n", out, freqHz, seconds, mp3.size());
    return 0;
}

// Power of one frequency in x (Goertzel).
double PowerAt(const std::vector<float>& x, double freqHz, int rateHz) {
    const double coeff = 2 * std::cos(2 * std::numbers::pi * freqHz / rateHz);
    double s1 = 0, s2 = 0;
    for (float v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

// The strongest frequency in kLoHz..kHiHz: a 2 Hz grid, then a finer search around the best.
double Dominant(const std::vector<float>& x, int rateHz) {
    double best = kLoHz, bestP = -1;
    for (double f = kLoHz; f <= kHiHz; f += 2) {
        const double p = PowerAt(x, f, rateHz);
        if (p > bestP) bestP = p, best = f;
    }
    for (double span = 2; span > 0.05; span /= 4) {
        const double centre = best;
        for (double f = centre - span; f <= centre + span; f += span / 4) {
            const double p = PowerAt(x, f, rateHz);
            if (p > bestP) bestP = p, best = f;
        }
    }
    return best;
}

struct Window {
    double startSec;
    double rms;
    double freqHz;  // 0 for silence
};

struct Segment {
    double fromSec, toSec;
    double freqHz;  // 0 for silence
    int windows;
};

bool SameTone(double a, double b) {
    if (a == 0 || b == 0) return a == b;
    return std::fabs(a - b) < 0.03 * std::max(a, b);
}

int Analyze(const char* path, const std::string& format, int rateHz, int channels) {
    if ((format != "f32" && format != "s16") || rateHz < 8000 || rateHz > 192000 || channels < 1 ||
        channels > 8)
        return Usage();
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 2;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(f)),
                                  std::istreambuf_iterator<char>());
    const size_t sampleBytes = format == "f32" ? 4 : 2;
    const size_t frames = bytes.size() / (sampleBytes * static_cast<size_t>(channels));
    // Channels mixed to mono: the tone is the same on both sides of our test files.
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            const char* at = bytes.data() + (i * channels + c) * sampleBytes;
            if (sampleBytes == 4) {
                float v;
                std::memcpy(&v, at, 4);
                sum += std::isfinite(v) ? v : 0;
            } else {
                const auto lo = static_cast<uint8_t>(at[0]), hi = static_cast<uint8_t>(at[1]);
                sum += static_cast<int16_t>(static_cast<uint16_t>(lo | hi << 8)) / 32768.0;
            }
        }
        mono[i] = static_cast<float>(sum / channels);
    }
    std::printf("%s: %zu frames, %.2f s of %s %d Hz %d channel(s)\n", path, frames,
                static_cast<double>(frames) / rateHz, format.c_str(), rateHz, channels);

    const auto windowFrames = static_cast<size_t>(kWindowSec * rateHz);
    std::vector<Window> windows;
    std::printf("%8s %10s %8s %10s\n", "time s", "RMS", "dBFS", "freq Hz");
    for (size_t at = 0; at + windowFrames <= frames; at += windowFrames) {
        const std::vector<float> x(mono.begin() + static_cast<std::ptrdiff_t>(at),
                                   mono.begin() + static_cast<std::ptrdiff_t>(at + windowFrames));
        Window w{static_cast<double>(at) / rateHz, testmedia::rms(x.data(), x.size()), 0};
        if (w.rms >= kSilenceRms) w.freqHz = Dominant(x, rateHz);
        windows.push_back(w);
        if (w.freqHz > 0) {
            std::printf("%8.2f %10.5f %8.1f %10.1f\n", w.startSec, w.rms, testmedia::toDb(w.rms),
                        w.freqHz);
        } else {
            std::printf("%8.2f %10.5f %8.1f %10s\n", w.startSec, w.rms, testmedia::toDb(w.rms),
                        "silence");
        }
    }

    std::vector<Segment> segments;
    for (const Window& w : windows) {
        if (!segments.empty() && SameTone(segments.back().freqHz, w.freqHz)) {
            Segment& s = segments.back();
            s.toSec = w.startSec + kWindowSec;
            // The segment's frequency is the mean of its windows.
            s.freqHz = (s.freqHz * s.windows + w.freqHz) / (s.windows + 1);
            ++s.windows;
        } else {
            segments.push_back({w.startSec, w.startSec + kWindowSec, w.freqHz, 1});
        }
    }
    std::string summary, tones;
    for (const Segment& s : segments) {
        char text[96];
        if (s.freqHz > 0) {
            std::snprintf(text, sizeof text, "%.2f-%.2f s %.0f Hz", s.fromSec, s.toSec, s.freqHz);
        } else {
            std::snprintf(text, sizeof text, "%.2f-%.2f s silence", s.fromSec, s.toSec);
        }
        summary += (summary.empty() ? "" : ", ") + std::string(text);
        if (s.freqHz > 0 && s.windows >= 2) tones += " " + std::to_string(std::lround(s.freqHz));
    }
    std::printf("heard: %s\n",
                summary.empty() ? "nothing (file shorter than 250 ms)" : summary.c_str());
    std::printf("tones:%s\n", tones.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0 && argc == 5)
        return Make(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (argc >= 2 && std::strcmp(argv[1], "analyze") == 0 && argc >= 4 && argc <= 6)
        return Analyze(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 44100,
                       argc > 5 ? std::atoi(argv[5]) : 2);
    return Usage();
}
