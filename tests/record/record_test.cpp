// Recording the output as heard, below the window: the engine's tap, the writer thread and the
// file, through the offline output (the test renders and knows every sample played), a sink
// that stalls on purpose, and child processes that are killed or run out of disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "audio/audiolib.h"
#include "audio/record/recorder.h"
#include "common/soundfile.h"
#include "common/testmedia.h"
#include "record/recordfiles.h"
#include "record/recordsession.h"

namespace velorixa::record {
namespace {

constexpr int kRate = 44100;
using audio::RecordFormat;

std::string toneFile(const QTemporaryDir& dir, double seconds) {
    const std::string path = dir.filePath("tone.mp3").toStdString();
    if (!QFile::exists(QString::fromStdString(path)))
        testmedia::writeFile(path, testmedia::encodeMp3(testmedia::sine(440, seconds, kRate, 2)));
    return path;
}

// Plays a tone on the offline output for the length of a test.
class OfflineTone {
  public:
    OfflineTone(const std::string& path, int device = VX_DEVICE_OFFLINE) {
        ok = BASS_Init(device, kRate, 0, nullptr) != 0;
        stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        ok = ok && stream != 0 && BASS_StreamPlay(stream, 0, 0);
    }
    ~OfflineTone() { BASS_Free(); }
    // Renders frames into played (appended).
    void render(int frames, std::vector<float>* played = nullptr) {
        std::vector<float> block(2 * 512);
        for (int done = 0; done < frames;) {
            const int n = std::min(512, frames - done);
            VX_Render(block.data(), static_cast<DWORD>(n));
            if (played) played->insert(played->end(), block.begin(), block.begin() + 2 * n);
            done += n;
        }
    }
    bool ok = false;
    DWORD stream = 0;
};

// A file sink whose writes wait at a gate the test opens: a disk that stalls.
class GatedSink : public audio::RecordSink {
  public:
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool writerWaiting = false;
        void release() {
            std::lock_guard<std::mutex> lock(m);
            open = true;
            cv.notify_all();
        }
        void waitForWriter() {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [this] { return writerWaiting; });
        }
    };
    GatedSink(std::unique_ptr<audio::RecordSink> inner, Gate& gate)
        : inner_(std::move(inner)), gate_(gate) {}
    bool write(const int32_t* s, size_t frames, std::string* error) override {
        std::unique_lock<std::mutex> lock(gate_.m);
        gate_.writerWaiting = true;
        gate_.cv.notify_all();
        gate_.cv.wait(lock, [this] { return gate_.open; });
        lock.unlock();
        return inner_->write(s, frames, error);
    }
    bool checkpoint(std::string* error) override { return inner_->checkpoint(error); }
    void close(bool failed) override { inner_->close(failed); }
    uint64_t bytes() const override { return inner_->bytes(); }

  private:
    std::unique_ptr<audio::RecordSink> inner_;
    Gate& gate_;
};

audio::Recorder::Options gatedOptions(GatedSink::Gate& gate, double ringSeconds) {
    audio::Recorder::Options o;
    o.ringSeconds = ringSeconds;
    o.openSink = [&gate](const std::string& path, RecordFormat format, int rate,
                         std::string* error) -> std::unique_ptr<audio::RecordSink> {
        auto inner = audio::OpenSndfileSink(path, format, rate, error);
        if (!inner) return nullptr;
        return std::make_unique<GatedSink>(std::move(inner), gate);
    };
    return o;
}

// A tone playing on the offline output, and a folder for the takes.
class RecorderTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tone.ok); }
    // The session's messages, written down.
    void listen(RecordSession& session) {
        QObject::connect(&session, &RecordSession::message,
                         [this](const QString& m) { messages << m; });
    }
    QTemporaryDir dir;
    OfflineTone tone{toneFile(dir, 8)};
    QStringList messages;
};

TEST(RecordFiles, NamesSettingsAndStatus) {
    const QDateTime when(QDate(2026, 12, 7), QTime(21, 5, 9));
    EXPECT_EQ(RecordingPath("/m", when, RecordFormat::Flac),
              "/m/Velorixa 2026-12-07 21-05-09.flac");
    EXPECT_EQ(RecordingPath("/m", when, RecordFormat::Wav24, 3),
              "/m/Velorixa 2026-12-07 21-05-09 (3).wav");

    const struct {
        uint64_t frames, bytes, lost;
        const char* text;
    } cases[] = {
        {0, 0, 0, "REC 0:00  0.0 MB"},
        {kRate * 62ull + 5, 3'450'000, 0, "REC 1:02  3.5 MB"},
        {kRate * 3723ull, 120'000'000, kRate / 2, "REC 1:02:03  120.0 MB  lost 0.5 s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordStatusText(c.frames, kRate, c.bytes, c.lost), c.text);

    QTemporaryDir dir;
    const QString conf = dir.filePath("cfg/velorixa/recording.conf");
    EXPECT_EQ(RecordSettings::Load(conf).format, RecordFormat::Flac);  // missing file: defaults
    RecordSettings s;
    s.format = RecordFormat::Wav24;
    s.folder = dir.filePath("takes \xE9");
    QString why;
    ASSERT_TRUE(s.save(conf, &why)) << why.toStdString();
    const RecordSettings back = RecordSettings::Load(conf);
    EXPECT_EQ(back.format, RecordFormat::Wav24);
    EXPECT_EQ(back.folder, s.folder);
}

TEST(RecordFiles, MusicFolderWithoutXdgSettingIsHomeMusic) {
    QTemporaryDir home;
    const QByteArray old = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    const QString folder = DefaultRecordFolder();
    qputenv("HOME", old);
    EXPECT_EQ(folder, home.path() + "/Music");
}

// A disk that stalls for three seconds of output loses nothing: every frame the output
// delivered is in the file, bit for bit.
TEST_F(RecorderTest, StalledDiskForThreeSecondsLosesNothing) {
    tone.render(kRate / 4);  // played before the recording: not in it
    GatedSink::Gate gate;
    audio::Recorder recorder(gatedOptions(gate, 20));
    const std::string path = dir.filePath("take.flac").toStdString();
    std::string why;
    ASSERT_TRUE(recorder.start(path, RecordFormat::Flac, &why)) << why;
    std::vector<float> played;
    tone.render(3 * kRate, &played);
    gate.waitForWriter();  // the writer is stuck in its first write
    EXPECT_EQ(recorder.status().framesWritten, 0u);
    gate.release();
    const audio::RecordStatus s = recorder.stop();
    EXPECT_FALSE(s.failed) << s.error;
    EXPECT_EQ(s.framesLost, 0u);
    EXPECT_EQ(s.framesOffered, played.size() / 2);
    EXPECT_EQ(s.framesWritten, played.size() / 2);
    EXPECT_EQ(s.rateHz, kRate);
    const testsound::SoundFile f = testsound::ReadSoundFile(path);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.rateHz, kRate);
    EXPECT_EQ(testsound::Differing24(f, played), 0u);
    EXPECT_GT(testmedia::rms(played.data(), played.size()), 0.1);
}

// A disk slower than the ring can cover: what found the ring full is counted, reported, and
// every other frame is written.
TEST_F(RecorderTest, ImpossiblySlowDiskCountsAndReportsLostFrames) {
    GatedSink::Gate gate;
    RecordSettings settings;
    settings.folder = dir.filePath("takes");
    RecordSession session(settings, gatedOptions(gate, 1));
    listen(session);
    ASSERT_TRUE(session.start());
    tone.render(4 * kRate);
    gate.waitForWriter();
    const audio::RecordStatus during = session.status();
    EXPECT_GT(during.framesLost, uint64_t(kRate) * 2);
    EXPECT_TRUE(session.statusText().contains("lost")) << session.statusText().toStdString();
    gate.release();
    session.stop();
    const audio::RecordStatus s = session.status();
    EXPECT_EQ(s.framesWritten + s.framesLost, s.framesOffered);
    EXPECT_EQ(s.framesOffered, uint64_t(4 * kRate));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::number(s.framesLost) + " frames"))
        << messages[0].toStdString();
    EXPECT_EQ(testsound::FfmpegFrames(session.path().toStdString()), int64_t(s.framesWritten));
}

// The folder removed while recording: the recording stops with a message, the music plays on.
TEST_F(RecorderTest, FolderRemovedStopsWithAMessage) {
    RecordSettings settings;
    settings.folder = dir.filePath("stick");
    audio::Recorder::Options options;
    options.checkpointMs = 5;
    RecordSession session(settings, options);
    listen(session);
    ASSERT_TRUE(session.start());
    tone.render(kRate / 2);
    ASSERT_TRUE(QDir(settings.folder).removeRecursively());
    for (int i = 0; i < 100000 && session.recording(); ++i) {
        tone.render(512);
        session.tick();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_FALSE(session.recording());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("gone")) << messages[0].toStdString();
    EXPECT_EQ(BASS_ChannelIsActive(tone.stream), DWORD(BASS_ACTIVE_PLAYING));
}

// Two names in the same second: the second recording gets the next name, the first file stays.
TEST_F(RecorderTest, NeverOverwritesAFile) {
    RecordSettings settings;
    settings.folder = dir.path();
    RecordSession session(settings);
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    session.now = [when] { return when; };
    const QString first = RecordingPath(dir.path(), when, RecordFormat::Flac);
    ASSERT_TRUE(testmedia::writeFile(first.toStdString(), std::string("keep me")));
    ASSERT_TRUE(session.start());
    tone.render(kRate / 10);
    session.stop();
    EXPECT_EQ(session.path(), RecordingPath(dir.path(), when, RecordFormat::Flac, 2));
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
}

// --- child processes: killed while recording, and a disk that fills up ---

void startChild(QProcess& p, const char* role, const std::string& tone, const QString& target,
                RecordFormat format) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELORIXA_RECORD_CHILD", role);
    env.insert("VELORIXA_RECORD_TONE", QString::fromStdString(tone));
    env.insert("VELORIXA_RECORD_TARGET", target);
    env.insert("VELORIXA_RECORD_FORMAT", format == RecordFormat::Flac ? "flac" : "wav");
    p.setProcessEnvironment(env);
    p.start("/proc/self/exe",
            {"--gtest_filter=RecordChild.DISABLED_Run", "--gtest_also_run_disabled_tests"});
}

TEST(RecordKill, FileDecodesToWithinTwoSecondsOfSigkill) {
    QTemporaryDir dir;
    const std::string tone = toneFile(dir, 60);
    for (RecordFormat format : {RecordFormat::Flac, RecordFormat::Wav24}) {
        SCOPED_TRACE(audio::RecordExtension(format));
        const QString path =
            dir.filePath(QStringLiteral("killed.") + audio::RecordExtension(format));
        QProcess child;
        startChild(child, "kill", tone, path, format);
        ASSERT_TRUE(child.waitForStarted());
        // The child prints the frames its output delivered, every 20 ms; killed once it has
        // recorded four seconds, the last number it printed is what it had played.
        int64_t played = 0;
        QByteArray pending;
        while (played < 4 * kRate && child.state() == QProcess::Running) {
            child.waitForReadyRead(1000);
            pending += child.readAllStandardOutput();
            qsizetype nl;
            while ((nl = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(nl);
                pending.remove(0, nl + 1);
                if (line.startsWith("offered ")) played = line.mid(8).toLongLong();
            }
        }
        ASSERT_GE(played, 4 * kRate) << child.readAllStandardError().toStdString();
        child.kill();  // SIGKILL
        child.waitForFinished();
        std::string log;
        const int64_t decoded = testsound::FfmpegFrames(path.toStdString(), &log);
        EXPECT_GE(decoded, played - 2 * kRate) << log;
        EXPECT_LE(decoded, played + kRate / 2);
        std::printf("%s: killed at %.2f s played, %.2f s decode\n", audio::RecordExtension(format),
                    double(played) / kRate, double(decoded) / kRate);
        EXPECT_TRUE(format != RecordFormat::Flac ||
                    testsound::FlacTestPasses(path.toStdString(), &log))
            << log;
        const int64_t sox = testsound::SoxFrames(path.toStdString(), &log);  // -1: no sox here
        EXPECT_TRUE(sox < 0 || sox >= played - 2 * kRate) << sox << " frames: " << log;
    }
}

TEST(RecordFull, DiskFullStopsWithAMessageKeepsAValidFileAndPlaysOn) {
    QTemporaryDir dir;
    const std::string tone = toneFile(dir, 60);
    for (RecordFormat format : {RecordFormat::Flac, RecordFormat::Wav24}) {
        SCOPED_TRACE(audio::RecordExtension(format));
        const QString folder =
            dir.filePath(QStringLiteral("full-") + audio::RecordExtension(format));
        QProcess child;
        startChild(child, "full", tone, folder, format);
        ASSERT_TRUE(child.waitForFinished(600000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        ASSERT_EQ(child.exitCode(), 0)
            << out.toStdString() << child.readAllStandardError().toStdString();
        EXPECT_TRUE(out.contains("message: Recording stopped: the disk is full."))
            << out.toStdString();
        EXPECT_TRUE(out.contains("still playing: yes")) << out.toStdString();
        const QStringList files = QDir(folder).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1);
        const std::string path = QDir(folder).filePath(files[0]).toStdString();
        std::string log;
        const int64_t decoded = testsound::FfmpegFrames(path, &log);
        EXPECT_GT(decoded, kRate) << log;
        const testsound::SoundFile f = testsound::ReadSoundFile(path);
        EXPECT_TRUE(f.ok);
        EXPECT_EQ(int64_t(f.frames()), decoded);
        EXPECT_TRUE(format != RecordFormat::Flac || testsound::FlacTestPasses(path, &log)) << log;
    }
}

// The child's side of the two tests above; runs only when started by them.
TEST(RecordChild, DISABLED_Run) {
    const QByteArray role = qgetenv("VELORIXA_RECORD_CHILD");
    if (role.isEmpty()) GTEST_SKIP();
    const std::string tone = qgetenv("VELORIXA_RECORD_TONE").toStdString();
    const QString target = QString::fromUtf8(qgetenv("VELORIXA_RECORD_TARGET"));
    const RecordFormat format =
        qgetenv("VELORIXA_RECORD_FORMAT") == "wav" ? RecordFormat::Wav24 : RecordFormat::Flac;
    if (role == "kill") {
        // Real time, as on stage: the no-sound output's own thread plays.
        OfflineTone out(tone, VX_DEVICE_NOSOUND);
        ASSERT_TRUE(out.ok);
        audio::Recorder recorder;
        std::string why;
        ASSERT_TRUE(recorder.start(target.toStdString(), format, &why)) << why;
        for (;;) {
            std::printf("offered %llu\n", (unsigned long long)recorder.status().framesOffered);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // "full": a file-size limit is the disk filling up.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{700 * 1024, 700 * 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    OfflineTone out(tone);
    ASSERT_TRUE(out.ok);
    RecordSettings settings;
    settings.folder = target;
    settings.format = format;
    RecordSession session(settings);
    QString message;
    QObject::connect(&session, &RecordSession::message, [&](const QString& m) { message = m; });
    ASSERT_TRUE(session.start());
    for (int i = 0; i < 400000 && session.recording(); ++i) {
        out.render(512);
        session.tick();
        // A real output runs at one times real time: the renderer stays within a second of the
        // writer, so the tone still plays when the disk fills.
        for (audio::RecordStatus st = session.status();
             session.recording() && st.framesOffered - st.framesWritten - st.framesLost > kRate;
             st = session.status()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            session.tick();
        }
    }
    std::vector<float> after;
    out.render(kRate / 2, &after);
    const bool playing = BASS_ChannelIsActive(out.stream) == BASS_ACTIVE_PLAYING &&
                         testmedia::rms(after.data(), after.size()) > 0.1;
    std::printf("message: %s\nstill playing: %s\n", message.toUtf8().constData(),
                playing ? "yes" : "no");
}

}  // namespace
}  // namespace velorixa::record
