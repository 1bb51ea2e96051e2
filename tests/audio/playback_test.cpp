// The output chain rendered offline: playback rate, volume, pan, stream and master volumes,
// level and spectrum scales, transport states, clicks under rate changes, control latency.

#include <algorithm>

#include "audiotest.h"

using namespace audiotest;

namespace {

class Playback : public testing::Test {
  protected:
    // A stereo sine, 4 s, opened as the player opens a file.
    Chain open(double freqHz, double amplitude = 0.5, int rateHz = 44100, double seconds = 4) {
        auto pcm = testmedia::sine(freqHz, seconds, rateHz, 2, amplitude);
        return openChain(writeMp3(dir_, "tone.mp3", pcm, {.bitrateKbps = 192, .quality = 2}));
    }

    TempDir dir_;
    OfflineSession session_;
};

double maxStep(const std::vector<float>& x) {
    double worst = 0;
    for (size_t i = 1; i < x.size(); ++i)
        worst = std::max(worst, double(std::fabs(x[i] - x[i - 1])));
    return worst;
}

}  // namespace

TEST_F(Playback, PositionFollowsWhatIsPlayedAtAnyRate) {
    Chain c = open(440, 0.5, 44100, 6);
    render(44100);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(c.source, BASS_ChannelGetPosition(c.source)), 1.0, 0.01);
    BASS_FX_PitchSet(c.source, 88200);  // one second of output now plays two of the source
    render(44100);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(c.source, BASS_ChannelGetPosition(c.source)), 3.0, 0.02);
    EXPECT_EQ(BASS_ChannelGetPosition(c.channel), BASS_ChannelGetPosition(c.source))
        << "the playable channel reports its source's position";
}

TEST_F(Playback, VolumePanStreamAndMasterGains) {
    Chain c = open(440);
    render(4096);
    auto measure = [] {
        render(1024);  // let the ramps finish
        auto out = render(8192);
        return std::pair{rmsOf(side(out, 0)), rmsOf(side(out, 1))};
    };
    auto [l0, r0] = measure();
    ASSERT_NEAR(l0, 0.5 / std::sqrt(2.0), 0.02);
    struct Case {
        int volume, pan, stream, master;
        double left, right;
    };
    const Case cases[] = {
        {50, 0, 100, 100, 0.5, 0.5},    {100, 50, 100, 100, 0.5, 1.0},
        {100, 100, 100, 100, 0.0, 1.0}, {100, 0, 25, 100, 0.25, 0.25},
        {100, 0, 100, 40, 0.4, 0.4},    {50, -20, 50, 50, 0.125, 0.1},
        {0, 0, 100, 100, 0.0, 0.0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << k.volume << " pan " << k.pan << " stream "
                                        << k.stream << " master " << k.master);
        ASSERT_TRUE(BASS_ChannelSetAttributes(c.channel, -1, k.volume, k.pan));
        ASSERT_TRUE(BASS_SetGlobalVolumes(-1, -1, k.stream));
        ASSERT_TRUE(BASS_SetVolume(static_cast<DWORD>(k.master)));
        auto [l, r] = measure();
        EXPECT_NEAR(l / l0, k.left, 0.01);
        EXPECT_NEAR(r / r0, k.right, 0.01);
    }
}

TEST_F(Playback, SpectrumPeaksAtTheToneBin) {
    // Bin 20 of a 512-point FFT at 44.1 kHz.
    const double binHz = 44100.0 / 512;
    Chain c = open(20 * binHz, 0.9);
    render(4096);
    float fft[1025];
    std::fill(std::begin(fft), std::end(fft), -1.f);
    ASSERT_EQ(BASS_ChannelGetData(c.channel, fft, BASS_DATA_FFT512), 1024u);
    auto peak = std::max_element(fft, fft + 256);
    EXPECT_EQ(peak - fft, 20);
    EXPECT_NEAR(*peak, 0.9, 0.06) << "a sine of amplitude A peaks near A";
    EXPECT_LT(fft[40], 0.01f);
    EXPECT_EQ(fft[256], -1.f) << "only 256 values are written";
}

TEST_F(Playback, PauseResumeStopAndEnd) {
    Chain c = open(440, 0.5, 44100, 1.5);
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 1u);
    render(8192);
    ASSERT_TRUE(BASS_ChannelPause(c.source));
    ASSERT_TRUE(BASS_ChannelPause(c.channel));
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 3u);
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 3u);
    render(1024);  // the fade-out block
    DWORD pos = BASS_ChannelGetPosition(c.source);
    auto quiet = render(4096);
    EXPECT_EQ(testmedia::peak(quiet.data(), quiet.size()), 0.0);
    EXPECT_EQ(BASS_ChannelGetPosition(c.source), pos) << "a paused channel does not move";
    ASSERT_TRUE(BASS_ChannelResume(c.source));
    ASSERT_TRUE(BASS_ChannelResume(c.channel));
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 1u);
    auto loud = render(4096);
    EXPECT_GT(rmsOf(side(loud, 0, 1024)), 0.3);
    // Resuming fades in: no step from silence to full level.
    EXPECT_LT(maxStep(side(loud, 0)), 0.08);

    ASSERT_TRUE(BASS_ChannelStop(c.channel));
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 1u) << "the source is not stopped with it";
    ASSERT_TRUE(BASS_StreamPlay(c.channel, 0, 0));
    // Play to the end: the source ends once drained, the channel right after.
    render(44100 * 2);
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(c.source), BASS_StreamGetLength(c.source));
    // Playing an ended channel starts it from the beginning.
    ASSERT_TRUE(BASS_StreamPlay(c.channel, 0, 0));
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 1u);
    EXPECT_EQ(BASS_ChannelGetPosition(c.source), 0u);
    // Stopping the source ends both for the player's questions.
    ASSERT_TRUE(BASS_ChannelStop(c.source));
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 0u);
}

TEST_F(Playback, FreeingTakesThePitchChannelAlong) {
    Chain c = open(440);
    render(2048);
    ASSERT_TRUE(BASS_FX_PitchFree(c.source));
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 0u);
    EXPECT_EQ(BASS_FX_PitchGetResampledHandle(c.source), 0u);
    auto out = render(2048);
    EXPECT_EQ(testmedia::peak(out.data(), out.size()), 0.0);
    // The player's order: the source first, then the pitch channel of the freed source.
    DWORD again = BASS_FX_PitchCreate(c.source);
    ASSERT_NE(again & 0xFFFF, 0u);
    ASSERT_TRUE(BASS_StreamFree(c.source));
    EXPECT_EQ(BASS_ChannelIsActive(again), 0u);
    EXPECT_FALSE(BASS_FX_PitchFree(c.source));
}

TEST_F(Playback, ControlChangesApplyWithinOneBlock) {
    // A volume change made between two renders is complete by the end of the next 512-frame
    // block: the device period is the whole latency.
    Chain c = open(440);
    render(4096);
    BASS_ChannelSetAttributes(c.channel, -1, 0, -101);
    auto out = render(1024);
    EXPECT_GT(testmedia::peak(out.data(), 200), 0.1) << "ramped, not cut";
    EXPECT_EQ(testmedia::peak(out.data() + 1024, 1024), 0.0) << "silent after one block";
}
