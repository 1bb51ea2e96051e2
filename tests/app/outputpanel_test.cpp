// The output's settings file, and its controls on a page against a private PulseAudio server:
// the list as the server gives it, a choice made with the mouse and keys moving the sound and
// kept in the file, and an output pulled while it plays said on the message line.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include "app/outputsettings.h"
#include "app/ui/outputpanel.h"
#include "audio/audiolib.h"
#include "audio/output.h"
#include "common/pulseserver.h"
#include "common/scopedenv.h"
#include "common/tempfolder.h"
#include "common/waitfor.h"

namespace velorixa {
namespace {

using velorixa::test::waitFor;

class OutputSettingsFile : public testmedia::TempFolderTest {};

TEST_F(OutputSettingsFile, ReadsWhatItWroteAndDefaultsWhatIsMissingOrWrong) {
    struct Case {
        QByteArray file;
        QString output;
        int buffer;
    };
    const Case cases[] = {
        {"output=b\nbuffer=2048\n", "b", 2048},
        {"output=alsa_output.usb-Focusrite.analog-stereo\r\nbuffer=256\r\n",
         "alsa_output.usb-Focusrite.analog-stereo", 256},
        {"buffer=1000\n", "", 512},  // not one of the choices
        {"buffer=x\nother=1\n", "", 512},
        {"", "", 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        writeBytes("output.conf", c.file);
        const OutputSettings s = OutputSettings::Load(path("output.conf"));
        EXPECT_EQ(s.output, c.output);
        EXPECT_EQ(s.bufferFrames, c.buffer);
        ASSERT_TRUE(s.save(path("again/output.conf"), nullptr));
        const OutputSettings back = OutputSettings::Load(path("again/output.conf"));
        EXPECT_EQ(back.output, s.output);
        EXPECT_EQ(back.bufferFrames, s.bufferFrames);
    }
    EXPECT_EQ(OutputSettings::Load(path("none.conf")).bufferFrames, 512);
}

class OutputPanelTest : public testmedia::TempFolderTest {
  protected:
    void SetUp() override {
        const QString why = testmedia::PulseServer::unavailable();
        if (!why.isEmpty()) GTEST_SKIP() << "no PulseAudio server here: " << why.toStdString();
        ASSERT_TRUE(server_.start()) << "the private pulseaudio daemon did not start";
        pulseEnv_ = std::make_unique<testmedia::ScopedEnv>("PULSE_SERVER", server_.address());
        driverEnv_ = std::make_unique<testmedia::ScopedEnv>("SDL_AUDIODRIVER", QByteArray());
        OutputSettings{}.apply();
        inited_ = BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr) != 0;
        ASSERT_TRUE(inited_);
    }
    void TearDown() override {
        if (inited_) BASS_Free();
        OutputSettings{}.apply();
    }
    QString sinkOfStream() const {
        const QByteArray inputs = server_.pactl({"list", "short", "sink-inputs"});
        const QList<QByteArray> f = inputs.split('\t');
        if (f.size() < 2) return {};
        for (const QByteArray& line : server_.pactl({"list", "short", "sinks"}).split('\n')) {
            const QList<QByteArray> s = line.split('\t');
            if (s.size() > 1 && s[0] == f[1]) return QString::fromLatin1(s[1]);
        }
        return {};
    }

    testmedia::PulseServer server_;
    std::unique_ptr<testmedia::ScopedEnv> pulseEnv_, driverEnv_;
    bool inited_ = false;
};

TEST_F(OutputPanelTest, AChoiceFromTheListMovesTheSoundAndIsKept) {
    QWidget page;
    page.resize(457, 425);
    OutputPanel panel(page, OutputSettings{}, path("velorixa/output.conf"));
    QStringList said;
    panel.onMessage = [&](const QString& text) { said << text; };
    page.show();
    QComboBox* combo = page.findChild<QComboBox*>("ComboOutput");
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(waitFor(
        [&] {
            panel.poll();
            return combo->count() == 3;
        },
        5000));
    // The default first, the server's own names beside the description they share.
    EXPECT_EQ(combo->itemText(0), "Default output");
    EXPECT_EQ(combo->itemData(1).toString(), "a");
    EXPECT_EQ(combo->itemData(2).toString(), "b");
    EXPECT_TRUE(combo->itemText(2).endsWith("(b)")) << combo->itemText(2).toStdString();
    EXPECT_EQ(sinkOfStream(), "a");

    // As a user: the list opened with the mouse, "b" taken with the keys.
    QTest::mouseClick(combo, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return combo->view()->isVisible(); }, 2000));
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return sinkOfStream() == "b"; }, 5000));
    EXPECT_EQ(OutputSettings::Load(path("velorixa/output.conf")).output, "b");

    // Pulled while in use: the sound goes on "a", and the message line says so.
    ASSERT_TRUE(server_.unloadSink("b"));
    EXPECT_TRUE(waitFor(
        [&] {
            panel.poll();
            return said.join('\n').contains("Output b is not there: playing through a");
        },
        5000))
        << said.join('\n').toStdString();
    EXPECT_TRUE(combo->currentText().contains("not present")) << combo->currentText().toStdString();
    EXPECT_TRUE(page.findChild<QLabel*>("LblOutputLatency")->text().endsWith(" ms"));
}

}  // namespace
}  // namespace velorixa
