// The playback-rate resampler on synthetic signals: tones come out at the new frequency, clean
// and flat; what would alias is removed; ratio sweeps and table changes do not click; the
// output does not depend on the caller's blocks; reset forgets; the end of input comes out.
#include "audio/realtime/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace {

using velorixa::audio::Resampler;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int kGlide = 512;

// Stereo tone: left sine, right the same tone one radian later (a swapped or mixed channel
// shows up as a phase error). frequency in cycles per input frame.
std::vector<float> stereoTone(double frequency, double amplitude, size_t frames) {
    std::vector<float> v(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * i));
        v[2 * i + 1] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * i + 1));
    }
    return v;
}

// Runs the resampler over `in`: output asked in blocks of outBlock frames, input offered at most
// inBlock frames at a time, ratioAt(outputFrame) called before each output block (may be null).
template <typename RatioAt>
std::vector<float> run(Resampler& r, const std::vector<float>& in, size_t outFrames,
                       const std::vector<size_t>& outBlocks, const std::vector<size_t>& inBlocks,
                       RatioAt ratioAt) {
    const int ch = r.channels();
    const size_t inFrames = in.size() / ch;
    std::vector<float> out(outFrames * ch);
    size_t made = 0, at = 0, ob = 0, ib = 0;
    while (made < outFrames) {
        const size_t want = std::min(outBlocks[ob++ % outBlocks.size()], outFrames - made);
        ratioAt(made);
        size_t got = 0;
        while (got < want) {
            const size_t n = std::min(inBlocks[ib++ % inBlocks.size()], inFrames - at);
            auto res = r.process(in.data() + at * ch, n, out.data() + (made + got) * ch, want - got,
                                 at + n == inFrames);
            at += res.inputUsed;
            got += res.outputGenerated;
            if (res.inputUsed == 0 && res.outputGenerated == 0) break;
        }
        made += got;
        if (got < want) break;
    }
    out.resize(made * ch);
    return out;
}

std::vector<float> runConstant(Resampler& r, double step, const std::vector<float>& in,
                               size_t outFrames) {
    r.setRatio(1 / step);
    return run(r, in, outFrames, {512}, {4096}, [](size_t) {});
}

std::vector<float> channel(const std::vector<float>& v, int ch, int which) {
    std::vector<float> out(v.size() / ch);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = v[i * ch + which];
    return out;
}

struct Fit {
    double amplitude = 0;
    double phase = 0;
    double residualDb = 0;  // power of what is not the tone, relative to the tone's
};

// Least-squares sinusoid of a known frequency (cycles per frame) over y[from, to).
Fit fitTone(const std::vector<float>& y, double frequency, size_t from, size_t to) {
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

double rmsDb(const std::vector<float>& y, size_t from, size_t to, double reference) {
    double p = 0;
    for (size_t n = from; n < to; ++n)
        p += double(y[n]) * y[n];
    return 10 * std::log10(p / (to - from) / (reference * reference / 2) + 1e-30);
}

TEST(Resampler, TonesComeOutAtTheirNewFrequencyCleanAndFlat) {
    // Steps (input frames per output frame) from 8 kHz played at half speed into 44.1 kHz up to
    // 48 kHz at three times into 44.1 kHz, across and between the tables; tones up to 0.8 of the
    // lower of the two Nyquists.
    const double steps[] = {4000.0 / 44100, 0.5, 0.9, 1.0, 1.05, 1.1, 1.37, 2.0, 2.5, 3.0, 3.265};
    const double fractions[] = {0.02, 0.3, 0.55, 0.8};
    const double amplitude = 0.5;
    double worstDb = -300, worstGainDb = 0, worstPhase = 0;
    for (double step : steps) {
        const double lowerNyquist = std::min(0.5, 0.5 / step);  // cycles per input frame
        for (double fraction : fractions) {
            const double f = fraction * lowerNyquist;
            const size_t outFrames = 8192;
            auto in = stereoTone(f, amplitude, static_cast<size_t>(outFrames * step) + 512);
            Resampler r;
            ASSERT_TRUE(r.prepare(2, kGlide));
            auto out = runConstant(r, step, in, outFrames);
            ASSERT_EQ(out.size(), 2 * outFrames);
            const double fo = f * step;  // cycles per output frame
            // Skip the start, where the filter still reads the silence before the input.
            const size_t from = 1024, to = outFrames;
            Fit left = fitTone(channel(out, 2, 0), fo, from, to);
            Fit right = fitTone(channel(out, 2, 1), fo, from, to);
            for (const Fit& fit : {left, right}) {
                worstDb = std::max(worstDb, fit.residualDb);
                const double gainDb = 20 * std::log10(fit.amplitude / amplitude);
                if (std::fabs(gainDb) > std::fabs(worstGainDb)) worstGainDb = gainDb;
                EXPECT_LT(fit.residualDb, -70) << "step " << step << " tone " << f;
                EXPECT_LT(std::fabs(gainDb), 0.2) << "step " << step << " tone " << f;
            }
            // Output frame n is read at input frame n * step: no delay, and the right channel
            // keeps its radian.
            const double phaseError = std::remainder(right.phase - left.phase - 1, kTwoPi);
            worstPhase = std::max(worstPhase, std::fabs(phaseError));
            EXPECT_LT(std::fabs(phaseError), 1e-3);
            EXPECT_LT(std::fabs(std::remainder(left.phase, kTwoPi)), 1e-3);
        }
    }
    std::printf("[ measured ] worst THD+N %.1f dB, worst gain %+.4f dB, worst phase %.2g rad\n",
                worstDb, worstGainDb, worstPhase);
}

TEST(Resampler, MonoMatchesStereoLeft) {
    const double step = 1.37, f = 0.1;
    auto stereo = stereoTone(f, 0.5, 12000);
    auto mono = channel(stereo, 2, 0);
    Resampler rs, rm;
    ASSERT_TRUE(rs.prepare(2, kGlide));
    ASSERT_TRUE(rm.prepare(1, kGlide));
    EXPECT_FALSE(Resampler().prepare(3, kGlide));
    auto outS = runConstant(rs, step, stereo, 6000);
    auto outM = runConstant(rm, step, mono, 6000);
    ASSERT_EQ(outM.size() * 2, outS.size());
    for (size_t i = 0; i < outM.size(); ++i)
        ASSERT_NEAR(outM[i], outS[2 * i], 1e-6) << i;
}

TEST(Resampler, WhatWouldAliasIsRemoved) {
    // Tones from where the fold-back would land inside 0.8 of the output's Nyquist up to the
    // input's Nyquist: e.g. 15 kHz of a 44.1 kHz source at twice the speed, which would sound
    // at 14.1 kHz.
    struct Case {
        double step, frequency;  // cycles per input frame
    } cases[] = {
        {2.0, 15000.0 / 44100}, {2.0, 0.49},  {1.25, 0.49}, {1.5, 0.41}, {2.5, 0.25}, {3.0, 0.2},
        {3.265, 0.19},          {3.265, 0.45}};
    double worst = -300;
    for (const Case& c : cases) {
        const size_t outFrames = 8192;
        auto in = stereoTone(c.frequency, 0.5, static_cast<size_t>(outFrames * c.step) + 512);
        Resampler r;
        ASSERT_TRUE(r.prepare(2, kGlide));
        auto out = runConstant(r, c.step, in, outFrames);
        const double db = rmsDb(channel(out, 2, 0), 1024, outFrames, 0.5);
        worst = std::max(worst, db);
        EXPECT_LT(db, -60) << "step " << c.step << " tone " << c.frequency;
    }
    std::printf("[ measured ] worst alias left %.1f dB\n", worst);
}

// The step of each output frame as the ratios are set: linear over kGlide output frames from the
// step in force to the new one, starting with the frame after the one set at.
struct Trajectory {
    std::vector<double> position;  // input frame each output frame is read at
    std::vector<double> step;
};

template <typename StepAt>
Trajectory trajectory(size_t frames, size_t block, StepAt stepAt) {
    Trajectory t;
    double pos = 0, step = stepAt(0), target = step, inc = 0;
    int left = 0;
    for (size_t n = 0; n < frames; ++n) {
        if (n % block == 0 && stepAt(n) != target) {
            target = stepAt(n);
            inc = (target - step) / kGlide;
            left = kGlide;
        }
        t.position.push_back(pos);
        t.step.push_back(step);
        pos += step;
        if (left > 0) step = --left == 0 ? target : step + inc;
    }
    return t;
}

TEST(Resampler, RatioSweepsAndJumpsFollowTheToneWithoutClicks) {
    // A 1 kHz sine (44.1 kHz source) swept from half to three times its rate and back in
    // 441-frame blocks, then jumped between the extremes every block. Any output is then a
    // sine of at most 3 kHz of amplitude A, whose largest sample step is 2 A sin(pi 3000 / 44100)
    // = 0.213 for A = 0.5 (plus the 0.2 dB the passband may add); a broken read position or a
    // table change that clicked would step by up to 2 A. Stronger: the output must stay on the
    // ideal sine read at the input positions the ratios call for, within -60 dB of A.
    const double f = 1000.0 / 44100, amplitude = 0.5;
    const size_t block = 441, blocks = 200, frames = block * blocks;
    auto stepAt = [&](size_t n) {
        const size_t b = n / block;
        if (b < 80) return 0.5 + 2.5 * b / 79.0;
        if (b < 160) return 3.0 - 2.5 * (b - 80) / 79.0;
        return b % 2 ? 3.0 : 0.5;
    };
    Trajectory t = trajectory(frames, block, stepAt);
    const size_t inFrames = static_cast<size_t>(t.position.back()) + 1024;
    auto in = stereoTone(f, amplitude, inFrames);
    Resampler r;
    ASSERT_TRUE(r.prepare(2, kGlide));
    auto out = run(r, in, frames, {block}, {1000}, [&](size_t n) { r.setRatio(1 / stepAt(n)); });
    ASSERT_EQ(out.size(), 2 * frames);
    auto left = channel(out, 2, 0);
    const double bound = 2 * amplitude * std::sin(std::numbers::pi * 3 * f) * 1.024;
    double maxStep = 0, maxError = 0;
    for (size_t n = 1024; n < frames; ++n) {
        maxStep = std::max(maxStep, double(std::fabs(left[n] - left[n - 1])));
        const double ideal = amplitude * std::sin(kTwoPi * f * t.position[n]);
        maxError = std::max(maxError, std::fabs(left[n] - ideal));
    }
    std::printf("[ measured ] largest step %.4f (bound %.4f), largest error %.1f dB of A\n",
                maxStep, bound, 20 * std::log10(maxError / amplitude));
    EXPECT_LT(maxStep, bound);
    EXPECT_GT(maxStep, 0.9 * bound / 1.024) << "the sweep reached three times the rate";
    EXPECT_LT(20 * std::log10(maxError / amplitude), -60);
}

TEST(Resampler, AtTheOwnRateTheInputPassesUnchangedAndLeavesSmoothly) {
    // Ratio 1 gives the input itself, frame for frame; moving off it and back stays on the
    // tone read at the positions the glides call for.
    const double f = 0.031, amplitude = 0.5;
    const size_t block = 1000, frames = 6 * block;
    auto stepAt = [&](size_t n) { return n / block == 2 || n / block == 3 ? 1.003 : 1.0; };
    Trajectory t = trajectory(frames, block, stepAt);
    auto in = stereoTone(f, amplitude, static_cast<size_t>(t.position.back()) + 1024);
    Resampler r;
    ASSERT_TRUE(r.prepare(2, kGlide));
    auto out = run(r, in, frames, {block}, {333}, [&](size_t n) { r.setRatio(1 / stepAt(n)); });
    ASSERT_EQ(out.size(), 2 * frames);
    for (size_t i = 0; i < 2 * block; ++i)
        ASSERT_EQ(out[i], in[i]) << i;
    double maxError = 0;
    for (size_t n = 0; n < frames; ++n) {
        maxError = std::max(
            maxError, std::fabs(out[2 * n] - amplitude * std::sin(kTwoPi * f * t.position[n])));
    }
    EXPECT_LT(20 * std::log10(maxError / amplitude), -70);
}

TEST(Resampler, TableChangesFadeInsteadOfStepping) {
    // A tone near the top of the band, where neighbouring tables differ (one passes it, the
    // next already cuts it): a small ratio change moves to the next table and the tone's level
    // drops. Its envelope, A^2 = (y[n]^2 + y[n-1]^2 - 2 y[n] y[n-1] cos w) / sin^2 w for the
    // known frequency w, must glide down over the fade instead of jumping.
    const double f = 0.24;  // cycles per input frame
    const double amplitude = 0.5;
    const size_t block = 2048, frames = 3 * block;
    auto stepAt = [&](size_t n) { return n < block ? 1.94 : 1.96; };
    Trajectory t = trajectory(frames, block, stepAt);
    auto in = stereoTone(f, amplitude, static_cast<size_t>(t.position.back()) + 1024);
    Resampler r;
    ASSERT_TRUE(r.prepare(2, kGlide));
    auto out = run(r, in, frames, {block}, {700}, [&](size_t n) { r.setRatio(1 / stepAt(n)); });
    ASSERT_EQ(out.size(), 2 * frames);
    auto left = channel(out, 2, 0);
    std::vector<double> env(frames, 0);
    for (size_t n = 1; n < frames; ++n) {
        const double w = kTwoPi * f * t.step[n];
        const double a2 = (left[n] * left[n] + left[n - 1] * left[n - 1] -
                           2 * left[n] * left[n - 1] * std::cos(w)) /
                          (std::sin(w) * std::sin(w));
        env[n] = std::sqrt(std::max(0.0, a2));
    }
    const double before = env[block - 10], after = env[frames - 10];
    double maxJump = 0;
    for (size_t n = block / 2; n < frames; ++n)
        maxJump = std::max(maxJump, std::fabs(env[n] - env[n - 1]));
    std::printf("[ measured ] level %.4f -> %.4f, largest envelope step %.5f\n", before, after,
                maxJump);
    ASSERT_GT(before - after, 0.02) << "the change of table should matter for this tone";
    // Spread over 128 frames the drop moves less than 1/100 of itself per frame; at once, all.
    EXPECT_LT(maxJump, (before - after) / 50);
}

TEST(Resampler, OutputIsTheSameWhateverTheBlocks) {
    // Noise through ratio changes set at the same output frames: one call per 300 frames, or
    // uneven sub-blocks down to single frames and input offered in odd pieces.
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    std::vector<float> in(2 * 60000);
    for (float& x : in)
        x = u(rng);
    const double ratios[] = {1.0, 0.5, 0.31, 0.8, 2.2, 1.0 / 3.2, 0.45, 1.0};
    auto ratioAt = [&](Resampler& r, size_t n) {
        if (n % 300 == 0) r.setRatio(ratios[(n / 300) % 8]);
    };
    const size_t frames = 300 * 40;
    Resampler a, b;
    ASSERT_TRUE(a.prepare(2, kGlide));
    ASSERT_TRUE(b.prepare(2, kGlide));
    auto outA = run(a, in, frames, {300}, {100000}, [&](size_t n) { ratioAt(a, n); });
    auto outB = run(b, in, frames, {1, 7, 64, 228}, {13, 500, 3, 2048, 1},
                    [&](size_t n) { ratioAt(b, n); });
    ASSERT_EQ(outA.size(), 2 * frames);
    ASSERT_EQ(outB.size(), outA.size());
    for (size_t i = 0; i < outA.size(); ++i)
        ASSERT_EQ(outA[i], outB[i]) << "sample " << i;
}

TEST(Resampler, ResetForgetsTheHistoryAndTheRatio) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(-1.f, 1.f);
    std::vector<float> noise(2 * 5000);
    for (float& x : noise)
        x = u(rng);
    Resampler r;
    ASSERT_TRUE(r.prepare(2, kGlide));
    runConstant(r, 2.7, noise, 1000);  // history full of noise, a ratio set
    r.reset();
    // Silence after the reset comes out as exact silence: nothing of the noise is left.
    std::vector<float> silence(2 * 4000, 0.f);
    auto quiet = runConstant(r, 1.0, silence, 2000);
    ASSERT_EQ(quiet.size(), 4000u);
    EXPECT_EQ(*std::max_element(quiet.begin(), quiet.end()), 0.f);
    EXPECT_EQ(*std::min_element(quiet.begin(), quiet.end()), 0.f);
    // And the first ratio after a reset is taken at once: as from a new resampler.
    auto tone = stereoTone(0.05, 0.5, 6000);
    r.reset();
    Resampler fresh;
    ASSERT_TRUE(fresh.prepare(2, kGlide));
    auto afterReset = runConstant(r, 0.7, tone, 3000);
    auto fromNew = runConstant(fresh, 0.7, tone, 3000);
    EXPECT_EQ(afterReset, fromNew);
}

TEST(Resampler, EndOfInputComesOutWhole) {
    // 10000 frames at step 2.5 make 4000 output frames; the last ones still carry the tone
    // (the filter reads the silence after the end instead of holding them back), then nothing.
    const double step = 2.5;
    auto in = stereoTone(0.01, 0.5, 10000);
    Resampler r;
    ASSERT_TRUE(r.prepare(2, kGlide));
    r.setRatio(1 / step);
    std::vector<float> out(2 * 8000);
    size_t made = 0, at = 0;
    for (int guard = 0; guard < 1000; ++guard) {
        auto res = r.process(in.data() + 2 * at, std::min<size_t>(777, 10000 - at),
                             out.data() + 2 * made, std::min<size_t>(256, 8000 - made),
                             at + std::min<size_t>(777, 10000 - at) == 10000);
        at += res.inputUsed;
        made += res.outputGenerated;
        if (res.inputUsed == 0 && res.outputGenerated == 0) break;
    }
    EXPECT_EQ(at, 10000u);
    EXPECT_EQ(made, 4000u);
    // Output 3950 reads input 9875, more than half the filter before the end.
    EXPECT_NEAR(out[2 * 3950], 0.5 * std::sin(kTwoPi * 0.01 * 9875), 1e-3);
}

}  // namespace
