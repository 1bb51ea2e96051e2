#pragma once
// SLIDER: the logic of one sound knob. A knob is a value that stands still or rotates: swings
// between two bounds along the shared wave (WaveSource). The class draws nothing; it moves the
// knob's value through KnobControls (the sound setting), and every value it sets reaches the
// player. Starts and stops go in unit steps (a glide), so every intermediate value reaches the
// player in order (what is heard of it: controls/soundcontrol.h); the wave tick alone sets the
// value in one assignment. Every move carries the origin of the action that made it.
//
// Thread contract: GUI thread only.

#include <cstdint>

#include "controls/origin.h"
#include "controls/wavesource.h"

namespace velorixa::controls {

// A value with bounds as the logic sees it: every setValue that changes it is a change the
// sound follows.
class Bar {
  public:
    virtual ~Bar() = default;
    virtual int value() const = 0;
    virtual void setValue(int v, Origin origin) = 0;
    virtual int minimum() const = 0;
    virtual int maximum() const = 0;
};

// Unit steps of bar towards v (kept inside the bar's bounds), each one a change. Stops early if
// the bar refuses a step.
inline void GlideBar(Bar& bar, int v, Origin origin) {
    v = v < bar.minimum() ? bar.minimum() : (v > bar.maximum() ? bar.maximum() : v);
    while (bar.value() != v) {
        const int before = bar.value();
        bar.setValue(before > v ? before - 1 : before + 1, origin);
        if (bar.value() == before) return;
    }
}

// A knob's value with its rotate button (down = the knob rotates).
class KnobControls : public Bar {
  public:
    virtual bool rotatePressed() const = 0;
    virtual void pressRotate(Origin origin) = 0;
    virtual void releaseRotate(Origin origin) = 0;
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
    void SMMRotKbd(int MemRotArg, int PosMinArg, int PosMaxArg, Origin origin);
    // New bounds (either order); starts the rotation only while the rotate button is pressed.
    void SetMinMax(int PosMinArg, int PosMaxArg, Origin origin);
    // Rotation around the middle of the bounds from a stored start value.
    void SetRotKbd(int MemRotArg, Origin origin);
    // Rotation around the middle of the bounds from where the bar stands.
    void SetRotate(Origin origin);
    // Glides the bar to its place on the wave.
    void PutRotate(Origin origin);
    // One wave tick: the bar to its place on the wave in one step (origin: the wave).
    void MovRotate();
    // Stops and glides back to the zero position.
    void ZerRotate(Origin origin);
    // Stops and glides to ValScr.
    void PutValZer(int ValScr, Origin origin);

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
    void start(float m, float swing, bool empty, Origin origin);
    void storeBounds(int a, int b);
    void clampIntoBounds(Origin origin);
    int16_t waveTarget();

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
