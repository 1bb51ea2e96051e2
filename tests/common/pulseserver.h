#pragma once
// A private PulseAudio server for one test: its own runtime folder and socket, two null sinks
// ("a" at 48 kHz, "b" at 44.1 kHz), stopped and started again at will, and recorders of each
// sink's monitor (parec) whose recordings a test reads as float stereo at 48 kHz.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testmedia {

class PulseServer {
  public:
    static constexpr int kRecordRate = 48000;

    PulseServer() {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~PulseServer() { stop(); }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Empty when pulseaudio can run here, else why not.
    static QString unavailable() {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return QStringLiteral("pulseaudio is not installed");
        if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
            return QStringLiteral("parec (pulseaudio-utils) is not installed");
        return {};
    }

    QString socket() const { return dir_.path() + QStringLiteral("/native"); }
    QByteArray address() const { return "unix:" + QFile::encodeName(socket()); }

    // Starts the daemon and waits until it answers (up to 10 s).
    bool start() {
        stop();
        daemon_ = std::make_unique<QProcess>();
        daemon_->setProcessEnvironment(env());
        daemon_->setStandardOutputFile(QProcess::nullDevice());
        daemon_->setStandardErrorFile(dir_.path() + QStringLiteral("/daemon.log"),
                                      QIODevice::Append);
        daemon_->start(QStringLiteral("pulseaudio"),
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                        "--use-pid-file=no", "-L",
                        "module-native-protocol-unix socket=" + socket() + " auth-anonymous=1",
                        "-L", "module-null-sink sink_name=a rate=48000", "-L",
                        "module-null-sink sink_name=b rate=44100"});
        if (!daemon_->waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (pactl({"list", "short", "sinks"}).contains("\tb\t")) {
                pactl({"set-default-sink", "a"});
                return true;
            }
            if (daemon_->state() == QProcess::NotRunning) return false;
            QThread::msleep(50);
        }
        return false;
    }
    // Ends the daemon's process (a server restart is stop() then start()).
    void stop() {
        recorders_.clear();
        if (!daemon_) return;
        daemon_->terminate();
        if (!daemon_->waitForFinished(5000)) {
            daemon_->kill();
            daemon_->waitForFinished(5000);
        }
        daemon_.reset();
    }

    QByteArray pactl(const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(QStringLiteral("pactl"), QStringList{"-s", QString::fromLatin1(address())} + args);
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
        }
        return p.readAllStandardOutput();
    }

    // The index of the null-sink module that made `sink` (-1: none).
    int moduleOf(const QString& sink) const {
        for (const QByteArray& line : pactl({"list", "short", "modules"}).split('\n')) {
            const QList<QByteArray> f = line.split('\t');
            if (f.size() >= 3 && f[1] == "module-null-sink" &&
                f[2].contains("sink_name=" + sink.toLatin1() + " "))
                return f[0].toInt();
        }
        return -1;
    }
    bool unloadSink(const QString& sink) {
        const int m = moduleOf(sink);
        return m >= 0 && (pactl({"unload-module", QString::number(m)}), moduleOf(sink) < 0);
    }
    bool loadSink(const QString& sink, int rateHz) {
        pactl({"load-module", "module-null-sink", "sink_name=" + sink,
               "rate=" + QString::number(rateHz)});
        return moduleOf(sink) >= 0;
    }

    // Records sink's monitor as float stereo at kRecordRate from now on. A thread of its own
    // reads parec's output as it comes, so the recording never lags behind the sink.
    class Recorder {
      public:
        Recorder(const PulseServer& server, const QString& sink) {
            int fds[2];
            if (pipe(fds) != 0) return;
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
            posix_spawn_file_actions_addclose(&actions, fds[0]);
            const std::string server_arg = server.address().toStdString();
            const std::string device = (sink + QStringLiteral(".monitor")).toStdString();
            const std::string rate = "--rate=" + std::to_string(kRecordRate);
            std::vector<std::string> args = {"parec",
                                             "-s",
                                             server_arg,
                                             "-d",
                                             device,
                                             "--raw",
                                             "--format=float32le",
                                             "--channels=2",
                                             rate,
                                             "--latency-msec=10"};
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            if (posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), environ) != 0)
                pid_ = -1;
            posix_spawn_file_actions_destroy(&actions);
            close(fds[1]);
            fd_ = fds[0];
            reader_ = std::thread([this] {
                std::vector<char> chunk(1 << 14);
                std::vector<char> pending;
                while (true) {
                    const ssize_t got = read(fd_, chunk.data(), chunk.size());
                    if (got <= 0) break;
                    pending.insert(pending.end(), chunk.begin(), chunk.begin() + got);
                    const size_t whole = pending.size() / sizeof(float) * sizeof(float);
                    std::lock_guard<std::mutex> g(mutex_);
                    const size_t old = recorded_.size();
                    recorded_.resize(old + whole / sizeof(float));
                    std::memcpy(recorded_.data() + old, pending.data(), whole);
                    pending.erase(pending.begin(), pending.begin() + whole);
                }
            });
        }
        ~Recorder() {
            if (pid_ > 0) {
                kill(pid_, SIGTERM);
                waitpid(pid_, nullptr, 0);
            }
            if (reader_.joinable()) reader_.join();
            if (fd_ >= 0) close(fd_);
        }
        Recorder(const Recorder&) = delete;
        Recorder& operator=(const Recorder&) = delete;
        // Everything recorded so far.
        const std::vector<float>& samples() {
            std::lock_guard<std::mutex> g(mutex_);
            samples_ = recorded_;
            return samples_;
        }
        size_t frames() {
            std::lock_guard<std::mutex> g(mutex_);
            return recorded_.size() / 2;
        }

      private:
        pid_t pid_ = -1;
        int fd_ = -1;
        std::thread reader_;
        std::mutex mutex_;
        std::vector<float> recorded_;  // reader thread, under mutex_
        std::vector<float> samples_;   // the test's copy
    };
    Recorder& record(const QString& sink) {
        recorders_.push_back(std::make_unique<Recorder>(*this, sink));
        // Once it delivers, what it records runs with the sink's clock.
        QElapsedTimer t;
        t.start();
        while (recorders_.back()->frames() == 0 && t.elapsed() < 10000)
            QThread::msleep(10);
        return *recorders_.back();
    }

    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        e.insert(QStringLiteral("HOME"), dir_.path());
        e.insert(QStringLiteral("PULSE_SERVER"), QString::fromLatin1(address()));
        return e;
    }

  private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> daemon_;
    std::vector<std::unique_ptr<Recorder>> recorders_;
};

// Goertzel: the amplitude of freqHz in n frames of the left channel from frame `from`.
inline double toneAmplitude(const std::vector<float>& stereo, size_t from, size_t n, double freqHz,
                            double rateHz = PulseServer::kRecordRate) {
    if ((from + n) * 2 > stereo.size()) return 0;
    const double w = 2 * M_PI * freqHz / rateHz, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s0 = stereo[2 * (from + i)] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / double(n);
}

// The first frame at or after `from` where 10 ms windows hold freqHz above `level`; -1: none.
inline long firstToneFrame(const std::vector<float>& stereo, size_t from, double freqHz,
                           double level) {
    const size_t win = PulseServer::kRecordRate / 100;
    for (size_t f = from; (f + win) * 2 <= stereo.size(); f += win / 2)
        if (toneAmplitude(stereo, f, win, freqHz) > level) return long(f);
    return -1;
}

}  // namespace testmedia
