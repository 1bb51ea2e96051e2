#pragma once
// PERFOR: the one wave generator behind every rotating knob. Two phases turn at every wave
// tick: a slow one (about 1/64 of a turn per tick, sine) and a fast one (about 1/32, cosine).
// Phases are kept as 32-bit floats and restart at one step past zero, so a period is exactly
// 64 (slow) or 32 (fast) ticks; sine and cosine are taken in 64-bit.
//
// Thread contract: GUI thread only.

#include "controls/wavesource.h"

namespace velorixa::perform {

class PERFOR : public controls::WaveSource {
  public:
    PERFOR() { InitPerfor(); }

    // Both phases back to 0 (load, every play request, "Initial Sound").
    void InitPerfor();
    // One wave tick: both phases advance by one step.
    void MovNext();
    void GetNext(int Typ, int Dir, float& Value) const override;

    float Wave1 = 0.0f;  // slow phase, radians
    float Wave2 = 0.0f;  // fast phase, radians
    double SinVal = 0.0;
    float SinNeg = 0.0f;
    double CosVal = 1.0;
    float CosNeg = -1.0f;

  private:
    void recompute();
};

}  // namespace velorixa::perform
