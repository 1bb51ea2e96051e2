// The one path from a sound value to the player, checked against a player that records calls.
#include "controls/soundcontrol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace velorixa::controls
