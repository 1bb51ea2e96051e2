// What a performer hears from the knobs: the window's knobs driven through their bars and the
// wave tick, the whole output rendered offline and checked for clicks, zipper steps and
// overflow.
#include <QCheckBox>
#include <cmath>
#include <vector>

#include "common/stepmeasure.h"
#include "effects_fixture.h"

namespace velorixa {
namespace {

using testing::EffectsWindow;
constexpr int kRate = 44100;

// Largest sample step relative to what a signal of its local level can do: slow gain, pan,
// filter and pitch glides stay under 1; a zipper step or a click jumps far above.
double worstStepRatio(const std::vector<float>& out, double maxHz) {
    return testmedia::measureSteps(out, maxHz, 1e-4, kRate).worstRatio;
}

class KnobSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win_ = std::make_unique<EffectsWindow>(VX_DEVICE_OFFLINE);
        ASSERT_TRUE(win_->ok);
    }
    void TearDown() override { win_.reset(); }

    // Renders `ticks` wave ticks, each one tick period of sound long (the main loop's period:
    // the wave tick period + 1 ms at the least), into out.
    void renderTicks(int ticks, std::vector<float>& out) {
        const int tickMs = win_->w->waveTickMs() + 1;
        std::vector<float> block;
        for (int t = 0; t < ticks; ++t) {
            const int frames = kRate * tickMs / 1000;
            block.resize(2 * static_cast<size_t>(frames));
            ASSERT_EQ(VX_Render(block.data(), frames), static_cast<DWORD>(frames));
            out.insert(out.end(), block.begin(), block.end());
            win_->w->PerforTimer();
        }
    }
    // All nine knobs set rotating through their buttons, from places that swing widely.
    void rotateAllNine() {
        win_->bar(1)->setValue(180);
        for (int eq = 3; eq <= 5; ++eq)
            win_->bar(eq)->setValue(0);
        for (int k = 1; k <= 9; ++k) {
            win_->clickRotate(k);
            ASSERT_TRUE(win_->page().knob(k)->rotBut()->isChecked()) << k;
        }
    }

    std::unique_ptr<EffectsWindow> win_;
};

TEST_F(KnobSoundTest, NineKnobsRotatingMakeNoStepsAtAnySpeed) {
    ASSERT_TRUE(
        win_->play({test::mediaFile("tone 220.mp3", testmedia::sine(220, 30, kRate, 2, 0.25))}, 0));
    rotateAllNine();
    struct Speed {
        int scrROT, ticks;
    } speeds[] = {{100, 1500}, {50, 40}, {0, 25}};
    for (const Speed& s : speeds) {
        win_->page().ScrROT()->setValue(s.scrROT);
        ASSERT_EQ(win_->w->waveTickMs(), 201 - 2 * s.scrROT);
        std::vector<float> out;
        renderTicks(s.ticks, out);
        ASSERT_FALSE(HasFailure());
        for (float x : out)
            ASSERT_TRUE(std::isfinite(x));
        // The tone is 220 Hz; the pitch knob takes it up to twice that.
        const double ratio = worstStepRatio(out, 440);
        EXPECT_LT(ratio, 1.5) << "ScrROT " << s.scrROT;
        EXPECT_GT(testmedia::peak(out.data(), out.size()), 0.05) << "the tone was heard";
    }
    // The zero buttons' glides back are smooth too.
    std::vector<float> out;
    for (int k = 1; k <= 9; ++k) {
        win_->clickZero(k);
        renderTicks(3, out);
    }
    EXPECT_LT(worstStepRatio(out, 440), 1.5) << "glides back";
}

TEST_F(KnobSoundTest, FullChorusOnLoudNoiseClipsCleanly) {
    ASSERT_TRUE(win_->play({test::loudNoiseFile()}, 0));
    win_->page().ScrVOL()->setValue(100);
    win_->bar(9)->setValue(0);  // "Jingl" at full effect: global volume 100, master 100
    DWORD global = 0;
    BASS_GetGlobalVolumes(nullptr, nullptr, &global);
    ASSERT_EQ(global, 100u);
    ASSERT_EQ(BASS_GetVolume(), 100u);
    std::vector<float> out(2 * kRate * 2);
    ASSERT_EQ(VX_Render(out.data(), kRate * 2), static_cast<DWORD>(kRate * 2));
    int atFullScale = 0;
    for (float x : out) {
        ASSERT_TRUE(std::isfinite(x));
        ASSERT_LE(std::fabs(x), 1.0f);
        atFullScale += std::fabs(x) == 1.0f;
    }
    EXPECT_GT(atFullScale, 0) << "the comb drives loud noise past full scale";
}

}  // namespace
}  // namespace velorixa
