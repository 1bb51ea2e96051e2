// The display in the window: the player on the no-sound device playing generated MP3 files, the
// display timer, the Alt key and the circle's picture driven as the operator drives them.
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <algorithm>
#include <cstring>
#include <random>

#include "app/windowfixture.h"
#include "common/testmedia.h"
#include "controls/soundcontrol.h"
#include "display/ui/displaypanel.h"
#include "playback/transportevents.h"

namespace velorixa {
namespace {

using display::DisplayPanel;

class DisplayTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        setList({test::loudNoiseFile()});
    }
    DisplayPanel& display() { return w_->display(); }
    void playNoise() {
        w_->MenuTabs()->setCurrentIndex(1);
        w_->playback().play();
        ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    }
    // Alt as the keyboard sends it: a press, auto-repeated presses while held, a release.
    void alt(QEvent::Type type, bool autoRepeat = false) {
        QKeyEvent e(type, Qt::Key_Alt, type == QEvent::KeyPress ? Qt::AltModifier : Qt::NoModifier,
                    QString(), autoRepeat);
        QApplication::sendEvent(w_->MenuTabs()->tabBar(), &e);
    }
};

TEST_F(DisplayTest, TheTimerRestsAfterASeekAndDrawsOnlyBackAtTenMs) {
    playNoise();
    QTimer* tik = w_->TimerTik();
    struct Seen {
        int interval;
        int draws;
    };
    std::vector<Seen> seen;
    // Connected after the display, so it sees each tick's outcome.
    auto c = QObject::connect(tik, &QTimer::timeout, [&] {
        seen.push_back({tik->interval(), display().draws()});
    });
    w_->findChild<QScrollBar*>("ScrPlay")->setValue(2);  // the operator seeks
    ASSERT_EQ(tik->interval(), 50);
    const int drawsAtSeek = display().draws();
    ASSERT_TRUE(waitFor([&] { return seen.size() >= 6; }, 2000));
    QObject::disconnect(c);
    const int intervals[6] = {40, 30, 20, 10, 10, 10};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(seen[i].interval, intervals[i]) << "tick " << i + 1;
        EXPECT_EQ(seen[i].draws, drawsAtSeek + std::max(0, i - 3)) << "tick " << i + 1;
    }
}

// The display's timer runs while a page that shows part of it is in front ("PlayBack": the
// pictures and meters, "Effects": the circle), at its full rate, with every tick drawing; on the
// other pages it rests. The pages are walked by the Tab key, as the operator walks them.
TEST_F(DisplayTest, TheTimerRunsAtItsRateOnlyWhileThePageInFrontShowsTheDisplay) {
    w_->playback().play();
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    QTimer* tik = w_->TimerTik();
    // Page "PlayList": a few position ticks pass and the display never runs.
    const int drawsOnList = display().draws();
    QSignalSpy positionTicks(&w_->playback().events(), &playback::TransportEvents::positionTick);
    ASSERT_TRUE(waitFor([&] { return positionTicks.size() >= 3; }, 2000));
    EXPECT_FALSE(tik->isActive());
    EXPECT_EQ(display().draws(), drawsOnList);

    int ticks = 0, drawingTicks = 0, drawsBefore = 0;
    auto c = QObject::connect(tik, &QTimer::timeout, [&] {
        ++ticks;
        drawingTicks += display().draws() > drawsBefore;
        drawsBefore = display().draws();
    });
    QWidget* tabs = w_->MenuTabs()->tabBar();
    struct Step {
        int page;
        bool runs;
    };
    const Step steps[] = {{1, true}, {2, true}, {3, false}, {2, true}, {1, true}, {0, false}};
    for (const Step& step : steps) {
        QTest::keyClick(tabs, Qt::Key_Tab);
        ASSERT_EQ(w_->MenuTabs()->currentIndex(), step.page);
        EXPECT_EQ(tik->isActive(), step.runs) << "page " << step.page;
        if (!step.runs) continue;
        EXPECT_EQ(tik->interval(), 10) << "page " << step.page;
        drawsBefore = display().draws();
        ticks = drawingTicks = 0;
        ASSERT_TRUE(waitFor([&] { return ticks >= 5; }, 2000)) << "page " << step.page;
        EXPECT_EQ(drawingTicks, ticks) << "every tick draws on page " << step.page;
    }
    QObject::disconnect(c);
    EXPECT_FALSE(tik->isActive());
}

// With the display at rest, the style sequencer's read of the beat analyses the sound itself.
TEST_F(DisplayTest, TheBeatIsAnalysedWhenReadWhileTheDisplayRests) {
    w_->soundControl().setVolume(100, controls::Origin::Program);
    w_->playback().play();
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    ASSERT_FALSE(w_->TimerTik()->isActive());
    const int draws = display().draws();
    ASSERT_TRUE(waitFor([&] { return display().BeatLevelNow() > 0; }, 2000)) << "noise is heard";
    EXPECT_GT(display().draws(), draws);
}

TEST_F(DisplayTest, LoudSoundGivesTheFullCircleAndPauseOrStopShrinksIt) {
    // Full volume: the analyser sees the channel's output after its volume.
    w_->soundControl().setVolume(100, controls::Origin::Program);
    w_->player().SetGlobalVolume(100);
    playNoise();
    auto* shape = display().Shape1;
    ASSERT_TRUE(waitFor([&] { return shape->width() == 41; }, 2000)) << shape->width();
    ASSERT_TRUE(waitFor([&] { return display().LevelL->y() < 40; }, 1000));
    QImage bars = display().PicFFT1->image();
    EXPECT_NE(bars.pixelIndex(100, 126 - 60), 0) << "band 7 stands high";

    // Pause: the bars stay where they were, the circle becomes one pixel in the middle.
    w_->findChild<QPushButton*>("TglPaus")->click();
    ASSERT_TRUE(waitFor([&] { return shape->width() == 1; }, 500));
    const QImage atPause = display().PicFFT1->image();
    const int levelL = display().LevelL->y();
    QTest::qWait(60);
    EXPECT_EQ(display().LevelL->y(), levelL);
    EXPECT_EQ(display().PicFFT1->image(), atPause);

    // Resume, then stop: the transport clears the pictures and drops the bars.
    w_->findChild<QPushButton*>("TglPaus")->click();
    ASSERT_TRUE(waitFor([&] { return shape->width() == 41; }, 1000));
    QTest::mouseClick(w_->findChild<QPushButton*>("CmdStop"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return shape->width() == 1; }, 500));
    EXPECT_EQ(display().LevelR->y(), 1 + 64);
    EXPECT_EQ(display().PicFFT1->image().pixelIndex(100, 126), 0) << "cleared";
}

TEST_F(DisplayTest, AltHeldSwitchesOncePressedTwiceSwitchesTwice) {
    auto* frame7 = display().Frame7;
    const QColor face = frame7->palette().color(QPalette::Window);
    struct Case {
        const char* what;
        int repeats;  // auto-repeated presses while held
        int scheme;   // after the release
        bool hi;      // Frame7 in the light blue
    };
    const Case cases[] = {
        {"first press, held", 5, 2, true},
        {"second press", 0, 1, false},
    };
    w_->FrameHelp()->show();
    for (const Case& c : cases) {
        alt(QEvent::KeyPress);
        for (int i = 0; i < c.repeats; ++i) {
            alt(QEvent::KeyRelease, true);
            alt(QEvent::KeyPress, true);
        }
        alt(QEvent::KeyRelease);
        EXPECT_EQ(display().sfft().FftScheme(), c.scheme) << c.what;
        EXPECT_EQ(frame7->palette().color(QPalette::Window), c.hi ? DisplayPanel::kHiColor : face)
            << c.what;
        EXPECT_FALSE(w_->FrameHelp()->isVisible()) << "the help frame gives way";
    }
    // The monitor button does the same.
    QTest::mouseClick(display().CmdMonitor, Qt::LeftButton);
    EXPECT_EQ(display().sfft().FftScheme(), 2);
    EXPECT_EQ(frame7->palette().color(QPalette::Window), DisplayPanel::kHiColor);
}

TEST_F(DisplayTest, TheLightSchemeIsPaintedOnceAStreamRuns) {
    playNoise();
    ASSERT_TRUE(waitFor([&] { return display().draws() > 3; }, 1000));
    alt(QEvent::KeyPress);
    alt(QEvent::KeyRelease);
    ASSERT_TRUE(waitFor([&] { return display().draws() > 300; }, 5000)) << "the strip is full";
    QImage strip = display().PicFFT2->image();
    // What is painted is the analyser's bitmap, row for row (the image runs top-down), after
    // hundreds of scrolls.
    const auto& flow = display().sfft().FlowBits();
    const auto& bars = display().sfft().BarBits();
    QImage barImage = display().PicFFT1->image();
    int strips = 0, barRows = 0;
    for (int y = 0; y < 127; ++y) {
        strips += std::memcmp(strip.constScanLine(126 - y), flow.data() + y * 256, 256) == 0;
        barRows += std::memcmp(barImage.constScanLine(126 - y), bars.data() + y * 128, 128) == 0;
    }
    EXPECT_EQ(strips, 127);
    EXPECT_EQ(barRows, 127);
    EXPECT_GT(*std::max_element(flow.begin(), flow.end()), 60) << "the noise is in the strip";
    EXPECT_EQ(strip.color(0), qRgb(159, 199, 255)) << "painted in the light scheme";
}

TEST_F(DisplayTest, AClickOnTheCirclePictureTogglesTheCircleAndTheGrid) {
    w_->MenuTabs()->setCurrentIndex(2);
    auto* pic = display().PicCrc;
    ASSERT_TRUE(pic->isVisible());
    // Clicked through the window, right on the circle and the grid's middle lines.
    const QPoint at = pic->mapTo(w_.get(), pic->rect().center());
    const bool expected[3] = {false, true, false};
    for (bool shown : expected) {
        QTest::mouseClick(w_->windowHandle(), Qt::LeftButton, {}, at);
        EXPECT_EQ(display().Frame7->isVisible(), shown);
        for (int i = 1; i <= 12; ++i)
            EXPECT_EQ(display().FrmSet[i]->isVisible(), shown) << i;
    }
}

}  // namespace
}  // namespace velorixa
