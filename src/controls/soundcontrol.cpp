#include "controls/soundcontrol.h"

#include <algorithm>

#include "audio/player.h"

namespace velorixa::controls {

void PlayerSoundTarget::SetChanAttr(double FRQ, double VOL, double PAN) {
    player_.SetChanAttr(FRQ, VOL, PAN);
}
void PlayerSoundTarget::UpdateEQL(int band, int value) {
    player_.UpdateEQL(static_cast<int16_t>(band), static_cast<uint8_t>(value));
}
void PlayerSoundTarget::UpdateEFF(int effect, int value) {
    player_.UpdateEFF(static_cast<int16_t>(effect), static_cast<uint8_t>(value));
}
void PlayerSoundTarget::SetGlobalVolume(int volume) {
    player_.SetGlobalVolume(volume);
}

SoundControl::SoundControl(SoundTarget& target, QObject* parent)
    : QObject(parent), target_(target) {}

void SoundControl::setVolume(int pct) {
    pct = std::clamp(pct, 0, 100);
    if (pct == setting_.volumePct) return;
    setting_.volumePct = pct;
    target_.SetChanAttr(-1, pct, -101);
    emit volumeChanged(pct);
}

void SoundControl::setRotationSpeed(int speed) {
    speed = std::clamp(speed, 0, 100);
    if (speed == setting_.rotationSpeed) return;
    setting_.rotationSpeed = speed;
    emit rotationSpeedChanged(speed, WaveTickMs(speed));
}

void SoundControl::setKnobValue(int knob, int value) {
    if (knob < 1 || knob > kKnobCount) return;
    const KnobRange r = KnobRangeOf(knob);
    value = std::clamp(value, r.min, r.max);
    if (value == setting_.knobs[knob].value) return;
    setting_.knobs[knob].value = value;
    if (knob == kKnobBalance) {
        target_.SetChanAttr(-1, -1, value - 100);
    } else if (knob == kKnobPitch) {
        target_.SetChanAttr(value, -1, -101);
    } else if (knob < kKnobFxFirst) {
        target_.UpdateEQL(knob - kKnobEqFirst + 1, value);
    } else {
        const int effect = knob - kKnobFxFirst + 1;
        target_.UpdateEFF(effect, value);
        if (effect == 4) target_.SetGlobalVolume(GlobalVolumeForChorus(value));
    }
    emit knobChanged(knob);
}

void SoundControl::setKnobRotation(int knob, bool rotating, int memRot) {
    if (knob < 1 || knob > kKnobCount) return;
    KnobSetting& k = setting_.knobs[knob];
    if (k.rotating == rotating && k.memRot == memRot) return;
    k.rotating = rotating;
    k.memRot = memRot;
    emit optionsChanged();
}

void SoundControl::setWaveShape(bool jump, bool beat) {
    if (setting_.jump == jump && setting_.beat == beat) return;
    setting_.jump = jump;
    setting_.beat = beat;
    emit optionsChanged();
}

void SoundControl::setPitchRange(int lowPct, int highPct) {
    const KnobRange r = KnobRangeOf(kKnobPitch);
    lowPct = std::clamp(lowPct, r.min, r.max);
    highPct = std::clamp(highPct, r.min, r.max);
    if (setting_.pitchRangeLowPct == lowPct && setting_.pitchRangeHighPct == highPct) return;
    setting_.pitchRangeLowPct = lowPct;
    setting_.pitchRangeHighPct = highPct;
    emit optionsChanged();
}

void SoundControl::apply(const SoundSetting& s) {
    setVolume(s.volumePct);
    setRotationSpeed(s.rotationSpeed);
    for (int k = 1; k <= kKnobCount; ++k) {
        setKnobRotation(k, s.knobs[k].rotating, s.knobs[k].memRot);
        setKnobValue(k, s.knobs[k].value);
    }
    setWaveShape(s.jump, s.beat);
    setPitchRange(s.pitchRangeLowPct, s.pitchRangeHighPct);
}

void SoundControl::sendGlobalVolume() {
    target_.SetGlobalVolume(GlobalVolumeForChorus(setting_.knobs[kKnobCount].value));
}

}  // namespace velorixa::controls
