// Recording what the audience hears, from the window: F9 and the toggle start and stop it, and
// the file holds exactly what the output delivered (rendered offline by the test) across a
// master volume key, a performance key's recall and the next item.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>

#include "common/soundfile.h"
#include "effects_fixture.h"
#include "record/recordfiles.h"
#include "record/recordsession.h"
#include "record/ui/recordpanel.h"

namespace velorixa {
namespace {

using testing::EffectsWindow;
constexpr int kRate = 44100;

class RecordWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The recording's settings file goes to the test's folder, not the user's.
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        win_ = std::make_unique<EffectsWindow>(VX_DEVICE_OFFLINE);
        ASSERT_TRUE(win_->ok);
        session().settings().folder = takes_.path();
    }
    void TearDown() override {
        win_.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }
    VelMix& w() { return *win_->w; }
    record::RecordSession& session() { return w().recordSession(); }
    // A key typed on the tab control, as the operator types it.
    void type(Qt::Key key, Qt::KeyboardModifiers mods = {}) {
        w().MenuTabs()->setFocus();
        QTest::keyClick(w().MenuTabs()->tabBar(), key, mods);
    }
    // Renders frames of output; what was rendered while recording is kept in played_.
    void render(int frames) {
        std::vector<float> block(2 * 512);
        for (int done = 0; done < frames;) {
            const int n = std::min(512, frames - done);
            ASSERT_EQ(VX_Render(block.data(), static_cast<DWORD>(n)), static_cast<DWORD>(n));
            if (session().recording())
                played_.insert(played_.end(), block.begin(), block.begin() + 2 * n);
            done += n;
        }
    }
    double rmsOf(size_t fromFrame, size_t frames) const {
        return testmedia::rms(played_.data() + 2 * fromFrame, 2 * frames);
    }

    QTemporaryDir config_, takes_;
    std::unique_ptr<EffectsWindow> win_;
    std::vector<float> played_;
};

TEST_F(RecordWindowTest, TakeHoldsExactlyWhatWasPlayedAcrossVolumeKeyRecallAndNextItem) {
    const QString a = test::mediaFile("rec a 330.mp3", testmedia::sine(330, 6, kRate, 2, 0.4));
    const QString b = test::mediaFile("rec b 550.mp3", testmedia::sine(550, 6, kRate, 2, 0.4));
    // Key A holds a louder channel volume than the one playing.
    win_->page().ScrVOL()->setValue(90);
    QTest::mouseClick(w().findChild<QPushButton*>("ButKbdSet_1"), Qt::LeftButton);
    QTest::mouseClick(w().findChild<QPushButton*>("CmdAppSet"), Qt::LeftButton);
    win_->page().ScrVOL()->setValue(40);
    ASSERT_TRUE(win_->play({a, b}, 0));
    render(kRate / 5);  // before the recording: not in it

    type(Qt::Key_F9);
    ASSERT_TRUE(session().recording());
    EXPECT_EQ(w().windowTitle(), "VELORIXA - REC");
    render(kRate / 2);
    type(Qt::Key_5);  // master volume 50 %
    render(kRate / 2);
    type(Qt::Key_A);  // the key's setting is recalled
    render(kRate);
    const size_t beforeNext = played_.size() / 2;
    type(Qt::Key_Minus, Qt::KeypadModifier);  // the next item
    ASSERT_TRUE(test::waitFor(
        [&] {
            render(512);
            return w().playQueue().NamePlay == b && win_->player().GetFilePlayPerf();
        },
        20000));
    render(kRate / 2);
    // The status shows the time and size recorded.
    QTest::qWait(300);
    EXPECT_TRUE(w().recordPanel().LblRec->text().startsWith("REC 0:0"))
        << w().recordPanel().LblRec->text().toStdString();
    type(Qt::Key_F9);
    ASSERT_FALSE(session().recording());
    EXPECT_EQ(w().windowTitle(), "VELORIXA");
    EXPECT_FALSE(w().recordPanel().TglRec->isChecked());

    const audio::RecordStatus s = session().status();
    EXPECT_EQ(s.framesLost, 0u);
    EXPECT_EQ(s.framesOffered, played_.size() / 2);
    EXPECT_EQ(s.framesWritten, played_.size() / 2);
    const testsound::SoundFile f = testsound::ReadSoundFile(session().path().toStdString());
    ASSERT_TRUE(f.ok) << session().path().toStdString();
    EXPECT_EQ(f.rateHz, kRate);
    EXPECT_EQ(testsound::Differing24(f, played_), 0u);
    // The changes are in the take: the volume key halves the level, the recalled key raises it,
    // and the next item follows.
    const size_t half = kRate / 2;
    EXPECT_LT(rmsOf(half + half / 2, half / 4), 0.7 * rmsOf(0, half));
    EXPECT_GT(rmsOf(2 * half + kRate - half / 2, half / 2), 1.5 * rmsOf(half + half / 2, half / 4));
    EXPECT_GT(rmsOf(beforeNext + (played_.size() / 2 - beforeNext) - half / 2, half / 2), 0.01);
}

TEST_F(RecordWindowTest, ToggleAndFormatChoiceMakeAWavTakeAndKeepTheChoice) {
    ASSERT_TRUE(
        win_->play({test::mediaFile("rec c 440.mp3", testmedia::sine(440, 3, kRate, 2))}, 0));
    w().MenuTabs()->setCurrentIndex(1);
    record::RecordPanel& panel = w().recordPanel();
    panel.ComboRecFormat->setCurrentIndex(1);  // WAV 24-bit
    QTest::mouseClick(panel.TglRec, Qt::LeftButton);
    ASSERT_TRUE(session().recording());
    EXPECT_TRUE(panel.TglRec->isChecked());
    render(kRate);
    QTest::mouseClick(panel.TglRec, Qt::LeftButton);
    ASSERT_FALSE(session().recording());
    EXPECT_TRUE(session().path().endsWith(".wav"));
    EXPECT_EQ(testsound::FfmpegFrames(session().path().toStdString()), kRate);
    // The choice is kept for the next start.
    const record::RecordSettings kept =
        record::RecordSettings::Load(record::RecordSettings::DefaultPath());
    EXPECT_EQ(kept.format, audio::RecordFormat::Wav24);
}

}  // namespace
}  // namespace velorixa
