// The real player as a child process, ended by the signals of a logout, Ctrl+C and a closed
// terminal: it must leave as closing its window does, with the music list saved.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The process catches all three stop signals (its handlers are installed).
bool catchesStopSignals(qint64 pid) {
    const QByteArray status = readAll(QStringLiteral("/proc/%1/status").arg(pid));
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
        // The player keeps its files beside its executable: a copy of its own in a fresh folder.
        const QString bin = dir.path() + "/velorixa";
        ASSERT_TRUE(QFile::copy(VELORIXA_PLAYER_BIN, bin));
        // Written with LF alone: a save rewrites it with CR LF, so a file left as it was shows.
        QFile list(dir.path() + "/MemoList.ini");
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write("/music/a.mp3\n/music/b, c.mp3\n");
        list.close();

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
        // From here a signal is kept until the main loop, which runs after the list was loaded.

        t.restart();
        ::kill(static_cast<pid_t>(player.processId()), sig);
        ASSERT_TRUE(player.waitForFinished(2000)) << "signal " << sig;
        EXPECT_LT(t.elapsed(), 2000) << sig;
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(player.exitCode(), 0) << sig << player.readAllStandardError().toStdString();
        EXPECT_EQ(readAll(dir.path() + "/MemoList.ini"), "/music/a.mp3\r\n/music/b, c.mp3\r\n")
            << "signal " << sig;
    }
}

}  // namespace
