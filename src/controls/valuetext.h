#pragma once
// The read-outs of the "Effects" page: what a control's value does to the sound, in the sound's
// own units ("Pitch 130 %", "Bass +6 dB", "Balance L 40", "Echo 35 %", "Swing 75..200 %",
// "Rotate 3.3 s"). The numbers come from the player's own mappings (PLAYER::PitchPercent,
// EqGainDb, ...) and from the wave's real tick, so a read-out always says what is heard, never
// the bar's raw position.
//
// Thread contract: pure functions; any thread.

#include <QString>

namespace velorixa::controls {

// A read-out: the number shown and its text. value is in the unit of the text (percent, dB,
// seconds); for the balance it is the pan, -100 (left) .. 100 (right).
struct ShownValue {
    double value = 0;
    QString text;
};

class ValueText {
  public:
    // Ticks of the wave generator per swing: the fast wave (every knob but the balance) turns
    // once in 32 ticks, the slow one (the balance) in 64.
    static constexpr int kFastWaveTicks = 32;
    static constexpr int kSlowWaveTicks = 64;

    // The channel volume bar, 0..100: "Volume 50 %".
    static ShownValue Volume(int volumePct);
    // The rotation speed bar, 0..100: the period of one swing of a knob on the fast wave, from
    // the main loop's real wave tick (one tick every period + 1 ms): "Rotate 3.3 s".
    static ShownValue Rotation(int rotationSpeed);
    // The balance knob's swing period at that speed (twice the others').
    static double BalancePeriodSec(int rotationSpeed);
    // Knob 1..9 at a bar value: "Balance L 40", "Pitch 130 %", "Bass +6 dB", "Reverb -12 dB",
    // "Echo 35 %". Empty for other knob numbers.
    static ShownValue Knob(int knob, int value);
    // The pitch knob's swing range (the two bars in either order): "Swing 75..200 %"; value is
    // the lower bound.
    static ShownValue PitchRange(int lowBar, int highBar);
    // What a knob's zero button does: "Reset: Centre, rotation off".
    static QString ZeroButton(int knob);
    // The name a read-out begins with ("Balance", "Bass", "Echo", ...).
    static QString KnobName(int knob);
};

}  // namespace velorixa::controls
