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

TEST_F(SoundTest, BandsLevelsAndBeatFollowToneStepSilenceAndNoise) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.9, 0.9);
    Pcm pcm;
    append(pcm, 0.6, tone(1000, 0.25));
    append(pcm, 0.6, tone(1000, 0.5));  // 6 dB up
    append(pcm, 0.5, silence());
    append(pcm, 0.5, [&](size_t) { return noise(rng); });
    append(pcm, 0.5, silence());
    const auto ticks = play(pcm);
    auto during = [&](double from, double to) {
        std::vector<Tick> in;
        for (const Tick& t : ticks)
            if (t.heard >= from && t.heard < to) in.push_back(t);
        EXPECT_GT(in.size(), 10u) << from << " s to " << to << " s";
        return in;
    };
    // Full scale is 64 after halving: 0.25 gives 16, 0.5 gives 32.
    for (const Tick& t : during(0.1, 0.55)) {
        EXPECT_EQ(t.out.LevL, t.out.LevR) << "the same tone on both sides";
        EXPECT_NEAR(t.out.LevL, 16, 1.5) << t.heard;
    }
    for (const Tick& t : during(0.7, 1.15)) {
        EXPECT_NEAR(t.out.LevL, 32, 1.5) << t.heard;
        // 1 kHz lies at bin 11.6 (86 Hz a bin): band 4 holds bins 7..14. 250 Hz (bin 2.9)
        // would light band 2 or 3, 4 kHz (bin 46) band 6.
        EXPECT_GE(t.bands[4], 40) << t.heard;
        EXPECT_LE(t.bands[2] + t.bands[6], 2) << t.heard;
    }
    // The FFT looks at the last 512 samples (11.6 ms): two ticks after the tone it sees none.
    const auto firstSilent = static_cast<size_t>(
        std::find_if(ticks.begin(), ticks.end(), [](const Tick& t) { return t.heard >= 1.2; }) -
        ticks.begin());
    ASSERT_LT(firstSilent + 2, ticks.size());
    EXPECT_GT(ticks[firstSilent - 2].bands[4], 40) << "the tone just before";
    for (size_t i = firstSilent + 2; ticks[i].heard < 1.65; ++i)
        EXPECT_EQ(ticks[i].beat, 0.0f) << ticks[i].heard;
    // Loud broadband sound drives the beat level up; silence brings it to nothing.
    for (const Tick& t : during(1.8, 2.15))
        EXPECT_GT(t.beat, 300.0f) << "the sequencer waits while it is above 100; " << t.heard;
    for (const Tick& t : during(2.3, 2.6))
        EXPECT_EQ(t.beat, 0.0f) << t.heard;
}

}  // namespace
}  // namespace velorixa::display
