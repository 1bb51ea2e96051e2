// A bad item in the queue never silences the player: through the real window, items that fail
// to open on the way down the list are skipped with one message in the window, the keys work
// while it is shown, and the operator's own start of a bad item stays stopped.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>

#include "app/windowfixture.h"

namespace velorixa {
namespace {

class DeadAirTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        setTwoTones();  // play order "Down"
    }
    // A file named .mp3 holding no audio at all.
    QString corruptFile(const QString& name) {
        const QString path = appDir_.path() + "/" + name;
        EXPECT_TRUE(test::writeFile(path, QByteArray("no audio in here. ").repeated(4000)));
        return path;
    }
    QLabel* messageLine() { return ui<QLabel>("LblMessage"); }
    bool stoppedForGood() {
        return playback().state() == playback::PlayState::Stopped && !playback().opening() &&
               !w_->TimerNet()->isActive() && !player().GetFilePlayPerf();
    }
    // A key typed on the tab control, as the operator types it.
    void typeKey(Qt::Key key) {
        w_->MenuTabs()->setFocus();
        QTest::keyClick(w_->MenuTabs()->tabBar(), key);
    }
};

TEST_F(DeadAirTest, ABadItemOnTheWayIsSkippedAndTheKeysWorkWhileItsMessageShows) {
    const QString bad = corruptFile("corrupt.mp3");
    setList({toneA_, bad, toneB_});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    // No key from here: the end of the first item leads past the bad one to the third.
    ASSERT_TRUE(waitFor([&] { return namePlay() == toneB_ && player().GetFilePos() > 0.2f; }, 8000))
        << "the third item is heard after the first";
    ASSERT_EQ(messages_.size(), 1) << messages_.join("\n").toStdString();
    EXPECT_TRUE(messages_[0].startsWith("Error|File Error: " + bad + " ("))
        << messages_[0].toStdString();
    EXPECT_TRUE(messageLine()->isVisible());
    EXPECT_TRUE(messageLine()->text().startsWith("File Error: " + bad));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "nothing blocks the window";

    // The keys work while the message is shown: a volume digit, then pause and resume.
    typeKey(Qt::Key_4);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 40);
    EXPECT_EQ(BASS_GetVolume(), 40u);
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(playback().paused());
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 1000));
    EXPECT_TRUE(messageLine()->isVisible());
}

TEST_F(DeadAirTest, WhenNothingInTheListPlaysThePlayerGoesRoundOnceAndStopsWithOneMessage) {
    // The first item plays, then vanishes from the disk: on its end every item of the list fails.
    const QString first = appDir_.path() + "/vanishing.mp3";
    ASSERT_TRUE(QFile::copy(toneA_, first));
    setList({first, corruptFile("bad1.mp3"), corruptFile("bad2.mp3")});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
    ASSERT_TRUE(QFile::remove(first));
    ASSERT_TRUE(waitFor([&] { return !messages_.isEmpty() && stoppedForGood(); }, 8000));
    // Nothing starts again by itself afterwards.
    EXPECT_FALSE(waitFor([&] { return messages_.size() > 1 || !stoppedForGood(); }, 500));
    ASSERT_EQ(messages_.size(), 1) << messages_.join("\n").toStdString();
    EXPECT_TRUE(messages_[0].startsWith("Error|File Error: " + appDir_.path() + "/bad1.mp3 ("))
        << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].contains("No item of the list could be played"));
    typeKey(Qt::Key_7);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 70) << "the keys answer";
}

TEST_F(DeadAirTest, TheOperatorsOwnStartOfABadItemStaysStopped) {
    const QString bad = corruptFile("corrupt.mp3");
    setList({toneA_, bad, toneB_});
    doubleClickRow(1);
    ASSERT_TRUE(waitFor([&] { return !messages_.isEmpty() && stoppedForGood(); }, 3000));
    EXPECT_FALSE(waitFor([&] { return !stoppedForGood(); }, 400)) << "no skip to the next item";
    EXPECT_EQ(namePlay(), bad);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("Error|File Error: " + bad + " ("));
    // Play again on a good line: the music comes back.
    typeKey(Qt::Key_3);
    EXPECT_EQ(ui<QScrollBar>("ScrMasVol")->value(), 30);
    doubleClickRow(2);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 2000));
}

}  // namespace
}  // namespace velorixa
