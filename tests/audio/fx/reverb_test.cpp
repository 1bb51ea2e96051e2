#include <gtest/gtest.h>

#include "audio/realtime/fx/effect.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

Buffer impulseResponse(const DX8Reverb& rec, int frames) {
    auto fx = makePrepared(kFxReverb);
    fx->setParameters(&rec);
    fx->reset();
    Buffer b(2 * static_cast<size_t>(frames), 0.0f);
    b[0] = 1.0f;
    b[1] = 1.0f;
    runBlocks(*fx, b, 512);
    return b;
}

// Time for the Schroeder energy decay curve (both channels) to fall 60 dB, extrapolated from
// its straight-line fall between -5 and -35 dB (the usual T30 measure).
double decayTimeMs(const std::vector<double>& energy) {
    std::vector<double> edc(energy.size() + 1, 0.0);
    for (size_t n = energy.size(); n-- > 0;)
        edc[n] = edc[n + 1] + energy[n];
    const double total = edc[0];
    auto crossing = [&](double db) {
        const double level = total * std::pow(10.0, db / 10.0);
        size_t n = 0;
        while (n < energy.size() && edc[n] > level)
            ++n;
        return static_cast<double>(n);
    };
    const double t5 = crossing(-5.0), t35 = crossing(-35.0);
    return (t35 - t5) * 2.0 / kRate * 1000.0;
}

std::vector<double> energyOf(const Buffer& b) {
    std::vector<double> e(b.size() / 2);
    for (size_t n = 0; n < e.size(); ++n)
        e[n] = double(b[2 * n]) * b[2 * n] + double(b[2 * n + 1]) * b[2 * n + 1];
    return e;
}

TEST(Reverb, TailFallsSixtyDbInTheReverbTime) {
    for (float timeMs : {300.0f, 1000.0f, 2500.0f}) {
        const DX8Reverb rec{0.0f, 0.0f, timeMs, 0.999f};
        const Buffer ir =
            impulseResponse(rec, static_cast<int>(kRate * timeMs / 1000.0 * 1.3) + 4410);
        const double measured = decayTimeMs(energyOf(ir));
        EXPECT_NEAR(measured, timeMs, 0.2 * timeMs) << "reverb time " << timeMs;
    }
}

TEST(Reverb, HighFrequenciesDieFasterByTheRatio) {
    const DX8Reverb rec{0.0f, 0.0f, 1500.0f, 0.3f};
    const Buffer ir = impulseResponse(rec, 2 * 44100);
    // Split the response into a low band (8-frame moving average) and a high band (second
    // difference) and compare their decay times.
    std::vector<double> low(ir.size() / 2, 0.0), high(ir.size() / 2, 0.0);
    for (size_t n = 8; n < low.size(); ++n) {
        for (int ch = 0; ch < 2; ++ch) {
            double avg = 0.0;
            for (int k = 0; k < 8; ++k)
                avg += ir[2 * (n - k) + ch] / 8.0;
            const double d2 = ir[2 * n + ch] - 2.0 * ir[2 * (n - 1) + ch] + ir[2 * (n - 2) + ch];
            low[n] += avg * avg;
            high[n] += d2 * d2;
        }
    }
    const double lowMs = decayTimeMs(low), highMs = decayTimeMs(high);
    EXPECT_NEAR(lowMs, 1500.0, 300.0);
    EXPECT_LT(highMs, 0.6 * lowMs);
    EXPECT_GT(highMs, 0.3 * 0.5 * lowMs);
}

TEST(Reverb, ZeroDbMixHasNoDirectSound) {
    const DX8Reverb rec{0.0f, 0.0f, 1000.0f, 0.5f};
    const Buffer ir = impulseResponse(rec, 8000);
    // Nothing before the shortest line's first return (29 ms), then a tail.
    for (int n = 0; n < 1270; ++n) {
        ASSERT_EQ(channel(ir, n, 0), 0.0f) << n;
        ASSERT_EQ(channel(ir, n, 1), 0.0f) << n;
    }
    EXPECT_GT(rms(ir, 0, 1270, 8000), 1e-3);
    EXPECT_GT(rms(ir, 1, 1270, 8000), 1e-3);
}

TEST(Reverb, InputGainScalesTheTailAndTheShortestTimeLeavesNoAudibleOne) {
    const double normal = rms(impulseResponse({0.0f, 0.0f, 1000.0f, 0.5f}, 20000), 0, 0, 20000);
    auto tailDb = [&](const DX8Reverb& rec) {
        return 20.0 * std::log10(rms(impulseResponse(rec, 20000), 0, 0, 20000) / normal);
    };
    EXPECT_NEAR(tailDb({-20.0f, 0.0f, 1000.0f, 0.5f}), -20.0, 0.1);
    // Far below a 1 s reverb: the first return of the shortest line is already under -40 dB.
    EXPECT_LT(tailDb({0.0f, 0.0f, 0.001f, 0.5f}), -40.0);
}

}  // namespace
}  // namespace velorixa::fx::test
