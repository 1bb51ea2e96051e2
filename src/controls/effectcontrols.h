#pragma once
// The handlers of the "Effects" page, without its widgets: what a move of the volume, rotation,
// knob and pitch-range bars, a press of a knob's rotate or zero button and a tick of "Jump" or
// "Beat" do. Sound changes go through SoundControl; the nine knobs are SLIDERs on the shared
// wave. The page binds its widgets to this class through the small Bar, KnobControls and Toggle
// interfaces, so the whole behaviour runs in tests with plain fakes as well as with the real
// page.
//
// Every handler the operator drives first cancels the performance (stops a running style,
// releases the performance keys), unless the change is the program's own (`CmdFON`).
//
// Thread contract: GUI thread only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/windowstate.h"
#include "controls/slider.h"
#include "controls/soundsetting.h"

namespace velorixa::controls {

class SoundControl;

// What the performance layer does when the operator takes the sound into his own hands.
class PerformanceCancel {
  public:
    virtual ~PerformanceCancel() = default;
    virtual void InitTypPerf() = 0;  // stop the running style
    virtual void InitKbdPerf() = 0;  // release the performance keys
};

// A check box as the logic sees it; setChecked raises no click.
class Toggle {
  public:
    virtual ~Toggle() = default;
    virtual bool checked() const = 0;
    virtual void setChecked(bool on) = 0;
};

class EffectControls {
  public:
    EffectControls(SoundControl& sound, const WaveSource& wave, WindowState& state);

    // No performance layer set: nothing to cancel.
    void setPerformance(PerformanceCancel* performance) { performance_ = performance; }

    // Binding at load, before any event.
    void bindKnob(int Index, KnobControls& controls);
    void bindVolume(Bar& ScrVOL) { scrVOL_ = &ScrVOL; }
    void bindRotation(Bar& ScrROT) { scrROT_ = &ScrROT; }
    void bindPitchRange(Bar& ScrFRQ1, Bar& ScrFRQ2);
    void bindShape(Toggle& ChkRot1, Toggle& ChkRot2);

    SLIDER& knob(int Index) { return knobs_[static_cast<size_t>(Index)]; }

    // Change events (a drag runs them too, except for the rotation bar: its release does).
    void ScrVOL_Change();
    void ScrROT_Change();
    void ScrBar_Change(int Index);
    void ScrFRQ_Change();
    // Click events.
    void RotBut_Click(int Index);
    void ZerBut_Click(int Index);
    void ChkRot1_Click();
    void ChkRot2_Click();

    // For the performance keyboard: glides and recalls.
    void PutValVOL(int ValScr);
    void PutValROT(int ValScr);
    void SetRotZer(int Index, int ValScr);
    void SetRotScr(int Index, int ValScr);
    // The rotate button's tag: "1" (true) while the performance keyboard presses it, so its
    // click only updates `RotActive`.
    void setRotTag(int Index, bool programPress);
    bool rotTag(int Index) const;
    // Value assignments as the program makes them: a bar's change event runs when its value
    // changes, a box's or a button's click when it changes state (pressing a rotate button
    // runs RotBut_Click).
    void SetScrVOL(int v);
    void SetScrROT(int v);
    void SetChkRot1(bool on);
    void SetChkRot2(bool on);
    void SetScrFRQ(int low, int high);
    void PressRotBut(int Index);
    void ReleaseRotBut(int Index);

    // What the controls show now (bars, buttons, boxes); a control not bound reads as at rest.
    SoundSetting controlsNow() const;
    // Where knob Index's zero button returns it to (`ZerScr`).
    int zeroOf(int Index) const;

    int16_t KeyTypPAN() const { return keyTypPAN_; }

  private:
    void cancel();
    void updateRotActive();
    // Keeps the sound setting's rotation record of a knob in step with its SLIDER.
    void recordRotation(int Index);
    static bool valid(int Index) { return Index >= 1 && Index <= kKnobCount; }

    SoundControl& sound_;
    WindowState& state_;
    PerformanceCancel* performance_ = nullptr;
    // Index 0 unused, as on the page.
    std::vector<SLIDER> knobs_;
    std::array<KnobControls*, kKnobCount + 1> controls_{};
    std::array<bool, kKnobCount + 1> rotTag_{};
    Bar* scrVOL_ = nullptr;
    Bar* scrROT_ = nullptr;
    Bar* scrFRQ1_ = nullptr;
    Bar* scrFRQ2_ = nullptr;
    Toggle* chkRot1_ = nullptr;
    Toggle* chkRot2_ = nullptr;
    int16_t keyTypPAN_ = 1;
};

}  // namespace velorixa::controls
