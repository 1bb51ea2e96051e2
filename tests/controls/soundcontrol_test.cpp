// The sound setting as the one home of every value and the one path from a value to the player,
// checked against a player that records calls: a key recall, a style's key, a wave tick and an
// operator's move each reach it once per value, in order, with their origin; only the operator's
// move takes the sound over from the performance.
#include "controls/soundcontrol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/effectcontrols.h"
#include "perform/perfor.h"
#include "perform/skbd.h"

namespace velorixa::controls {
namespace {

class RecordingTarget : public SoundTarget {
  public:
    std::vector<std::string> calls;
    void SetChanAttr(double FRQ, double VOL, double PAN) override {
        calls.push_back("SetChanAttr " + num(FRQ) + " " + num(VOL) + " " + num(PAN));
    }
    void UpdateEQL(int band, int value) override {
        calls.push_back("UpdateEQL " + num(band) + " " + num(value));
    }
    void UpdateEFF(int effect, int value) override {
        calls.push_back("UpdateEFF " + num(effect) + " " + num(value));
    }
    void SetGlobalVolume(int volume) override { calls.push_back("SetGlobalVolume " + num(volume)); }

  private:
    static std::string num(double v) { return std::to_string(static_cast<int>(v)); }
};

using Calls = std::vector<std::string>;
constexpr Origin kOp = Origin::Operator;

TEST(SoundControl, EachValueReachesItsOwnCall) {
    struct Case {
        const char* what;
        void (*change)(SoundControl&);
        Calls expected;
    } cases[] = {
        // Volume, balance, pitch and the bands: the Effects page tests, through the player.
        {"reverb", [](SoundControl& s) { s.setKnobValue(6, 0, kOp); }, {"UpdateEFF 1 0"}},
        // The chorus also sets the global volume (its values: the Effects page tests).
        {"chorus",
         [](SoundControl& s) { s.setKnobValue(9, 3, kOp); },
         {"UpdateEFF 4 3", "SetGlobalVolume 98"}},
        {"out of range is clamped",
         [](SoundControl& s) { s.setKnobValue(kKnobPitch, 400, kOp); },
         {"SetChanAttr 150 -1 -101"}},
        {"unchanged value", [](SoundControl& s) { s.setVolume(50, kOp); }, {}},
        {"knob 0 and 10 ignored",
         [](SoundControl& s) {
             s.setKnobValue(0, 5, kOp);
             s.setKnobValue(10, 5, kOp);
         },
         {}},
        {"rotation, shape, range and speed reach no player call",
         [](SoundControl& s) {
             s.setKnobRotation(3, true, 70, kOp);
             s.setWaveShape(true, false, kOp);
             s.setPitchRange(60, 140, kOp);
             s.setRotationSpeed(90, kOp);
         },
         {}},
    };
    for (const Case& c : cases) {
        RecordingTarget target;
        SoundControl sound(target);
        c.change(sound);
        EXPECT_EQ(target.calls, c.expected) << c.what;
    }
}

TEST(SoundControl, AWholeSettingGivesTheCallsOfItsValuesOneAfterAnother) {
    SoundSetting s;
    s.volumePct = 70;
    s.rotationSpeed = 20;
    s.knobs[kKnobBalance] = {160, true, 40};
    s.knobs[kKnobPitch].value = 80;
    s.knobs[4].value = 0;
    s.knobs[9].value = 20;
    s.beat = true;
    s.pitchRangeLowPct = 140;

    RecordingTarget whole;
    SoundControl a(whole);
    a.apply(s, Origin::Program);

    RecordingTarget single;
    SoundControl b(single);
    b.setVolume(70, kOp);
    b.setKnobValue(kKnobBalance, 160, kOp);
    b.setKnobValue(kKnobPitch, 80, kOp);
    b.setKnobValue(4, 0, kOp);
    b.setKnobValue(9, 20, kOp);

    EXPECT_EQ(whole.calls, single.calls);
    EXPECT_EQ(whole.calls.size(), 6u);
    EXPECT_EQ(a.setting(), s) << "everything is held, rotation and options included";
    const StartValues v = a.startValues();
    EXPECT_EQ(v.PAN, 60);
    EXPECT_EQ(v.FRQ, 80);
    EXPECT_EQ(v.EqlArr[2], 0);
    EXPECT_EQ(v.EffArr[4], 20);

    // Applying it again changes nothing.
    whole.calls.clear();
    a.apply(s, Origin::Program);
    EXPECT_TRUE(whole.calls.empty());
}

class CountingCancel : public PerformanceCancel {
  public:
    int styles = 0, keys = 0;
    void InitTypPerf() override { ++styles; }
    void InitKbdPerf() override { ++keys; }
};

// The sound setting with its logic, the wave and the key table, as the window composes them.
struct SoundHome {
    RecordingTarget target;
    SoundControl sound{target};
    perform::PERFOR wave;
    EffectControls effects{sound, wave};
    perform::SKBD skbd{effects};
    CountingCancel cancel;
    std::vector<Origin> origins;  // of every change the setting reported

    SoundHome() {
        effects.setPerformance(&cancel);
        auto note = [this](Origin o) { origins.push_back(o); };
        QObject::connect(&sound, &SoundControl::volumeChanged, [=](int, Origin o) { note(o); });
        QObject::connect(&sound, &SoundControl::rotationSpeedChanged,
                         [=](int, int, Origin o) { note(o); });
        QObject::connect(&sound, &SoundControl::knobChanged, [=](int, int, Origin o) { note(o); });
        QObject::connect(&sound, &SoundControl::knobRotationChanged,
                         [=](int, bool, int, Origin o) { note(o); });
        QObject::connect(&sound, &SoundControl::waveShapeChanged,
                         [=](bool, bool, Origin o) { note(o); });
        QObject::connect(&sound, &SoundControl::pitchRangeChanged,
                         [=](int, int, Origin o) { note(o); });
    }
    // Key 1 holds volume 53 and the reverb knob (6) still at 97; everything else at rest.
    void storeKey() {
        perform::PerformanceSet set;
        perform::KeyRecord& r = set.KeySet[1];
        r.Slot[perform::slot::kHolds] = 1;
        r.Slot[perform::slot::kVolume] = 53;
        r.Slot[perform::slot::kRotSpeed] = 50;
        for (int i = 1; i <= kKnobCount; ++i)
            r.Slot[perform::slot::value(i)] = static_cast<int16_t>(KnobRangeOf(i).rest);
        r.Slot[perform::slot::value(6)] = 97;
        skbd.takeSet(set);
    }
    void forget() {
        target.calls.clear();
        origins.clear();
        cancel = {};
    }
};

const Calls kRecalled = {"SetChanAttr -1 51 -101", "SetChanAttr -1 52 -101",
                         "SetChanAttr -1 53 -101", "UpdateEFF 1 99",
                         "UpdateEFF 1 98",         "UpdateEFF 1 97"};

TEST(SoundHome, EveryChangeReachesThePlayerOncePerValueWithItsOrigin) {
    struct Case {
        const char* what;
        void (*prepare)(SoundHome&);
        void (*act)(SoundHome&);
        Calls calls;
        Origin origin;
        int cancels;  // the style stopped and the keys released
    } cases[] = {
        {"an operator's move",
         [](SoundHome&) {},
         [](SoundHome& h) { h.effects.ScrBar_Change(3, 20, Origin::Operator); },
         {"UpdateEQL 1 20"},
         Origin::Operator,
         1},
        {"a key the operator fired", [](SoundHome& h) { h.storeKey(); },
         [](SoundHome& h) { h.skbd.ApplyKeySetting(1, Origin::KeyRecall); }, kRecalled,
         Origin::KeyRecall, 0},
        {"a key the style fired", [](SoundHome& h) { h.storeKey(); },
         [](SoundHome& h) { h.skbd.ApplyKeySetting(1, Origin::Style); }, kRecalled, Origin::Style,
         0},
        {"a wave tick",
         // The reverb knob at its rest (100) swings over 0..100 and starts at the wave's top.
         [](SoundHome& h) { h.effects.RotBut_Click(6, Origin::Program); },
         [](SoundHome& h) {
             h.wave.MovNext();
             h.effects.WaveTick();
         },
         {"UpdateEFF 1 99"},
         Origin::Wave,
         0},
        {"a controller's move",
         [](SoundHome&) {},
         [](SoundHome& h) { h.effects.ScrVOL_Change(60, Origin::Controller); },
         {"SetChanAttr -1 60 -101"},
         Origin::Controller,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundHome h;
        c.prepare(h);
        h.forget();
        c.act(h);
        EXPECT_EQ(h.target.calls, c.calls);
        EXPECT_EQ(h.origins, std::vector<Origin>(h.origins.size(), c.origin));
        EXPECT_GE(h.origins.size(), c.calls.size()) << "every value was reported";
        EXPECT_EQ(h.cancel.styles, c.cancels);
        EXPECT_EQ(h.cancel.keys, c.cancels);
    }
}

TEST(SoundHome, AKeyStoresWhatTheSettingHoldsAndRecallsItRotating) {
    SoundHome h;
    h.effects.ScrBar_Change(4, 30, Origin::Operator);
    h.effects.RotBut_Click(4, Origin::Operator);
    ASSERT_TRUE(h.sound.rotationActive());
    h.skbd.StoreKeySetting(2);
    ASSERT_TRUE(h.skbd.holdsSetting(2));
    EXPECT_EQ(h.skbd.key(2).Slot[perform::slot::rotating(4)], 1);
    EXPECT_EQ(h.skbd.key(2).Slot[perform::slot::memRot(4)], 30);
    h.effects.ZerBut_Click(4, Origin::Operator);
    EXPECT_FALSE(h.sound.rotationActive());
    h.forget();
    h.skbd.ApplyKeySetting(2, Origin::KeyRecall);
    EXPECT_TRUE(h.sound.setting().knobs[4].rotating);
    EXPECT_EQ(h.sound.setting().knobs[4].memRot, 30);
    EXPECT_TRUE(h.sound.rotationActive());
    EXPECT_TRUE(h.effects.knob(4).rotating());
    EXPECT_EQ(h.cancel.styles, 0);
}

}  // namespace
}  // namespace velorixa::controls
