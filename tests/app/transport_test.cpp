// The music player end to end: the window on the no-sound device playing generated MP3 files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/keyrouter.h"
#include "app/ui/velmix.h"
#include "app/windowfixture.h"
#include "audio/audiolib.h"
#include "audio/net/testserver.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playback/ui/transportpanel.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

namespace velorixa {
namespace {

class TransportTest : public test::WindowFixture {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        // Two short tones told apart by their pitch.
        toneA_ = dir_->path() + "/a tone, 440.mp3";
        toneB_ = dir_->path() + "/b tone, 880.mp3";
        testmedia::writeFile(toneA_.toStdString(),
                             testmedia::encodeMp3(testmedia::sine(440, 1.6, 22050, 2)));
        testmedia::writeFile(toneB_.toStdString(),
                             testmedia::encodeMp3(testmedia::sine(880, 1.6, 22050, 2)));
    }
    static void TearDownTestSuite() { delete dir_; }

    void SetUp() override {
        WindowFixture::SetUp();
        setList({toneA_, toneB_});
        list().OptTurn[3]->setChecked(true);  // order: down the list
    }
    void pressKeypad(int key) {
        QWidget* target = w_->MenuTabs()->tabBar();
        QTest::keyPress(target, static_cast<Qt::Key>(key), Qt::KeypadModifier);
        QTest::keyRelease(target, static_cast<Qt::Key>(key), Qt::KeypadModifier);
    }

    static QTemporaryDir* dir_;
    static QString toneA_, toneB_;
};

QTemporaryDir* TransportTest::dir_ = nullptr;
QString TransportTest::toneA_;
QString TransportTest::toneB_;

TEST_F(TransportTest, DoubleClickPlaysAfterTheStepTimer) {
    doubleClickRow(0);
    EXPECT_EQ(namePlay(), toneA_);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 1);  // the "PlayBack" page comes to the front
    EXPECT_TRUE(w_->TimerNet()->isActive());
    EXPECT_EQ(w_->TimerNet()->interval(), 100);
    EXPECT_FALSE(player().GetFilePlayPerf()) << "nothing opens before the step timer";
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_EQ(w_->TimerNet()->interval(), 0);
    EXPECT_EQ(ui<QLineEdit>("TxtLen")->text(), "2");  // 1.6 s, whole seconds
    EXPECT_EQ(ui<QScrollBar>("ScrPlay")->maximum(), 2);
    EXPECT_TRUE(ui<QScrollBar>("ScrPlay")->isEnabled());
    EXPECT_EQ(ui<QLabel>("LblFreq")->text(), "22050  Hz  ");
    // Double-clicking the current line does not restart it.
    float before = player().GetFilePos();
    QTest::qWait(200);
    doubleClickRow(0);
    EXPECT_FALSE(w_->TimerNet()->isActive());
    EXPECT_GE(player().GetFilePos(), before);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(TransportTest, PositionBarFollowsWithoutSeekingAndNextItemFollowsTheEnd) {
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    // Sample the play position while the bar follows it: a seek would make it jump.
    float last = player().GetFilePos();
    float worstJump = 0;
    bool barMoved = false;
    ASSERT_TRUE(waitFor(
        [&] {
            float p = player().GetFilePos();
            if (p >= 0 && last >= 0) worstJump = std::max(worstJump, std::fabs(p - last));
            if (p >= 0) last = p;
            barMoved |= ui<QScrollBar>("ScrPlay")->value() >= 1;
            return namePlay() == toneB_;
        },
        4000));
    EXPECT_TRUE(barMoved);
    EXPECT_LT(worstJump, 0.15f);
    // The next item by the order (down) plays: line 1.
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_TRUE(list().PlayList->model().isSelected(1));
    EXPECT_EQ(w_->playQueue().PrevBuff, toneA_);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(TransportTest, AClickOnTheDisabledListEnablesIt) {
    ListBox* view = list().PlayList;
    view->setEnabled(false);  // as after the deferred start
    QWidget* canvas = w_->page(0);
    QPoint inList = view->geometry().center();
    QTest::mouseClick(
        canvas->childAt(inList) ? canvas->childAt(inList) : canvas, Qt::LeftButton, {},
        canvas->childAt(inList) ? canvas->childAt(inList)->mapFrom(canvas, inList) : inList);
    EXPECT_TRUE(view->isEnabled());
    // Now the list takes clicks itself: a double-click plays a line.
    doubleClickRow(1);
    EXPECT_EQ(namePlay(), toneB_);
}

TEST_F(TransportTest, PositionBarSeeksAndItsEndsRestartOrMoveOn) {
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    QScrollBar* bar = ui<QScrollBar>("ScrPlay");
    bar->setValue(1);  // the operator moved the bar: a seek to one second
    EXPECT_EQ(ui<QLineEdit>("TxtPos")->text(), "1");
    ASSERT_TRUE(waitFor([&] { return player().GetFilePos() >= 1.0f; }, 300));
    EXPECT_LT(player().GetFilePos(), 1.3f);
    bar->setValue(0);  // the left end plays the item again from its start
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_LT(player().GetFilePos(), 0.5f);
    EXPECT_EQ(namePlay(), toneA_);
    bar->setValue(bar->maximum());  // the right end with Repeat up: the next item
    EXPECT_EQ(namePlay(), toneB_);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
}

TEST_F(TransportTest, RepeatReplaysTheSameItem) {
    doubleClickRow(1);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    QTest::mouseClick(ui<QPushButton>("TglRept"), Qt::LeftButton);
    ASSERT_TRUE(ui<QPushButton>("TglRept")->isChecked());
    float maxPos = 0;
    bool restarted = false;
    waitFor(
        [&] {
            float p = player().GetFilePos();
            maxPos = std::max(maxPos, p);
            restarted = maxPos > 1.0f && p >= 0 && p < 0.5f;
            return restarted;
        },
        4000);
    EXPECT_TRUE(restarted);
    EXPECT_EQ(namePlay(), toneB_);
}

TEST_F(TransportTest, StopThenPlayStartsAgainFromTheBeginning) {
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePos() > 0.6f; }, 2000));
    QTest::mousePress(ui<QPushButton>("CmdStop"), Qt::LeftButton);
    QTest::mouseRelease(ui<QPushButton>("CmdStop"), Qt::LeftButton);
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_FALSE(ui<QScrollBar>("ScrPlay")->isEnabled());
    EXPECT_TRUE(w_->state().FlagDrag);
    EXPECT_FALSE(ui<QPushButton>("CmdStop")->isChecked()) << "the button springs back on release";
    EXPECT_EQ(namePlay(), toneA_);
    QTest::mousePress(ui<QPushButton>("CmdPlay"), Qt::LeftButton);
    QTest::mouseRelease(ui<QPushButton>("CmdPlay"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    float p = player().GetFilePos();
    EXPECT_GE(p, 0.0f);
    EXPECT_LT(p, 0.4f);
    EXPECT_EQ(namePlay(), toneA_);
}

TEST_F(TransportTest, BadItemsGiveTheirMessageAndThePlayerGoesOn) {
    setList({toneA_, "relative/name.mp3", dir_->path() + "/missing.mp3"});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    doubleClickRow(1);
    EXPECT_EQ(messages_, QStringList{"Error|Invalid Name"});
    EXPECT_TRUE(player().GetFilePlayPerf()) << "whatever was playing goes on";
    doubleClickRow(2);
    ASSERT_TRUE(waitFor([&] { return messages_.size() == 2; }, 1000));
    EXPECT_EQ(messages_[1], "Error|File Error");
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_EQ(list().PlayList->model().count(), 3) << "nothing is lost from the list";
    // The program goes on: the first line plays again.
    doubleClickRow(0);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
}

// A station whose audio is held back until the test lets it go.
test::TestResponse heldStation() {
    test::TestResponse r;
    r.headers = {"content-type: audio/mpeg"};
    const std::vector<uint8_t> mp3 = testmedia::encodeMp3(testmedia::sine(660, 3, 22050, 2));
    r.body.assign(mp3.begin(), mp3.end());
    r.pauseAtByte = 0;
    r.holdOpenAfterBody = true;
    return r;
}

TEST_F(TransportTest, ANewRequestWinsOverAStationStillOpeningAndAFailedOneIsReported) {
    test::TestServer server;
    server.setResponse("/held", heldStation());
    const QString held = QString::fromStdString(server.url("/held"));
    const QString missing = QString::fromStdString(server.url("/missing"));
    setList({held + " Held station", toneA_, missing});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return play().Opening(); }, 2000));
    EXPECT_EQ(ui<QLabel>("LblNET")->text(), "connecting ...");
    doubleClickRow(1);  // the operator changes his mind while the station connects
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_FALSE(play().Opening());
    server.resume();  // the station answers late: its stream must not replace the file
    ASSERT_TRUE(waitFor([&] { return server.connections() == 1 && !play().Opening(); }, 1000));
    QTest::qWait(600);
    EXPECT_EQ(player().GetFileLen(), 2) << "the file plays, not the late station";
    EXPECT_EQ(namePlay(), toneA_);
    EXPECT_TRUE(messages_.isEmpty());

    doubleClickRow(2);  // a station that answers 404 runs the failure path
    ASSERT_TRUE(waitFor([&] { return !messages_.isEmpty(); }, 6000));
    EXPECT_EQ(messages_, QStringList{"Error|Connection Failure"});
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_FALSE(ui<QPushButton>("CmdPlay")->isChecked());
}

TEST_F(TransportTest, KeysReachTheTransportUnlessATextFieldHasTheFocus) {
    w_->MenuTabs()->setFocus();
    pressKeypad(Qt::Key_Asterisk);  // play: the play order chooses an item
    EXPECT_FALSE(namePlay().isEmpty());
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    pressKeypad(Qt::Key_Plus);  // repeat toggle
    EXPECT_TRUE(ui<QPushButton>("TglRept")->isChecked());
    pressKeypad(Qt::Key_Enter);  // pause toggle
    EXPECT_TRUE(ui<QPushButton>("TglPaus")->isChecked());
    EXPECT_EQ(player().GetFilePos(), -1.0f);
    pressKeypad(Qt::Key_Enter);
    EXPECT_FALSE(ui<QPushButton>("TglPaus")->isChecked());
    EXPECT_TRUE(player().GetChannelActive());

    // Digits set the master volume; the key left of 1 silences it.
    QWidget* tabs = w_->MenuTabs()->tabBar();
    QTest::keyClick(tabs, Qt::Key_3);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 30);
    QTest::keyClick(tabs, Qt::Key_0);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 100);
    EXPECT_EQ(BASS_GetVolume(), 100u);

    // While the save-name field has the focus the keys type and command nothing.
    w_->MenuTabs()->setCurrentIndex(0);
    list().OpenAddSav();
    list().NameFileSave->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(w_->state().FlagText);
    w_->keyRouter().MenuTabs_KeyDown(app::vk::kNumLock);
    w_->keyRouter().MenuTabs_KeyUp(app::vk::kNumLock, false);
    EXPECT_TRUE(player().GetFilePlayPerf()) << "Num Lock stops only when no field is typed in";
    list().CloseAddSav();
    w_->MenuTabs()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(w_->state().FlagText);
    w_->keyRouter().MenuTabs_KeyDown(app::vk::kNumLock);
    w_->keyRouter().MenuTabs_KeyUp(app::vk::kNumLock, false);
    EXPECT_FALSE(player().GetFilePlayPerf());
}

TEST_F(TransportTest, EscapeAsksAndNoLeavesEverythingAsItWas) {
    int asked = 0;
    bool answer = false;
    w_->keyRouter().askExit = [&] {
        ++asked;
        return answer;
    };
    QWidget* tabs = w_->MenuTabs()->tabBar();
    QTest::keyClick(tabs, Qt::Key_Escape);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(w_->isVisible());
    EXPECT_EQ(w_->unloadCount(), 0);
    answer = true;
    QTest::keyClick(tabs, Qt::Key_Escape);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(w_->isVisible());
    EXPECT_EQ(w_->unloadCount(), 1);
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr)) << "the layer was freed";
}

TEST_F(TransportTest, TabAndCtrlWalkThePages) {
    QWidget* tabs = w_->MenuTabs()->tabBar();
    std::vector<int> seen;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(tabs, Qt::Key_Tab);
        seen.push_back(w_->MenuTabs()->currentIndex());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 2, 1, 0, 1}));
    QTest::keyClick(tabs, Qt::Key_Control);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 2);
    QTest::keyClick(tabs, Qt::Key_Control);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 1);
}

}  // namespace
}  // namespace velorixa
