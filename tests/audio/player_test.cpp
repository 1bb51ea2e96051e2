// The player object against real decoded audio, rendered offline.
#include "audio/player.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "audio/audiolib.h"
#include "audio/realtime/fx/effect.h"
#include "common/testmedia.h"

namespace velorixa {
namespace {

using testmedia::Pcm;

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr));
    }
    void TearDown() override {
        player_.ExitForm();
        BASS_Free();
    }

    std::string makeMp3(const Pcm& pcm, const char* name, testmedia::Mp3Options opt = {}) {
        std::string path = (dir_.path() + "/" + name).toStdString();
        EXPECT_TRUE(testmedia::writeFile(path, testmedia::encodeMp3(pcm, opt)));
        return path;
    }

    // Renders seconds of output, waiting for the decoder so the audio is exact.
    std::vector<float> render(double seconds) {
        const DWORD total = static_cast<DWORD>(seconds * 44100);
        std::vector<float> out(2 * total);
        DWORD done = 0;
        while (done < total) {
            DWORD n = std::min<DWORD>(1024, total - done);
            waitForDecoder(n);
            done += VX_Render(out.data() + 2 * done, n);
        }
        return out;
    }
    // Waits until the decoder has frames ready, or has stopped adding any (the file's end).
    void waitForDecoder(DWORD frames) {
        DWORD last = 0;
        int still = 0;
        for (int i = 0; i < 2000 && still < 30; ++i) {
            DWORD have = VX_ChannelBuffered(player_.ChanEQL);
            if (have == static_cast<DWORD>(-1) || have >= frames * 2 ||
                BASS_ChannelIsActive(player_.ChanEQL) != BASS_ACTIVE_PLAYING) {
                return;
            }
            still = have == last ? still + 1 : 0;
            last = have;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    static std::vector<float> left(const std::vector<float>& stereo, size_t from, size_t count) {
        std::vector<float> l;
        for (size_t i = from; i < from + count && 2 * i < stereo.size(); ++i) {
            l.push_back(stereo[2 * i]);
        }
        return l;
    }

    bool start(const std::string& path, double frq = 100, double vol = 100, double pan = 0) {
        return player_.StartPlay(QString::fromStdString(path), 2, frq, vol, pan, {0, 50, 50, 50},
                                 {0, 100, 100, 100, 100});
    }

    QTemporaryDir dir_;
    PLAYER player_;
};

TEST_F(PlayerTest, LengthRoundsHalvesToEven) {
    // 8 kHz mono keeps the files small; the LAME header gives the exact sample count.
    struct Case {
        double seconds;
        int expected;
    } cases[] = {{2.5, 2}, {3.5, 4}, {3.4, 3}, {0.4, 0}};
    for (const Case& c : cases) {
        auto path = makeMp3(testmedia::sine(440, c.seconds, 8000, 1), "len.mp3");
        ASSERT_TRUE(start(path)) << c.seconds;
        EXPECT_EQ(player_.GetFileLen(), c.expected) << c.seconds;
        EXPECT_EQ(player_.GetFreqStr(), 8000);
    }
}

TEST_F(PlayerTest, PitchRateMapping) {
    EXPECT_EQ(PLAYER::PitchRateHz(100, 44100), 44100u);
    EXPECT_EQ(PLAYER::PitchRateHz(99, 44100), 43880u);  // 0.995 x 44100 = 43879.5 -> even
    EXPECT_EQ(PLAYER::PitchRateHz(150, 44100), 88200u);
    EXPECT_EQ(PLAYER::PitchRateHz(200, 44100), 132300u);
    EXPECT_EQ(PLAYER::PitchRateHz(50, 44100), 33075u);
    EXPECT_EQ(PLAYER::PitchRateHz(0, 44100), 22050u);
    EXPECT_EQ(PLAYER::PitchRateHz(101, 32000), 32640u);
}

TEST_F(PlayerTest, SpeedKnobChangesTheHeardFrequency) {
    auto path = makeMp3(testmedia::sine(500, 3, 44100, 2), "tone.mp3");
    for (auto [frq, factor] : {std::pair{100.0, 1.0}, {150.0, 2.0}, {99.0, 0.995}, {50.0, 0.75}}) {
        ASSERT_TRUE(start(path, frq));
        auto out = render(0.8);
        auto l = left(out, 8820, 16384);  // skip the first 200 ms (rate glide, codec delay)
        double f = testmedia::dominantFrequency(l.data(), l.size(), 44100, 200, 1500);
        EXPECT_NEAR(f / 500, factor, 0.002) << "FRQ " << frq;
    }
}

TEST_F(PlayerTest, ChanAttrKeepsWhatMinusOneLeaves) {
    auto path = makeMp3(testmedia::sine(440, 1, 22050, 2), "a.mp3");
    ASSERT_TRUE(start(path, 100, 80, -30));
    DWORD freq = 0, vol = 0;
    int pan = 0;
    BASS_ChannelGetAttributes(player_.ChanPIT, &freq, &vol, &pan);
    EXPECT_EQ(vol, 80u);
    EXPECT_EQ(pan, -30);
    player_.SetChanAttr(-1, -1, -101);
    BASS_ChannelGetAttributes(player_.ChanPIT, &freq, &vol, &pan);
    EXPECT_EQ(freq, 22050u);
    EXPECT_EQ(vol, 80u);
    EXPECT_EQ(pan, -30);
    player_.SetChanAttr(-1, 40, 20);  // rate untouched, volume and balance set
    BASS_ChannelGetAttributes(player_.ChanPIT, &freq, &vol, &pan);
    EXPECT_EQ(freq, 22050u);
    EXPECT_EQ(vol, 40u);
    EXPECT_EQ(pan, 20);
    player_.SetChanAttr(150, -1, -101);
    BASS_ChannelGetAttributes(player_.ChanPIT, &freq, nullptr, nullptr);
    EXPECT_EQ(freq, 44100u);
}

TEST_F(PlayerTest, EqualiserSliderGivesWholeDecibels) {
    auto path = makeMp3(testmedia::sine(440, 1, 22050, 1), "eq.mp3");
    ASSERT_TRUE(start(path));
    for (auto [val, gain] : {std::pair{0, 10.f}, {4, 10.f}, {5, 9.f}, {50, 0.f}, {100, -10.f}}) {
        for (int band = 1; band <= 3; ++band) {
            player_.UpdateEQL(static_cast<int16_t>(band), static_cast<uint8_t>(val));
            fx::DX8ParamEq p{};
            ASSERT_TRUE(BASS_FXGetParameters(player_.EqlArrFx[band], &p));
            EXPECT_FLOAT_EQ(p.fGain, gain) << "slider " << val << " band " << band;
        }
    }
    fx::DX8ParamEq p{};
    BASS_FXGetParameters(player_.EqlArrFx[2], &p);
    EXPECT_FLOAT_EQ(p.fCenter, 700);
    EXPECT_FLOAT_EQ(p.fBandwidth, 18);
}

TEST_F(PlayerTest, EffectSlidersSilentAtHundredStrongestAtZero) {
    auto path = makeMp3(testmedia::sine(440, 1, 22050, 1), "fx.mp3");
    ASSERT_TRUE(start(path));
    fx::DX8Reverb rv{};
    fx::DX8Echo ec{};
    fx::DX8Flanger fl{};
    fx::DX8Chorus ch{};
    auto read = [&] {
        BASS_FXGetParameters(player_.EffArrFx[1], &rv);
        BASS_FXGetParameters(player_.EffArrFx[2], &ec);
        BASS_FXGetParameters(player_.EffArrFx[3], &fl);
        BASS_FXGetParameters(player_.EffArrFx[4], &ch);
    };
    read();  // started with every effect slider at 100
    EXPECT_FLOAT_EQ(rv.fReverbMix, -96);
    EXPECT_FLOAT_EQ(ec.fWetDryMix, 0);
    EXPECT_FLOAT_EQ(ec.fFeedback, 40);
    EXPECT_FLOAT_EQ(ec.fLeftDelay, 332);
    EXPECT_FLOAT_EQ(fl.fWetDryMix, 0);
    EXPECT_FLOAT_EQ(fl.fFeedback, -75);
    EXPECT_FLOAT_EQ(ch.fWetDryMix, 0);
    EXPECT_FLOAT_EQ(ch.fFeedback, -85);
    for (int i = 1; i <= 4; ++i)
        player_.UpdateEFF(static_cast<int16_t>(i), 0);
    read();
    EXPECT_FLOAT_EQ(rv.fReverbMix, 0);
    EXPECT_FLOAT_EQ(ec.fWetDryMix, 100);
    EXPECT_FLOAT_EQ(ec.fFeedback, 60);
    EXPECT_FLOAT_EQ(fl.fWetDryMix, 100);
    EXPECT_FLOAT_EQ(ch.fWetDryMix, 100);
    EXPECT_FLOAT_EQ(ch.fFeedback, -95);
    player_.UpdateEFF(4, 55);  // q = 11: feedback -85 - 9 / 2 keeps its half
    read();
    EXPECT_FLOAT_EQ(ch.fFeedback, -89.5f);
    EXPECT_FLOAT_EQ(ch.fWetDryMix, 45);
    player_.UpdateEFF(1, 50);  // q = 10: -0.012 x 1000
    read();
    EXPECT_NEAR(rv.fReverbMix, -12, 1e-4);
    // Index 5 changes nothing; values beyond 100 stay inside the published ranges.
    player_.UpdateEFF(5, 0);
    player_.UpdateEFF(2, 255);
    player_.UpdateEQL(1, 255);
    read();
    EXPECT_GE(ec.fWetDryMix, 0);
    EXPECT_GE(ec.fFeedback, 0);
    fx::DX8ParamEq eq{};
    BASS_FXGetParameters(player_.EqlArrFx[1], &eq);
    EXPECT_GE(eq.fGain, -15);
}

TEST_F(PlayerTest, PositionOnlyWhilePlayingAndSeekOnlyThen) {
    // One second each of 300, 600, 900 and 1200 Hz.
    auto path = makeMp3(testmedia::toneSteps({300, 600, 900, 1200}, 44100, 2), "steps.mp3");
    ASSERT_TRUE(start(path));
    render(0.3);
    EXPECT_GE(player_.GetFilePos(), 0.0f);
    EXPECT_TRUE(player_.GetChannelActive());
    player_.PausPlay();
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
    EXPECT_FALSE(player_.SetPPlay(2.5f));
    EXPECT_FALSE(player_.GetFileEnd());
    player_.ResuPlay();
    ASSERT_TRUE(player_.SetPPlay(2.2f));
    auto out = render(0.5);
    auto l = left(out, 4410, 8192);
    EXPECT_NEAR(testmedia::dominantFrequency(l.data(), l.size(), 44100, 100, 2000), 900, 5);
    float pos = player_.GetFilePos();
    EXPECT_GT(pos, 2.2f);
    EXPECT_LT(pos, 2.9f);
}

TEST_F(PlayerTest, EndOfFileAndStopStates) {
    auto path = makeMp3(testmedia::sine(440, 0.5, 44100, 2), "short.mp3");
    ASSERT_TRUE(start(path));
    EXPECT_FALSE(player_.GetFileEnd());
    render(1.5);
    EXPECT_TRUE(player_.GetFileEnd());
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
    ASSERT_TRUE(start(path));
    player_.StopPlay();
    EXPECT_FALSE(player_.GetFilePlayPerf());
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
}

TEST_F(PlayerTest, BadSourcesFailAndLeaveNothingPlaying) {
    auto good = makeMp3(testmedia::sine(440, 1, 22050, 2), "good.mp3");
    ASSERT_TRUE(start(good));
    std::string text = (dir_.path() + "/notes.mp3").toStdString();
    testmedia::writeFile(text, std::string("these are not the sounds you are looking for\n"));
    for (const std::string& bad :
         {text, (dir_.path() + "/missing.mp3").toStdString(), dir_.path().toStdString()}) {
        EXPECT_FALSE(start(bad)) << bad;
        EXPECT_EQ(player_.ChanEQL, 0u);
        EXPECT_FALSE(player_.GetFilePlayPerf());
        EXPECT_EQ(player_.GetFilePos(), -1.0f);
        EXPECT_FALSE(player_.SetPPlay(0.5f));
    }
    // Name kinds other than 1 and 2 open nothing.
    EXPECT_FALSE(player_.StartPlay(QString::fromStdString(good), 0, 100, 100, 0, {}, {}));
}

TEST(PlayerText, CStrToTextTakesUtf8ElseLatin1) {
    EXPECT_EQ(PLAYER::CStrToText(nullptr), "");
    EXPECT_EQ(PLAYER::CStrToText(""), "");
    EXPECT_EQ(PLAYER::CStrToText("StreamTitle='Caf\xc3\xa9';"),
              QString::fromUtf8("StreamTitle='Café';"));
    EXPECT_EQ(PLAYER::CStrToText("StreamTitle='Caf\xe9';"),
              QString::fromUtf8("StreamTitle='Café';"));
    const char two[] = "first\0second";
    EXPECT_EQ(PLAYER::CStrToText(two), "first");
}

}  // namespace
}  // namespace velorixa
