#pragma once
// SLIDER: the logic of one sound knob. A knob is a bar that stands still or rotates: swings
// between two bounds along the shared wave (WaveSource). The class draws nothing; it moves the
// bar of KnobControls, and every value it sets is a change event the sound follows. Moves made
// by the program go in unit steps (a glide), so every intermediate value is heard; the wave
// tick alone sets the bar in one assignment.
//
// Thread contract: GUI thread only.

#include <cstdint>

#include "controls/wavesource.h"

namespace velorixa::controls {

// A bar as the logic sees it: value, bounds, visibility. setValue raises the bar's change
// event (the window adapts a scroll bar to this).
class Bar {
  public:
    virtual ~Bar() = default;
    virtual int value() const = 0;
    virtual void setValue(int v) = 0;
    virtual int minimum() const = 0;
    virtual int maximum() const = 0;
    virtual void setBarVisible(bool visible) = 0;
};

// Unit steps of bar towards v (kept inside the bar's bounds), each one a change event, with
// beforeStep() run before every step. Stops early if the bar refuses a step.
template <class BeforeStep>
void GlideBar(Bar& bar, int v, BeforeStep beforeStep) {
    v = v < bar.minimum() ? bar.minimum() : (v > bar.maximum() ? bar.maximum() : v);
    while (bar.value() != v) {
        beforeStep();
        const int before = bar.value();
        bar.setValue(before > v ? before - 1 : before + 1);
        if (bar.value() == before) return;
    }
}
inline void GlideBar(Bar& bar, int v) {
    GlideBar(bar, v, [] {});
}

// A knob's bar with its rotate button (pressed = the knob rotates).
class KnobControls : public Bar {
  public:
    virtual bool rotatePressed() const = 0;
    // Shows the button pressed or released; raises no click.
    virtual void pressRotate() = 0;
    virtual void releaseRotate() = 0;
};

class SLIDER {
  public:
    explicit SLIDER(const WaveSource& wave) : wave_(wave) {}

    float ZerScr = 0;  // the bar's value when bound: where the zero button returns to
    float MemRot = 0;  // the value the current rotation was started from

    // Binds the knob's controls: Direct 'H' or 'V' (which bar the window gave), wave type.
    void InitSobj(int Index, char Direct, int16_t KeyTyp, KnobControls& controls);
    // A new wave type; a running rotation takes it at its next step.
    void InitKeyTyp(int16_t KeyTyp);
    // Rotation between two bounds (either order) from a stored start value.
    void SMMRotKbd(int MemRotArg, int PosMinArg, int PosMaxArg);
    // New bounds (either order); starts the rotation only while the rotate button is pressed.
    void SetMinMax(int PosMinArg, int PosMaxArg);
    // Rotation around the middle of the bounds from a stored start value.
    void SetRotKbd(int MemRotArg);
    // Rotation around the middle of the bounds from where the bar stands.
    void SetRotate();
    // Glides the bar to its place on the wave.
    void PutRotate();
    // One wave tick: the bar to its place on the wave in one step.
    void MovRotate();
    // Stops and glides back to the zero position.
    void ZerRotate();
    // Stops and glides to ValScr.
    void PutValZer(int ValScr);
    // Called before every unit step of a glide; does nothing.
    void LineMove() {}

    int index() const { return index_; }
    char direct() const { return direct_; }
    int16_t KeyTyp() const { return keyTyp_; }
    float PosMin() const { return posMin_; }
    float PosMax() const { return posMax_; }
    float Center() const { return center_; }
    float Swing() const { return swing_; }
    int16_t RotDir() const { return rotDir_; }
    bool rotating() const { return rotDir_ != 0; }
    int16_t Target() const { return target_; }

  private:
    // The common tail of the four start methods, from start value m.
    void start(float m, float swing, bool empty);
    void storeBounds(int a, int b);
    void clampIntoBounds();
    int16_t waveTarget();
    // Unit steps to v, each one a change event.
    void stepTo(int v);

    const WaveSource& wave_;
    KnobControls* bar_ = nullptr;
    int index_ = 0;
    char direct_ = 'H';
    float posMin_ = 0, posMax_ = 0;
    int16_t keyTyp_ = 0;
    float center_ = 0;
    float swing_ = 0;
    int16_t rotDir_ = 0;
    float waveVal_ = 0;
    int16_t target_ = 0;
};

}  // namespace velorixa::controls
