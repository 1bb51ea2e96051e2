// Properties every effect shares: glides without clicks, clamping and safe concurrent parameter
// updates (block-size independence: idle_test.cpp).

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

#include "audio/realtime/fx/effect.h"
#include "common/stepmeasure.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

using testmedia::measureSteps;
using testmedia::StepReport;

constexpr double kSineHz = 100.0;
// 1.5: the read-head speed of the modulated delays (up to ~1.4 in these sweeps) plus slack.
constexpr double kStepFactor = 1.5;
// With feedback near 99 % a modulated delay recirculates the sine many times, each pass
// shifting it by the read-head speed again (1.07 per pass in the chorus case: about 2 after
// ten passes): that spreads the spectrum upwards without any jump.
constexpr double kStepFactorRecirculating = 2.0;

TEST(Smoothness, DetectorFlagsAJumpOfFivePercent) {
    // The measure must catch a click: a sine whose level jumps by 5 % once.
    Buffer b = sine(kSineHz, 0.5f, 44100, 0.3);
    for (size_t i = 2 * 22050 + 20; i < b.size(); ++i)
        b[i] *= 1.05f;
    EXPECT_LT(measureSteps(sine(kSineHz, 0.5f, 44100, 0.3), kSineHz).worstRatio, 1.01);
    EXPECT_GT(measureSteps(b, kSineHz).worstRatio, kStepFactorRecirculating);
}

TEST(Smoothness, SweepingAnyFieldAcrossItsRangeNeverClicks) {
    // Every 5 ms (as a knob sends updates) the field moves one step of a 2 s sweep from its
    // minimum to its maximum; then it jumps straight back (a key recall) and the tail plays.
    constexpr int kUpdateFrames = 220;
    constexpr int kSweepUpdates = 400;
    constexpr int kTailFrames = 44100;
    for (int32_t type : kAllTypes) {
        for (const Field& f : fieldsOf(type)) {
            auto fx = makePrepared(type);
            Record rec = audibleRecord(type);
            setField(rec, f, f.lo);
            fx->setParameters(rec.words);
            fx->reset();
            const int frames = kUpdateFrames * kSweepUpdates + kTailFrames;
            Buffer b = fadedSine(kSineHz, frames);
            for (int u = 0; u < kSweepUpdates; ++u) {
                const float x = static_cast<float>(u) / (kSweepUpdates - 1);
                // Times and frequencies sweep evenly in log scale, the rest linearly.
                const bool logScale = f.lo > 0.0f && f.hi / f.lo > 100.0f;
                const float v =
                    logScale ? f.lo * std::pow(f.hi / f.lo, x) : f.lo + x * (f.hi - f.lo);
                setField(rec, f, v);
                fx->setParameters(rec.words);
                fx->process(b.data() + 2 * u * kUpdateFrames, kUpdateFrames);
            }
            setField(rec, f, f.lo);
            fx->setParameters(rec.words);
            for (int pos = kUpdateFrames * kSweepUpdates; pos < frames; pos += kUpdateFrames)
                fx->process(b.data() + 2 * pos, std::min(kUpdateFrames, frames - pos));
            ASSERT_TRUE(allFinite(b)) << typeName(type) << " " << f.name;
            const StepReport rep = measureSteps(b, kSineHz);
            const bool recirculating = (type == kFxChorus || type == kFxFlanger) && f.index == 2;
            EXPECT_LT(rep.worstRatio, recirculating ? kStepFactorRecirculating : kStepFactor)
                << typeName(type) << " " << f.name << " at frame " << rep.worstFrame;
        }
    }
}

TEST(BlockEdges, ShortLinesAndAStoppedOscillatorAgreeAcrossBlockSizes) {
    // At 400 Hz the reverb's lines (12..26 frames) and the echo's delays (2 and 3 frames) are
    // shorter than a sub-block, which caps how many frames render together; with the
    // oscillator stopped a settled flanger or chorus renders a block in one piece. Frame by
    // frame (where neither applies), one block and uneven blocks must still agree exactly.
    struct Case {
        int32_t type;
        double rateHz;
        std::vector<float> fields;
    };
    const Case cases[] = {
        {kFxReverb, 400, {0, -3, 900, 0.3f}},
        {kFxEcho, 400, {60, 70, 5, 7.5f, 1}},
        {kFxFlanger, kRate, {50, 60, -60, 0, 1, 2.5f, 3}},
        {kFxChorus, kRate, {50, 60, -60, 0, 0, 12, 1}},
    };
    const Buffer in = noise(6000, 43);
    for (const Case& c : cases) {
        const Record rec = recordOf(c.type, c.fields);
        for (bool gliding : {false, true}) {
            auto render = [&](int maxBlock) {
                auto fx = createEffect(c.type);
                fx->prepare(c.rateHz, 6000);
                fx->setParameters(rec.words);
                if (!gliding) fx->reset();
                Buffer b = in;
                std::mt19937 rng(7);
                std::uniform_int_distribution<int> size(1, maxBlock);
                for (int pos = 0; pos < 6000;) {
                    const int n = std::min(maxBlock == 6000 ? 6000 : size(rng), 6000 - pos);
                    fx->process(b.data() + 2 * pos, n);
                    pos += n;
                }
                return b;
            };
            const Buffer single = render(1);
            const std::string what = std::string(typeName(c.type)) + (gliding ? " gliding" : "");
            EXPECT_EQ(render(6000), single) << what;
            EXPECT_EQ(render(300), single) << what;
            float moved = 0;
            for (size_t i = 0; i < in.size(); ++i)
                moved = std::max(moved, std::abs(single[i] - in[i]));
            EXPECT_GT(moved, 0.05f) << what;
        }
    }
}

TEST(Parameters, OutOfRangeAndNanAreClampedAndRoundTrip) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int32_t type : kAllTypes) {
        Record defaults;
        createEffect(type)->getParameters(defaults.words);
        for (const Field& f : fieldsOf(type)) {
            const float mid = f.isInt ? std::round((f.lo + f.hi) / 2) : (f.lo + f.hi) / 2;
            // Float fields get `in`, integer fields `inInt`; NaN falls back to the default.
            const struct {
                float in;
                int32_t inInt;
                float expected;
            } probes[] = {
                {f.lo - 1000, INT32_MIN, f.lo},
                {f.hi + 1000, INT32_MAX, f.hi},
                {-inf, -1, f.lo},
                {inf, 1000, f.hi},
                {mid, static_cast<int32_t>(mid), mid},
                {nan, static_cast<int32_t>(mid), f.isInt ? mid : defaults.getFloat(f.index)}};
            for (const auto& p : probes) {
                auto fx = makePrepared(type);
                Record rec = std::isnan(p.in) ? audibleRecord(type) : defaults;
                if (f.isInt)
                    rec.setInt(f.index, p.inInt);
                else
                    rec.setFloat(f.index, p.in);
                fx->setParameters(rec.words);
                Record back;
                fx->getParameters(back.words);
                const float got =
                    f.isInt ? static_cast<float>(back.getInt(f.index)) : back.getFloat(f.index);
                EXPECT_EQ(got, p.expected) << typeName(type) << " " << f.name << " in " << p.in;
                Buffer b = noise(4096, 3);
                runBlocks(*fx, b, 1024);
                EXPECT_TRUE(allFinite(b)) << typeName(type) << " " << f.name;
            }
        }
    }
}

TEST(Concurrency, ParametersChangeWhileAudioRuns) {
    // One thread turns every knob at random as fast as it can while another renders; the
    // sound stays finite and the last values set are the ones read back and rendered.
    for (int32_t type : kAllTypes) {
        auto fx = makePrepared(type, 256);
        std::atomic<bool> stop{false};
        const std::vector<Field> fields = fieldsOf(type);
        Record last = audibleRecord(type);
        std::thread gui([&] {
            std::mt19937 rng(77);
            std::uniform_real_distribution<float> unit(-0.1f, 1.1f);
            Record rec = audibleRecord(type);
            for (int i = 0; i < 3000; ++i) {
                for (const Field& f : fields)
                    setField(rec, f, f.lo + unit(rng) * (f.hi - f.lo));
                fx->setParameters(rec.words);
            }
            fx->setParameters(last.words);
            stop = true;
        });
        bool finite = true;
        int blocks = 0;
        while (!stop.load() || blocks < 50) {
            Buffer block = noise(256, blocks);
            fx->process(block.data(), 256);
            finite = finite && allFinite(block);
            ++blocks;
        }
        gui.join();
        EXPECT_TRUE(finite) << typeName(type);
        Record back;
        fx->getParameters(back.words);
        for (const Field& f : fields)
            EXPECT_EQ(back.words[f.index], last.words[f.index]) << typeName(type) << " " << f.name;
    }
}

}  // namespace
}  // namespace velorixa::fx::test
