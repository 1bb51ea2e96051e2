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

void SoundControl::setVolume(int pct, Origin origin) {
    pct = std::clamp(pct, 0, 100);
    if (pct == setting_.volumePct) return;
    setting_.volumePct = pct;
    target_.SetChanAttr(-1, pct, -101);
    emit volumeChanged(pct, origin);
}

void SoundControl::setRotationSpeed(int speed, Origin origin) {
    speed = std::clamp(speed, 0, 100);
    if (speed == setting_.rotationSpeed) return;
    setting_.rotationSpeed = speed;
    emit rotationSpeedChanged(speed, WaveTickMs(speed), origin);
}

void SoundControl::setKnobValue(int knob, int value, Origin origin) {
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
    emit knobChanged(knob, value, origin);
}

void SoundControl::setKnobRotation(int knob, bool rotating, int memRot, Origin origin) {
    if (knob < 1 || knob > kKnobCount) return;
    KnobSetting& k = setting_.knobs[knob];
    if (k.rotating == rotating && k.memRot == memRot) return;
    k.rotating = rotating;
    k.memRot = memRot;
    emit knobRotationChanged(knob, rotating, memRot, origin);
    bool active = false;
    for (int i = 1; i <= kKnobCount; ++i)
        active = active || setting_.knobs[i].rotating;
    if (active == rotationActive_) return;
    rotationActive_ = active;
    emit rotationActiveChanged(active);
}

void SoundControl::setWaveShape(bool jump, bool beat, Origin origin) {
    if (setting_.jump == jump && setting_.beat == beat) return;
    setting_.jump = jump;
    setting_.beat = beat;
    emit waveShapeChanged(jump, beat, origin);
}

void SoundControl::setPitchRange(int lowPct, int highPct, Origin origin) {
    const KnobRange r = KnobRangeOf(kKnobPitch);
    lowPct = std::clamp(lowPct, r.min, r.max);
    highPct = std::clamp(highPct, r.min, r.max);
    if (setting_.pitchRangeLowPct == lowPct && setting_.pitchRangeHighPct == highPct) return;
    setting_.pitchRangeLowPct = lowPct;
    setting_.pitchRangeHighPct = highPct;
    emit pitchRangeChanged(lowPct, highPct, origin);
}

void SoundControl::apply(const SoundSetting& s, Origin origin) {
    setVolume(s.volumePct, origin);
    setRotationSpeed(s.rotationSpeed, origin);
    for (int k = 1; k <= kKnobCount; ++k) {
        setKnobRotation(k, s.knobs[k].rotating, s.knobs[k].memRot, origin);
        setKnobValue(k, s.knobs[k].value, origin);
    }
    setWaveShape(s.jump, s.beat, origin);
    setPitchRange(s.pitchRangeLowPct, s.pitchRangeHighPct, origin);
}

void SoundControl::sendGlobalVolume() {
    target_.SetGlobalVolume(GlobalVolumeForChorus(setting_.knobs[kKnobCount].value));
}

}  // namespace velorixa::controls
