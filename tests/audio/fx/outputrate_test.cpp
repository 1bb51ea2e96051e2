// The effects at the output rates a sound card asks for: every time in milliseconds or seconds
// and every frequency in Hz comes out the same at 44.1, 48 and 96 kHz. Delays are read back
// exactly by sending a ramp through the effect: a ramp delayed by d frames is the ramp less d
// times its slope, so the delay in use can be read at every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "audio/realtime/fx/effect.h"

namespace velorixa::fx {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr float kSlope = 1e-5f;  // per frame: 1 s at 96 kHz stays below 1

class OutputRate : public ::testing::TestWithParam<int> {
  protected:
    double rate() const { return GetParam(); }
    std::unique_ptr<Effect> make(int32_t type, const void* record) const {
        auto fx = createEffect(type);
        fx->prepare(rate(), 512);
        fx->setParameters(record);
        return fx;
    }
    // Runs interleaved stereo through the effect in blocks of 512 frames from `from` on.
    static void run(Effect& fx, std::vector<float>& st, size_t from = 0) {
        const size_t frames = st.size() / 2;
        for (size_t i = from; i < frames; i += 512)
            fx.process(st.data() + 2 * i, static_cast<int>(std::min<size_t>(512, frames - i)));
    }
    std::vector<float> ramp(double seconds) const {
        const auto frames = static_cast<size_t>(seconds * rate());
        std::vector<float> st(2 * frames);
        for (size_t i = 0; i < frames; ++i)
            st[2 * i] = st[2 * i + 1] = kSlope * static_cast<float>(i);
        return st;
    }
    // The delay of the left side at every frame, in milliseconds, read off a ramp's output.
    std::vector<double> delaysMs(const std::vector<float>& out) const {
        std::vector<double> ms(out.size() / 2);
        for (size_t i = 0; i < ms.size(); ++i)
            ms[i] = (kSlope * static_cast<double>(i) - out[2 * i]) / kSlope / rate() * 1000.0;
        return ms;
    }
};

INSTANTIATE_TEST_SUITE_P(Rates, OutputRate, ::testing::Values(44100, 48000, 96000),
                         [](const auto& info) { return std::to_string(info.param) + "Hz"; });

// A flanger and a chorus at full wet, no feedback: the delay swings between delay x (1 - depth)
// and delay x (1 + depth) milliseconds, once per 1 / frequency seconds, at every rate.
TEST_P(OutputRate, ModulatedDelaysSweepTheirMillisecondsAtTheirFrequency) {
    struct Case {
        int32_t type;
        DX8Chorus record;
    };
    const Case cases[] = {
        {kFxFlanger, {100, 50, 0, 2.0f, 0, 2.0f, 2}},  // 1..3 ms at 2 Hz, triangle
        {kFxChorus, {100, 20, 0, 1.1f, 1, 16.0f, 2}},  // 12.8..19.2 ms at 1.1 Hz, sine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type == kFxFlanger ? "flanger" : "chorus");
        auto fx = make(c.type, &c.record);
        std::vector<float> st = ramp(2.0);
        run(*fx, st);
        const std::vector<double> ms = delaysMs(st);
        const auto skip = static_cast<size_t>(0.1 * rate());  // the lines fill first
        const auto [lo, hi] = std::minmax_element(ms.begin() + skip, ms.end());
        const double d = c.record.fDelay, depth = c.record.fDepth / 100.0;
        EXPECT_NEAR(*lo, d * (1 - depth), 0.02);
        EXPECT_NEAR(*hi, d * (1 + depth), 0.02);
        // Upward crossings of the middle delay, one per period.
        std::vector<double> ups;
        for (size_t i = skip + 1; i < ms.size(); ++i)
            if (ms[i - 1] < d && ms[i] >= d) ups.push_back(static_cast<double>(i) / rate());
        ASSERT_GE(ups.size(), 2u);
        const double period = (ups.back() - ups.front()) / static_cast<double>(ups.size() - 1);
        EXPECT_NEAR(period, 1.0 / c.record.fFrequency, 0.002);
    }
}

// The echo's delays are its milliseconds, and a change of delay cross-fades over the same 23 ms
// at every rate (a fade counted in frames would be twice as abrupt at 96 kHz).
TEST_P(OutputRate, EchoDelaysAndTheirCrossFadeKeepTheirMilliseconds) {
    const DX8Echo first{100, 0, 100, 100, 0};
    auto fx = make(kFxEcho, &first);
    std::vector<float> st = ramp(1.0);
    const auto change = static_cast<size_t>(0.5 * rate());
    const size_t frames = st.size() / 2;
    for (size_t i = 0; i < frames; i += 512) {
        if (i == (change / 512) * 512) {
            const DX8Echo second{100, 0, 300, 300, 0};
            fx->setParameters(&second);
        }
        fx->process(st.data() + 2 * i, static_cast<int>(std::min<size_t>(512, frames - i)));
    }
    const std::vector<double> ms = delaysMs(st);
    EXPECT_NEAR(ms[change - 1000], 100.0, 0.01);
    EXPECT_NEAR(ms.back(), 300.0, 0.01);
    // The fade: from the first frame off the old delay to the first frame on the new one.
    size_t from = 0, to = 0;
    for (size_t i = change / 2; i < ms.size(); ++i) {
        if (from == 0 && ms[i] > 100.0 + 2.0) from = i;
        if (from != 0 && ms[i] > 300.0 - 2.0) {
            to = i;
            break;
        }
    }
    ASSERT_GT(from, 0u);
    ASSERT_GT(to, from);
    EXPECT_NEAR(static_cast<double>(to - from) / rate() * 1000.0, 23.2 * 0.98, 0.6);
}

// Sine gain in dB through an effect, measured after it has settled.
double gainDb(Effect& fx, double hz, double rate) {
    fx.reset();
    const auto frames = static_cast<size_t>(0.15 * rate);
    std::vector<float> st(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        st[2 * i] = st[2 * i + 1] = 0.25f * static_cast<float>(std::sin(kTwoPi * hz * i / rate));
    std::vector<float> in = st;
    for (size_t i = 0; i < frames; i += 512)
        fx.process(st.data() + 2 * i, static_cast<int>(std::min<size_t>(512, frames - i)));
    double eIn = 0, eOut = 0;
    for (size_t i = frames / 2; i < frames; ++i) {
        eIn += double(in[2 * i]) * in[2 * i];
        eOut += double(st[2 * i]) * st[2 * i];
    }
    return 10 * std::log10(eOut / eIn);
}

// An equaliser band at 1 kHz, one octave wide, +12 dB: the peak at 1 kHz, half the gain (in
// dB) half an octave either side.
TEST_P(OutputRate, EqualiserBandCentreAndWidthStayInHz) {
    const DX8ParamEq band{1000, 12, 12};
    auto fx = make(kFxParamEq, &band);
    double bestHz = 0, bestDb = -100;
    for (int k = -12; k <= 12; ++k) {
        const double hz = 1000 * std::exp2(k / 24.0);
        const double db = gainDb(*fx, hz, rate());
        if (db > bestDb) bestDb = db, bestHz = hz;
    }
    EXPECT_DOUBLE_EQ(bestHz, 1000);
    EXPECT_NEAR(bestDb, 12.0, 0.2);
    EXPECT_NEAR(gainDb(*fx, 1000 / std::sqrt(2.0), rate()), 6.0, 0.6);
    EXPECT_NEAR(gainDb(*fx, 1000 * std::sqrt(2.0), rate()), 6.0, 0.6);
}

struct Tail {
    double decayDbPerSecond = 0;  // broadband, between 0.1 and 0.6 s
    double highOverLowDb = 0;     // 6 kHz against 300 Hz, between 0.1 and 0.2 s
};

// The reverb's answer to a 20 ms noise burst.
Tail reverbTail(double rate) {
    auto fx = createEffect(kFxReverb);
    fx->prepare(rate, 512);
    const DX8Reverb record{0, 0, 1000, 0.1f};
    fx->setParameters(&record);
    const auto frames = static_cast<size_t>(0.7 * rate);
    std::vector<float> st(2 * frames);
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0, 0.3f);
    for (size_t i = 0; i < static_cast<size_t>(0.02 * rate); ++i)
        st[2 * i] = noise(rng), st[2 * i + 1] = noise(rng);
    for (size_t i = 0; i < frames; i += 512)
        fx->process(st.data() + 2 * i, static_cast<int>(std::min<size_t>(512, frames - i)));
    auto at = [rate](double s) { return static_cast<size_t>(s * rate); };
    auto energy = [&](double t0, double t1) {
        double e = 0;
        for (size_t i = at(t0); i < at(t1); ++i)
            e += double(st[2 * i]) * st[2 * i];
        return e / static_cast<double>(at(t1) - at(t0));
    };
    // Energy near hz in [0.1, 0.2) s: Hann-windowed DFT bins over a few neighbouring tones.
    auto bandEnergy = [&](double hz) {
        const size_t from = at(0.1), to = at(0.2), n = to - from;
        double sum = 0;
        for (int k = 0; k < 8; ++k) {
            const double f = hz * (1 + 0.05 * k);
            double re = 0, im = 0;
            for (size_t i = from; i < to; ++i) {
                const double w = 0.5 - 0.5 * std::cos(kTwoPi * double(i - from) / double(n));
                re += st[2 * i] * w * std::cos(kTwoPi * f * double(i) / rate);
                im += st[2 * i] * w * std::sin(kTwoPi * f * double(i) / rate);
            }
            sum += re * re + im * im;
        }
        return sum;
    };
    Tail t;
    t.decayDbPerSecond = 10 * std::log10(energy(0.55, 0.6) / energy(0.1, 0.15)) / 0.45;
    t.highOverLowDb = 10 * std::log10(bandEnergy(6000) / bandEnergy(300));
    return t;
}

// The reverb's tail falls as fast in seconds, and its highs are as dark (the damping keeps its
// cut-off in Hz), as at 44.1 kHz.
TEST_P(OutputRate, ReverbTailKeepsItsSecondsAndItsColour) {
    const Tail ref = reverbTail(44100);
    const Tail t = reverbTail(rate());
    EXPECT_NEAR(-60 / ref.decayDbPerSecond, 0.9, 0.1);  // the 1 s set, as this network gives it
    EXPECT_NEAR(t.decayDbPerSecond / ref.decayDbPerSecond, 1.0, 0.04);
    EXPECT_NEAR(t.highOverLowDb, ref.highOverLowDb, 4.0);
}

// A new output rate for a running effect: prepared again at the new rate, it keeps its
// settings, and its delays are right at once.
TEST(OutputRateChange, EffectPreparedAgainKeepsItsSettingsAtTheNewRate) {
    auto fx = createEffect(kFxEcho);
    fx->prepare(44100, 512);
    const DX8Echo record{100, 0, 40, 40, 0};
    fx->setParameters(&record);
    std::vector<float> warm(2 * 4096, 0.1f);
    fx->process(warm.data(), 512);
    fx->prepare(96000, 512);
    DX8Echo kept{};
    fx->getParameters(&kept);
    EXPECT_EQ(kept.fLeftDelay, 40.0f);
    std::vector<float> st(2 * 9600);
    st[0] = st[1] = 1.0f;  // an impulse: its echo 40 ms later
    for (size_t i = 0; i < st.size() / 2; i += 512)
        fx->process(st.data() + 2 * i, static_cast<int>(std::min<size_t>(512, st.size() / 2 - i)));
    size_t loudest = 1;
    for (size_t i = 1; i < st.size() / 2; ++i)
        if (std::fabs(st[2 * i]) > std::fabs(st[2 * loudest])) loudest = i;
    EXPECT_EQ(loudest, 3840u);  // 40 ms at 96 kHz
}

}  // namespace
}  // namespace velorixa::fx
