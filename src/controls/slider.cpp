#include "controls/slider.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "util/rounding.h"

namespace velorixa::controls {

void SLIDER::InitSobj(int Index, char Direct, int16_t KeyTyp, KnobControls& controls) {
    keyTyp_ = KeyTyp;
    index_ = Index;
    direct_ = Direct == 'V' ? 'V' : 'H';
    bar_ = &controls;
    posMin_ = static_cast<float>(bar_->minimum());
    posMax_ = static_cast<float>(bar_->maximum());
    ZerScr = static_cast<float>(bar_->value());
    rotDir_ = 0;
}

void SLIDER::InitKeyTyp(int16_t KeyTyp) {
    keyTyp_ = KeyTyp;
}

void SLIDER::storeBounds(int a, int b) {
    posMax_ = static_cast<float>(std::max(a, b));
    posMin_ = static_cast<float>(std::min(a, b));
}

void SLIDER::clampIntoBounds(Origin origin) {
    while (bar_->value() < posMin_) {
        const int before = bar_->value();
        bar_->setValue(before + 1, origin);
        if (bar_->value() == before) return;  // the bar's own end: bounds outside the bar
    }
    while (bar_->value() > posMax_) {
        const int before = bar_->value();
        bar_->setValue(before - 1, origin);
        if (bar_->value() == before) return;
    }
}

void SLIDER::SMMRotKbd(int MemRotArg, int PosMinArg, int PosMaxArg, Origin origin) {
    if (!bar_) return;
    storeBounds(PosMinArg, PosMaxArg);
    clampIntoBounds(origin);
    center_ = (posMin_ + posMax_) / 2;
    start(static_cast<float>(MemRotArg), posMax_ - center_, posMin_ == posMax_, origin);
}

void SLIDER::SetMinMax(int PosMinArg, int PosMaxArg, Origin origin) {
    if (!bar_) return;
    storeBounds(PosMinArg, PosMaxArg);
    if (!bar_->rotatePressed()) return;  // the bounds wait for the next start
    clampIntoBounds(origin);
    center_ = (posMin_ + posMax_) / 2;
    start(static_cast<float>(bar_->value()), posMax_ - center_, posMin_ == posMax_, origin);
}

void SLIDER::SetRotKbd(int MemRotArg, Origin origin) {
    if (!bar_) return;
    center_ = (posMin_ + posMax_) / 2;
    const float m = static_cast<float>(MemRotArg);
    start(m, std::fabs(m - center_), m == center_, origin);
}

void SLIDER::SetRotate(Origin origin) {
    if (!bar_) return;
    center_ = (posMin_ + posMax_) / 2;
    const float m = static_cast<float>(bar_->value());
    start(m, std::fabs(m - center_), m == center_, origin);
}

void SLIDER::start(float m, float swing, bool empty, Origin origin) {
    swing_ = swing;
    if (empty) {
        // Nothing to swing over: the knob stays still and its button springs back.
        rotDir_ = 0;
        bar_->releaseRotate(origin);
        return;
    }
    rotDir_ = m >= center_ ? 1 : 2;
    MemRot = m;
    PutRotate(origin);
}

int16_t SLIDER::waveTarget() {
    wave_.GetNext(keyTyp_, rotDir_, waveVal_);
    const double t = static_cast<double>(swing_) * waveVal_ + center_;
    return static_cast<int16_t>(util::RoundHalfEvenClamped(t, INT16_MIN, INT16_MAX));
}

void SLIDER::PutRotate(Origin origin) {
    if (!bar_) return;
    target_ = waveTarget();
    GlideBar(*bar_, target_, origin);
}

void SLIDER::MovRotate() {
    if (!bar_ || rotDir_ == 0) return;
    target_ = waveTarget();
    bar_->setValue(target_, Origin::Wave);
}

void SLIDER::ZerRotate(Origin origin) {
    if (!bar_) return;
    GlideBar(*bar_, static_cast<int>(ZerScr), origin);
    rotDir_ = 0;
}

void SLIDER::PutValZer(int ValScr, Origin origin) {
    if (!bar_) return;
    GlideBar(*bar_, ValScr, origin);
    rotDir_ = 0;
}

}  // namespace velorixa::controls
