// The real program as a child process: its command line opens files on its session bus's
// media controls, and without any session bus it runs and ends as it always did.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "common/testmedia.h"
#include "desktop/privatebus.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A copy of the player in a folder of its own, with a station list (no message box).
        bin_ = dir_.path() + "/velorixa";
        ASSERT_TRUE(QFile::copy(VELORIXA_PLAYER_BIN, bin_));
        ASSERT_TRUE(testmedia::writeFile((dir_.path() + "/velorixa.portable").toStdString(),
                                         std::string()));  // its files stay in dir_
        ASSERT_TRUE(testmedia::writeFile((dir_.path() + "/NetRadio.ini").toStdString(),
                                         std::string("http://127.0.0.1:9/ Nowhere\r\n")));
        tone_ = dir_.path() + "/the tone.mp3";
        testmedia::writeFile(tone_.toStdString(),
                             testmedia::encodeMp3(testmedia::sine(440, 3, 22050, 2)));
    }
    void start(const QString& busAddress, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        player_.setProcessEnvironment(env);
        player_.setWorkingDirectory(dir_.path());
        player_.start(bin_, args);
        ASSERT_TRUE(player_.waitForStarted(5000));
    }
    // Ends the player as a logout does; its exit code.
    int end() {
        ::kill(static_cast<pid_t>(player_.processId()), SIGTERM);
        EXPECT_TRUE(player_.waitForFinished(3000));
        stderr_ = player_.readAllStandardError();
        return player_.exitCode();
    }

    QTemporaryDir dir_;
    QString bin_, tone_;
    QProcess player_;
    QByteArray stderr_;
};

TEST_F(ProgramTest, CommandLineFilePlaysAndShowsOnTheBus) {
    velorixa::test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    start(bus.address(), {"the tone.mp3", "missing.mp3"});
    velorixa::test::BusClient client(bus.address(), "org.mpris.MediaPlayer2.velorixa");
    ASSERT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Playing"; }, 8000));
    const QVariantMap m = velorixa::test::toMap(client.playerProperty("Metadata"));
    EXPECT_EQ(m.value("xesam:title").toString(), "the tone");
    client.player("Stop");
    EXPECT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Stopped"; }, 2000));
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(readAll(dir_.path() + "/MemoList.ini"), (tone_ + "\r\n").toUtf8())
        << "the file joined the music list, the missing one did not";
    EXPECT_TRUE(stderr_.contains("velorixa: missing.mp3: no such file or folder"))
        << stderr_.data();
}

// A second `velorixa FILE` hands its file to the player already running and ends.
TEST_F(ProgramTest, ASecondStartHandsItsFilesToTheRunningPlayer) {
    velorixa::test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    start(bus.address(), {});
    velorixa::test::BusClient client(bus.address(), "org.mpris.MediaPlayer2.velorixa");
    ASSERT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Stopped"; }, 8000));
    QProcess second;
    second.setProcessEnvironment(player_.processEnvironment());
    second.setWorkingDirectory(dir_.path());
    second.start(bin_, {"the tone.mp3"});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Playing"; }, 4000));
    EXPECT_EQ(velorixa::test::toMap(client.playerProperty("Metadata")).value("xesam:title"),
              "the tone");
    EXPECT_EQ(end(), 0);
}

}  // namespace
