// The music player end to end: the window on the no-sound device playing generated MP3 files.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTimer>

#include "app/ui/keyrouter.h"
#include "app/windowfixture.h"
#include "audio/net/testserver.h"
#include "common/testmedia.h"
#include "playback/playback.h"
#include "playback/ui/transportpanel.h"

namespace velorixa {
namespace {

class TransportTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        setTwoTones();
    }
};

TEST_F(TransportTest, DoubleClickPlaysAfterTheStepTimerTheBarFollowsAndTheNextItemComes) {
    doubleClickRow(0);
    EXPECT_EQ(namePlay(), toneA_);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 1);  // the "PlayBack" page comes to the front
    EXPECT_TRUE(w_->TimerNet()->isActive());
    EXPECT_FALSE(player().GetFilePlayPerf()) << "nothing opens before the step timer";
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_EQ(ui<QScrollBar>("ScrPlay")->maximum(), 2);  // 1.6 s, whole seconds
    // Double-clicking the current line does not restart it.
    ASSERT_TRUE(waitFor([&] { return player().GetFilePos() > 0.1f; }, 1000));
    const float before = player().GetFilePos();
    doubleClickRow(0);
    EXPECT_FALSE(w_->TimerNet()->isActive());
    EXPECT_GE(player().GetFilePos(), before);
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
    EXPECT_TRUE(list().PlayListView()->model().isSelected(1));
    EXPECT_EQ(w_->playQueue().PrevBuff, toneA_);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(TransportTest, AClickOnTheDisabledListEnablesIt) {
    ListBox* view = list().PlayListView();
    view->setEnabled(false);  // as after the deferred start
    // Through the window, so whatever lies on top of the disabled list gets the click.
    const QPoint at = view->mapTo(w_.get(), view->rect().center());
    QTest::mouseClick(w_->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(view->isEnabled());
    // Now the list takes clicks itself: a double-click plays a line.
    doubleClickRow(1);
    EXPECT_EQ(namePlay(), toneB_);
}

TEST_F(TransportTest, PositionBarSeeksItsEndsRestartOrMoveOnAndRepeatReplays) {
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
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    // With Repeat down the item plays again at its end.
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
    QTest::mouseClick(ui<QPushButton>("CmdStop"), Qt::LeftButton);
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_FALSE(ui<QScrollBar>("ScrPlay")->isEnabled());
    EXPECT_FALSE(ui<QPushButton>("CmdStop")->isChecked()) << "the button springs back on release";
    QTest::mouseClick(ui<QPushButton>("CmdPlay"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_LT(player().GetFilePos(), 0.4f);
    EXPECT_EQ(namePlay(), toneA_);
}

TEST_F(TransportTest, BadItemsGiveTheirMessageAndThePlayerGoesOn) {
    setList({toneA_, "relative/name.mp3", appDir_.path() + "/missing.mp3"});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    doubleClickRow(1);
    EXPECT_EQ(messages_, QStringList{"Error|Invalid Name: relative/name.mp3"});
    EXPECT_TRUE(player().GetFilePlayPerf()) << "whatever was playing goes on";
    doubleClickRow(2);
    ASSERT_TRUE(waitFor([&] { return messages_.size() == 2; }, 1000));
    EXPECT_TRUE(messages_[1].startsWith("Error|File Error: " + appDir_.path() + "/missing.mp3 ("))
        << "the item and the reason follow: " << messages_[1].toStdString();
    EXPECT_EQ(ui<QLabel>("LblMessage")->text(), messages_[1].mid(6)) << "shown in the window";
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_EQ(list().PlayListView()->model().count(), 3) << "nothing is lost from the list";
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
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("Error|Connection Failure: " + missing + " ("))
        << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].contains("404")) << "the server's answer is named";
    EXPECT_FALSE(player().GetFilePlayPerf());
    EXPECT_FALSE(ui<QPushButton>("CmdPlay")->isChecked());
}

// Keys typed on the tab control drive the transport: each key's command is seen in the
// transport's status, on the window's buttons and bar, and in the player.
TEST_F(TransportTest, EachTransportKeyReachesTheTransportObject) {
    playback::Playback& pb = playback();
    w_->MenuTabs()->setFocus();
    const auto settled = [&](const QString& item, playback::PlayState state) {
        return waitFor([&] { return !pb.opening() && pb.item() == item && pb.state() == state; },
                       2000);
    };
    using S = playback::PlayState;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString item;
        S state;
        bool repeat, paused;
        int volume;
    } steps[] = {
        {Qt::Key_Asterisk, Qt::KeypadModifier, toneA_, S::Playing, false, false, 100},
        {Qt::Key_Minus, Qt::KeypadModifier, toneB_, S::Playing, false, false, 100},
        {Qt::Key_Slash, Qt::KeypadModifier, toneA_, S::Playing, false, false, 100},
        {Qt::Key_Plus, Qt::KeypadModifier, toneA_, S::Playing, true, false, 100},
        {Qt::Key_Enter, Qt::KeypadModifier, toneA_, S::Paused, true, true, 100},
        {Qt::Key_Enter, Qt::KeypadModifier, toneA_, S::Playing, true, false, 100},
        {Qt::Key_6, {}, toneA_, S::Playing, true, false, 60},
        {Qt::Key_3, {}, toneA_, S::Playing, true, false, 30},
        {Qt::Key_0, {}, toneA_, S::Playing, true, false, 100},  // the key left of 1
        {Qt::Key_NumLock, {}, toneA_, S::Stopped, true, false, 100},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.key);
        QTest::keyClick(w_->MenuTabs()->tabBar(), s.key, s.modifiers);
        ASSERT_TRUE(settled(s.item, s.state)) << pb.item().toStdString();
        EXPECT_EQ(pb.repeat(), s.repeat);
        EXPECT_EQ(pb.paused(), s.paused);
        EXPECT_EQ(pb.masterVolume(), s.volume);
        EXPECT_EQ(namePlay(), s.item);
        EXPECT_EQ(ui<QPushButton>("TglRept")->isChecked(), s.repeat);
        EXPECT_EQ(ui<QPushButton>("TglPaus")->isChecked(), s.paused);
        if (s.key >= Qt::Key_0 && s.key <= Qt::Key_9) {  // the bar moves with the digit keys
            EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), s.volume);
        }
        EXPECT_EQ(BASS_GetVolume(), DWORD(s.volume));
        if (s.state == S::Playing) {
            EXPECT_TRUE(player().GetFilePlayPerf());
            EXPECT_TRUE(player().GetChannelActive());
        }
        if (s.state == S::Paused) {
            EXPECT_EQ(player().GetFilePos(), -1.0f);
        }
    }
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(TransportTest, KeysTypedIntoATextFieldRunNoCommandAndHoldNothing) {
    int asked = 0;
    w_->keyRouter().askExit = [&] { ++asked; };
    w_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w_.get()));
    list().OpenAddSav();
    QLineEdit* field = ui<QLineEdit>("NameFileSave");
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClicks(field, "old");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);  // select all, then type over it
    QTest::keyClicks(field, "Mix");
    EXPECT_EQ(field->text(), "Mix");
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_Control, {}}, {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier},
                {Qt::Key_Escape, {}},  {Qt::Key_Up, {}},     {Qt::Key_Down, {}},
                {Qt::Key_F5, {}},      {Qt::Key_NumLock, {}}};
    for (const auto& k : keys) {
        QTest::keyPress(field, k.key, k.modifiers);
        EXPECT_FALSE(w_->keyRouter().keys().KeyHeld()) << k.key;
        QTest::keyRelease(field, k.key, k.modifiers);
        EXPECT_EQ(w_->MenuTabs()->currentIndex(), 0) << k.key;
        EXPECT_TRUE(field->hasFocus()) << k.key;
        EXPECT_TRUE(ui<QFrame>("FrmAddSav")->isVisible())
            << k.key << ": the list keys close the panel";
        EXPECT_FALSE(ui<QPushButton>("TglPaus")->isChecked()) << k.key;
        EXPECT_EQ(asked, 0) << k.key;
    }
    QTest::keyPress(field, Qt::Key_F5);  // pressed in the field, released after leaving it
    EXPECT_EQ(field->text(), "Mix");
    // The next command key on the tab control works.
    w_->MenuTabs()->setFocus();
    QTest::keyRelease(w_->MenuTabs()->tabBar(), Qt::Key_F5);
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_3);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 30);
}

// The exit question stops nothing: the music plays on while it is up; No is its default and
// Escape's answer, and only Yes closes the window.
TEST_F(TransportTest, ExitQuestionDefaultsToNoLetsTheMusicPlayOnAndOnlyYesQuits) {
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    QWidget* tabs = w_->MenuTabs()->tabBar();
    const auto question = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
        return static_cast<QMessageBox*>(nullptr);
    };
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool quits;
    } answers[] = {{Qt::Key_Enter, Qt::KeypadModifier, false},  // the pause key
                   {Qt::Key_Escape, {}, false},
                   {Qt::Key_Y, {}, true}};
    for (const auto& a : answers) {
        SCOPED_TRACE(a.key);
        w_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w_.get()));
        w_->MenuTabs()->setFocus();
        QTest::keyClick(tabs, Qt::Key_Escape);  // the question opens on the release
        QMessageBox* box = question();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window is not blocked";
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        w_->keyRouter().askExit();  // a second Escape: the same question, not two
        EXPECT_EQ(question(), box);
        const float before = player().GetFilePos();
        EXPECT_TRUE(waitFor([&] { return player().GetFilePos() > before + 0.1f; }, 1000))
            << "the music plays on under the question";
        QTest::keyClick(box, a.key, a.modifiers);
        ASSERT_TRUE(waitFor([&] { return question() == nullptr; }, 1000));
        EXPECT_EQ(w_->isVisible(), !a.quits);
        EXPECT_EQ(w_->unloadCount(), a.quits ? 1 : 0);
        if (!a.quits) {
            w_->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w_.get()));
            w_->MenuTabs()->setFocus();
            QTest::keyClick(tabs, Qt::Key_5);
            EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 50) << "the keys work again";
            // The tone is short: the next one is started for the next answer.
            doubleClickRow(player().GetFilePlayPerf() ? 0 : 1);
            waitFor([&] { return player().GetFilePlayPerf(); }, 2000);
        }
    }
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
