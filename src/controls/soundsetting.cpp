#include "controls/soundsetting.h"

#include <algorithm>

#include "util/rounding.h"

namespace velorixa::controls {

KnobRange KnobRangeOf(int knob) {
    if (knob == kKnobBalance) return {0, 200, 100};
    if (knob == kKnobPitch) return {50, 150, 100};
    if (knob >= kKnobEqFirst && knob < kKnobFxFirst) return {0, 100, 50};
    if (knob >= kKnobFxFirst && knob <= kKnobCount) return {0, 100, 100};
    return {0, 0, 0};
}

std::array<KnobSetting, kKnobCount + 1> SoundSetting::restKnobs() {
    std::array<KnobSetting, kKnobCount + 1> knobs{};
    for (int k = 1; k <= kKnobCount; ++k)
        knobs[k].value = KnobRangeOf(k).rest;
    return knobs;
}

StartValues StartValuesOf(const SoundSetting& s) {
    StartValues v;
    v.FRQ = s.knobs[kKnobPitch].value;
    v.VOL = s.volumePct;
    v.PAN = s.knobs[kKnobBalance].value - 100;
    for (int b = 1; b <= 3; ++b)
        v.EqlArr[b] = static_cast<uint8_t>(s.knobs[kKnobEqFirst + b - 1].value);
    for (int e = 1; e <= 4; ++e)
        v.EffArr[e] = static_cast<uint8_t>(s.knobs[kKnobFxFirst + e - 1].value);
    return v;
}

int GlobalVolumeForChorus(int chorusValue) {
    return util::RoundHalfEvenClamped(100.0 - chorusValue / 2.0, 0, 100);
}

int WaveTickMs(int rotationSpeed) {
    return 201 - 2 * std::clamp(rotationSpeed, 0, 100);
}

}  // namespace velorixa::controls
