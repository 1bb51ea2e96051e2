#include <gtest/gtest.h>

#include "audio/realtime/fx/effect.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

// Delay (in frames) of each impulse of a train, per channel, read off the wet output as the
// centroid of the returned impulse (the fractional read splits it over two frames).
struct DelayTrace {
    std::vector<double> left, right;
};

DelayTrace traceDelay(int32_t type, const DX8Chorus& rec, int period, int impulses) {
    auto fx = makePrepared(type);
    fx->setParameters(&rec);
    fx->reset();
    Buffer b(2 * static_cast<size_t>(period) * impulses, 0.0f);
    for (int k = 0; k < impulses; ++k)
        b[2 * static_cast<size_t>(k) * period] = b[2 * static_cast<size_t>(k) * period + 1] = 1.0f;
    runBlocks(*fx, b, 512);
    DelayTrace t;
    for (int k = 0; k < impulses; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            double sum = 0.0, moment = 0.0;
            for (int n = 0; n < period; ++n) {
                const double y = channel(b, k * period + n, ch);
                sum += y;
                moment += y * n;
            }
            (ch == 0 ? t.left : t.right).push_back(moment / sum);
        }
    }
    return t;
}

double mean(const std::vector<double>& v) {
    double s = 0.0;
    for (double x : v)
        s += x;
    return s / v.size();
}

// Mean spacing, in impulses, between upward crossings of the trace's mean.
double crossingPeriod(const std::vector<double>& v) {
    const double m = mean(v);
    std::vector<double> ups;
    for (size_t k = 1; k < v.size(); ++k)
        if (v[k - 1] < m && v[k] >= m) ups.push_back(k - 1 + (m - v[k - 1]) / (v[k] - v[k - 1]));
    return ups.size() < 2 ? 0.0 : (ups.back() - ups.front()) / (ups.size() - 1);
}

struct SweepCase {
    int32_t type;
    float delayMs;
    float depthPct;
    int period;  // impulse spacing in frames, longer than the longest delay
};
// Frequencies chosen so that one LFO period is exactly 40 impulses.
constexpr SweepCase kFlangerCase{kFxFlanger, 4.0f, 50.0f, 512};
constexpr SweepCase kChorusCase{kFxChorus, 20.0f, 30.0f, 2048};

float lfoHz(const SweepCase& c) {
    return static_cast<float>(kRate / (c.period * 40.0));
}

TEST(ModulatedDelay, DelaySwingsAtTheSetFrequencyDepthAndWaveform) {
    // Share of time the delay spends in the top 30 % of its swing: acos(0.7)/pi = 0.253 for
    // a sine (waveform 1), 0.15 for a triangle (0).
    const struct {
        SweepCase c;
        int32_t waveform;
        double topShare;
    } cases[] = {{kFlangerCase, 1, 0.253}, {kChorusCase, 1, 0.253}, {kFlangerCase, 0, 0.15}};
    for (const auto& [c, waveform, topShare] : cases) {
        SCOPED_TRACE(testing::Message() << typeName(c.type) << " waveform " << waveform);
        const DX8Chorus rec{100.0f, c.depthPct, 0.0f, lfoHz(c), waveform, c.delayMs, 2};
        const DelayTrace t = traceDelay(c.type, rec, c.period, 200);
        const double base = c.delayMs * kRate / 1000.0;
        const double swing = base * c.depthPct / 100.0;
        // The impulses sample a triangle's sharp turn up to half a step (4 swing / 40) off.
        const double peakSlack = waveform == 1 ? 1.0 : 2 * swing / 40;
        const auto [lo, hi] = std::minmax_element(t.left.begin(), t.left.end());
        EXPECT_NEAR(*lo, base - swing, peakSlack);
        EXPECT_NEAR(*hi, base + swing, peakSlack);
        EXPECT_NEAR(mean(t.left), base, 1.0);
        EXPECT_NEAR(crossingPeriod(t.left), 40.0, 0.4);
        const auto high = std::count_if(t.left.begin(), t.left.end(),
                                        [&](double d) { return d > base + 0.7 * swing; });
        EXPECT_NEAR(static_cast<double>(high) / t.left.size(), topShare, 0.03);
    }
}

TEST(ModulatedDelay, ZeroDepthOrFrequencyHoldsTheDelay) {
    for (const DX8Chorus& rec :
         {DX8Chorus{100, 0, 0, 5, 1, 3, 2}, DX8Chorus{100, 80, 0, 0, 1, 3, 2}}) {
        const DelayTrace t = traceDelay(kFxFlanger, rec, 512, 40);
        for (double d : t.left)
            EXPECT_NEAR(d, 3.0 * kRate / 1000.0, 0.01);
    }
}

// The left delay as a function of time: impulse k returns at k * period + delay, and that is
// the moment whose delay it shows; linear interpolation in between.
double leftDelayAt(const DelayTrace& t, int period, double frame) {
    size_t k = 1;
    while (k + 1 < t.left.size() && k * period + t.left[k] < frame)
        ++k;
    const double t0 = (k - 1) * period + t.left[k - 1], t1 = k * period + t.left[k];
    return t.left[k - 1] + (frame - t0) / (t1 - t0) * (t.left[k] - t.left[k - 1]);
}

TEST(ModulatedDelay, PhaseSetsTheLeftRightRelation) {
    for (const SweepCase& c : {kFlangerCase, kChorusCase}) {
        const double base = c.delayMs * kRate / 1000.0;
        const double quarter = 10.0 * c.period;  // a quarter of the oscillator's period
        // Linear interpolation between impulses 1/40 period apart misses a sine of amplitude
        // A by up to A * (2 pi / 40)^2 / 8; on top, a quarter frame of measurement slack.
        const double swing = base * c.depthPct / 100.0;
        const double tolerance = 0.25 + swing * std::pow(kTwoPi / 40.0, 2) / 8.0;
        for (int32_t phase = 0; phase <= 4; ++phase) {
            const DX8Chorus rec{100.0f, c.depthPct, 0.0f, lfoHz(c), 1, c.delayMs, phase};
            const DelayTrace t = traceDelay(c.type, rec, c.period, 120);
            // Phase +90 degrees: the right side runs a quarter period ahead of the left.
            for (size_t k = 20; k + 20 < t.right.size(); ++k) {
                const double when = static_cast<double>(k) * c.period + t.right[k];
                double expected = 0.0;
                switch (phase) {
                    case 0:
                    case 4:
                        expected = 2.0 * base - leftDelayAt(t, c.period, when);
                        break;
                    case 1:
                        expected = leftDelayAt(t, c.period, when - quarter);
                        break;
                    case 2:
                        expected = leftDelayAt(t, c.period, when);
                        break;
                    case 3:
                        expected = leftDelayAt(t, c.period, when + quarter);
                        break;
                }
                ASSERT_NEAR(t.right[k], expected, tolerance)
                    << typeName(c.type) << " phase " << phase << " impulse " << k;
            }
        }
    }
}

TEST(ModulatedDelay, FeedbackRepeatsWithItsSign) {
    // Constant 2 ms delay, feedback -50 %: returns of weight 1, -0.5, +0.25 at 1, 2, 3 delays.
    auto fx = makePrepared(kFxFlanger);
    const DX8Flanger rec{100.0f, 0.0f, -50.0f, 0.0f, 0, 2.0f, 2};
    fx->setParameters(&rec);
    fx->reset();
    Buffer b(2 * 2048, 0.0f);
    b[0] = 1.0f;
    runBlocks(*fx, b, 64);
    const double d = 2.0 * kRate / 1000.0;  // 88.2 frames
    const double weights[] = {1.0, -0.5, 0.25};
    for (int k = 1; k <= 3; ++k) {
        double sum = 0.0;
        const int centre = static_cast<int>(k * d);
        for (int n = centre - 4; n <= centre + 4; ++n)
            sum += channel(b, n, 0);
        EXPECT_NEAR(sum, weights[k - 1], 1e-5) << "return " << k;
    }
}

}  // namespace
}  // namespace velorixa::fx::test
