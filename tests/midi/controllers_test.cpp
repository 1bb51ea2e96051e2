// Controllers for real: a JACK server of the test's own (the dummy back end, no real-time
// rights, a private server name) and a small JACK MIDI client that plays the controller; the
// player's window listens through its RtMidi input as it does on stage. Where the ALSA sequencer
// exists the same cases run against it. The sound is rendered offline and measured.
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "../app/windowfixture.h"
#include "app/ui/controllers.h"
#include "app/ui/keyrouter.h"
#include "app/ui/messageline.h"
#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "common/testmedia.h"
#include "common/waitfor.h"
#include "controls/effectcontrols.h"
#include "controls/soundcontrol.h"
#include "controls/ui/effectspage.h"
#include "jackserver.h"
#include "midi/controllerhub.h"
#include "midi/mapping.h"
#include "midi/midiinput.h"
#include "midi/ui/controllerpanel.h"
#include "perform/ui/performancekeys.h"
#include "perform/ui/performancepanel.h"
#include "perform/ui/setfiles.h"
#include "perform/ui/styleeditor.h"
#include "playlist/ui/playlistpage.h"
#include "util/textfile.h"

namespace velorixa {
namespace {

using midi::MidiApi;
using test::JackServer;
constexpr int kRate = 44100;
const QString kPad = QStringLiteral("vxpad:out");

// The controller: a MIDI output port "vxpad:out" on the API under test.
class Pad {
  public:
    explicit Pad(MidiApi api)
        : out_(api == MidiApi::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, "vxpad") {
        out_.openVirtualPort("out");
    }
    void send(std::vector<unsigned char> bytes) { out_.sendMessage(&bytes); }
    void cc(int n, int v, int ch = 1) { send({u8(0xB0 + ch - 1), u8(n), u8(v)}); }
    void noteOn(int n, int ch = 10) { send({u8(0x90 + ch - 1), u8(n), 100}); }
    void noteOff(int n, int ch = 10) { send({u8(0x80 + ch - 1), u8(n), 0}); }
    void program(int p, int ch = 1) { send({u8(0xC0 + ch - 1), u8(p)}); }

  private:
    static unsigned char u8(int b) { return static_cast<unsigned char>(b); }
    RtMidiOut out_;
};

class ControllersTest : public ::testing::TestWithParam<MidiApi> {
  protected:
    void SetUp() override {
        if (GetParam() == MidiApi::Alsa) {
            if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
                GTEST_SKIP() << "no ALSA sequencer (/dev/snd/seq) on this machine: the ALSA "
                                "cases are skipped, the JACK ones ran";
        } else if (!JackServer::get().running()) {
            GTEST_SKIP() << "no JACK server: " << JackServer::get().why().toStdString();
        }
        ASSERT_TRUE(config_.isValid() && app_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        try {
            pad_ = std::make_unique<Pad>(GetParam());
        } catch (const RtMidiError& e) {
            GTEST_SKIP() << "the test's MIDI client could not open: " << e.getMessage();
        }
    }
    void TearDown() override { closeWindow(); }

    void openWindow() {
        ASSERT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, kRate, 0, nullptr));
        w_ = std::make_unique<VelMix>(app_.path() + "/");
        ASSERT_TRUE(test::startWindow(*w_));
        w_->playControl().messageBox = [](const QString&, const QString&) {};
        w_->performance().messageBox = [](const QString&, const QString&) {};
        ASSERT_TRUE(test::waitFor([&] { return hub().controllers().contains(kPad); }, 15000))
            << "the player did not find the controller";
    }
    void closeWindow() {
        if (!w_) return;
        w_->Unload();
        w_.reset();
        BASS_Free();
    }
    void writeMapping(const char* lines) {
        QDir().mkpath(config_.path() + "/velorixa");
        QString err;
        ASSERT_TRUE(util::SaveWhole(config_.path() + "/velorixa/" + midi::MappingFileName(kPad),
                                    QByteArray(midi::kMappingHeader) + "\n" + lines, &err));
    }
    bool playTone(double hz) {
        const QString item = test::mediaFile(QStringLiteral("tone %1.mp3").arg(hz),
                                             testmedia::sine(hz, 30, kRate, 2, 0.25));
        return test::playRow(*w_, {item}, 0);
    }
    // The tone's frequency as heard now: a quarter second rendered, the first 100 ms dropped
    // (the rate glides to its new value within an output block).
    double heardHz(double expect) {
        std::vector<float> out(2 * kRate / 2);
        if (VX_Render(out.data(), kRate / 2) != static_cast<DWORD>(kRate / 2)) return 0;
        std::vector<float> left;
        for (size_t i = 2 * (kRate / 10); i < out.size(); i += 2)
            left.push_back(out[i]);
        return testmedia::dominantFrequency(left.data(), left.size(), kRate, expect * 0.8,
                                            expect * 1.25);
    }
    int knob(int i) { return w_->soundControl().setting().knobs[static_cast<size_t>(i)].value; }
    midi::ControllerHub& hub() { return w_->controllers().hub(); }
    // Waits until the window has handled n more controller events.
    bool handled(long before, long n = 1) {
        return test::waitFor([&] { return hub().handled() >= before + n; }, 5000);
    }

    QTemporaryDir config_, app_;
    std::unique_ptr<Pad> pad_;
    std::unique_ptr<VelMix> w_;
};

TEST_P(ControllersTest, KnobBoundByLearnMovesThePitchAndTheRateFollows) {
    openWindow();
    ASSERT_TRUE(playTone(500));
    EXPECT_NEAR(heardHz(500), 500, 2);
    // F10 on the tab control, the pitch bar moved by hand, then the controller's knob.
    w_->MenuTabs()->setFocus();
    QTest::keyClick(w_->MenuTabs(), Qt::Key_F10);
    ASSERT_TRUE(hub().learning());
    EXPECT_TRUE(w_->controllers().panel().learnButton()->isChecked());
    w_->effectsPage().knob(2)->bar()->setValue(101);
    w_->effectsPage().knob(2)->bar()->setValue(100);
    ASSERT_EQ(hub().pendingTarget(), (midi::Target{midi::TargetKind::Knob, 2}));
    pad_->cc(20, 64);
    ASSERT_TRUE(test::waitFor([&] { return !hub().learning(); }, 5000));
    EXPECT_EQ(knob(2), 100) << "the touch that binds does not move the knob";
    EXPECT_FALSE(w_->controllers().panel().learnButton()->isChecked());
    // Turned up to the top: 150 on the bar, twice the source's rate.
    for (int v = 70; v <= 127; v += 19)
        pad_->cc(20, v);
    ASSERT_TRUE(test::waitFor([&] { return knob(2) == 150; }, 5000))
        << knob(2) << " " << w_->controllers().panel().statusLine()->text().toStdString();
    EXPECT_EQ(w_->effectsPage().knob(2)->bar()->value(), 150) << "the page shows it";
    EXPECT_NEAR(heardHz(1000) / 500, 2.0, 0.01);
    // All the way down: 50 on the bar, three quarters of the source's rate.
    pad_->cc(20, 0);
    ASSERT_TRUE(test::waitFor([&] { return knob(2) == 50; }, 5000)) << knob(2);
    EXPECT_NEAR(heardHz(375) / 500, 0.75, 0.01);
}

TEST_P(ControllersTest, EncoderTurnsByStepsAndAKnobTakesOverSoftly) {
    writeMapping(
        "cc 1 21 = knob 2 relative-twos\ncc 1 20 = knob 2\ncc 1 22 = volume relative-offset\n");
    openWindow();
    ASSERT_EQ(knob(2), 100);
    for (int i = 0; i < 3; ++i)
        pad_->cc(21, 1);
    ASSERT_TRUE(test::waitFor([&] { return knob(2) == 115; }, 5000)) << knob(2);
    pad_->cc(21, 126);  // two detents down
    ASSERT_TRUE(test::waitFor([&] { return knob(2) == 105; }, 5000)) << knob(2);
    pad_->cc(22, 66);
    ASSERT_TRUE(test::waitFor([&] { return w_->soundControl().setting().volumePct == 60; }, 5000));

    // The absolute knob stands low: it waits, and the line on the "Settings" page says so.
    long n = hub().handled();
    pad_->cc(20, 10);
    ASSERT_TRUE(handled(n));
    EXPECT_EQ(knob(2), 105) << "no jump";
    QLabel* line = w_->controllers().panel().statusLine();
    EXPECT_TRUE(line->text().contains("knob 2 waits")) << line->text().toStdString();
    n = hub().handled();
    pad_->cc(20, 30);
    ASSERT_TRUE(handled(n));
    EXPECT_EQ(knob(2), 105);
    pad_->cc(20, 70);  // 105: reached
    ASSERT_TRUE(test::waitFor([&] { return line->text().isEmpty(); }, 5000));
    pad_->cc(20, 80);
    ASSERT_TRUE(test::waitFor([&] { return knob(2) == 113; }, 5000)) << knob(2);
}

TEST_P(ControllersTest, PadsRecallKeysReleaseInitialSoundLoadSetsAndStopStyles) {
    writeMapping(
        "note 10 36 = key A\nnote 10 37 = initial-sound\nprogram 1 2 = set 3\n"
        "note 10 40 = style 1\n");
    openWindow();
    perform::PerformancePanel& perf = w_->performance();
    // Key A holds volume 80; key A's letter does the same as its pad.
    w_->effectsPage().ScrVOL()->setValue(80);
    perf.keys().ButKbdSet_Click(1);
    perf.keys().CmdAppSet_Click();
    ASSERT_TRUE(perf.keyEnabled(1));
    // The set as it is now goes to F3; then the table changes.
    ASSERT_TRUE(perf.setFiles().SaveSet(QStringLiteral("Three.PSF")));
    std::array<QString, 9> names;
    names[3] = QStringLiteral("Three.PSF");
    perf.setFiles().setSetFiles(names);
    w_->effectsPage().ScrVOL()->setValue(30);
    perf.keys().ButKbdSet_Click(2);
    perf.keys().CmdAppSet_Click();
    ASSERT_TRUE(perf.keyEnabled(2));
    perf.pressKey(0);
    perf.releaseInitialSound();
    ASSERT_EQ(w_->soundControl().setting().volumePct, 50);

    pad_->noteOn(36);
    ASSERT_TRUE(test::waitFor([&] { return w_->soundControl().setting().volumePct == 80; }, 5000));
    EXPECT_TRUE(perf.keys().keyDown(1));
    pad_->noteOff(36);
    // "Initial Sound" stays down while its pad is held, and comes up with its note-off.
    pad_->noteOn(37);
    ASSERT_TRUE(test::waitFor([&] { return perf.keys().keyDown(0); }, 5000));
    EXPECT_EQ(w_->soundControl().setting().volumePct, 50);
    long n = hub().handled();
    QTest::qWait(50);
    EXPECT_TRUE(perf.keys().keyDown(0));
    pad_->noteOff(37);
    ASSERT_TRUE(handled(n));
    ASSERT_TRUE(test::waitFor([&] { return !perf.keys().keyDown(0); }, 5000));

    // A program change loads the set of F3: key B (made after it was saved) is gone again.
    pad_->program(2);
    ASSERT_TRUE(test::waitFor([&] { return !perf.keyEnabled(2); }, 5000));
    EXPECT_TRUE(perf.keyEnabled(1));

    // A style runs; its own keys leave it running, a pad stops it as a user's key does.
    pad_->noteOn(40);
    ASSERT_TRUE(test::waitFor([&] { return perf.sequencer().StyleSel == 1; }, 5000));
    pad_->noteOff(40);
    perf.sequencer().fire(1);
    EXPECT_EQ(perf.sequencer().StyleSel, 1) << "the style's own key";
    pad_->noteOn(36);
    ASSERT_TRUE(test::waitFor([&] { return perf.sequencer().StyleSel == 0; }, 5000));
    pad_->noteOff(36);
}

TEST_P(ControllersTest, MappingSurvivesARestartAndABrokenOneChangesNothing) {
    openWindow();
    w_->MenuTabs()->setFocus();
    QTest::keyClick(w_->MenuTabs(), Qt::Key_F10);
    QTest::keyClick(w_->MenuTabs(), Qt::Key_Plus, Qt::KeypadModifier);  // repeat: names it
    ASSERT_EQ(hub().pendingTarget(), (midi::Target{midi::TargetKind::Repeat, 0}));
    // The learn window's choice names a target too.
    w_->controllers().panel().targetChoice()->activated(1);  // volume
    ASSERT_EQ(hub().pendingTarget(), (midi::Target{midi::TargetKind::Volume, 0}));
    pad_->cc(7, 64);
    ASSERT_TRUE(test::waitFor([&] { return !hub().learning(); }, 5000));
    ASSERT_EQ(w_->controllers().panel().bindingList()->count(), 1);
    EXPECT_EQ(w_->controllers().panel().bindingList()->item(0)->text(),
              "vxpad:out: cc 1 7 = volume");
    closeWindow();

    openWindow();
    // 50: the volume's own value, taken over. Handled before the next, which the window would
    // otherwise take together with it (the last value of a control wins), so that the knob
    // would seem to jump to 127 without passing the value.
    const long seen = hub().handled();
    pad_->cc(7, 64);
    ASSERT_TRUE(handled(seen));
    pad_->cc(7, 127);
    ASSERT_TRUE(test::waitFor([&] { return w_->soundControl().setting().volumePct == 100; }, 5000));
    closeWindow();

    const QString path = config_.path() + "/velorixa/" + midi::MappingFileName(kPad);
    QString err;
    ASSERT_TRUE(util::SaveWhole(path, "cc 1 7 = volume\n\x01\x02 garbage", &err));
    openWindow();
    ASSERT_TRUE(
        test::waitFor([&] { return w_->messageLine().text().contains("not loaded"); }, 5000))
        << w_->messageLine().text().toStdString();
    const controls::SoundSetting before = w_->soundControl().setting();
    long n = hub().handled();
    pad_->cc(7, 64);
    pad_->cc(7, 127);
    ASSERT_TRUE(handled(n));
    QTest::qWait(50);
    EXPECT_EQ(w_->soundControl().setting(), before);
    EXPECT_EQ(w_->controllers().panel().bindingList()->count(), 0);
}

TEST_P(ControllersTest, BadBytesOnTheWireCrashNothingAndTheNextMessageWorks) {
    writeMapping("cc 1 22 = volume relative-offset\n");
    openWindow();
    std::vector<unsigned char> sysex{0xF0};
    sysex.resize(3000, 0x11);
    sysex.push_back(0xF7);
    pad_->send(sysex);
    pad_->send({0xB0, 22});  // cut in half
    pad_->send({0xF8});
    pad_->cc(22, 65);
    ASSERT_TRUE(test::waitFor([&] { return w_->soundControl().setting().volumePct == 55; }, 5000));
    // Unplugged in mid-message and plugged in again.
    pad_->send({0xB0});
    pad_.reset();
    ASSERT_TRUE(test::waitFor([&] { return !hub().controllers().contains(kPad); }, 15000));
    pad_ = std::make_unique<Pad>(GetParam());
    ASSERT_TRUE(test::waitFor([&] { return hub().controllers().contains(kPad); }, 15000));
    pad_->cc(22, 65);
    ASSERT_TRUE(test::waitFor([&] { return w_->soundControl().setting().volumePct == 60; }, 5000));
}

INSTANTIATE_TEST_SUITE_P(Api, ControllersTest, ::testing::Values(MidiApi::Jack, MidiApi::Alsa),
                         [](const auto& info) {
                             return std::string(info.param == MidiApi::Jack ? "Jack" : "Alsa");
                         });

}  // namespace
}  // namespace velorixa
