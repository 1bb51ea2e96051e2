#include "perform/perfor.h"

#include <cmath>

namespace velorixa::perform {

namespace {
// Close to pi/32 and pi/16, as 32-bit floats: the fast phase turns twice as fast as the slow.
constexpr float kStep1 = 0.098171875f;
constexpr float kStep2 = 0.19634375f;
// Just past 2 pi: the phase restarts at one step, not at 0, so no tick repeats a value.
constexpr float kTurn = 6.284f;
}  // namespace

void PERFOR::InitPerfor() {
    Wave1 = 0.0f;
    Wave2 = 0.0f;
    recompute();
}

void PERFOR::MovNext() {
    Wave1 = Wave1 + kStep1;
    if (Wave1 > kTurn) Wave1 = kStep1;
    Wave2 = Wave2 + kStep2;
    if (Wave2 > kTurn) Wave2 = kStep2;
    recompute();
}

void PERFOR::recompute() {
    SinVal = std::sin(static_cast<double>(Wave1));
    SinNeg = static_cast<float>(-SinVal);
    CosVal = std::cos(static_cast<double>(Wave2));
    CosNeg = static_cast<float>(-CosVal);
}

void PERFOR::GetNext(int Typ, int Dir, float& Value) const {
    if (Dir != 1 && Dir != 2) return;
    if (Typ == 0) {
        Value = Dir == 1 ? static_cast<float>(CosVal) : CosNeg;
        return;
    }
    double v = Dir == 1 ? SinVal : static_cast<double>(SinNeg);
    // "Jump" flattens the sine towards a square, "Beat" sharpens it into short peaks.
    if (Typ == 2) v = std::copysign(std::pow(std::fabs(v), 0.25), v);
    if (Typ == 3) v = std::copysign(std::pow(std::fabs(v), 4.0), v);
    Value = static_cast<float>(v);
}

}  // namespace velorixa::perform
