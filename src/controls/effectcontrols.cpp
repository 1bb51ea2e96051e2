#include "controls/effectcontrols.h"

#include "controls/soundcontrol.h"

namespace velorixa::controls {

EffectControls::EffectControls(SoundControl& sound, const WaveSource& wave, WindowState& state)
    : sound_(sound), state_(state) {
    knobs_.reserve(kKnobCount + 1);
    for (int i = 0; i <= kKnobCount; ++i)
        knobs_.emplace_back(wave);
}

void EffectControls::bindKnob(int Index, KnobControls& controls) {
    if (!valid(Index)) return;
    controls_[Index] = &controls;
    // Balance and pitch are horizontal bars; the balance swings on the slow wave, every other
    // knob on the fast one.
    const bool horizontal = Index == kKnobBalance || Index == kKnobPitch;
    const int16_t type = Index == kKnobBalance ? keyTypPAN_ : 0;
    knobs_[Index].InitSobj(Index, horizontal ? 'H' : 'V', type, controls);
}

void EffectControls::bindPitchRange(Bar& ScrFRQ1, Bar& ScrFRQ2) {
    scrFRQ1_ = &ScrFRQ1;
    scrFRQ2_ = &ScrFRQ2;
}

void EffectControls::bindShape(Toggle& ChkRot1, Toggle& ChkRot2) {
    chkRot1_ = &ChkRot1;
    chkRot2_ = &ChkRot2;
}

void EffectControls::cancel() {
    if (state_.CmdFON || !performance_) return;
    performance_->InitTypPerf();
    performance_->InitKbdPerf();
}

void EffectControls::updateRotActive() {
    bool any = false;
    for (int i = 1; i <= kKnobCount; ++i)
        any = any || (controls_[i] && controls_[i]->rotatePressed());
    state_.RotActive = any;
}

void EffectControls::recordRotation(int Index) {
    const SLIDER& k = knobs_[Index];
    sound_.setKnobRotation(Index, k.rotating(), k.rotating() ? static_cast<int>(k.MemRot) : 0);
}

void EffectControls::ScrVOL_Change() {
    if (!scrVOL_) return;
    cancel();
    sound_.setVolume(scrVOL_->value());
}

void EffectControls::ScrROT_Change() {
    if (!scrROT_) return;
    cancel();
    // The wave tick period follows (SoundControl reports it to the window).
    sound_.setRotationSpeed(scrROT_->value());
}

void EffectControls::ScrBar_Change(int Index) {
    if (!valid(Index) || !controls_[Index]) return;
    cancel();
    sound_.setKnobValue(Index, controls_[Index]->value());
}

void EffectControls::ScrFRQ_Change() {
    if (!scrFRQ1_ || !scrFRQ2_) return;
    sound_.setPitchRange(scrFRQ1_->value(), scrFRQ2_->value());
    if (rotTag_[kKnobPitch]) return;
    // Only stores the bounds while the pitch knob stands still; restarts its swing while it
    // rotates.
    knobs_[kKnobPitch].SetMinMax(scrFRQ1_->value(), scrFRQ2_->value());
    recordRotation(kKnobPitch);
}

void EffectControls::RotBut_Click(int Index) {
    if (!valid(Index) || !controls_[Index]) return;
    if (!rotTag_[Index]) {
        cancel();
        if (Index == kKnobPitch) {
            if (scrFRQ1_ && scrFRQ2_) knobs_[Index].SetMinMax(scrFRQ1_->value(), scrFRQ2_->value());
        } else {
            knobs_[Index].SetRotate();
        }
        recordRotation(Index);
    }
    updateRotActive();
}

void EffectControls::ZerBut_Click(int Index) {
    if (!valid(Index) || !controls_[Index]) return;
    cancel();
    knobs_[Index].ZerRotate();
    controls_[Index]->releaseRotate();
    recordRotation(Index);
    updateRotActive();
}

void EffectControls::ChkRot1_Click() {
    if (!chkRot1_ || !chkRot2_) return;
    cancel();
    if (chkRot1_->checked() && chkRot2_->checked()) {
        chkRot2_->setChecked(false);
        ChkRot2_Click();  // the cleared box's own click runs first
    }
    keyTypPAN_ = chkRot1_->checked() ? 2 : 1;
    knobs_[kKnobBalance].InitKeyTyp(keyTypPAN_);
    sound_.setWaveShape(chkRot1_->checked(), chkRot2_->checked());
}

void EffectControls::ChkRot2_Click() {
    if (!chkRot1_ || !chkRot2_) return;
    cancel();
    if (chkRot1_->checked() && chkRot2_->checked()) {
        chkRot1_->setChecked(false);
        ChkRot1_Click();
    }
    keyTypPAN_ = chkRot2_->checked() ? 3 : 1;
    knobs_[kKnobBalance].InitKeyTyp(keyTypPAN_);
    sound_.setWaveShape(chkRot1_->checked(), chkRot2_->checked());
}

void EffectControls::PutValVOL(int ValScr) {
    if (scrVOL_) GlideBar(*scrVOL_, ValScr);
}

void EffectControls::PutValROT(int ValScr) {
    if (scrROT_) GlideBar(*scrROT_, ValScr);
}

void EffectControls::SetRotZer(int Index, int ValScr) {
    if (!valid(Index) || !controls_[Index]) return;
    knobs_[Index].PutValZer(ValScr);
    recordRotation(Index);
    updateRotActive();
}

void EffectControls::SetRotScr(int Index, int ValScr) {
    if (!valid(Index) || !controls_[Index]) return;
    if (Index == kKnobPitch) {
        if (scrFRQ1_ && scrFRQ2_)
            knobs_[Index].SMMRotKbd(ValScr, scrFRQ1_->value(), scrFRQ2_->value());
    } else {
        knobs_[Index].SetRotKbd(ValScr);
    }
    recordRotation(Index);
    updateRotActive();
}

void EffectControls::setRotTag(int Index, bool programPress) {
    if (valid(Index)) rotTag_[Index] = programPress;
}

bool EffectControls::rotTag(int Index) const {
    return valid(Index) && rotTag_[Index];
}

void EffectControls::SetScrVOL(int v) {
    if (scrVOL_) scrVOL_->setValue(v);
}

void EffectControls::SetScrROT(int v) {
    if (scrROT_) scrROT_->setValue(v);
}

void EffectControls::SetChkRot1(bool on) {
    if (!chkRot1_ || chkRot1_->checked() == on) return;
    chkRot1_->setChecked(on);
    ChkRot1_Click();
}

void EffectControls::SetChkRot2(bool on) {
    if (!chkRot2_ || chkRot2_->checked() == on) return;
    chkRot2_->setChecked(on);
    ChkRot2_Click();
}

void EffectControls::SetScrFRQ(int low, int high) {
    if (scrFRQ1_) scrFRQ1_->setValue(low);
    if (scrFRQ2_) scrFRQ2_->setValue(high);
}

void EffectControls::PressRotBut(int Index) {
    if (!valid(Index) || !controls_[Index] || controls_[Index]->rotatePressed()) return;
    controls_[Index]->pressRotate();
    RotBut_Click(Index);
}

void EffectControls::ReleaseRotBut(int Index) {
    if (!valid(Index) || !controls_[Index]) return;
    controls_[Index]->releaseRotate();
    updateRotActive();
}

SoundSetting EffectControls::controlsNow() const {
    SoundSetting s;
    if (scrVOL_) s.volumePct = scrVOL_->value();
    if (scrROT_) s.rotationSpeed = scrROT_->value();
    for (int i = 1; i <= kKnobCount; ++i) {
        if (!controls_[i]) continue;
        KnobSetting& k = s.knobs[static_cast<size_t>(i)];
        k.value = controls_[i]->value();
        k.rotating = controls_[i]->rotatePressed();
        k.memRot = static_cast<int>(knobs_[static_cast<size_t>(i)].MemRot);
    }
    if (chkRot1_) s.jump = chkRot1_->checked();
    if (chkRot2_) s.beat = chkRot2_->checked();
    if (scrFRQ1_) s.pitchRangeLowPct = scrFRQ1_->value();
    if (scrFRQ2_) s.pitchRangeHighPct = scrFRQ2_->value();
    return s;
}

int EffectControls::zeroOf(int Index) const {
    if (!valid(Index)) return 0;
    return static_cast<int>(knobs_[static_cast<size_t>(Index)].ZerScr);
}

}  // namespace velorixa::controls
