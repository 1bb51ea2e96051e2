// The real program as a child process: its command line opens files on its session bus's
// media controls, and without any session bus it runs and ends as it always did.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>
#include <QThread>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

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

// A FIFO no one writes, a link to /dev/zero and a 50 MB line, named like playlists on the
// command line: each is refused with a message naming it, the start never waits, and the item
// given beside them plays.
TEST_F(ProgramTest, HostilePlaylistArgumentsAreRefusedAndTheStartGoesOn) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir_.path() + "/x.m3u").constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(dir_.path() + "/z.m3u").constData()), 0);
    {
        QFile big(dir_.path() + "/big.pls");
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write("[playlist]\nFile1=");
        const QByteArray mb(1024 * 1024, 'y');
        for (int i = 0; i < 50; ++i)
            big.write(mb);
        big.write("\n");
    }
    velorixa::test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    QElapsedTimer t;
    t.start();
    start(bus.address(), {"x.m3u", "z.m3u", "big.pls", "the tone.mp3"});
    velorixa::test::BusClient client(bus.address(), "org.mpris.MediaPlayer2.velorixa");
    ASSERT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Playing"; }, 15000));
    std::printf("[ measured ] started and playing after %lld ms\n",
                static_cast<long long>(t.elapsed()));
    EXPECT_EQ(end(), 0);
    for (const char* line :
         {"velorixa: x.m3u: a FIFO, not a file", "velorixa: z.m3u: a device, not a file",
          "velorixa: big.pls: larger than 32 MB"})
        EXPECT_TRUE(stderr_.contains(line)) << line << "\n" << stderr_.data();
    EXPECT_EQ(readAll(dir_.path() + "/MemoList.ini"), (tone_ + "\r\n").toUtf8());
}

// A copied program in a folder of its own: the built-in station list is written there, no
// message stops the start, and the item on the command line plays.
TEST_F(ProgramTest, StartedFromAnEmptyFolderItWritesTheStarterListAndPlays) {
    ASSERT_TRUE(QFile::remove(dir_.path() + "/NetRadio.ini"));
    velorixa::test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    start(bus.address(), {"the tone.mp3"});
    velorixa::test::BusClient client(bus.address(), "org.mpris.MediaPlayer2.velorixa");
    ASSERT_TRUE(velorixa::test::waitFor(
        [&] { return client.playerProperty("PlaybackStatus").toString() == "Playing"; }, 15000));
    EXPECT_EQ(end(), 0);
    const QByteArray stations = readAll(dir_.path() + "/NetRadio.ini");
    EXPECT_TRUE(stations.startsWith("http")) << stations.data();
    EXPECT_TRUE(stations.endsWith("\r\n"));
}

// A stop signal while the start is on its arguments (a FIFO among them) ends the program: the
// start never waits on the FIFO, so the signal finds it either reading or in its main loop.
TEST_F(ProgramTest, AStopSignalDuringTheStartEndsIt) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir_.path() + "/x.m3u").constData(), 0600), 0);
    start("unix:path=/nonexistent/bus", {"x.m3u", "the tone.mp3"});
    QElapsedTimer t;
    t.start();
    // As soon as the handlers are in place (before the arguments are read).
    const auto catchesTerm = [&] {
        const QByteArray s = readAll(QStringLiteral("/proc/%1/status").arg(player_.processId()));
        const qsizetype at = s.indexOf("SigCgt:");
        return at >= 0 &&
               (s.mid(at + 7, s.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16) >>
                (SIGTERM - 1)) &
                   1;
    };
    while (!catchesTerm() && t.elapsed() < 10000)
        QThread::usleep(200);
    ::kill(static_cast<pid_t>(player_.processId()), SIGTERM);
    ASSERT_TRUE(player_.waitForFinished(10000)) << "the signal did not end the start";
    EXPECT_EQ(player_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player_.exitCode(), 0);
}

}  // namespace
