#pragma once
// SoundControl is the one home of the sound setting and the one path from a changed value to the
// player: the operator's controls, the wave tick, the performance keys and styles all change the
// sound through it, each change with its origin. The "Effects" page only shows what it holds
// (it follows the change signals). A value equal to the one held changes nothing and signals
// nothing; a whole setting applied at once gives exactly the calls of its values set one after
// another, in the order of apply().
//
// What is heard of a series of changes: the player takes every value in order, but the audio
// thread reads only the newest one at the start of each output block and ramps to it over that
// block. A glide of unit steps made in one pass of the window thread (a recall, a zero button)
// is therefore heard as one smooth ramp from the old value to the last one.
//
// Thread contract: GUI thread only.

#include <QObject>

#include "controls/origin.h"
#include "controls/soundsetting.h"

namespace velorixa {
class PLAYER;
}

namespace velorixa::controls {

// What a sound change reaches: the player's four live operations.
class SoundTarget {
  public:
    virtual ~SoundTarget() = default;
    // FRQ -1, VOL -1 and PAN -101 each leave that attribute as it is.
    virtual void SetChanAttr(double FRQ, double VOL, double PAN) = 0;
    virtual void UpdateEQL(int band, int value) = 0;
    virtual void UpdateEFF(int effect, int value) = 0;
    virtual void SetGlobalVolume(int volume) = 0;
};

// The real player behind SoundTarget.
class PlayerSoundTarget : public SoundTarget {
  public:
    explicit PlayerSoundTarget(PLAYER& player) : player_(player) {}
    void SetChanAttr(double FRQ, double VOL, double PAN) override;
    void UpdateEQL(int band, int value) override;
    void UpdateEFF(int effect, int value) override;
    void SetGlobalVolume(int volume) override;

  private:
    PLAYER& player_;
};

class SoundControl : public QObject {
    Q_OBJECT
  public:
    explicit SoundControl(SoundTarget& target, QObject* parent = nullptr);

    const SoundSetting& setting() const { return setting_; }
    // The player's arguments for the next stream.
    StartValues startValues() const { return StartValuesOf(setting_); }

    // Each value is clamped into its range first; knob numbers outside 1..9 are ignored.
    void setVolume(int pct, Origin origin);
    void setRotationSpeed(int speed, Origin origin);
    void setKnobValue(int knob, int value, Origin origin);
    // Rotation state only (the rotate button down, the start of the last swing): the knob's
    // swing itself is moved by the wave through setKnobValue.
    void setKnobRotation(int knob, bool rotating, int memRot, Origin origin);
    void setWaveShape(bool jump, bool beat, Origin origin);
    void setPitchRange(int lowPct, int highPct, Origin origin);
    // The whole setting: volume, rotation speed, knobs 1..9 (rotation, then value), the wave
    // shape and the pitch range, in that order, each through its setter.
    void apply(const SoundSetting& s, Origin origin);
    // Sends the global volume that goes with the chorus knob, whatever was sent before (start-up).
    void sendGlobalVolume();

    // A knob's rotate button is down: the wave tick moves the knobs.
    bool rotationActive() const { return rotationActive_; }

  signals:
    void volumeChanged(int pct, velorixa::controls::Origin origin);
    // waveTickMs: the period of the wave tick at this speed.
    void rotationSpeedChanged(int speed, int waveTickMs, velorixa::controls::Origin origin);
    void knobChanged(int knob, int value, velorixa::controls::Origin origin);
    void knobRotationChanged(int knob, bool rotating, int memRot,
                             velorixa::controls::Origin origin);
    void waveShapeChanged(bool jump, bool beat, velorixa::controls::Origin origin);
    void pitchRangeChanged(int lowPct, int highPct, velorixa::controls::Origin origin);
    // rotationActive() changed.
    void rotationActiveChanged(bool active);

  private:
    SoundTarget& target_;
    SoundSetting setting_;
    bool rotationActive_ = false;
};

}  // namespace velorixa::controls
