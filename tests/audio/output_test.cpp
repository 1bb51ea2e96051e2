// The sound output through a real PulseAudio server the test starts itself: the stream's name
// and role, the choice of output, moves while playing, outputs and the server going away and
// coming back, and the output's own rate.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <memory>

#include "audio/output.h"
#include "audio/realtime/engine.h"
#include "audiotest.h"
#include "common/pulseserver.h"
#include "common/scopedenv.h"
#include "common/stepmeasure.h"
#include "common/waitfor.h"

namespace {

using testmedia::PulseServer;
using velorixa::test::waitFor;

constexpr double kAmplitude = 0.5;
// A 10 ms window holds the tone when its amplitude there is above this (the file's is 0.5).
constexpr double kHeard = 0.1;

class PulseOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString why = PulseServer::unavailable();
        if (!why.isEmpty()) GTEST_SKIP() << "no PulseAudio server here: " << why.toStdString();
        ASSERT_TRUE(server_.start()) << "the private pulseaudio daemon did not start";
        pulseEnv_ = std::make_unique<testmedia::ScopedEnv>("PULSE_SERVER", server_.address());
        driverEnv_ = std::make_unique<testmedia::ScopedEnv>("SDL_AUDIODRIVER", QByteArray());
    }
    void TearDown() override {
        if (inited_) BASS_Free();
        velorixa::audio::setOutputPreference({}, velorixa::audio::kDefaultOutputBuffer);
    }

    void init(const std::string& chosen = {}, int bufferFrames = 512) {
        velorixa::audio::setOutputPreference(chosen, bufferFrames);
        inited_ = BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr) != 0;
        ASSERT_TRUE(inited_);
        ASSERT_NE(velorixa::audio::engineSlot()->pulse(), nullptr) << "not through the server";
    }
    // Plays a sine file of freqHz at pitch percent of its rate.
    audiotest::Chain play(double freqHz, double seconds = 20, int pitchPercent = 100) {
        const std::string path = dir_.file("tone.wav");
        EXPECT_TRUE(testmedia::writeFile(
            path, testmedia::wavBytes(testmedia::sine(freqHz, seconds, 44100, 2, kAmplitude))));
        audiotest::Chain c = audiotest::openChain(path);
        if (pitchPercent != 100) BASS_FX_PitchSet(c.source, 44100 * pitchPercent / 100);
        return c;
    }
    double seconds(const audiotest::Chain& c) {
        return BASS_ChannelBytes2Seconds(c.source, BASS_ChannelGetPosition(c.source));
    }
    // The tone heard in the last 100 ms recorded.
    static bool hearing(PulseServer::Recorder& r, double freqHz) {
        const auto& s = r.samples();
        const size_t win = PulseServer::kRecordRate / 10, frames = s.size() / 2;
        return frames > win && testmedia::toneAmplitude(s, frames - win, win, freqHz) > kHeard;
    }
    static std::string messages() {
        std::string all;
        for (const std::string& m : velorixa::audio::takeOutputMessages())
            all += m + "\n";
        return all;
    }

    PulseServer server_;
    audiotest::TempDir dir_;
    std::unique_ptr<testmedia::ScopedEnv> pulseEnv_, driverEnv_;
    bool inited_ = false;
};

TEST_F(PulseOutputTest, StreamIsNamedVelorixaWithTheRoleMusicInTheServer) {
    init();
    play(440);
    QByteArray inputs;
    ASSERT_TRUE(waitFor(
        [&] {
            inputs = server_.pactl({"list", "sink-inputs"});
            return inputs.contains("media.role = \"music\"");
        },
        5000))
        << inputs.toStdString();
    EXPECT_TRUE(inputs.contains("media.name = \"Velorixa\"")) << inputs.toStdString();
    EXPECT_TRUE(inputs.contains("application.name = \"Velorixa\"")) << inputs.toStdString();
}

TEST_F(PulseOutputTest, ListsTheServersOutputsWithItsDefaultFirst) {
    struct Case {
        const char* defaultSink;
        std::vector<std::string> order;
    };
    init();
    for (const Case& c : {Case{"b", {"b", "a"}}, Case{"a", {"a", "b"}}}) {
        server_.pactl({"set-default-sink", c.defaultSink});
        std::vector<std::string> names;
        EXPECT_TRUE(waitFor(
            [&] {
                names.clear();
                for (const auto& d : velorixa::audio::outputDevices())
                    names.push_back(d.name);
                return names == c.order;
            },
            5000))
            << "default " << c.defaultSink << ": first " << (names.empty() ? "" : names[0]);
    }
}

TEST_F(PulseOutputTest, TheToneIsHeardOnTheChosenOutputOnly) {
    for (const char* chosen : {"b", "a"}) {
        init(chosen);
        auto& onA = server_.record("a");
        auto& onB = server_.record("b");
        play(440);
        auto& heard = std::string(chosen) == "a" ? onA : onB;
        auto& other = std::string(chosen) == "a" ? onB : onA;
        EXPECT_TRUE(waitFor([&] { return hearing(heard, 440); }, 5000));
        QTest::qWait(300);
        const auto& s = other.samples();
        EXPECT_LT(testmedia::toneAmplitude(s, 0, s.size() / 2, 440), 0.01);
        EXPECT_EQ(velorixa::audio::outputInUse(), chosen);
        BASS_Free();
        inited_ = false;
    }
}

TEST_F(PulseOutputTest, ASwitchWhilePlayingMovesTheSoundWithin200MsWithoutAClick) {
    init("a");
    auto& onA = server_.record("a");
    auto& onB = server_.record("b");
    const auto chain = play(440);
    ASSERT_TRUE(waitFor([&] { return hearing(onA, 440); }, 5000));
    QTest::qWait(300);
    const size_t mark = onB.frames();  // no later than the moment of the switch on b's clock
    const double before = seconds(chain);
    velorixa::audio::chooseOutput("b");
    ASSERT_TRUE(waitFor([&] { return hearing(onB, 440); }, 5000));
    QTest::qWait(500);
    const auto& b = onB.samples();
    const long onset = testmedia::firstToneFrame(b, mark, 440, kHeard);
    ASSERT_GE(onset, 0);
    EXPECT_LT(double(onset - long(mark)) / PulseServer::kRecordRate, 0.2);
    const size_t aFrames = onA.frames();
    QTest::qWait(300);
    EXPECT_GT(onA.frames(), aFrames) << "a stopped recording";
    EXPECT_FALSE(hearing(onA, 440)) << server_.pactl({"list", "sink-inputs"}).toStdString();
    EXPECT_EQ(velorixa::audio::outputInUse(), "b");
    // The fade in: no step above the tone's own, from the silence before to the music after.
    std::vector<float> around(b.begin() + std::max<long>(0, onset - 4800) * 2,
                              b.begin() + std::min<long>(long(b.size() / 2), onset + 9600) * 2);
    audiotest::ListenOnFailure keep("switch", around, PulseServer::kRecordRate);
    EXPECT_LT(testmedia::measureSteps(around, 440, 1e-3, PulseServer::kRecordRate).worstRatio, 1.5);
    // Nothing skipped: the position went on by about the time that passed.
    EXPECT_GT(seconds(chain), before);
}

TEST_F(PulseOutputTest, AnOutputPulledWhilePlayingGoesOnTheDefaultWithin1SAndComesBack) {
    init("b");
    auto& onA = server_.record("a");
    const auto chain = play(440, 30);
    ASSERT_TRUE(waitFor([&] { return velorixa::audio::outputInUse() == "b"; }, 5000));
    QTest::qWait(500);
    messages();
    const double before = seconds(chain);
    const size_t mark = onA.frames();
    ASSERT_TRUE(server_.unloadSink("b"));
    ASSERT_TRUE(waitFor([&] { return hearing(onA, 440); }, 5000));
    const long onset = testmedia::firstToneFrame(onA.samples(), mark, 440, kHeard);
    ASSERT_GE(onset, 0);
    EXPECT_LT(double(onset - long(mark)) / PulseServer::kRecordRate, 1.0);
    // From where it was: no more than the lost queue and the time it took behind.
    const double after = seconds(chain);
    EXPECT_GE(after, before);
    EXPECT_LT(after - before, 3.0);
    EXPECT_NE(messages().find("playing through a"), std::string::npos);
    // Plugged back: the sound returns to it.
    ASSERT_TRUE(server_.loadSink("b", 44100));
    auto& onB = server_.record("b");
    EXPECT_TRUE(waitFor([&] { return hearing(onB, 440); }, 5000));
    EXPECT_EQ(velorixa::audio::outputInUse(), "b");
    EXPECT_TRUE(waitFor([&] { return !hearing(onA, 440); }, 5000));
}

TEST_F(PulseOutputTest, WithNoOutputLeftTheMusicWaitsWhereItWasAndGoesOnWhenOneComes) {
    init("a");
    const auto chain = play(440, 30);
    ASSERT_TRUE(waitFor([&] { return velorixa::audio::outputInUse() == "a"; }, 5000));
    QTest::qWait(300);
    ASSERT_TRUE(server_.unloadSink("a"));
    ASSERT_TRUE(server_.unloadSink("b"));
    EXPECT_TRUE(waitFor([&] { return velorixa::audio::outputInUse().empty(); }, 5000));
    QTest::qWait(200);
    const double held = seconds(chain);
    QTest::qWait(800);
    EXPECT_NEAR(seconds(chain), held, 0.05) << "the position went on with no output";
    EXPECT_EQ(BASS_ChannelIsActive(chain.channel), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_NE(messages().find("No sound output"), std::string::npos);
    ASSERT_TRUE(server_.loadSink("b", 44100));
    auto& onB = server_.record("b");
    EXPECT_TRUE(waitFor([&] { return hearing(onB, 440); }, 5000));
    EXPECT_GT(seconds(chain), held);
}

TEST_F(PulseOutputTest, TheServerEndingAndStartingAgainResumesTheMusicWithin2SFromWhereItWas) {
    init("a");
    const auto chain = play(440, 30);
    ASSERT_TRUE(waitFor([&] { return velorixa::audio::outputInUse() == "a"; }, 5000));
    QTest::qWait(500);
    server_.stop();
    ASSERT_TRUE(waitFor([&] { return velorixa::audio::outputInUse().empty(); }, 5000));
    QTest::qWait(300);
    const double held = seconds(chain);
    QTest::qWait(700);
    EXPECT_NEAR(seconds(chain), held, 0.05);
    ASSERT_TRUE(server_.start());
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(waitFor([&] { return velorixa::audio::outputInUse() == "a"; }, 10000));
    EXPECT_LT(back.elapsed(), 2000) << "the output came back late";
    // A recorder started on a server that has just come back takes up to 2 s itself before it
    // delivers; the tone must be in what it delivers from the start.
    auto& onA = server_.record("a");
    QElapsedTimer listening;
    listening.start();
    ASSERT_TRUE(waitFor([&] { return hearing(onA, 440); }, 10000));
    EXPECT_LT(listening.elapsed(), 500) << "the output was back but the music was not";
    EXPECT_LT(seconds(chain) - held, 2.5);
    const std::string said = messages();
    EXPECT_NE(said.find("Sound server lost"), std::string::npos) << said;
}

TEST_F(PulseOutputTest, TheOutputRunsAtTheOutputsOwnRateAndPitchIsHeardRight) {
    struct Case {
        const char* sink;
        int rateHz;
        int pitchPercent;
        double heardHz;
    };
    for (const Case& c :
         {Case{"a", 48000, 100, 440}, Case{"a", 48000, 150, 660}, Case{"b", 44100, 150, 660}}) {
        init(c.sink);
        EXPECT_EQ(velorixa::audio::outputRateHz(), c.rateHz);
        auto& rec = server_.record(c.sink);
        play(440, 20, c.pitchPercent);
        ASSERT_TRUE(waitFor([&] { return hearing(rec, c.heardHz); }, 5000));
        QTest::qWait(400);
        const auto& s = rec.samples();
        const auto left = audiotest::side(s, 0, s.size() / 2 - PulseServer::kRecordRate / 4);
        EXPECT_NEAR(testmedia::dominantFrequency(left.data(), left.size(), PulseServer::kRecordRate,
                                                 200, 2000),
                    c.heardHz, 1.0);
        BASS_Free();
        inited_ = false;
    }
}

TEST_F(PulseOutputTest, AMissingChosenOutputFallsBackToTheDefaultWithAMessage) {
    init("gone");
    auto& onA = server_.record("a");
    play(440);
    EXPECT_TRUE(waitFor([&] { return hearing(onA, 440); }, 5000));
    EXPECT_EQ(velorixa::audio::outputInUse(), "a");
    EXPECT_NE(messages().find("Output gone is not there: playing through a"), std::string::npos);
}

TEST_F(PulseOutputTest, ALargerBufferMeasuresALongerLatency) {
    init("a", 256);
    play(440);
    int small = -1, large = -1;
    ASSERT_TRUE(waitFor([&] { return (small = velorixa::audio::outputLatencyMs()) > 0; }, 5000));
    velorixa::audio::setOutputBuffer(4096);
    EXPECT_TRUE(
        waitFor([&] { return (large = velorixa::audio::outputLatencyMs()) > small + 50; }, 5000))
        << small << " ms, then " << large << " ms";
}

}  // namespace
