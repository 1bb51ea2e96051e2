#include <gtest/gtest.h>

#include "audio/realtime/fx/effect.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

// Level change in dB that the band applies to a sine, measured after the filter settled.
double gainAt(const DX8ParamEq& rec, double freqHz) {
    auto fx = makePrepared(kFxParamEq);
    fx->setParameters(&rec);
    fx->reset();  // start from the settled filter
    const int frames = 44100;
    Buffer in = sine(freqHz, 0.25f, frames);
    Buffer out = in;
    runBlocks(*fx, out, 512);
    const int from = frames / 2;  // well past the filter's ring-in, even at 80 Hz / 1 semitone
    return 20.0 * std::log10(rms(out, 0, from, frames) / rms(in, 0, from, frames));
}

TEST(ParamEq, SineAtCentreGainsTheSetGain) {
    for (float centre : {100.0f, 700.0f, 1000.0f, 8000.0f}) {
        for (float gain : {-15.0f, -6.0f, 3.0f, 10.0f, 15.0f}) {
            for (float bw : {1.0f, 12.0f, 36.0f}) {
                const DX8ParamEq rec{centre, bw, gain};
                EXPECT_NEAR(gainAt(rec, centre), gain, 0.5)
                    << "centre " << centre << " gain " << gain << " bw " << bw;
            }
        }
    }
}

TEST(ParamEq, AwayFromCentreAndAboveAThirdOfTheRate) {
    // A one-octave band (the half-gain points half an octave either side) leaves a sine two
    // octaves away within 1 dB even at the extreme gains; a 2-semitone band leaves a sine one
    // octave away within 0.25 dB. 16000 Hz is inside the record's range but above 44100 / 3:
    // the band works at 14700 Hz.
    const struct {
        DX8ParamEq rec;
        double probeHz, expectedDb, tolerance;
    } cases[] = {
        {{1000, 12, -15}, 4000, 0, 1},     {{1000, 12, 15}, 250, 0, 1},
        {{1000, 2, -15}, 2000, 0, 0.25},   {{1000, 2, 15}, 500, 0, 0.25},
        {{16000, 12, 12}, 14700, 12, 0.5},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(gainAt(c.rec, c.probeHz), c.expectedDb, c.tolerance)
            << c.rec.fCenter << " Hz, " << c.rec.fBandwidth << " semitones, " << c.rec.fGain
            << " dB at " << c.probeHz << " Hz";
}

TEST(ParamEq, ZeroDbIsBitExactPassThrough) {
    auto fx = makePrepared(kFxParamEq);
    const DX8ParamEq rec{700.0f, 18.0f, 0.0f};
    fx->setParameters(&rec);
    const Buffer in = noise(30000, 7);
    Buffer out = in;
    runBlocks(*fx, out, 333);  // includes the glide of centre/bandwidth from the defaults
    // Once the glide has settled (a 3.5-octave move lands within half a second), the band
    // copies its input unchanged.
    const int settled = 22050;
    for (int i = 2 * settled; i < static_cast<int>(in.size()); ++i)
        ASSERT_EQ(in[i], out[i]) << "sample " << i;

    // After a boost that returns to 0 dB, pass-through is exact again.
    const DX8ParamEq boost{700.0f, 18.0f, 9.0f};
    fx->setParameters(&boost);
    Buffer more = noise(22050, 8);
    runBlocks(*fx, more, 256);
    fx->setParameters(&rec);
    const Buffer in2 = noise(30000, 9);
    Buffer out2 = in2;
    runBlocks(*fx, out2, 256);
    for (int i = 2 * settled; i < static_cast<int>(in2.size()); ++i)
        ASSERT_EQ(in2[i], out2[i]) << "sample " << i;
}

}  // namespace
}  // namespace velorixa::fx::test
