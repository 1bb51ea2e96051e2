// The station list on the "PlayList" page and a station played end to end from a local server.
#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "app/windowfixture.h"
#include "audio/net/testserver.h"
#include "common/testmedia.h"
#include "netradio/stationlist.h"

namespace velorixa {
namespace {

class RadioTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        setList({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3"});
        w_->playLists().PlayListNET.setTexts({"http://127.0.0.1:1/a Station A", ""});
    }
    void clickSwitch() { QTest::mouseClick(ui<QPushButton>("CmdSwitch"), Qt::LeftButton); }
    bool radioShown() {
        return ui<QLineEdit>("NameRadioAdd")->isVisible() &&
               ui<QPushButton>("CmdSwitch")->text() == "Switch to MP3";
    }
    QStringList shown() { return list().PlayListView()->model().texts(); }
};

TEST_F(RadioTest, SwitchKeepsBothListsWithTheirSelectionsAndThePanelAsItWas) {
    clickRow(1);
    clickRow(4, Qt::ControlModifier);  // lines 2 and 5
    list().OpenAddSav();
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_Backspace);
    ASSERT_TRUE(radioShown());
    EXPECT_FALSE(ui<QPushButton>("CmdSwitch")->isDown()) << "released with the key";
    EXPECT_EQ(shown(), (QStringList{"http://127.0.0.1:1/a Station A", ""}));
    EXPECT_FALSE(ui<QFrame>("FrmAddSav")->isVisible());
    clickRow(0);  // the stations keep their selection too
    clickSwitch();
    EXPECT_FALSE(radioShown());
    EXPECT_EQ(list().PlayListView()->model().selectedRows(), (std::vector<int>{1, 4}));
    EXPECT_TRUE(ui<QFrame>("FrmAddSav")->isVisible()) << "the panel open before is open again";
    EXPECT_FALSE(list().PlayListView()->isEnabled());

    list().CloseAddSav();
    for (int i = 0; i < 11; ++i)
        clickSwitch();
    ASSERT_TRUE(radioShown());
    EXPECT_EQ(list().PlayListView()->model().selectedRows(), std::vector<int>{0});
    clickSwitch();
    EXPECT_EQ(shown().size(), 5);
    EXPECT_EQ(w_->playLists().PlayListNET.count(), 2);
}

TEST_F(RadioTest, AddEditAndSaveStations) {
    clickSwitch();
    auto* name = ui<QLineEdit>("NameRadioAdd");
    QTest::mouseClick(ui<QPushButton>("CmdRadioAdd"), Qt::LeftButton);
    EXPECT_EQ(messages_, QStringList{"Error|Invalid Name"});
    name->setText("https://127.0.0.1/b Station B");
    QTest::mouseClick(ui<QPushButton>("CmdRadioAdd"), Qt::LeftButton);
    EXPECT_EQ(shown().last(), "https://127.0.0.1/b Station B");
    EXPECT_EQ(name->text(), "https://127.0.0.1/b Station B") << "the field keeps its text";

    // Edit takes the one selected line out into the field; several selected: nothing.
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    QTest::mouseClick(ui<QPushButton>("CmdRadioEdit"), Qt::LeftButton);
    EXPECT_EQ(shown().size(), 3);
    clickRow(0);
    QTest::mouseClick(ui<QPushButton>("CmdRadioEdit"), Qt::LeftButton);
    EXPECT_EQ(name->text(), "http://127.0.0.1:1/a Station A");
    EXPECT_EQ(shown(), (QStringList{"", "https://127.0.0.1/b Station B"}));

    // A switch before it is added back loses it from the list; the field keeps it.
    clickSwitch();
    clickSwitch();
    EXPECT_EQ(shown(), (QStringList{"", "https://127.0.0.1/b Station B"}));
    EXPECT_EQ(name->text(), "http://127.0.0.1:1/a Station A");

    // No file yet: the built-in starter list is written there and joins the list, silently.
    const int shownBefore = messages_.size();
    w_->radioPanel().LoadNetRadio(appDir_.path() + "/");
    EXPECT_EQ(messages_.size(), shownBefore);
    const QByteArray starter = netradio::StarterStationList();
    EXPECT_EQ(test::readFile(appDir_.path() + "/NetRadio.ini"), starter);
    QTest::mouseClick(ui<QPushButton>("CmdRadioSave"), Qt::LeftButton);
    EXPECT_EQ(test::readFile(appDir_.path() + "/NetRadio.ini"),
              "\r\nhttps://127.0.0.1/b Station B\r\n" + starter);
    EXPECT_TRUE(ui<QPushButton>("CmdSwitch")->isEnabled());
}

// Stations added with "+" are kept at exit without "Save List"; a list left as it was is not
// written again.
TEST_F(RadioTest, ChangedStationsAreSavedAtExit) {
    const QString file = appDir_.path() + "/NetRadio.ini";
    ASSERT_TRUE(test::writeFile(file, "http://127.0.0.1:1/a A\rhttp://127.0.0.1:1/c C\r"));
    w_->playLists().PlayListNET.clear();
    w_->radioPanel().LoadNetRadio(appDir_.path() + "/");
    EXPECT_EQ(w_->playLists().PlayListNET.texts(),
              (QStringList{"http://127.0.0.1:1/a A", "http://127.0.0.1:1/c C"}))
        << "CR alone ends a line";
    EXPECT_TRUE(w_->radioPanel().SaveNetRadioAtExit());
    EXPECT_EQ(test::readFile(file), "http://127.0.0.1:1/a A\rhttp://127.0.0.1:1/c C\r")
        << "unchanged: not written";

    clickSwitch();
    ui<QLineEdit>("NameRadioAdd")->setText("https://127.0.0.1/b B");
    QTest::mouseClick(ui<QPushButton>("CmdRadioAdd"), Qt::LeftButton);
    w_->setStateLoaded(true);  // the exit's savers run
    w_->Unload();
    EXPECT_EQ(test::readFile(file),
              "http://127.0.0.1:1/a A\r\nhttp://127.0.0.1:1/c C\r\nhttps://127.0.0.1/b B\r\n");
}

// A local station with ICY headers and titles: the status line and the length box say what
// happens, and a station that stops sending is opened again.
TEST_F(RadioTest, AStationShowsItsBitRateAndTitlesAndComesBackAfterAStall) {
    auto mp3 = testmedia::encodeMp3(testmedia::sine(500, 6, 22050, 2, 0.5));
    const std::string audio(mp3.begin(), mp3.end());
    const size_t metaInt = 4000, blocks = audio.size() / metaInt;
    test::TestResponse r;
    r.headers = {"icy-br: 128", "icy-metaint: 4000", "content-type: audio/mpeg"};
    r.body = test::icyBody(audio, metaInt, [&](size_t i) -> std::string {
        if (i == 0) return "StreamTitle='First Song';StreamUrl='http://radio.example/x';";
        return i == blocks / 2 ? "StreamTitle='Second Song';" : "";
    });
    r.chunkDelayMs = 30;
    r.pauseAtByte = r.body.size() * 3 / 4;  // then the station falls silent
    test::TestServer server;
    server.setResponse("/live", r);
    setList({QString::fromStdString(server.url("/live")) + " Local Radio"});
    doubleClickRow(0);
    auto* net = ui<QLabel>("LblNET");
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 4000)) << "the address plays";
    EXPECT_EQ(ui<QLineEdit>("TxtLen")->text(), "bitrate 128");
    ASSERT_TRUE(waitFor([&] { return net->text() == "First Song   http://radio.example"; }, 3000))
        << net->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return net->text() == "Second Song   "; }, 8000))
        << net->text().toStdString();

    int stalls = 0;
    QObject::connect(&w_->playback().events(), &playback::TransportEvents::stalled,
                     [&] { ++stalls; });
    ASSERT_TRUE(waitFor([&] { return server.connections() >= 2; }, 20000))
        << "the silent station is opened again";
    EXPECT_GE(stalls, 1);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 5000));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

// A station whose server closes the stream is connected again once it has been over for a
// while, as a silent one is.
TEST_F(RadioTest, AStationWhoseServerClosesIsConnectedAgain) {
    auto mp3 = testmedia::encodeMp3(testmedia::sine(500, 2, 22050, 2, 0.5));
    test::TestResponse r;
    r.body.assign(mp3.begin(), mp3.end());  // then the connection closes
    test::TestServer server;
    server.setResponse("/live", r);
    setList({QString::fromStdString(server.url("/live")) + " Local Radio"});
    constexpr int kWaitMs = 600;  // the program waits 5 s; the test need not
    playback().setTimeouts({.droppedStationWaitMs = kWaitMs});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 4000));
    ASSERT_TRUE(waitFor([&] { return player().GetFileEnd(); }, 6000)) << "the stream ended";
    QElapsedTimer ended;
    ended.start();
    ASSERT_TRUE(waitFor([&] { return server.connections() >= 2; }, 6000));
    EXPECT_GE(ended.elapsed(), kWaitMs - 200);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 4000)) << "and plays again";
}

}  // namespace
}  // namespace velorixa
