#pragma once
// The behaviour of the "Effects" page without its widgets: what a move of the volume, rotation,
// knob and pitch-range bars, a press of a knob's rotate or zero button and a tick of "Jump" or
// "Beat" do, and the procedures through which the performance keys recall a setting. Every value
// lives in the sound setting (SoundControl); the nine knobs are SLIDERs that move their values
// there on the shared wave. The page only shows the setting and reports the operator's moves.
//
// Every call carries its origin. A user's own hand (TakesOver) first cancels the performance
// (stops a running style, releases the performance keys); a recall, a style, the wave and the
// program do not.
//
// Thread contract: GUI thread only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "controls/origin.h"
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

class EffectControls {
  public:
    EffectControls(SoundControl& sound, const WaveSource& wave);
    ~EffectControls();
    EffectControls(const EffectControls&) = delete;
    EffectControls& operator=(const EffectControls&) = delete;

    // No performance layer set: nothing to cancel.
    void setPerformance(PerformanceCancel* performance) { performance_ = performance; }

    SoundControl& sound() { return sound_; }
    const SoundSetting& setting() const;
    const SLIDER& knob(int Index) const { return knobs_[static_cast<size_t>(Index)]; }

    // A control moved or clicked, with its new value.
    void ScrVOL_Change(int value, Origin origin);
    void ScrROT_Change(int value, Origin origin);
    void ScrBar_Change(int Index, int value, Origin origin);
    // Either range bar: both bounds. Never cancels the performance.
    void ScrFRQ_Change(int low, int high, Origin origin);
    // The rotate button pressed: the knob starts to swing (a still button stays down).
    void RotBut_Click(int Index, Origin origin);
    void ZerBut_Click(int Index, Origin origin);
    void ChkRot1_Click(bool ticked, Origin origin);
    void ChkRot2_Click(bool ticked, Origin origin);

    // One wave tick: every rotating knob to its place on the wave.
    void WaveTick();

    // For the performance keys: glides and recalls (they never cancel the performance unless
    // their origin does).
    void PutValVOL(int ValScr, Origin origin);
    void PutValROT(int ValScr, Origin origin);
    // Knob Index still at ValScr; the caller releases its rotate button.
    void SetRotZer(int Index, int ValScr, Origin origin);
    // Knob Index swinging from the stored start ValScr; the caller presses its rotate button.
    void SetRotScr(int Index, int ValScr, Origin origin);
    // Single values set at once; a box set to a new state runs its click.
    void SetScrVOL(int v, Origin origin);
    void SetScrROT(int v, Origin origin);
    void SetChkRot1(bool on, Origin origin);
    void SetChkRot2(bool on, Origin origin);
    // The range bars as a move of them: the pitch knob's bounds follow (and its swing restarts
    // while it rotates).
    void SetScrFRQ(int low, int high, Origin origin);
    // The range bars only, kept for the swing that follows: the pitch knob stays as it is.
    void PutRangeFRQ(int low, int high, Origin origin);
    // The rotate button down or up, without starting or stopping the swing.
    void PressRotBut(int Index, Origin origin);
    void ReleaseRotBut(int Index, Origin origin);

    // Where knob Index's zero button returns it to (`ZerScr`).
    int zeroOf(int Index) const;

    int16_t KeyTypPAN() const { return keyTypPAN_; }

  private:
    class KnobValue;
    void cancel(Origin origin);
    // Keeps the sound setting's record of where knob Index's swing started in step with it.
    void recordMemRot(int Index, Origin origin);
    void setRotButton(int Index, bool down, Origin origin);
    void setShape(bool jump, bool beat, int16_t keyTyp, Origin origin);
    static bool valid(int Index) { return Index >= 1 && Index <= kKnobCount; }

    SoundControl& sound_;
    PerformanceCancel* performance_ = nullptr;
    // Index 0 unused, as on the page.
    std::vector<KnobValue> values_;
    std::vector<SLIDER> knobs_;
    int16_t keyTypPAN_ = 1;
};

}  // namespace velorixa::controls
