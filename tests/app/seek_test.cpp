// The seek keys: Shift with the arrows and with Page Up / Page Down, typed into the window,
// heard through the offline output; a station, a pause and a stop take no seek, and the keys
// without Shift keep their meaning.
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>

#include "audio/net/testserver.h"
#include "effects_fixture.h"
#include "heardposition.h"

namespace velorixa {
namespace {

using testing::EffectsWindow;

void typeKey(VelMix& w, Qt::Key key, Qt::KeyboardModifiers mods) {
    QTest::keyClick(w.MenuTabs()->tabBar(), key, mods);
}

TEST(SeekKeys, LandWithinATenthOfASecondOnAFileAndTheBarFollows) {
    EffectsWindow win(VX_DEVICE_OFFLINE);
    ASSERT_TRUE(win.ok);
    ASSERT_TRUE(win.play({test::tonePerSecondFile()}, 0));
    VelMix& w = *win.w;
    w.MenuTabs()->setCurrentIndex(1);
    w.MenuTabs()->setFocus();
    auto* bar = w.findChild<QScrollBar*>("ScrPlay");
    ASSERT_NE(bar, nullptr);

    double heard = test::heardAfterEnd(test::renderMono(2.3));
    ASSERT_NEAR(heard, 2.3, 0.1) << "the file is heard from its start";
    const struct {
        Qt::Key key;
        double to;  // where the file is heard next, from where it was
    } steps[] = {
        {Qt::Key_PageDown, 30},  // Shift+Page Down: 30 s on
        {Qt::Key_Left, -5},      // Shift+Left: 5 s back
        {Qt::Key_Right, 5},      // Shift+Right: 5 s on
        {Qt::Key_PageUp, -30},   // Shift+Page Up: 30 s back
        {Qt::Key_PageUp, -30},   // and past the start: the start
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << "key " << int(s.key) << ", " << s.to << " s");
        const double expected = std::max(0.0, heard + s.to);
        typeKey(w, s.key, Qt::ShiftModifier);
        EXPECT_NEAR(bar->value(), expected, 1.0) << "the bar shows it at once";
        EXPECT_EQ(w.MenuTabs()->currentIndex(), 1) << "the page stays";
        const std::vector<float> out = test::renderMono(1.3);
        EXPECT_NEAR(test::heardAtStart(out), expected, 0.1);
        heard = test::heardAfterEnd(out);
    }
    // Without Shift the arrows walk the pages as before, and Page Down does nothing.
    typeKey(w, Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_NEAR(test::heardAtStart(test::renderMono(1.3)), heard, 0.1);
    typeKey(w, Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(w.MenuTabs()->currentIndex(), 2);
}

class SeekNowhereTest : public test::WindowFixture {};

// Keys that find nothing to seek leave the sound and the bar alone.
TEST_F(SeekNowhereTest, AStationAPauseAndAStopTakeNoSeek) {
    auto mp3 = testmedia::encodeMp3(testmedia::sine(500, 20, 22050, 2, 0.5));
    test::TestResponse r;
    r.headers = {"icy-br: 128", "content-type: audio/mpeg"};
    r.body.assign(mp3.begin(), mp3.end());
    r.chunkDelayMs = 20;
    test::TestServer server;
    server.setResponse("/live", r);
    setTwoTones();
    setList({toneA_, QString::fromStdString(server.url("/live")) + " Local Radio"});
    QSignalSpy seeks(&playback(), &playback::Playback::seeked);
    const auto hitSeekKeys = [&] {
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_PageDown, Qt::Key_PageUp})
            typeKey(*w_, key, Qt::ShiftModifier);
    };

    const struct {
        const char* name;
        std::function<void()> setUp;
    } cases[] = {
        {"station",
         [&] {
             doubleClickRow(1);
             ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 5000));
         }},
        {"paused file",
         [&] {
             doubleClickRow(0);
             ASSERT_TRUE(waitFor([&] { return player().GetFilePos() > 0.2f; }, 3000));
             w_->MenuTabs()->setFocus();
             typeKey(*w_, Qt::Key_Enter, Qt::KeypadModifier);
             ASSERT_TRUE(playback().paused());
         }},
        {"stopped",
         [&] {
             typeKey(*w_, Qt::Key_NumLock, Qt::NoModifier);
             ASSERT_EQ(playback().state(), playback::PlayState::Stopped);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w_->MenuTabs()->setCurrentIndex(0);
        w_->MenuTabs()->setFocus();
        c.setUp();  // a double click shows the "PlayBack" page
        ASSERT_FALSE(HasFatalFailure());
        const playback::PlayState state = playback().state();
        const QString item = namePlay();
        const int barAt = ui<QScrollBar>("ScrPlay")->value();
        const int page = w_->MenuTabs()->currentIndex();
        w_->MenuTabs()->setFocus();
        hitSeekKeys();
        EXPECT_EQ(seeks.count(), 0);
        EXPECT_EQ(playback().state(), state);
        EXPECT_EQ(namePlay(), item);
        EXPECT_EQ(ui<QScrollBar>("ScrPlay")->value(), barAt);
        EXPECT_EQ(w_->MenuTabs()->currentIndex(), page) << "Shift with an arrow walks no page";
    }
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

}  // namespace
}  // namespace velorixa
