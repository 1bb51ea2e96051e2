// The render tool: the player's whole chain rendered offline, compared with the bare chain; the
// command line, early ends, outputs that are devices or old files, and its memory on long runs.
#include "render/renderjob.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "audio/audiolib.h"
#include "audio/net/testserver.h"
#include "common/bytenames.h"
#include "common/testmedia.h"

namespace velorixa::tools {
namespace {

class RenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        input_ = dir_->path() + "/music.mp3";
        // Tones that move every second, so every effect has something to act on.
        testmedia::Pcm pcm = testmedia::toneSteps({220, 330, 550}, 44100, 2, 0.4);
        mp3_ = testmedia::encodeMp3(pcm);
        testmedia::writeFile(input_.toStdString(), mp3_);
    }
    static void TearDownTestSuite() { delete dir_; }

    static RenderOptions options() {
        RenderOptions o;
        o.input = input_;
        o.output = dir_->path() + "/out.wav";
        o.seconds = 2.5;
        return o;
    }

    // The same source through the rate change and volumes only: no equaliser, no effects.
    static std::vector<float> bareChain(double seconds) {
        EXPECT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr));
        QByteArray path = input_.toUtf8();
        DWORD src = BASS_StreamCreateFile(0, path.constData(), 0, 0, BASS_STREAM_DECODE);
        DWORD ch = BASS_FX_PitchCreate(src);
        BASS_StreamPlay(ch, 0, 0);
        // In the tool's 10 ms blocks: the fade-in at the start spans one block.
        std::vector<float> out(2 * static_cast<size_t>(seconds * 44100));
        for (size_t done = 0; done < out.size() / 2; done += 441)
            VX_Render(out.data() + 2 * done, 441);
        BASS_Free();
        return out;
    }

    static double rmsDiff(const std::vector<float>& a, const std::vector<float>& b) {
        size_t n = std::min(a.size(), b.size());
        double s = 0;
        for (size_t i = 0; i < n; ++i)
            s += double(a[i] - b[i]) * (a[i] - b[i]);
        return n ? std::sqrt(s / n) : 0;
    }

    // Runs the tool; returns its status and keeps its messages.
    int run(const std::vector<QString>& args) {
        errors_.clear();
        return RunRenderTool(args, [this](const QString& m) { errors_.push_back(m); });
    }

    static QTemporaryDir* dir_;
    static QString input_;
    static std::vector<uint8_t> mp3_;
    std::vector<QString> errors_;
};

QTemporaryDir* RenderTest::dir_ = nullptr;
QString RenderTest::input_;
std::vector<uint8_t> RenderTest::mp3_;

TEST_F(RenderTest, EachEffectIsSilentAtHundredAndStrongestAtZero) {
    std::vector<float> bare = bareChain(2.5);
    for (int fx = 1; fx <= 4; ++fx) {
        double previous = -1;
        for (int slider : {100, 50, 0}) {
            RenderOptions o = options();
            o.sound.knobs[controls::kKnobFxFirst + fx - 1].value = slider;
            RenderResult r = Render(o);
            ASSERT_TRUE(r.opened);
            ASSERT_EQ(r.stereo.size(), bare.size());
            double d = rmsDiff(r.stereo, bare);
            if (slider == 100) {
                EXPECT_LT(d, 1e-4) << "effect " << fx;
            } else {
                EXPECT_GT(d, previous * 1.2 + 1e-3) << "effect " << fx << " slider " << slider;
            }
            previous = d;
        }
    }
}

// The window starts with the channel volume and the global stream volume at 50 each: at full
// master volume a file plays 12.04 dB below its own level (the README's figure).
TEST_F(RenderTest, StartVolumesPlayTwelveDbBelowTheFile) {
    const struct {
        int vol, global;
        double belowDb;
    } cases[] = {{100, 100, 0}, {50, 100, 6.02}, {100, 50, 6.02}, {50, 50, 12.04}};
    RenderOptions full = options();
    const RenderResult reference = Render(full);
    ASSERT_TRUE(reference.opened);
    const double ref = testmedia::rms(reference.stereo.data(), reference.stereo.size());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "vol " << c.vol << " global " << c.global);
        RenderOptions o = options();
        o.sound.volumePct = c.vol;
        o.globalVolumePct = c.global;
        const RenderResult r = Render(o);
        ASSERT_TRUE(r.opened);
        const double level = testmedia::rms(r.stereo.data(), r.stereo.size());
        EXPECT_NEAR(20 * std::log10(ref / level), c.belowDb, 0.01);
    }
}

TEST_F(RenderTest, ArgumentsAndExitStatus) {
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_->path()));  // for the relative names below
    QFile::copy(input_, "-x.mp3");
    const QString out = dir_->path() + "/tool.wav";
    // What a good run writes (a device is written to, not replaced by a file: it stays empty).
    const struct {
        std::vector<QString> args;
        QString file;
        qint64 size;
    } good[] = {
        {{input_, out, "--frq", "150", "--seconds", "0.5"}, out, 44 + 22050 * 4},
        {{"--seconds", "0.2", "--", "-x.mp3", "dash.wav"}, "dash.wav", 44 + 8820 * 4},
        {{input_, "/dev/null", "--seconds", "0.2"}, "/dev/null", 0},
    };
    for (const auto& g : good) {
        EXPECT_EQ(run(g.args), 0) << g.file.toStdString();
        EXPECT_TRUE(errors_.empty());
        EXPECT_EQ(QFileInfo(g.file).size(), g.size) << g.file.toStdString();
    }
    QFile wav(out);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    QByteArray head = wav.read(44);
    EXPECT_TRUE(head.startsWith("RIFF"));
    EXPECT_EQ(qFromLittleEndian<quint32>(head.constData() + 40), 22050u * 4) << "data size";

    struct Bad {
        std::vector<QString> args;
        int status;
        QString says;
    } bad[] = {
        {{input_}, 2, "usage"},
        {{input_, out, "--frq", "201"}, 2, "--frq"},
        {{input_, out, "--fx", "1,2,3,101"}, 2, "--fx"},
        {{input_, out, "--global", "101"}, 2, "--global"},
        {{input_, out, "--bogus", "1"}, 2, "unknown option"},
        {{"--seconds", "0.2", "-x.mp3", "dash.wav"}, 2, "unknown option -x.mp3"},  // needs --
        {{input_, out, "--seconds"}, 2, "needs a value"},
        {{input_, out, "--seconds", "86400"}, 2, "a WAV file holds at most"},
        {{"http://127.0.0.1:9/x", out}, 2, "needs --seconds"},
        {{dir_->path() + "/missing.mp3", out}, 1, "cannot open"},
        {{input_, dir_->path() + "/no/such/folder/x.wav", "--seconds", "0.1"}, 1, "cannot write"},
    };
    const QDir folder(dir_->path());
    const auto before = folder.entryList(QDir::Files);
    for (const Bad& b : bad) {
        EXPECT_EQ(run(b.args), b.status) << b.says.toStdString();
        ASSERT_EQ(errors_.size(), 1u);
        EXPECT_TRUE(errors_[0].contains(b.says)) << errors_[0].toStdString();
    }
    // Failed runs leave the old output as it was, and no temporary beside it.
    EXPECT_EQ(QFile(out).size(), 44 + 22050 * 4);
    EXPECT_EQ(folder.entryList(QDir::Files), before);
    QDir::setCurrent(old);
}

TEST_F(RenderTest, WholeFileEndsAtItsLength) {
    RenderOptions o = options();
    o.seconds = -1;
    RenderResult r = Render(o);
    ASSERT_TRUE(r.opened);
    double seconds = double(r.stereo.size()) / 2 / 44100;
    EXPECT_GT(seconds, 2.9);
    EXPECT_LT(seconds, 3.5);
}

TEST_F(RenderTest, AStreamThatEndsEarlyFailsPromptly) {
    test::TestServer server;
    test::TestResponse r;
    r.statusLine = "HTTP/1.1 200 OK";
    r.headers = {"content-type: audio/mpeg"};
    r.body.assign(mp3_.begin(), mp3_.end());  // 3 s, then the server closes
    server.setResponse("/short", r);
    const QString out = dir_->path() + "/short.wav";
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(run({QString::fromStdString(server.url("/short")), out, "--seconds", "60"}), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_TRUE(errors_[0].contains("ended early")) << errors_[0].toStdString();
    // What was rendered is kept, with the sizes it really has.
    QFile wav(out);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const quint32 data = qFromLittleEndian<quint32>(wav.read(44).constData() + 40);
    EXPECT_EQ(wav.size(), 44 + qint64(data));
    EXPECT_NEAR(data / 4.0 / 44100, 3.0, 0.3);
}

// A live station delivers its audio in real time, while the render runs as fast as it can: what
// has not arrived yet is waited for, so the WAV holds the station's sound for every second asked,
// at the slowest and the fastest rates stations send (4,000 and 40,000 bytes a second).
TEST_F(RenderTest, AStationPacedInRealTimeIsRenderedWholeWithoutGaps) {
    const std::vector<double> tones = {300, 400, 500, 600, 700, 800, 900, 1000};
    const struct {
        int kbps;
        double seconds;  // beyond what the open buffers (16 KB: 4 s at 32 kb/s)
    } cases[] = {{32, 5}, {320, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kbps * 125 << " bytes a second");
        const auto mp3 = testmedia::encodeMp3(testmedia::toneSteps(tones),
                                              {.bitrateKbps = c.kbps, .quality = 9});
        test::TestServer server;
        test::TestResponse r;
        r.statusLine = "ICY 200 OK";
        r.headers = {"content-type: audio/mpeg"};
        r.body.assign(mp3.begin(), mp3.end());
        r.chunkBytes = static_cast<size_t>(c.kbps) * 125 / 20;  // 50 ms of audio a send
        r.chunkDelayMs = 50;
        r.holdOpenAfterBody = true;
        server.setResponse("/live", r);
        RenderOptions o = options();
        o.input = QString::fromStdString(server.url("/live"));
        o.seconds = c.seconds;
        const RenderResult out = Render(o);
        ASSERT_TRUE(out.opened);
        ASSERT_EQ(out.stereo.size(), 2 * static_cast<size_t>(c.seconds * 44100));
        // Every 100 ms holds the tone (a gap rendered as silence would show as a quiet block),
        // and every second the tone of that second of the station.
        std::vector<float> left;
        for (size_t i = 0; i < out.stereo.size(); i += 2)
            left.push_back(out.stereo[i]);
        for (size_t b = 1; b < left.size() / 4410; ++b) {
            EXPECT_GT(testmedia::rms(left.data() + b * 4410, 4410), 0.2)
                << "block at " << b * 0.1 << " s";
        }
        for (size_t sec = 0; sec < static_cast<size_t>(c.seconds); ++sec) {
            const float* at = left.data() + sec * 44100 + 4410;
            EXPECT_NEAR(
                testmedia::dominantFrequency(at, 35280, 44100, tones[sec] * 0.8, tones[sec] * 1.25),
                tones[sec], 3)
                << "second " << sec;
        }
    }
}

// A station that stops sending (the connection stays open) fails the render once nothing came for
// the deadline, keeping what it delivered; it is not rendered as silence to the end.
TEST_F(RenderTest, AStationThatStopsDeliveringFailsAtTheDeadline) {
    const auto mp3 = testmedia::encodeMp3(testmedia::sine(440, 2, 44100, 2), {.quality = 9});
    test::TestServer server;
    test::TestResponse r;
    r.statusLine = "ICY 200 OK";
    r.headers = {"content-type: audio/mpeg"};
    r.body.assign(mp3.begin(), mp3.end());
    r.chunkBytes = 800;  // 50 ms of 128 kb/s
    r.chunkDelayMs = 50;
    r.holdOpenAfterBody = true;
    server.setResponse("/stops", r);
    RenderOptions o = options();
    o.input = QString::fromStdString(server.url("/stops"));
    o.seconds = 60;
    o.stallSeconds = 1.5;
    const auto t0 = std::chrono::steady_clock::now();
    size_t frames = 0;
    const RenderOutcome out = RenderTo(o, [&](const float*, size_t n) {
        frames += n;
        return true;
    });
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(out.kind, RenderOutcome::Stalled);
    EXPECT_TRUE(out.why.contains("no audio for 1.5 s")) << out.why.toStdString();
    // The station's two seconds, and nothing made up after them.
    EXPECT_NEAR(frames / 44100.0, 2.0, 0.1);
    // Two seconds of delivery, the deadline, and room for a loaded machine.
    EXPECT_LT(took, 2 + 1.5 + 4);
}

// The tool as a shell starts it, with names that are not UTF-8 for the input and the output: the
// argument bytes are the names, and a message names the file with the same bytes.
TEST_F(RenderTest, FileNamesThatAreNotUtf8RenderFromTheCommandLine) {
    const std::string tool =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorixa-render";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "velorixa-render not built";
    const auto spawn = [&](const QByteArray& in, const QByteArray& out, std::string* stderrText) {
        const std::string err = dir_->path().toStdString() + "/stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<const char*> argv = {tool.c_str(),   "--seconds",     "1",
                                         in.constData(), out.constData(), nullptr};
        pid_t pid = 0;
        int status = -1;
        if (::posix_spawn(&pid, tool.c_str(), &actions, nullptr,
                          const_cast<char* const*>(argv.data()), environ) == 0)
            ::waitpid(pid, &status, 0);
        posix_spawn_file_actions_destroy(&actions);
        QFile e(QString::fromStdString(err));
        *stderrText = e.open(QIODevice::ReadOnly) ? e.readAll().toStdString() : std::string();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const auto& n : test::kByteNames) {
        SCOPED_TRACE(n.what);
        const QByteArray in = test::rawPath(dir_->path(), n.bytes + ".mp3");
        const QByteArray out = test::rawPath(dir_->path(), n.bytes + ".wav");
        ASSERT_TRUE(testmedia::writeFile(test::rawString(in), mp3_));
        std::string messages;
        EXPECT_EQ(spawn(in, out, &messages), 0) << messages;
        struct stat st {};
        ASSERT_EQ(::stat(out.constData(), &st), 0) << "the output is named by the same bytes";
        EXPECT_NEAR((st.st_size - 44) / (44100.0 * 4), 1.0, 0.05);
        // A missing input is named in the message by its own bytes.
        const QByteArray missing = test::rawPath(dir_->path(), "gone " + n.bytes + ".mp3");
        EXPECT_EQ(spawn(missing, out, &messages), 1);
        EXPECT_NE(messages.find(test::rawString(missing)), std::string::npos) << messages;
    }
}

TEST_F(RenderTest, LongRenderRunsInConstantMemory) {
    // Five minutes through the real tool in a child process: kept in memory, the output alone
    // would take 159 MB (float and 16-bit copies); written as it renders, the whole process
    // stays far below. A generous bound, not a measurement.
    const std::string tool =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorixa-render";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "velorixa-render not built";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory is no measure of the tool's";
#endif
    const std::string in = dir_->path().toStdString() + "/long.mp3";
    testmedia::writeFile(in, testmedia::encodeMp3(testmedia::sine(440, 300, 8000, 1),
                                                  {.bitrateKbps = 16, .quality = 9}));
    const std::string out = dir_->path().toStdString() + "/long.wav";
    std::vector<const char*> argv = {tool.c_str(), in.c_str(), out.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, tool.c_str(), nullptr, nullptr,
                            const_cast<char* const*>(argv.data()), environ),
              0);
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NEAR(std::filesystem::file_size(out) / (44100.0 * 4), 300, 1);
    EXPECT_LT(usage.ru_maxrss, 80 * 1024);
}

}  // namespace
}  // namespace velorixa::tools
