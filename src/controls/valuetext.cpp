#include "controls/valuetext.h"

#include <algorithm>
#include <cmath>

#include "audio/player.h"
#include "controls/soundsetting.h"

namespace velorixa::controls {

namespace {

// Up to three significant digits, no trailing zeros: 130, 75.5, -0.012, -82.3.
QString number(double v) {
    return QString::number(v, 'g', 3);
}

QString signedDb(double db) {
    if (db == 0) db = 0;  // no "-0"
    return (db > 0 ? QStringLiteral("+") : QString()) + number(db) + QStringLiteral(" dB");
}

double periodSec(int ticks, int rotationSpeed) {
    // The main loop runs the tick once more than its period has passed: period + 1 ms apart.
    return ticks * (WaveTickMs(rotationSpeed) + 1) / 1000.0;
}

}  // namespace

ShownValue ValueText::Volume(int volumePct) {
    const int v = std::clamp(volumePct, 0, 100);
    return {double(v), QStringLiteral("Volume %1 %").arg(v)};
}

ShownValue ValueText::Rotation(int rotationSpeed) {
    const double s = periodSec(kFastWaveTicks, rotationSpeed);
    return {s, QStringLiteral("Rotate %1 s").arg(QString::number(s, 'g', 2))};
}

double ValueText::BalancePeriodSec(int rotationSpeed) {
    return periodSec(kSlowWaveTicks, rotationSpeed);
}

QString ValueText::KnobName(int knob) {
    static const char* const names[] = {"",       "Balance", "Pitch", "Bass", "Mid",
                                        "Treble", "Reverb",  "Echo",  "Keen", "Jingl"};
    if (knob < 1 || knob > kKnobCount) return {};
    return QString::fromLatin1(names[knob]);
}

ShownValue ValueText::Knob(int knob, int value) {
    if (knob < 1 || knob > kKnobCount) return {};
    const KnobRange r = KnobRangeOf(knob);
    value = std::clamp(value, r.min, r.max);
    const QString name = KnobName(knob) + u' ';
    if (knob == kKnobBalance) {
        const int pan = value - 100;
        if (pan == 0) return {0, name + QStringLiteral("Centre")};
        return {
            double(pan),
            name + (pan < 0 ? QStringLiteral("L %1") : QStringLiteral("R %1")).arg(std::abs(pan))};
    }
    if (knob == kKnobPitch) {
        const double p = PLAYER::PitchPercent(value);
        return {p, name + number(p) + QStringLiteral(" %")};
    }
    if (knob < kKnobFxFirst) {
        const double db = PLAYER::EqGainDb(value);
        return {db, name + signedDb(db)};
    }
    if (knob == kKnobFxFirst) {
        const double db = PLAYER::ReverbMixDb(value);
        // The reverb's quietest mix is silence.
        if (db <= -96) return {db, name + QStringLiteral("off (-96 dB)")};
        return {db, name + signedDb(db)};
    }
    const double mix = PLAYER::EffectMixPct(value);
    return {mix, name + number(mix) + QStringLiteral(" %")};
}

ShownValue ValueText::PitchRange(int lowBar, int highBar) {
    const double a = PLAYER::PitchPercent(std::min(lowBar, highBar));
    const double b = PLAYER::PitchPercent(std::max(lowBar, highBar));
    return {a, QStringLiteral("Swing %1..%2 %").arg(number(a), number(b))};
}

QString ValueText::ZeroButton(int knob) {
    if (knob < 1 || knob > kKnobCount) return {};
    const ShownValue rest = Knob(knob, KnobRangeOf(knob).rest);
    return QStringLiteral("Reset to %1, rotation off").arg(rest.text);
}

}  // namespace velorixa::controls
