#pragma once
// SoundControl holds the current sound setting and is the one path from a changed value to the
// player: the knobs, the wave tick, the performance keys and styles, the set files and the
// render tool all change the sound through it. A value equal to the one held changes nothing,
// as a bar that does not move raises no change; a whole setting applied at once gives exactly
// the calls of its values set one after another, in the order of apply().
//
// Thread contract: GUI thread only (the render tool: its one thread).

#include <QObject>

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
    void setVolume(int pct);
    void setRotationSpeed(int speed);
    void setKnobValue(int knob, int value);
    // Rotation state only: the knob's swing itself is moved by the wave through setKnobValue.
    void setKnobRotation(int knob, bool rotating, int memRot);
    void setWaveShape(bool jump, bool beat);
    void setPitchRange(int lowPct, int highPct);
    // The whole setting: volume, rotation speed, knobs 1..9 (rotation, then value), the wave
    // shape and the pitch range, in that order, each through its setter.
    void apply(const SoundSetting& s);
    // Sends the global volume that goes with the chorus knob, whatever was sent before (start-up).
    void sendGlobalVolume();

  signals:
    void volumeChanged(int pct);
    void rotationSpeedChanged(int speed, int waveTickMs);
    void knobChanged(int knob);
    // Rotation, wave shape or pitch range changed.
    void optionsChanged();

  private:
    SoundTarget& target_;
    SoundSetting setting_;
};

}  // namespace velorixa::controls
