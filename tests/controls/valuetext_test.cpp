// The read-outs of the "Effects" page: texts and numbers at the bounds and the middle of every
// control, and the rotation period against the wave generator's own turn.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/valuetext.h"
#include "perform/perfor.h"

namespace velorixa::controls {
namespace {

TEST(ValueText, EveryKnobAtItsBoundsAndMiddle) {
    struct Case {
        int knob, value;
        const char* text;
        double shown;
    } cases[] = {
        {1, 0, "Balance L 100", -100},
        {1, 60, "Balance L 40", -40},
        {1, 100, "Balance Centre", 0},
        {1, 200, "Balance R 100", 100},
        {2, 50, "Pitch 75 %", 75},
        {2, 51, "Pitch 75.5 %", 75.5},
        {2, 100, "Pitch 100 %", 100},
        {2, 115, "Pitch 130 %", 130},
        {2, 150, "Pitch 200 %", 200},
        {3, 0, "Bass +10 dB", 10},
        {3, 4, "Bass +10 dB", 10},  // the sliders act in steps of five
        {3, 17, "Bass +7 dB", 7},
        {4, 50, "Mid 0 dB", 0},
        {5, 100, "Treble -10 dB", -10},
        {6, 0, "Reverb 0 dB", 0},
        {6, 5, "Reverb -0.012 dB", -0.012},
        {6, 50, "Reverb -12 dB", -12},
        {6, 95, "Reverb -82.3 dB", -82.308},
        {6, 100, "Reverb off (-96 dB)", -96},
        {7, 0, "Echo 100 %", 100},
        {7, 65, "Echo 35 %", 35},
        {7, 100, "Echo 0 %", 0},
        {8, 50, "Keen 50 %", 50},
        {9, 0, "Jingl 100 %", 100},
        {9, 100, "Jingl 0 %", 0},
    };
    for (const Case& c : cases) {
        const ShownValue v = ValueText::Knob(c.knob, c.value);
        EXPECT_EQ(v.text.toStdString(), c.text) << c.knob << " at " << c.value;
        EXPECT_NEAR(v.value, c.shown, 1e-4) << c.text;
    }
    EXPECT_TRUE(ValueText::Knob(0, 50).text.isEmpty());
    EXPECT_TRUE(ValueText::Knob(10, 50).text.isEmpty());
    EXPECT_EQ(ValueText::Knob(1, 500).text, "Balance R 100") << "kept inside the range";
}

TEST(ValueText, RangeAndZeroButtons) {
    struct Range {
        int a, b;
        const char* text;
    } ranges[] = {
        {50, 150, "Swing 75..200 %"},
        {150, 50, "Swing 75..200 %"},  // either order
        {90, 115, "Swing 95..130 %"},
        {100, 100, "Swing 100..100 %"},
    };
    for (const Range& r : ranges)
        EXPECT_EQ(ValueText::PitchRange(r.a, r.b).text.toStdString(), r.text);
    EXPECT_EQ(ValueText::ZeroButton(1), "Reset to Balance Centre, rotation off");
    EXPECT_EQ(ValueText::ZeroButton(7), "Reset to Echo 0 %, rotation off");
    EXPECT_EQ(ValueText::ZeroButton(2), "Reset to Pitch 100 %, rotation off");
}

// Ticks until the generator's phase comes back to where it was one tick after a start.
int ticksPerTurn(bool slow) {
    perform::PERFOR wave;
    wave.MovNext();
    const float first = slow ? wave.Wave1 : wave.Wave2;
    for (int n = 1; n < 1000; ++n) {
        wave.MovNext();
        if ((slow ? wave.Wave1 : wave.Wave2) == first) return n;
    }
    return -1;
}

TEST(ValueText, RotationIsTheWavesRealPeriod) {
    ASSERT_EQ(ticksPerTurn(false), ValueText::kFastWaveTicks);
    ASSERT_EQ(ticksPerTurn(true), ValueText::kSlowWaveTicks);
    struct Case {
        int speed;
        const char* text;
        double seconds, balance;
    } cases[] = {
        // The main loop's tick comes one millisecond after the period: 202, 102 and 2 ms.
        {0, "Rotate 6.5 s", 6.464, 12.928},
        {50, "Rotate 3.3 s", 3.264, 6.528},
        {91, "Rotate 0.64 s", 0.64, 1.28},
        {100, "Rotate 0.064 s", 0.064, 0.128},
    };
    for (const Case& c : cases) {
        const ShownValue v = ValueText::Rotation(c.speed);
        EXPECT_EQ(v.text.toStdString(), c.text);
        EXPECT_NEAR(v.value, c.seconds, 1e-9);
        EXPECT_NEAR(ValueText::BalancePeriodSec(c.speed), c.balance, 1e-9);
    }
}

}  // namespace
}  // namespace velorixa::controls
