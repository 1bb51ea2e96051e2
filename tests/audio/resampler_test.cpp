// The playback-rate resampler on synthetic signals: tones come out at the new frequency, clean
// and flat; what would alias is removed; ratio sweeps and table changes do not click; the
// output does not depend on the caller's blocks; reset forgets; the end of input comes out; the
// filter tables built only as far as the steps reach give the same output as all of them.
#include "audio/realtime/resampler.h"

#include <gtest/gtest.h>

#include "common/resamplemeasure.h"
#include "freshprocess.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using velorixa::audio::Resampler;
using namespace testmedia;
using audiotest::inFreshProcess;
constexpr int kGlide = 512;

std::vector<float> noise(unsigned seed, size_t samples, float amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-amplitude, amplitude);
    std::vector<float> v(samples);
    for (float& x : v)
        x = u(rng);
    return v;
}

struct Prepared : Resampler {
    explicit Prepared(int channels = 2) { EXPECT_TRUE(prepare(channels, kGlide)); }
};

// Runs the resampler over `in`: output asked in blocks of outBlock frames, input offered at most
// inBlock frames at a time, ratioAt(outputFrame) called before each output block.
std::vector<float> run(
    Resampler& r, const std::vector<float>& in, size_t outFrames,
    const std::vector<size_t>& outBlocks, const std::vector<size_t>& inBlocks,
    const std::function<void(size_t)>& ratioAt = [](size_t) {}) {
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
    return run(r, in, outFrames, {512}, {4096});
}

// A stereo tone resampled at a constant step.
std::vector<float> resampleTone(double step, double frequency, size_t outFrames = 8192) {
    Prepared r;
    auto out = runConstant(r, step,
                           stereoTone(frequency, 0.5, static_cast<size_t>(outFrames * step) + 512),
                           outFrames);
    EXPECT_EQ(out.size(), 2 * outFrames);
    return out;
}

TEST(Resampler, TonesComeOutAtTheirNewFrequencyCleanAndFlat) {
    // Steps (input frames per output frame) from 8 kHz played at half speed into 44.1 kHz up to
    // 48 kHz at three times into 44.1 kHz, across and between the tables; tones up to 0.8 of the
    // lower of the two Nyquists.
    for (double step : {4000.0 / 44100, 0.5, 0.9, 1.0, 1.05, 1.1, 1.37, 2.0, 2.5, 3.0, 3.265}) {
        for (double fraction : {0.02, 0.3, 0.55, 0.8}) {
            SCOPED_TRACE(testing::Message() << "step " << step << " tone " << fraction);
            const double f = fraction * std::min(0.5, 0.5 / step);  // cycles per input frame
            auto out = resampleTone(step, f);
            // Skip the start, where the filter still reads the silence before the input.
            Fit left = fitTone(channel(out, 0), f * step, 1024, 8192);
            Fit right = fitTone(channel(out, 1), f * step, 1024, 8192);
            for (const Fit& fit : {left, right}) {
                EXPECT_LT(fit.residualDb, -70);
                EXPECT_LT(std::fabs(20 * std::log10(fit.amplitude / 0.5)), 0.2);
            }
            // Output frame n is read at input frame n * step: no delay, and the right channel
            // keeps its radian.
            EXPECT_LT(std::fabs(std::remainder(right.phase - left.phase - 1, kTwoPi)), 1e-3);
            EXPECT_LT(std::fabs(std::remainder(left.phase, kTwoPi)), 1e-3);
        }
    }
}

TEST(Resampler, MonoMatchesStereoLeft) {
    auto stereo = stereoTone(0.1, 0.5, 12000);
    Prepared rs(2), rm(1);
    EXPECT_FALSE(Resampler().prepare(3, kGlide));
    auto outS = runConstant(rs, 1.37, stereo, 6000);
    auto outM = runConstant(rm, 1.37, channel(stereo, 0), 6000);
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
    for (const Case& c : cases) {
        const double db = levelDb(channel(resampleTone(c.step, c.frequency), 0), 1024, 0.5);
        EXPECT_LT(db, -60) << "step " << c.step << " tone " << c.frequency;
    }
}

// A tone resampled while the step changes at block starts, with the trajectory it should
// follow: the step of each output frame glides linearly over kGlide output frames from the step
// in force to the new one, starting with the frame after the one set at.
struct Glided {
    std::vector<double> position;  // input frame each output frame is read at
    std::vector<double> step;
    std::vector<float> in, out;
};

Glided glide(double f, size_t block, size_t frames, size_t inBlock,
             const std::function<double(size_t)>& stepAt) {
    Glided g;
    double pos = 0, step = stepAt(0), target = step, inc = 0;
    int left = 0;
    for (size_t n = 0; n < frames; ++n) {
        if (n % block == 0 && stepAt(n) != target) {
            target = stepAt(n);
            inc = (target - step) / kGlide;
            left = kGlide;
        }
        g.position.push_back(pos);
        g.step.push_back(step);
        pos += step;
        if (left > 0) step = --left == 0 ? target : step + inc;
    }
    g.in = stereoTone(f, 0.5, static_cast<size_t>(g.position.back()) + 1024);
    Prepared r;
    g.out = run(r, g.in, frames, {block}, {inBlock}, [&](size_t n) { r.setRatio(1 / stepAt(n)); });
    EXPECT_EQ(g.out.size(), 2 * frames);
    return g;
}

// Largest distance of the left channel from the ideal tone read at the glide's positions, in
// dB of the amplitude 0.5.
double errorDb(const Glided& g, double f, size_t from) {
    double maxError = 0;
    for (size_t n = from; n < g.position.size(); ++n)
        maxError = std::max(maxError,
                            std::fabs(g.out[2 * n] - 0.5 * std::sin(kTwoPi * f * g.position[n])));
    return 20 * std::log10(maxError / 0.5);
}

TEST(Resampler, RatioSweepsAndJumpsFollowTheToneWithoutClicks) {
    // A 1 kHz sine (44.1 kHz source) swept from half to three times its rate and back in
    // 441-frame blocks, then jumped between the extremes every block. Any output is then a
    // sine of at most 3 kHz of amplitude A, whose largest sample step is 2 A sin(pi 3000 / 44100)
    // = 0.213 for A = 0.5 (plus the 0.2 dB the passband may add); a broken read position or a
    // table change that clicked would step by up to 2 A. Stronger: the output must stay on the
    // ideal sine read at the input positions the ratios call for, within -60 dB of A.
    const double f = 1000.0 / 44100;
    const size_t frames = kSweepBlock * kSweepBlocks;
    Glided g =
        glide(f, kSweepBlock, frames, 1000, [&](size_t n) { return sweepStep(n / kSweepBlock); });
    const double bound = sweepStepBound(3 * f, 0.5);
    const double maxStep = largestStep(g.out, 1024);
    EXPECT_LT(maxStep, bound);
    EXPECT_GT(maxStep, 0.9 * bound / 1.024) << "the sweep reached three times the rate";
    EXPECT_LT(errorDb(g, f, 1024), -60);
}

TEST(Resampler, AtTheOwnRateTheInputPassesUnchangedAndLeavesSmoothly) {
    // Ratio 1 gives the input itself, frame for frame; moving off it and back stays on the
    // tone read at the positions the glides call for.
    const double f = 0.031;
    Glided g = glide(f, 1000, 6000, 333,
                     [](size_t n) { return n / 1000 == 2 || n / 1000 == 3 ? 1.003 : 1.0; });
    for (size_t i = 0; i < 2000; ++i)
        ASSERT_EQ(g.out[i], g.in[i]) << i;
    EXPECT_LT(errorDb(g, f, 0), -70);
}

TEST(Resampler, TableChangesFadeInsteadOfStepping) {
    // A tone near the top of the band, where neighbouring tables differ (one passes it, the
    // next already cuts it): a small ratio change moves to the next table and the tone's level
    // drops. Its envelope, A^2 = (y[n]^2 + y[n-1]^2 - 2 y[n] y[n-1] cos w) / sin^2 w for the
    // known frequency w, must glide down over the fade instead of jumping.
    const double f = 0.24;  // cycles per input frame
    const size_t block = 2048, frames = 3 * block;
    Glided g = glide(f, block, frames, 700, [&](size_t n) { return n < block ? 1.94 : 1.96; });
    auto left = channel(g.out, 0);
    std::vector<double> env(frames, 0);
    for (size_t n = 1; n < frames; ++n) {
        const double w = kTwoPi * f * g.step[n];
        const double a2 = (left[n] * left[n] + left[n - 1] * left[n - 1] -
                           2 * left[n] * left[n - 1] * std::cos(w)) /
                          (std::sin(w) * std::sin(w));
        env[n] = std::sqrt(std::max(0.0, a2));
    }
    const double before = env[block - 10], after = env[frames - 10];
    double maxJump = 0;
    for (size_t n = block / 2; n < frames; ++n)
        maxJump = std::max(maxJump, std::fabs(env[n] - env[n - 1]));
    ASSERT_GT(before - after, 0.02) << "the change of table should matter for this tone";
    // Spread over 128 frames the drop moves less than 1/100 of itself per frame; at once, all.
    EXPECT_LT(maxJump, (before - after) / 50);
}

TEST(Resampler, OutputIsTheSameWhateverTheBlocks) {
    // Noise through ratio changes set at the same output frames: one call per 300 frames, or
    // uneven sub-blocks down to single frames and input offered in odd pieces.
    const auto in = noise(1234, 2 * 60000, 0.5f);
    const double ratios[] = {1.0, 0.5, 0.31, 0.8, 2.2, 1.0 / 3.2, 0.45, 1.0};
    const size_t frames = 300 * 40;
    Prepared a, b;
    auto ratioAt = [&](Resampler& r) {
        return [&](size_t n) {
            if (n % 300 == 0) r.setRatio(ratios[(n / 300) % 8]);
        };
    };
    auto outA = run(a, in, frames, {300}, {100000}, ratioAt(a));
    auto outB = run(b, in, frames, {1, 7, 64, 228}, {13, 500, 3, 2048, 1}, ratioAt(b));
    ASSERT_EQ(outA.size(), 2 * frames);
    EXPECT_EQ(outA, outB);
}

TEST(Resampler, ResetForgetsTheHistoryAndTheRatio) {
    Prepared r;
    runConstant(r, 2.7, noise(99, 2 * 5000, 1.f), 1000);  // history full of noise, a ratio set
    r.reset();
    // Silence after the reset comes out as exact silence: nothing of the noise is left.
    EXPECT_EQ(runConstant(r, 1.0, std::vector<float>(2 * 4000, 0.f), 2000),
              std::vector<float>(4000, 0.f));
    // And the first ratio after a reset is taken at once: as from a new resampler.
    auto tone = stereoTone(0.05, 0.5, 6000);
    r.reset();
    Prepared fresh;
    EXPECT_EQ(runConstant(r, 0.7, tone, 3000), runConstant(fresh, 0.7, tone, 3000));
}

TEST(Resampler, EndOfInputComesOutWhole) {
    // 10000 frames at step 2.5 make 4000 output frames; the last ones still carry the tone
    // (the filter reads the silence after the end instead of holding them back), then nothing.
    auto in = stereoTone(0.01, 0.5, 10000);
    Prepared r;
    r.setRatio(1 / 2.5);
    auto out = run(r, in, 8000, {256}, {777});
    EXPECT_EQ(out.size(), 2 * 4000u);
    // Output 3950 reads input 9875, more than half the filter before the end.
    EXPECT_NEAR(out[2 * 3950], 0.5 * std::sin(kTwoPi * 0.01 * 9875), 1e-3);
}

std::vector<uint32_t> bitsOf(const std::vector<float>& v) {
    std::vector<uint32_t> bits(v.size());
    if (!v.empty()) std::memcpy(bits.data(), v.data(), v.size() * sizeof(float));
    return bits;
}

TEST(Resampler, TablesBuiltOnlyAsFarAsTheStepsReachGiveTheSameBits) {
    // Steps set every 600 output frames (each glides in over kGlide), each reached just before
    // it is set, across table boundaries (1.1 is the first table's last step and the second
    // table's largest) and beyond the band-limited range; how many of the 16 tables that
    // leaves built; then the same runs with every table built before the start: bit for bit
    // the same output. Mono runs the baseline filter, stereo the AVX2 one where the CPU has it.
    struct Reached {
        double step;
        int tables;  // built after reaching it
    };
    struct Case {
        int channels;
        std::vector<Reached> steps;
    };
    const std::vector<Case> cases = {
        {2, {{1.0, 1}, {0.5, 1}, {1.05, 2}, {1.1, 2}, {1.21, 3}, {1.0, 3}}},
        {1, {{0.91875, 3}, {1.5, 6}, {1.37, 6}, {2.0, 9}, {1.0, 9}}},
        {2, {{1.0, 9}, {3.0, 13}, {0.5, 13}, {4.0, 16}, {20.0, 16}, {1.0, 16}}},
    };
    constexpr size_t kEvery = 600;
    inFreshProcess([&] {
        const auto in = noise(77, 2 * 150000, 0.5f);
        auto runCase = [&](const Case& c, bool reachEach) {
            Resampler r;
            EXPECT_TRUE(r.prepare(c.channels, kGlide,
                                  reachEach ? c.steps[0].step : Resampler::kMaxStepAny));
            const std::vector<float> x = c.channels == 2 ? in : channel(in, 0);
            return run(r, x, kEvery * c.steps.size(), {kEvery}, {1000}, [&](size_t n) {
                const Reached& s = c.steps[n / kEvery];
                if (reachEach) {
                    Resampler::reach(s.step);
                    EXPECT_EQ(Resampler::tablesBuilt(), s.tables) << "step " << s.step;
                }
                r.setRatio(1 / s.step);
            });
        };
        EXPECT_EQ(Resampler::tablesBuilt(), 0);
        std::vector<std::vector<float>> lazy;
        for (const Case& c : cases)
            lazy.push_back(runCase(c, true));
        ASSERT_EQ(Resampler::tablesBuilt(), Resampler::tableCount());
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(i);
            const auto all = runCase(cases[i], false);
            EXPECT_EQ(all.size(), kEvery * cases[i].steps.size() * cases[i].channels);
            EXPECT_TRUE(bitsOf(lazy[i]) == bitsOf(all));
        }
    });
}

TEST(Resampler, AStepSetWithoutReachingItRunsOnTheTablesThereAre) {
    // Only table 0 built and a step of 3 set anyway (a caller that forgot to reach): it keeps
    // making output from the table it has (which lets through what aliases at that step), and
    // once reached, the next ratio change takes the right table.
    inFreshProcess([] {
        Resampler r;
        ASSERT_TRUE(r.prepare(2, kGlide, 1.0));
        ASSERT_EQ(Resampler::tablesBuilt(), 1);
        const double f = 0.45;  // cycles per input frame: folds to 0.35 of the output's rate
        auto tone = stereoTone(f, 0.5, 60000);
        auto unfiltered = runConstant(r, 3.0, tone, 8192);
        ASSERT_EQ(unfiltered.size(), 2u * 8192);
        EXPECT_EQ(Resampler::tablesBuilt(), 1);
        EXPECT_GT(levelDb(channel(unfiltered, 0), 1024, 0.5), -20);
        Resampler::reach(3.0);
        r.reset();
        EXPECT_LT(levelDb(channel(runConstant(r, 3.0, tone, 8192), 0), 1024, 0.5), -60);
    });
}

}  // namespace
