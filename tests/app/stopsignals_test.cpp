// The real player as a child process, ended by the signals of a logout, Ctrl+C and a closed
// terminal: it must leave as closing its window does, with the music list saved.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>

#include <csignal>

#include "app/windowfixture.h"

namespace {

using velorixa::test::readFile;

// The process catches all three stop signals (its handlers are installed).
bool catchesStopSignals(qint64 pid) {
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    const qsizetype at = status.indexOf("SigCgt:");
    if (at < 0) return false;
    const quint64 caught =
        status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        if (!(caught & (1ull << (sig - 1)))) return false;
    return true;
}

TEST(StopSignals, EndThePlayerAsClosingItsWindowDoesAndSaveTheList) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        // A portable copy keeps its files beside its executable: one in a fresh folder.
        const QString bin = dir.path() + "/velorixa";
        ASSERT_TRUE(QFile::copy(VELORIXA_PLAYER_BIN, bin));
        ASSERT_TRUE(velorixa::test::writeFile(dir.path() + "/velorixa.portable", {}));
        // Written with LF alone: a save rewrites it with CR LF, so a file left as it was shows.
        ASSERT_TRUE(velorixa::test::writeFile(dir.path() + "/MemoList.ini",
                                              "/music/a.mp3\n/music/b, c.mp3\n"));

        QProcess player;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        player.setProcessEnvironment(env);
        player.setWorkingDirectory(dir.path());
        player.start(bin, {});
        ASSERT_TRUE(player.waitForStarted(5000)) << sig;
        QElapsedTimer t;
        t.start();
        while (!catchesStopSignals(player.processId()) && t.elapsed() < 5000)
            QThread::msleep(10);
        ASSERT_TRUE(catchesStopSignals(player.processId())) << sig;
        // A signal before the saved state is loaded ends the start with nothing to save (see
        // tests/desktop/program_test.cpp). Once the state is loaded (the starter station list
        // is written then, the folder had none) a signal is kept until the main loop.
        while (!QFile::exists(dir.path() + "/NetRadio.ini") && t.elapsed() < 10000)
            QThread::msleep(10);
        ASSERT_TRUE(QFile::exists(dir.path() + "/NetRadio.ini")) << sig;

        t.restart();
        ::kill(static_cast<pid_t>(player.processId()), sig);
        ASSERT_TRUE(player.waitForFinished(2000)) << "signal " << sig;
        EXPECT_LT(t.elapsed(), 2000) << sig;
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(player.exitCode(), 0) << sig << player.readAllStandardError().toStdString();
        EXPECT_EQ(readFile(dir.path() + "/MemoList.ini"), "/music/a.mp3\r\n/music/b, c.mp3\r\n")
            << "signal " << sig;
    }
}

}  // namespace
