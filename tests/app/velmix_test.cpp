#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "app/ui/entrmain.h"
#include "app/ui/keyboardcontrol.h"
#include "app/windowfixture.h"
#include "audio/net/testserver.h"
#include "common/testmedia.h"
#include "perform/keyhelp.h"

namespace velorixa {
namespace {

// The window shown, before its deferred start.
class VelMixFrame : public ::testing::Test {
  protected:
    void SetUp() override { w.Show(); }
    VelMix w{"/tmp/"};
};

TEST_F(VelMixFrame, PanelsShowOnlyOnPlayBackAndEffectsAndPlayBackIsRepainted) {
    QTabWidget* tabs = w.MenuTabs();
    auto* system = w.findChild<QFrame*>("FrmSystem");
    auto* keybrd = w.findChild<QFrame*>("FrmKeybrd");
    auto* vmix = w.findChild<QFrame*>("FrmVMIX");
    ASSERT_TRUE(system && keybrd && vmix);
    EXPECT_FALSE(system->isVisible());  // hidden at load
    EXPECT_FALSE(keybrd->isVisible());
    const bool expected[4] = {false, true, true, false};
    w.textFocus().set(true);  // a page change ends typing
    for (int page : {2, 1, 3, 0, 2, 1, 0, 3}) {
        int before = tabs->currentIndex();
        w.TimerFoc()->stop();
        w.keyboardControl().TimerFoc_Timer();  // takes a repaint asked for before
        tabs->setCurrentIndex(page);
        EXPECT_EQ(system->isVisible(), expected[page]) << "page " << page;
        EXPECT_EQ(keybrd->isVisible(), expected[page]) << "page " << page;
        EXPECT_TRUE(vmix->isVisible());
        EXPECT_EQ(w.state().PrevTab, before);
        EXPECT_EQ(w.keyboardControl().fftRedrawPending(), page == 1)
            << "PlayBack asks for one repaint";
        EXPECT_FALSE(w.textFocus().active());
    }
}

TEST_F(VelMixFrame, TitleCoverUntilFormStartAndTimerBegFiresOnce) {
    QFrame* cover = w.FrameTit();
    ASSERT_TRUE(cover->isVisible());
    w.MenuTabs()->setCurrentIndex(2);
    QSignalSpy started(&w, &VelMix::formStarted);
    w.TimerBeg()->start();
    QApplication::processEvents();
    EXPECT_TRUE(cover->isVisible()) << "the cover stays until the timer fires";
    ASSERT_TRUE(started.wait(2000));
    EXPECT_FALSE(cover->isVisible());
    EXPECT_EQ(w.MenuTabs()->currentIndex(), 0);
    EXPECT_FALSE(w.TimerBeg()->isActive()) << "it fires once";
    EXPECT_EQ(w.formStartCount(), 1);
}

TEST_F(VelMixFrame, UnloadStopsTheTimersBeforeThePlayerLetsGo) {
    w.TimerNet()->setInterval(100);
    w.TimerNet()->start();  // a play request waiting for its step
    bool anyTimerRunning = true;
    w.addShutdownStep([&] {
        anyTimerRunning = w.TimerFoc()->isActive() || w.TimerTik()->isActive() ||
                          w.TimerNet()->isActive() || w.TimerBeg()->isActive();
    });
    w.Unload();
    EXPECT_FALSE(anyTimerRunning);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(VelMixFrame, LayoutButtonTogglesHelp) {
    w.MenuTabs()->setCurrentIndex(1);
    EXPECT_FALSE(w.FrameHelp()->isVisible());
    for (bool shown : {true, false}) {
        QTest::mouseClick(w.findChild<QWidget*>("CmdLayout"), Qt::LeftButton);
        EXPECT_EQ(w.FrameHelp()->isVisible(), shown);
    }
}

TEST_F(VelMixFrame, FocusTimerGivesTheFocusBackOnceTheMouseIsUpAndShowsTheLoad) {
    KeyboardControl& kc = w.keyboardControl();
    bool buttonDown = true;
    int repaints = 0;
    kc.leftButtonDown = [&] { return buttonDown; };
    kc.cpuLoad = [] { return 12.5; };
    QObject::connect(&kc, &KeyboardControl::fftRedraw, [&] { ++repaints; });
    w.TimerFoc()->stop();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* masVol = w.findChild<QScrollBar*>("ScrMasVol");
    masVol->setFocusPolicy(Qt::StrongFocus);
    masVol->setFocus();
    w.state().FocTabs = false;
    w.keyboardControl().requestFftRedraw();
    kc.TimerFoc_Timer();
    EXPECT_EQ(w.findChild<QLabel*>("LblCPU")->text(), "12 ");
    EXPECT_EQ(repaints, 1);
    EXPECT_TRUE(masVol->hasFocus()) << "the mouse is still down";
    buttonDown = false;
    w.textFocus().set(true);  // typing: the focus stays where it is
    kc.TimerFoc_Timer();
    EXPECT_FALSE(w.MenuTabs()->hasFocus());
    w.textFocus().set(false);
    kc.TimerFoc_Timer();
    EXPECT_TRUE(w.MenuTabs()->hasFocus());
    EXPECT_EQ(repaints, 1);
}

TEST_F(VelMixFrame, EveryHelpKeyLabelCanBeReadWholeAndAClickShowsItsFunction) {
    auto helpKey = [&](int i) { return w.findChild<QPushButton*>(QString("ButKbdHlp%1").arg(i)); };
    auto* textHlp = w.findChild<QLabel*>("TextHlp");
    auto* commHlp = w.findChild<QLabel*>("CommHlp");
    ASSERT_TRUE(textHlp && commHlp);
    for (int i = 0; i < perform::kHelpKeyCount; ++i) {
        QPushButton* key = helpKey(i);
        ASSERT_NE(key, nullptr) << i;
        // The key draws its caption on these lines, in this font, inside its one-pixel border.
        const QStringList lines = key->text().split(u'\n');
        const QFontMetrics fm(key->font());
        EXPECT_GE(QFontInfo(key->font()).pixelSize(), 6) << i;
        for (const QString& line : lines)
            EXPECT_LE(fm.horizontalAdvance(line), key->width() - 2)
                << i << " " << line.toStdString();
        EXPECT_LE(fm.height() + (lines.size() - 1) * fm.lineSpacing(), key->height() - 2) << i;
    }
    // A clicked key shows its function; a key without one clears it.
    QTest::mouseClick(helpKey(5), Qt::LeftButton);
    EXPECT_EQ(textHlp->text(), perform::HelpForKey(5).function);
    EXPECT_EQ(commHlp->text(), perform::HelpForKey(5).detail);
    QTest::mouseClick(helpKey(11), Qt::LeftButton);  // F11 has no function
    EXPECT_EQ(textHlp->text() + commHlp->text(), "");
}

TEST(StartedWindow, NoButtonTakesTheFocusTheTabStripTakesEveryClickAndCaptionsHaveRoom) {
    // Besides the window's own, a button of each kind as the pages still to come bring them
    // (knobs' rotate and zero buttons, check boxes), in the focus-taking state Qt gives them.
    auto w = std::make_unique<VelMix>("/tmp/");
    w->Show();
    for (QWidget* page : {w->page(2), w->page(3)}) {
        new QCheckBox("check", page);
        new QToolButton(page);
        new QRadioButton("option", page);
    }
    ASSERT_TRUE(test::startWindow(*w));
    const auto buttons = w->findChildren<QAbstractButton*>();
    ASSERT_GT(buttons.size(), 104);  // the help keys alone are 104
    for (QAbstractButton* b : buttons)
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus)
            << b->metaObject()->className() << " " << b->objectName().toStdString();

    QTabBar* bar = w->MenuTabs()->tabBar();
    for (int tab : {3, 0, 2, 1}) {
        const QRect r = bar->tabRect(tab);
        for (int x : {r.left() + 3, r.center().x(), r.right() - 3}) {
            w->MenuTabs()->setCurrentIndex(tab == 0 ? 1 : 0);
            // Through the window, so whatever lies on top at that point gets the click.
            const QPoint at = bar->mapTo(w.get(), QPoint(x, r.center().y()));
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, at);
            EXPECT_EQ(w->MenuTabs()->currentIndex(), tab) << "x " << at.x();
        }
    }

    // The style's own size for each caption includes the room around it.
    for (const char* name : {"CmdSwitch", "ChkEnterAddSav", "OptMusic", "OptLists"}) {
        auto* b = w->findChild<QAbstractButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_GE(b->width(), b->sizeHint().width()) << name;
    }
}

// Start-up with a stand-in audio layer whose answers the test chooses.
struct FakeAudio {
    uint32_t version = 1 | (6u << 16);
    int initResult = 1;
    uint32_t dsVersion = 8;
    int frees = 0, starts = 0, shutdowns = 0;
    QStringList messages;
    VelMix* window = nullptr;
};

StartupEnv fakeEnv(FakeAudio& fa, const QString& folder, int* saves) {
    StartupEnv env;
    env.getVersion = [&fa] { return fa.version; };
    env.init = [&fa](int, uint32_t, uint32_t, void*) { return fa.initResult; };
    env.start = [&fa] { ++fa.starts; };
    env.getInfo = [&fa](uint32_t* info) {
        info[10] = fa.dsVersion;
        return 1;
    };
    env.freeLibrary = [&fa] { ++fa.frees; };
    env.critical = [&fa](QWidget*, const QString& text, const QString& title) {
        fa.messages << title + "|" + text;
    };
    env.appFolder = folder;
    env.runLoop = false;
    env.windowCreated = [&fa, saves](VelMix& w) {
        fa.window = &w;
        w.addShutdownStep([&fa] { ++fa.shutdowns; });
        // A saver like the music list's: it overwrites the file on disk.
        w.addStateSaver([saves, &w] {
            ++*saves;
            test::writeFile(w.AppPath() + "MemoList.ini", "\r\n");
        });
    };
    return env;
}

using test::readFile;

TEST(Startup, FailurePathsEndWithTheirMessageAndKeepSavedFiles) {
    struct Case {
        const char* what;
        void (*set)(FakeAudio&);
        const char* message;
        int frees;
    } cases[] = {
        {"version 1.7", [](FakeAudio& f) { f.version = 1 | (7u << 16); },
         "BASS.Dll|BASS version 1.6 was not loaded", 0},
        {"no output", [](FakeAudio& f) { f.initResult = 0; },
         "Digital output|Error: Couldn't Initialize Digital Output", 0},
        {"old DirectSound", [](FakeAudio& f) { f.dsVersion = 7; },
         "DX8|DirectX version 8 is not Installed!!!", 1},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString list = dir.path() + "/MemoList.ini";
        ASSERT_TRUE(test::writeFile(list, "/music/a.mp3\r\n/music/b.mp3\r\n"));
        FakeAudio fa;
        c.set(fa);
        int saves = 0;
        EXPECT_EQ(Main(fakeEnv(fa, dir.path(), &saves)), 1) << c.what;
        EXPECT_EQ(fa.messages, QStringList{c.message}) << c.what;
        EXPECT_EQ(fa.frees, c.frees) << c.what;
        EXPECT_EQ(saves, 0) << c.what;
        EXPECT_EQ(readFile(list), "/music/a.mp3\r\n/music/b.mp3\r\n") << c.what;
        EXPECT_EQ(fa.shutdowns, 1) << c.what << ": the window is unloaded once";
    }
}

TEST(Startup, NormalStartLoadsThenSavesExactlyOnceOnClose) {
    QTemporaryDir dir;
    FakeAudio fa;
    int saves = 0, loads = 0;
    StartupEnv env = fakeEnv(fa, dir.path(), &saves);
    env.loadState = [&](VelMix& w) {
        ++loads;
        EXPECT_EQ(w.AppPath(), dir.path() + "/");
    };
    env.runLoop = true;
    // Close the window from inside the loop at a wave tick once it started, twice: the second
    // close must not save again.
    env.started = [](VelMix& w) {
        QObject::connect(&w, &VelMix::perforTick, &w, [&w] {
            if (w.formStartCount() == 0) return;
            w.close();
            w.close();
        });
    };
    EXPECT_EQ(Main(env), 0);
    EXPECT_TRUE(fa.messages.isEmpty());
    EXPECT_EQ(fa.starts, 1);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(readFile(dir.path() + "/MemoList.ini"), "\r\n");
}

// While a station takes 3 s to send its first audio, the real main loop goes on: a 10 ms timer
// keeps firing and the wave tick keeps going. The bounds are far below the 3 s an open on the
// window thread would hold, and far above what a loaded machine (sanitizers, parallel tests)
// adds to a timer.
TEST(Startup, TheWindowGoesOnWhileAStationAnswersLate) {
    qputenv("SDL_AUDIODRIVER", "dummy");
    test::TestServer server;
    test::TestResponse late;
    const std::vector<uint8_t> mp3 = testmedia::encodeMp3(testmedia::sine(440, 4, 22050, 2));
    late.body.assign(mp3.begin(), mp3.end());
    late.answerDelayMs = 3000;
    late.holdOpenAfterBody = true;
    server.setResponse("/late", late);
    QTemporaryDir dir;
    ASSERT_TRUE(testmedia::writeFile((dir.path() + "/MemoList.ini").toStdString(),
                                     server.url("/late") + "\r\n"));
    ASSERT_TRUE(testmedia::writeFile((dir.path() + "/NetRadio.ini").toStdString(), "\r\n"));
    StartupEnv env = DefaultStartupEnv();
    env.appFolder = dir.path();
    env.critical = [](QWidget*, const QString& text, const QString&) {
        ADD_FAILURE() << text.toStdString();
    };
    QElapsedTimer clock;
    qint64 lastTimer = -1, lastWave = -1, timerGap = 0, waveGap = 0, openedAt = -1;
    QTimer beat;
    QStringList messages;
    env.started = [&](VelMix& w) {
        QObject::connect(&w, &VelMix::formStarted, [&] {
            w.playControl().messageBox = [&](const QString& t, const QString&) { messages << t; };
            clock.start();
            // The longest time between two firings of each.
            const auto gap = [&clock](qint64& last, qint64& worst) {
                if (last >= 0) worst = std::max(worst, clock.elapsed() - last);
                last = clock.elapsed();
            };
            QObject::connect(&beat, &QTimer::timeout,
                             [gap, &lastTimer, &timerGap] { gap(lastTimer, timerGap); });
            QObject::connect(&w, &VelMix::perforTick,
                             [gap, &lastWave, &waveGap] { gap(lastWave, waveGap); });
            beat.start(10);
            QObject::connect(&w.playback().events(), &playback::TransportEvents::opened, [&] {
                openedAt = clock.elapsed();
                QTimer::singleShot(200, &w, [&w] { w.close(); });
            });
            w.playback().play();
        });
        QTimer::singleShot(15000, &w, [&w] { w.close(); });
    };
    EXPECT_EQ(Main(env), 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    EXPECT_GT(openedAt, 3500) << "the station answered after the step timer and 3 s";
    EXPECT_LT(timerGap, 1000) << "longest stall of the 10 ms timer, ms";
    EXPECT_LT(waveGap, 1000) << "longest wave tick period, ms";
}

}  // namespace
}  // namespace velorixa
