// The "Effects" page end to end: its widgets clicked and moved, the result read back from the
// audio layer under a playing tone (no-sound device).
#include <QCheckBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>

#include "audio/realtime/fx/effect.h"
#include "controls/soundcontrol.h"
#include "effects_fixture.h"
#include "perform/perfor.h"

namespace velorixa {
namespace {

using testing::EffectsWindow;

class CountingCancel : public controls::PerformanceCancel {
  public:
    int styles = 0, keys = 0;
    void InitTypPerf() override { ++styles; }
    void InitKbdPerf() override { ++keys; }
};

class EffectsPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win_ = std::make_unique<EffectsWindow>(VX_DEVICE_NOSOUND);
        ASSERT_TRUE(win_->ok);
        win_->logic().setPerformance(&cancel_);
        // 22050 Hz sources, so the pitch mapping is told from the output rate.
        for (int i = 0; i < 2; ++i)
            tones_ << test::mediaFile(QString("tone %1.mp3").arg(i),
                                      testmedia::sine(330 + 110 * i, 8, 22050, 2));
        ASSERT_TRUE(win_->play(tones_, 0));
    }
    void TearDown() override { win_.reset(); }

  public:
    EffectsWindow& win() { return *win_; }
    // What the audio layer plays with, read back.
    double pan() { return attribute(2); }
    double rate() { return attribute(0); }
    double volume() { return attribute(1); }
    double attribute(int which) {
        DWORD f = 0, v = 0;
        int p = 0;
        BASS_ChannelGetAttributes(win().player().ChanPIT, &f, &v, &p);
        return which == 0 ? double(f) : which == 1 ? double(v) : double(p);
    }
    double eqGain(int band) {
        fx::DX8ParamEq r{};
        BASS_FXGetParameters(win().player().EqlArrFx[band], &r);
        return r.fGain;
    }
    double eqGain1() { return eqGain(1); }
    double eqGain3() { return eqGain(3); }
    double chorusMix() {
        fx::DX8Chorus r{};
        BASS_FXGetParameters(win().player().EffArrFx[4], &r);
        return r.fWetDryMix;
    }
    double globalVolume() {
        DWORD v = 0;
        BASS_GetGlobalVolumes(nullptr, nullptr, &v);
        return v;
    }

  protected:
    // Mouse drag of a bar's thumb by dx pixels; check runs while the button is still down.
    template <class F>
    void dragThumb(QScrollBar* bar, int dx, F whileHeld) {
        const QPoint from = test::scrollBarPart(bar, QStyle::SC_ScrollBarSlider).center();
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        const QPoint to = from + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        whileHeld();
        QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(dx, 0));
    }

    QStringList tones_;
    std::unique_ptr<EffectsWindow> win_;
    CountingCancel cancel_;
};

TEST_F(EffectsPageTest, EveryBarReachesThePlayer) {
    using T = EffectsPageTest;
    struct Case {
        const char* what;
        int knob, value;
        double (T::*read)();
        double expected;
    } cases[] = {
        {"balance 0 is full left", 1, 0, &T::pan, -100},
        {"pitch 150 doubles it", 2, 150, &T::rate, 44100},
        {"pitch 50 is 75 %, halves to even", 2, 50, &T::rate, 16538},
        {"EQ at the top boosts", 3, 0, &T::eqGain1, 10},
        {"EQ at the bottom cuts", 5, 100, &T::eqGain3, -10},
        {"chorus at 1: 99.5 to even", 9, 1, &T::globalVolume, 100},
        {"chorus at 0 mixes fully", 9, 0, &T::chorusMix, 100},
        {"chorus off: global 50", 9, 100, &T::globalVolume, 50},
    };
    for (const Case& c : cases) {
        // Move to a neighbour first, so that every case is a real change of the bar.
        win().bar(c.knob)->setValue(c.value == win().bar(c.knob)->minimum() ? c.value + 2
                                                                            : c.value - 2);
        const int cancelsBefore = cancel_.styles;
        win().bar(c.knob)->setValue(c.value);
        EXPECT_EQ((this->*c.read)(), c.expected) << c.what;
        EXPECT_EQ(cancel_.styles, cancelsBefore + 1) << c.what << ": a user move cancels";
    }
    win().page().ScrVOL()->setValue(80);
    EXPECT_EQ(volume(), 80);
}

TEST_F(EffectsPageTest, DraggingChangesTheSoundButTheSpeedOnlyOnRelease) {
    QScrollBar* rot = win().page().ScrROT();
    const int timeBefore = win().w->waveTickMs();
    dragThumb(rot, 40, [&] { EXPECT_EQ(win().w->waveTickMs(), timeBefore); });
    ASSERT_NE(rot->value(), 50) << "the drag moved the thumb";
    EXPECT_EQ(win().w->waveTickMs(), 201 - 2 * rot->value());

    QScrollBar* balance = win().bar(1);
    dragThumb(balance, -40, [&] {
        EXPECT_LT(balance->value(), 100);
        EXPECT_EQ(pan(), balance->value() - 100) << "heard while the thumb is held";
    });
}

TEST_F(EffectsPageTest, BalanceFrom160SwingsBetween40And160AndGlidesBack) {
    win().bar(1)->setValue(160);
    win().clickRotate(1);
    EXPECT_TRUE(win().w->soundControl().rotationActive());
    const int cancels = cancel_.styles;
    int lo = 1000, hi = -1000;
    for (int tick = 0; tick < 2 * 64; ++tick) {
        win().w->PerforTimer();
        lo = std::min(lo, win().bar(1)->value());
        hi = std::max(hi, win().bar(1)->value());
        ASSERT_EQ(pan(), win().bar(1)->value() - 100);
    }
    EXPECT_EQ(lo, 40);
    EXPECT_EQ(hi, 160);
    EXPECT_EQ(cancel_.styles, cancels) << "the wave's moves are the program's own";
    // The zero button glides back one unit per change and lets the rotate button go.
    int changes = 0;
    QObject listening;
    QObject::connect(&win().w->soundControl(), &controls::SoundControl::knobChanged, &listening,
                     [&](int knob) { changes += knob == 1; });
    const int from = win().bar(1)->value();
    win().clickZero(1);
    EXPECT_EQ(win().bar(1)->value(), 100);
    EXPECT_EQ(changes, std::abs(from - 100));
    EXPECT_FALSE(win().w->soundControl().rotationActive());
}

TEST_F(EffectsPageTest, PitchRotatesBetweenTheRangeBarsOnly) {
    win().page().ScrFRQ1()->setValue(100);
    win().page().ScrFRQ2()->setValue(100);
    win().clickRotate(2);
    EXPECT_FALSE(win().page().knob(2)->rotBut()->isChecked()) << "springs back";
    EXPECT_FALSE(win().w->soundControl().rotationActive());

    // While the knob stands still, moving a range bar only stores the bound.
    win().page().ScrFRQ1()->setValue(60);
    win().page().ScrFRQ2()->setValue(140);
    EXPECT_EQ(win().bar(2)->value(), 100);
    EXPECT_FALSE(win().logic().knob(2).rotating());
    win().clickRotate(2);
    ASSERT_TRUE(win().logic().knob(2).rotating());
    // While it rotates the swing restarts between the bars at once.
    win().page().ScrFRQ1()->setValue(120);
    EXPECT_EQ(win().logic().knob(2).PosMin(), 120);
    EXPECT_GE(win().bar(2)->value(), 120);
    for (int tick = 0; tick < 40; ++tick) {
        win().w->PerforTimer();
        ASSERT_GE(win().bar(2)->value(), 120);
        ASSERT_LE(win().bar(2)->value(), 140);
    }
}

TEST_F(EffectsPageTest, BeatAndJumpExcludeEachOther) {
    QCheckBox* jump = win().page().ChkRot1();
    QCheckBox* beat = win().page().ChkRot2();
    struct Step {
        QCheckBox* click;
        bool jump, beat;
        int type;
    } steps[] = {
        {jump, true, false, 2},
        {beat, false, true, 3},   // "Beat" clears "Jump"
        {jump, true, false, 2},   // and the other way round
        {jump, false, false, 1},  // clearing the ticked box: the plain wave
    };
    for (const Step& s : steps) {
        QTest::mouseClick(s.click, Qt::LeftButton);
        EXPECT_EQ(jump->isChecked(), s.jump);
        EXPECT_EQ(beat->isChecked(), s.beat);
        EXPECT_EQ(win().logic().knob(1).KeyTyp(), s.type);
        EXPECT_EQ(win().w->soundControl().setting().jump, s.jump);
    }
}

TEST_F(EffectsPageTest, RotationActiveFollowsEveryRotateButton) {
    win().bar(3)->setValue(20);  // the equaliser off its middle
    struct Step {
        const char* what;
        bool rotate;  // else zero
        int knob;
        bool active;
    } steps[] = {
        {"an effect at its zero position swings over its range", true, 6, true},
        {"a second knob", true, 3, true},
        {"zeroing the first leaves the second", false, 6, true},
        {"the equaliser at its middle does not rotate", true, 4, true},
        {"zeroing the last", false, 3, false},
    };
    for (const Step& s : steps) {
        if (s.rotate)
            win().clickRotate(s.knob);
        else
            win().clickZero(s.knob);
        EXPECT_EQ(win().w->soundControl().rotationActive(), s.active) << s.what;
    }
    EXPECT_FALSE(win().page().knob(4)->rotBut()->isChecked());
    EXPECT_EQ(win().bar(3)->value(), 50) << "zero glides to the rest value";
}

TEST_F(EffectsPageTest, TheWaveMovesOnlyWhileAKnobRotatesAndTheSoundPlaysKnobsCarryOver) {
    perform::PERFOR& wave = win().w->perfor();
    auto tickAndSee = [&](int ticks) {
        const float phase = wave.Wave1;
        const int v = win().bar(6)->value();
        bool moved = false;
        for (int i = 0; i < ticks; ++i) {
            win().w->PerforTimer();
            moved = moved || win().bar(6)->value() != v;
        }
        return moved || wave.Wave1 != phase;
    };
    EXPECT_FALSE(tickAndSee(5)) << "no knob rotates";
    win().clickRotate(6);
    EXPECT_TRUE(tickAndSee(5));
    win().w->playback().togglePause();
    ASSERT_FALSE(win().player().GetFilePlayPerf());
    EXPECT_FALSE(tickAndSee(5)) << "paused";
    win().w->playback().togglePause();
    EXPECT_TRUE(tickAndSee(5));
    win().bar(3)->setValue(0);
    win().bar(9)->setValue(20);
    win().bar(1)->setValue(30);
    win().w->playback().stop();
    EXPECT_FALSE(tickAndSee(5)) << "stopped";
    // A play request starts the wave from its beginning; the knobs' values carry over.
    ASSERT_TRUE(win().play(tones_, 1));
    EXPECT_EQ(wave.Wave1, 0.0f);
    EXPECT_EQ(eqGain(1), 10);
    EXPECT_EQ(chorusMix(), 80);
    EXPECT_EQ(pan(), -70);
    EXPECT_EQ(globalVolume(), 90);
}

// Clicks on buttons that take no focus: the window's focus test.
TEST_F(EffectsPageTest, NoControlTakesTheFocus) {
    for (QWidget* c : win().page().FrmEffect()->findChildren<QWidget*>())
        EXPECT_EQ(c->focusPolicy(), Qt::NoFocus) << c->objectName().toStdString();
}

}  // namespace
}  // namespace velorixa
