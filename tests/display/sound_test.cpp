// The analyser on real sound: generated MP3 files played through the audio layer's offline
// output, one display tick (10 ms) rendered between analyses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "audio/audiotest.h"
#include "display/sfft.h"

namespace velorixa::display {
namespace {

using audiotest::Chain;
using audiotest::OfflineSession;
using audiotest::TempDir;
using testmedia::Pcm;

constexpr int kRate = 44100;
constexpr size_t kTickFrames = kRate / 100;

// Stretches of sound one after the other: each a generator of one sample per frame.
template <class F>
void append(Pcm& pcm, double seconds, F sample) {
    const size_t n = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < n; ++i) {
        const auto v = static_cast<int16_t>(std::lround(std::clamp(sample(i), -1.0, 1.0) * 32767));
        pcm.samples.push_back(v);
        pcm.samples.push_back(v);
    }
}
auto tone(double hz, double amplitude) {
    return [=](size_t i) { return amplitude * std::sin(2 * M_PI * hz * double(i) / kRate); };
}
auto silence() {
    return [](size_t) { return 0.0; };
}

class SoundTest : public ::testing::Test {
  protected:
    // Plays pcm and runs the analyser once per 10 ms of rendered output; returns, per tick, the
    // position heard (seconds) and what the analyser made of it.
    struct Tick {
        double heard;
        std::array<int, 9> bands;
        FftTick out;
        float beat;
    };
    std::vector<Tick> play(const Pcm& pcm) {
        std::string path = audiotest::writeMp3(dir_, "s.mp3", pcm);
        Chain c = audiotest::openChain(path);
        sfft_.SampleFftBase(0);
        sfft_.InitFft();
        sfft_.AllocFft();
        std::vector<Tick> ticks;
        const double seconds = double(pcm.frames()) / kRate;
        while (ticks.size() < static_cast<size_t>(seconds * 100) - 5) {
            audiotest::render(kTickFrames);
            FftTick t = sfft_.DrawFft(c.channel);
            ticks.push_back(
                {audiotest::positionSeconds(c.channel), sfft_.Bands(), t, sfft_.GetBeatLevel()});
        }
        BASS_StreamFree(c.source);
        return ticks;
    }

    OfflineSession session_{kRate};
    TempDir dir_;
    SFFT sfft_;
};

TEST_F(SoundTest, AToneLightsTheBandOfItsBinAndNotTwoOctavesAway) {
    Pcm pcm;
    append(pcm, 1.0, tone(1000, 0.5));
    auto ticks = play(pcm);
    ASSERT_GT(ticks.size(), 50u);
    // 1 kHz lies at bin 11.6 (86 Hz a bin): band 4 holds bins 7..14. 250 Hz (bin 2.9) would
    // light band 2 or 3, 4 kHz (bin 46) band 6.
    for (size_t i = 20; i < ticks.size(); ++i) {
        const auto& b = ticks[i].bands;
        EXPECT_GE(b[4], 40) << "tick " << i;
        EXPECT_LE(b[2] + b[6], 2) << "tick " << i;
    }
}

TEST_F(SoundTest, SilenceAfterAToneEmptiesTheBarsWithinAFewTicks) {
    Pcm pcm;
    append(pcm, 1.0, tone(1000, 0.5));
    append(pcm, 1.0, silence());
    auto ticks = play(pcm);
    auto firstSilent =
        std::find_if(ticks.begin(), ticks.end(), [](const Tick& t) { return t.heard >= 1.0; });
    ASSERT_NE(firstSilent, ticks.end());
    const auto nth = firstSilent - ticks.begin();
    EXPECT_GT(ticks[static_cast<size_t>(nth) - 2].bands[4], 40) << "the tone just before";
    // The FFT looks at the last 512 samples (11.6 ms): two ticks after the tone it sees none.
    for (size_t i = static_cast<size_t>(nth) + 2; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].beat, 0.0f) << "tick " << i << " at " << ticks[i].heard << " s";
    }
}

TEST_F(SoundTest, LevelsFollowASixDecibelStep) {
    Pcm pcm;
    append(pcm, 0.6, tone(440, 0.5));
    append(pcm, 0.6, tone(440, 0.25));
    auto ticks = play(pcm);
    auto levelsBetween = [&](double from, double to) {
        std::vector<float> l;
        for (const Tick& t : ticks) {
            if (t.heard >= from && t.heard < to) {
                EXPECT_EQ(t.out.LevL, t.out.LevR) << "the same tone on both sides";
                l.push_back(t.out.LevL);
            }
        }
        return l;
    };
    // Full scale is 64 after halving: 0.5 gives 32, 0.25 gives 16.
    for (float l : levelsBetween(0.1, 0.55))
        EXPECT_NEAR(l, 32, 1.5);
    for (float l : levelsBetween(0.7, 1.1))
        EXPECT_NEAR(l, 16, 1.5);
}

TEST_F(SoundTest, BeatLevelRisesWithLoudBroadbandSoundAndFallsInSilence) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.9, 0.9);
    Pcm pcm;
    append(pcm, 0.5, silence());
    append(pcm, 0.5, [&](size_t) { return noise(rng); });
    append(pcm, 0.5, silence());
    auto ticks = play(pcm);
    float before = 0, during = 1e9f, after = 0;
    for (const Tick& t : ticks) {
        if (t.heard > 0.05 && t.heard < 0.45) before = std::max(before, t.beat);
        if (t.heard > 0.6 && t.heard < 0.95) during = std::min(during, t.beat);
        if (t.heard > 1.1) after = std::max(after, t.beat);
    }
    EXPECT_EQ(before + after, 0.0f);
    EXPECT_GT(during, 300.0f) << "the sequencer waits while it is above 100";
}

}  // namespace
}  // namespace velorixa::display
