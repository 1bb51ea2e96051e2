#pragma once
// jackd with the dummy back end under a name of this process's own (JACK_DEFAULT_SERVER names it
// for every client of the process), started once, on the first get(), and ended with the process.

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QString>

#include "common/waitfor.h"

namespace velorixa::test {

inline QString JackServerName() {
    return QStringLiteral("vxtest%1").arg(::getpid());
}

class JackServer {
  public:
    static JackServer& get() {
        static JackServer server;
        return server;
    }
    bool running() const { return ok_; }
    const QString& why() const { return why_; }

  private:
    JackServer() {
        const QString name = JackServerName();
        // Set only if not yet: a MIDI input may be reading it on its own thread.
        if (qgetenv("JACK_DEFAULT_SERVER") != name.toUtf8())
            qputenv("JACK_DEFAULT_SERVER", name.toUtf8());
        if (qgetenv("JACK_NO_AUDIO_RESERVATION") != "1") qputenv("JACK_NO_AUDIO_RESERVATION", "1");
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.start(QStringLiteral("jackd"),
                    {"--no-realtime", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"});
        if (!proc_.waitForStarted(5000)) {
            why_ = QStringLiteral("jackd could not be started: ") + proc_.errorString();
            return;
        }
        const QString socket = QStringLiteral("/dev/shm/jack_%1_%2_0").arg(name).arg(::getuid());
        ok_ =
            waitFor([&] { return QFile::exists(socket) || proc_.state() == QProcess::NotRunning; },
                    10000) &&
            proc_.state() == QProcess::Running;
        if (!ok_) why_ = QStringLiteral("jackd did not come up: ") + proc_.readAll();
    }
    ~JackServer() {
        proc_.terminate();
        if (!proc_.waitForFinished(5000)) proc_.kill();
    }
    QProcess proc_;
    bool ok_ = false;
    QString why_;
};

}  // namespace velorixa::test
