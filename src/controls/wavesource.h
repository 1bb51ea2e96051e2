#pragma once
// The shared wave the rotating knobs follow. The performance object owns the one generator;
// the knobs only read it, so all knobs that rotate move in step.
//
// Thread contract: GUI thread only.

namespace velorixa::controls {

class WaveSource {
  public:
    virtual ~WaveSource() = default;
    // Writes the current wave value (-1..1) for wave type Typ (0 fast cosine, 1 slow sine,
    // 2 "Jump", 3 "Beat") and direction Dir (1 with the wave, 2 against it) into Value; any
    // other Dir leaves Value as it was.
    virtual void GetNext(int Typ, int Dir, float& Value) const = 0;
};

}  // namespace velorixa::controls
