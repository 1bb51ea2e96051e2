// The knob logic against a bar that records every change event, on a wave the test sets.
#include "controls/slider.h"

#include <gtest/gtest.h>

#include <vector>

#include "perform/perfor.h"

namespace velorixa::controls {
namespace {

class FakeBar : public KnobControls {
  public:
    FakeBar(int min, int max, int value) : min_(min), max_(max), value_(value) {}
    int value() const override { return value_; }
    void setValue(int v, Origin) override {
        v = std::clamp(v, min_, max_);
        if (v == value_) return;  // a bar raises no change for an equal value
        value_ = v;
        changes.push_back(v);
    }
    int minimum() const override { return min_; }
    int maximum() const override { return max_; }
    bool rotatePressed() const override { return pressed; }
    void pressRotate(Origin) override { pressed = true; }
    void releaseRotate(Origin) override { pressed = false; }

    std::vector<int> changes;
    bool pressed = true;

  private:
    int min_, max_, value_;
};

class FixedWave : public WaveSource {
  public:
    float value = 0.0f;
    void GetNext(int, int Dir, float& Value) const override {
        if (Dir == 1) Value = value;
        if (Dir == 2) Value = -value;
    }
};

constexpr Origin kOp = Origin::Operator;

bool unitSteps(const std::vector<int>& changes, int from) {
    for (int v : changes) {
        if (std::abs(v - from) != 1) return false;
        from = v;
    }
    return true;
}

TEST(SLIDER, StartMethodsTakeTheirBoundsAndStartValue) {
    struct Case {
        const char* what;
        int barValue;
        void (*start)(SLIDER&);
        float posMin, posMax, center, swing;
        int rotDir;
        float memRot;
        int valueAfter;  // the wave stands at 0: the bar glides to the centre
    } cases[] = {
        {"SetRotate above", 160, [](SLIDER& s) { s.SetRotate(kOp); }, 0, 200, 100, 60, 1, 160, 100},
        {"SetRotate below", 40, [](SLIDER& s) { s.SetRotate(kOp); }, 0, 200, 100, 60, 2, 40, 100},
        {"SetRotKbd", 100, [](SLIDER& s) { s.SetRotKbd(30, kOp); }, 0, 200, 100, 70, 2, 30, 100},
        // Bounds in the wrong order are swapped; the bar is clamped into them first.
        {"SetMinMax", 190, [](SLIDER& s) { s.SetMinMax(150, 70, kOp); }, 70, 150, 110, 40, 1, 150,
         110},
        {"SMMRotKbd", 10, [](SLIDER& s) { s.SMMRotKbd(90, 130, 60, kOp); }, 60, 130, 95, 35, 2, 90,
         95},
    };
    for (const Case& c : cases) {
        FixedWave wave;
        FakeBar bar(0, 200, c.barValue);
        SLIDER s(wave);
        s.InitSobj(1, 'H', 1, bar);
        c.start(s);
        EXPECT_EQ(s.PosMin(), c.posMin) << c.what;
        EXPECT_EQ(s.PosMax(), c.posMax) << c.what;
        EXPECT_EQ(s.Center(), c.center) << c.what;
        EXPECT_EQ(s.Swing(), c.swing) << c.what;
        EXPECT_EQ(s.RotDir(), c.rotDir) << c.what;
        EXPECT_EQ(s.MemRot, c.memRot) << c.what;
        EXPECT_EQ(bar.value(), c.valueAfter) << c.what;
        EXPECT_TRUE(unitSteps(bar.changes, c.barValue)) << c.what;
        EXPECT_TRUE(bar.pressed) << c.what;
    }
}

TEST(SLIDER, DegenerateStartsSpringTheButtonBack) {
    struct Case {
        const char* what;
        void (*start)(SLIDER&);
    } cases[] = {
        // SetRotate at the centre and SetMinMax with equal bounds: the Effects page tests.
        {"SetRotKbd at the centre", [](SLIDER& s) { s.SetRotKbd(100, kOp); }},
        {"SMMRotKbd with equal bounds", [](SLIDER& s) { s.SMMRotKbd(120, 100, 100, kOp); }},
    };
    for (const Case& c : cases) {
        FixedWave wave;
        wave.value = 0.5f;
        FakeBar bar(0, 200, 100);
        SLIDER s(wave);
        s.InitSobj(1, 'H', 1, bar);
        c.start(s);
        EXPECT_EQ(s.RotDir(), 0) << c.what;
        EXPECT_FALSE(bar.pressed) << c.what;
        s.MovRotate();
        EXPECT_TRUE(bar.changes.empty()) << c.what << ": a still knob does not follow the wave";
    }
}

TEST(SLIDER, WaveTickIsOneAssignmentAndTargetsRoundHalvesToEven) {
    FixedWave wave;
    FakeBar bar(0, 200, 0);
    SLIDER s(wave);
    s.InitSobj(1, 'H', 1, bar);
    // Bounds 0..101: centre 50.5 and swing 50.5; at wave 0 the target 50.5 goes to 50.
    s.SetMinMax(0, 101, kOp);
    EXPECT_EQ(s.Target(), 50);
    EXPECT_EQ(bar.value(), 50);
    s.SetMinMax(0, 103, kOp);  // 51.5 goes to 52
    EXPECT_EQ(bar.value(), 52);
    bar.changes.clear();
    wave.value = -1.0f;  // started below the centre: moves against the wave
    s.MovRotate();
    EXPECT_EQ(bar.changes, std::vector<int>{103});
    wave.value = 1.0f;
    s.MovRotate();
    EXPECT_EQ(bar.changes, (std::vector<int>{103, 0}));
}

TEST(SLIDER, KnobsOnOneWaveMoveInStepOrMirrored) {
    perform::PERFOR wave;
    FakeBar a(0, 200, 160), same(0, 200, 190), opposite(0, 200, 40);
    SLIDER sa(wave), ss(wave), so(wave);
    sa.InitSobj(1, 'H', 1, a);
    ss.InitSobj(1, 'H', 1, same);
    so.InitSobj(1, 'H', 1, opposite);
    for (SLIDER* s : {&sa, &ss, &so})
        s->SetRotate(kOp);
    for (int tick = 0; tick < 64; ++tick) {
        wave.MovNext();
        for (SLIDER* s : {&sa, &ss, &so})
            s->MovRotate();
        // Offsets from the centre: same sign and proportional to the swing, or mirrored.
        EXPECT_NEAR((a.value() - 100) / 60.0, (same.value() - 100) / 90.0, 0.02) << tick;
        EXPECT_EQ(a.value() - 100, -(opposite.value() - 100)) << tick;
    }
}

// A stored value is reached one unit per change event, and no further than the bar goes.
TEST(SLIDER, StoredValuesGlideOneUnitPerChangeEvent) {
    FixedWave wave;
    FakeBar bar(0, 100, 100);
    SLIDER s(wave);
    s.InitSobj(9, 'V', 0, bar);  // an effect knob: zero position 100
    s.PutValZer(-20, kOp);       // beyond the bar: glides to its end and stops there
    EXPECT_TRUE(unitSteps(bar.changes, 100));
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(s.RotDir(), 0);
}

}  // namespace
}  // namespace velorixa::controls
