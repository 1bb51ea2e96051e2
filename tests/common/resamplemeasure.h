#pragma once
// Measuring a resampler on synthetic stereo tones: the tone itself, a least-squares fit of a
// sinusoid of known frequency (its level, phase and what is left over), the mean level of what
// should not be there, and the ratio sweep whose largest sample step shows a click. Used by the
// resampler's tests and by bench_resample, so both judge the same way.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace testmedia {

inline constexpr double kTwoPi = 2 * std::numbers::pi;

// Stereo tone: left sine, right the same tone one radian later (a swapped or mixed channel
// shows up as a phase error). frequency in cycles per input frame.
inline std::vector<float> stereoTone(double frequency, double amplitude, size_t frames) {
    std::vector<float> v(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * i));
        v[2 * i + 1] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * i + 1));
    }
    return v;
}

// One side of interleaved stereo.
inline std::vector<float> channel(const std::vector<float>& v, int which) {
    std::vector<float> out(v.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = v[2 * i + which];
    return out;
}

struct Fit {
    double amplitude = 0;
    double phase = 0;       // y ~ amplitude * sin(2 pi f n + phase)
    double residualDb = 0;  // power of what is not the tone, relative to the tone's
};

// Least-squares sinusoid of a known frequency (cycles per frame) over y[from, to).
inline Fit fitTone(const std::vector<float>& y, double frequency, size_t from, size_t to) {
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t n = from; n < to; ++n) {
        const double s = std::sin(kTwoPi * frequency * n), c = std::cos(kTwoPi * frequency * n);
        ss += s * s, sc += s * c, cc += c * c, ys += y[n] * s, yc += y[n] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double resid = 0, signal = 0;
    for (size_t n = from; n < to; ++n) {
        const double t =
            a * std::sin(kTwoPi * frequency * n) + b * std::cos(kTwoPi * frequency * n);
        resid += (y[n] - t) * (y[n] - t);
        signal += t * t;
    }
    return {std::hypot(a, b), std::atan2(b, a), 10 * std::log10(resid / signal + 1e-30)};
}

// Mean power of y[from, end) in dB relative to a sine of the given amplitude: what comes out
// of a tone that should have been removed.
inline double levelDb(const std::vector<float>& y, size_t from, double amplitude) {
    double p = 0;
    for (size_t n = from; n < y.size(); ++n)
        p += double(y[n]) * y[n];
    return 10 * std::log10(p / double(y.size() - from) / (amplitude * amplitude / 2) + 1e-30);
}

// The ratio sweep the audio thread may see, in 441-frame blocks of a 44.1 kHz source: 80
// blocks from half to three times the rate, 80 back, then 40 jumping between the extremes
// every block. Input frames per output frame for block b (0 <= b < kSweepBlocks).
inline constexpr size_t kSweepBlock = 441, kSweepBlocks = 200;
inline double sweepStep(size_t b) {
    if (b < 80) return 0.5 + 2.5 * b / 79.0;
    if (b < 160) return 3.0 - 2.5 * (b - 80) / 79.0;
    return b % 2 ? 3.0 : 0.5;
}

// A sine of at most f cycles per frame (three times the 1 kHz the sweep starts from) and
// amplitude A never steps by more than 2 A sin(pi f) between frames, plus the 0.2 dB the
// passband may add; a broken read position or a table change that clicked steps by up to 2 A.
inline double sweepStepBound(double maxFrequency, double amplitude) {
    return 2 * amplitude * std::sin(std::numbers::pi * maxFrequency) * 1.024;
}

// Largest step between neighbouring frames of the left channel of interleaved stereo, from
// frame `from` on.
inline double largestStep(const std::vector<float>& stereo, size_t from) {
    double worst = 0;
    for (size_t n = std::max<size_t>(from, 1); n < stereo.size() / 2; ++n)
        worst = std::max(worst, double(std::fabs(stereo[2 * n] - stereo[2 * n - 2])));
    return worst;
}

}  // namespace testmedia
