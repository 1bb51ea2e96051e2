// The "Effects" page's read-outs against what the audio layer really plays with: every knob
// moved through key and mouse events on its own bar, the value shown compared with the
// parameter read back from the audio layer; the read-out following the wave, a recall and the
// pointer.
#include <QHelpEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QToolTip>
#include <cmath>

#include "audio/realtime/fx/effect.h"
#include "common/waitfor.h"
#include "controls/soundcontrol.h"
#include "controls/valuetext.h"
#include "effects_fixture.h"

namespace velorixa {
namespace {

using controls::ValueText;
using testing::EffectsWindow;

// The number in a read-out ("Balance L 40" gives -40, "Balance Centre" 0).
double numberIn(const QString& text) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("(-?\\d+(?:\\.\\d+)?)")).match(text);
    if (!m.hasMatch()) return 0;
    const double v = m.captured(1).toDouble();
    return text.contains(QStringLiteral(" L ")) ? -v : v;
}

class ValuesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win_ = std::make_unique<EffectsWindow>(VX_DEVICE_NOSOUND);
        ASSERT_TRUE(win_->ok);
        // A 22050 Hz source, so the pitch is read as a rate against the source's own.
        ASSERT_TRUE(
            win_->play({test::mediaFile("values tone.mp3", testmedia::sine(330, 8, 22050, 2))}, 0));
        line_ = win_->page().LblValue();
        ASSERT_NE(line_, nullptr);
    }
    void TearDown() override { win_.reset(); }

    // What the audio layer plays with for knob k, in the read-out's unit.
    double played(int knob) {
        PLAYER& p = win_->player();
        if (knob <= 2) {
            DWORD f = 0, v = 0;
            int pan = 0;
            BASS_ChannelGetAttributes(p.ChanPIT, &f, &v, &pan);
            return knob == 1 ? pan : 100.0 * f / p.SrcFreq;
        }
        if (knob <= 5) return fxParam(p.EqlArrFx[knob - 2], &fx::DX8ParamEq::fGain);
        if (knob == 6) return fxParam(p.EffArrFx[1], &fx::DX8Reverb::fReverbMix);
        if (knob == 7) return fxParam(p.EffArrFx[2], &fx::DX8Echo::fWetDryMix);
        if (knob == 8) return fxParam(p.EffArrFx[3], &fx::DX8Flanger::fWetDryMix);
        return fxParam(p.EffArrFx[4], &fx::DX8Chorus::fWetDryMix);
    }
    template <class Params, class Fx>
    static double fxParam(Fx fx, float Params::*field) {
        Params r{};
        BASS_FXGetParameters(fx, &r);
        return r.*field;
    }
    // The key that steps a bar towards its maximum by one small step (a scroll bar's keys run
    // the other way round from a slider's: left and down add).
    static Qt::Key stepUp(QScrollBar* bar) {
        return bar->orientation() == Qt::Horizontal ? Qt::Key_Left : Qt::Key_Down;
    }
    // The pointer comes to rest on a widget.
    static void enter(QWidget* w) {
        QEnterEvent e(QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), w->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(w, &e);
    }
    static void leave(QWidget* w) {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    }

    std::unique_ptr<EffectsWindow> win_;
    QLabel* line_ = nullptr;
};

TEST_F(ValuesTest, EveryKnobShowsWhatTheAudioLayerPlaysAtItsBoundsAndMiddle) {
    for (int knob = 1; knob <= 9; ++knob) {
        QScrollBar* bar = win_->bar(knob);
        enter(bar);
        struct Place {
            const char* name;
            int value;
        } places[] = {{"minimum", bar->minimum()},
                      {"middle", (bar->minimum() + bar->maximum()) / 2},
                      {"maximum", bar->maximum()}};
        for (const Place& at : places) {
            // Home, then small steps to the middle, or End: keys on the bar itself.
            if (at.value == bar->maximum()) {
                QTest::keyClick(bar, Qt::Key_End);
            } else {
                QTest::keyClick(bar, Qt::Key_Home);
                while (bar->value() < at.value) {
                    const int before = bar->value();
                    QTest::keyClick(bar, stepUp(bar));
                    ASSERT_GT(bar->value(), before) << knob;
                }
            }
            ASSERT_EQ(bar->value(), at.value) << "knob " << knob << " " << at.name;
            const controls::ShownValue expected = ValueText::Knob(knob, at.value);
            const QString shown = line_->text();
            EXPECT_EQ(shown, expected.text) << "knob " << knob << " " << at.name;
            EXPECT_NEAR(numberIn(shown), played(knob), knob == 2 ? 0.01 : 1e-3)
                << shown.toStdString() << ": the audio layer plays " << played(knob);
            EXPECT_NEAR(expected.value, played(knob), knob == 2 ? 0.01 : 1e-4)
                << shown.toStdString();
        }
        leave(bar);
    }
}

TEST_F(ValuesTest, VolumeRangeAndRotationShowTheirValuesWhenMoved) {
    QScrollBar* vol = win_->page().ScrVOL();
    QTest::keyClick(vol, Qt::Key_End);
    EXPECT_EQ(line_->text(), "Volume 100 %");
    DWORD f = 0, v = 0;
    int pan = 0;
    BASS_ChannelGetAttributes(win_->player().ChanPIT, &f, &v, &pan);
    EXPECT_EQ(numberIn(line_->text()), v);

    QTest::keyClick(win_->page().ScrFRQ1(), Qt::Key_End);  // both bounds at the top: 200 %
    EXPECT_EQ(line_->text(), "Swing 200..200 %");
    QTest::keyClick(win_->page().ScrFRQ1(), Qt::Key_Home);
    EXPECT_EQ(line_->text(), "Swing 75..200 %");

    QScrollBar* rot = win_->page().ScrROT();
    QTest::keyClick(rot, Qt::Key_End);
    ASSERT_EQ(win_->w->waveTickMs(), 1);
    // One swing of a knob on the fast wave: 32 ticks of the main loop, 1 + 1 ms apart.
    EXPECT_EQ(line_->text(), "Rotate 0.064 s, Balance 0.13 s");
}

TEST_F(ValuesTest, TheReadOutFollowsARotatingKnobAndStaysWithIt) {
    QScrollBar* echo = win_->bar(7);
    QScrollBar* bass = win_->bar(3);
    bass->setValue(10);
    win_->clickRotate(7);  // the echo swings over its whole range
    win_->clickRotate(3);  // the bass too, around its middle
    // The pointer leaves the page; the line shows the knob set going last.
    leave(win_->page().knob(3)->rotBut());
    leave(win_->page().knob(7)->rotBut());
    int seen = 0, lastValue = -1;
    for (int tick = 0; tick < 40; ++tick) {
        win_->w->PerforTimer();
        const QString expected = ValueText::Knob(3, bass->value()).text;
        ASSERT_TRUE(test::waitFor([&] { return line_->text() == expected; }, 2000))
            << "tick " << tick << ": " << line_->text().toStdString() << " instead of "
            << expected.toStdString();
        EXPECT_NEAR(numberIn(line_->text()), played(3), 1e-3);
        seen += bass->value() != lastValue;
        lastValue = bass->value();
    }
    EXPECT_GT(seen, 10) << "the bass moved and the line with it";
    // The pointer on the echo: the line follows the echo now, and a tool tip with it.
    enter(echo);
    QHelpEvent help(QEvent::ToolTip, QPoint(4, 40), echo->mapToGlobal(QPoint(4, 40)));
    QApplication::sendEvent(echo, &help);
    ASSERT_TRUE(QToolTip::isVisible());
    for (int tick = 0; tick < 10; ++tick) {
        win_->w->PerforTimer();
        const QString expected = ValueText::Knob(7, echo->value()).text;
        ASSERT_TRUE(test::waitFor(
            [&] { return line_->text() == expected && QToolTip::text() == expected; }, 2000))
            << line_->text().toStdString() << " / " << QToolTip::text().toStdString();
        EXPECT_NEAR(numberIn(line_->text()), played(7), 1e-3);
    }
    QToolTip::hideText();
}

TEST_F(ValuesTest, ARecalledKeyAndTheZeroButtonShowTheirValues) {
    // A key recalled moves the knobs through the sound setting: the line shows the last one.
    controls::SoundSetting s = win_->w->soundControl().setting();
    s.knobs[9].value = 30;
    win_->w->soundControl().apply(s, controls::Origin::KeyRecall);
    EXPECT_EQ(line_->text(), "Jingl 70 %");
    // The zero button says what it resets to, and after the click the line shows the knob.
    QPushButton* zero = win_->page().knob(9)->zerBut();
    EXPECT_EQ(zero->toolTip(), "Reset to Jingl 0 %, rotation off");
    enter(zero);
    EXPECT_EQ(line_->text(), "Reset to Jingl 0 %, rotation off");
    QTest::mouseClick(zero, Qt::LeftButton);
    EXPECT_EQ(line_->text(), "Jingl 0 %");
    EXPECT_EQ(played(9), 0);
    // While the pointer rests on one control, moves of another leave the line alone.
    enter(win_->page().ScrVOL());
    EXPECT_EQ(line_->text(), "Volume 50 %");
    win_->bar(1)->setValue(40);
    EXPECT_EQ(line_->text(), "Volume 50 %");
}

TEST_F(ValuesTest, TheReadOutLineTakesNoRoomFromAnyControl) {
    VelMix& w = *win_->w;
    const QRect line(line_->mapTo(&w, QPoint(0, 0)), line_->size());
    std::vector<QWidget*> others;
    for (QObject* o : win_->page().FrmEffect()->children())
        if (auto* c = qobject_cast<QWidget*>(o)) others.push_back(c);
    for (QObject* o : w.page(2)->children())
        if (auto* c = qobject_cast<QWidget*>(o)) others.push_back(c);
    others.push_back(w.FrmKeybrd());
    int seen = 0;
    for (QWidget* c : others) {
        if (c == line_ || c == win_->page().FrmEffect() || !c->isVisible()) continue;
        const QRect r(c->mapTo(&w, QPoint(0, 0)), c->size());
        EXPECT_FALSE(r.intersects(line)) << c->objectName().toStdString();
        ++seen;
    }
    EXPECT_GE(seen, 6);
    // The longest read-out fits the line.
    const QString longest = ValueText::ZeroButton(6);
    EXPECT_LE(line_->fontMetrics().horizontalAdvance(longest), line_->width())
        << longest.toStdString();
    EXPECT_LE(line_->fontMetrics().height(), line_->height());
}

}  // namespace
}  // namespace velorixa
