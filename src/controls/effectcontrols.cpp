#include "controls/effectcontrols.h"

#include <algorithm>

#include "controls/soundcontrol.h"

namespace velorixa::controls {

// A knob's value and rotate button as the sound setting holds them: what its SLIDER moves.
class EffectControls::KnobValue final : public KnobControls {
  public:
    KnobValue(SoundControl& sound, int index) : sound_(sound), index_(index) {}
    int value() const override { return knob().value; }
    void setValue(int v, Origin origin) override { sound_.setKnobValue(index_, v, origin); }
    int minimum() const override { return KnobRangeOf(index_).min; }
    int maximum() const override { return KnobRangeOf(index_).max; }
    bool rotatePressed() const override { return knob().rotating; }
    void pressRotate(Origin origin) override { set(true, origin); }
    void releaseRotate(Origin origin) override { set(false, origin); }

  private:
    const KnobSetting& knob() const { return sound_.setting().knobs[static_cast<size_t>(index_)]; }
    void set(bool down, Origin origin) {
        sound_.setKnobRotation(index_, down, knob().memRot, origin);
    }

    SoundControl& sound_;
    int index_;
};

namespace {
// Unit steps from `from` to `to`, each one a call of step with the new value.
template <class Step>
void Glide(int from, int to, Step step) {
    while (from != to) {
        from += from < to ? 1 : -1;
        step(from);
    }
}
}  // namespace

EffectControls::EffectControls(SoundControl& sound, const WaveSource& wave) : sound_(sound) {
    values_.reserve(kKnobCount + 1);
    knobs_.reserve(kKnobCount + 1);
    for (int i = 0; i <= kKnobCount; ++i) {
        values_.emplace_back(sound, i);
        knobs_.emplace_back(wave);
    }
    // Balance and pitch are horizontal bars; the balance swings on the slow wave, every other
    // knob on the fast one.
    for (int i = 1; i <= kKnobCount; ++i) {
        const bool horizontal = i == kKnobBalance || i == kKnobPitch;
        const int16_t type = i == kKnobBalance ? keyTypPAN_ : 0;
        knobs_[i].InitSobj(i, horizontal ? 'H' : 'V', type, values_[i]);
    }
}

EffectControls::~EffectControls() = default;

const SoundSetting& EffectControls::setting() const {
    return sound_.setting();
}

void EffectControls::cancel(Origin origin) {
    if (!TakesOver(origin) || !performance_) return;
    performance_->InitTypPerf();
    performance_->InitKbdPerf();
}

void EffectControls::recordMemRot(int Index, Origin origin) {
    const KnobSetting& k = setting().knobs[static_cast<size_t>(Index)];
    sound_.setKnobRotation(Index, k.rotating, static_cast<int>(knobs_[Index].MemRot), origin);
}

void EffectControls::setRotButton(int Index, bool down, Origin origin) {
    sound_.setKnobRotation(Index, down, setting().knobs[static_cast<size_t>(Index)].memRot, origin);
}

void EffectControls::ScrVOL_Change(int value, Origin origin) {
    cancel(origin);
    sound_.setVolume(value, origin);
}

void EffectControls::ScrROT_Change(int value, Origin origin) {
    cancel(origin);
    // The wave tick period follows (SoundControl reports it with the speed).
    sound_.setRotationSpeed(value, origin);
}

void EffectControls::ScrBar_Change(int Index, int value, Origin origin) {
    if (!valid(Index)) return;
    cancel(origin);
    sound_.setKnobValue(Index, value, origin);
}

void EffectControls::ScrFRQ_Change(int low, int high, Origin origin) {
    sound_.setPitchRange(low, high, origin);
    // Only stores the bounds while the pitch knob stands still; restarts its swing while it
    // rotates.
    knobs_[kKnobPitch].SetMinMax(setting().pitchRangeLowPct, setting().pitchRangeHighPct, origin);
    recordMemRot(kKnobPitch, origin);
}

void EffectControls::RotBut_Click(int Index, Origin origin) {
    if (!valid(Index)) return;
    cancel(origin);
    setRotButton(Index, true, origin);
    if (Index == kKnobPitch) {
        knobs_[Index].SetMinMax(setting().pitchRangeLowPct, setting().pitchRangeHighPct, origin);
    } else {
        knobs_[Index].SetRotate(origin);
    }
    recordMemRot(Index, origin);
}

void EffectControls::ZerBut_Click(int Index, Origin origin) {
    if (!valid(Index)) return;
    cancel(origin);
    knobs_[Index].ZerRotate(origin);
    setRotButton(Index, false, origin);
    recordMemRot(Index, origin);
}

void EffectControls::setShape(bool jump, bool beat, int16_t keyTyp, Origin origin) {
    keyTypPAN_ = keyTyp;
    knobs_[kKnobBalance].InitKeyTyp(keyTypPAN_);
    sound_.setWaveShape(jump, beat, origin);
}

// The two boxes exclude each other: ticking one clears the other.
void EffectControls::ChkRot1_Click(bool ticked, Origin origin) {
    cancel(origin);
    setShape(ticked, ticked ? false : setting().beat, ticked ? 2 : 1, origin);
}

void EffectControls::ChkRot2_Click(bool ticked, Origin origin) {
    cancel(origin);
    setShape(ticked ? false : setting().jump, ticked, ticked ? 3 : 1, origin);
}

void EffectControls::WaveTick() {
    for (int i = 1; i <= kKnobCount; ++i)
        knobs_[i].MovRotate();
}

void EffectControls::PutValVOL(int ValScr, Origin origin) {
    Glide(setting().volumePct, std::clamp(ValScr, 0, 100),
          [&](int v) { sound_.setVolume(v, origin); });
}

void EffectControls::PutValROT(int ValScr, Origin origin) {
    Glide(setting().rotationSpeed, std::clamp(ValScr, 0, 100),
          [&](int v) { sound_.setRotationSpeed(v, origin); });
}

void EffectControls::SetRotZer(int Index, int ValScr, Origin origin) {
    if (!valid(Index)) return;
    knobs_[Index].PutValZer(ValScr, origin);
    recordMemRot(Index, origin);
}

void EffectControls::SetRotScr(int Index, int ValScr, Origin origin) {
    if (!valid(Index)) return;
    if (Index == kKnobPitch) {
        knobs_[Index].SMMRotKbd(ValScr, setting().pitchRangeLowPct, setting().pitchRangeHighPct,
                                origin);
    } else {
        knobs_[Index].SetRotKbd(ValScr, origin);
    }
    recordMemRot(Index, origin);
}

void EffectControls::SetScrVOL(int v, Origin origin) {
    sound_.setVolume(v, origin);
}

void EffectControls::SetScrROT(int v, Origin origin) {
    sound_.setRotationSpeed(v, origin);
}

void EffectControls::SetChkRot1(bool on, Origin origin) {
    if (setting().jump != on) ChkRot1_Click(on, origin);
}

void EffectControls::SetChkRot2(bool on, Origin origin) {
    if (setting().beat != on) ChkRot2_Click(on, origin);
}

void EffectControls::SetScrFRQ(int low, int high, Origin origin) {
    ScrFRQ_Change(low, high, origin);
}

void EffectControls::PutRangeFRQ(int low, int high, Origin origin) {
    sound_.setPitchRange(low, high, origin);
}

void EffectControls::PressRotBut(int Index, Origin origin) {
    if (valid(Index)) setRotButton(Index, true, origin);
}

void EffectControls::ReleaseRotBut(int Index, Origin origin) {
    if (valid(Index)) setRotButton(Index, false, origin);
}

int EffectControls::zeroOf(int Index) const {
    if (!valid(Index)) return 0;
    return static_cast<int>(knobs_[static_cast<size_t>(Index)].ZerScr);
}

}  // namespace velorixa::controls
