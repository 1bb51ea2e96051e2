// Effects hung on a playable channel: handles and records, their place in the chain (after the
// rate change, before volume and pan), removal, and freeing with the pitch channel.

#include "audio/realtime/fx/effect.h"
#include "audiotest.h"

using namespace audiotest;
using velorixa::fx::DX8Echo;
using velorixa::fx::DX8ParamEq;

namespace {

class FxChain : public testing::Test {
  protected:
    TempDir dir_;
    OfflineSession session_;
};

// Frames at which the rectified left side first exceeds `threshold`, after `from`.
size_t firstAbove(const std::vector<float>& left, float threshold, size_t from) {
    for (size_t i = from; i < left.size(); ++i) {
        if (std::fabs(left[i]) > threshold) return i;
    }
    return left.size();
}

}  // namespace

TEST_F(FxChain, HandlesAndRecords) {
    Chain c = openChain(writeMp3(dir_, "t.mp3", testmedia::sine(440, 2, 44100, 2)));
    for (DWORD type : {0u, 3u, 4u, 7u, 8u})
        EXPECT_NE(BASS_ChannelSetFX(c.channel, type), 0u);
    DWORD echo = BASS_ChannelSetFX(c.channel, BASS_FX_ECHO);
    DX8Echo rec{30, 40, 332, 333, 1};
    ASSERT_TRUE(BASS_FXSetParameters(echo, &rec));
    DX8Echo back{};
    ASSERT_TRUE(BASS_FXGetParameters(echo, &back));
    EXPECT_EQ(back.fWetDryMix, 30.f);
    EXPECT_EQ(back.fLeftDelay, 332.f);
    EXPECT_EQ(back.lPanDelay, 1);
    render(4096);  // all six effects run
    ASSERT_TRUE(BASS_ChannelRemoveFX(c.channel, echo));
    EXPECT_FALSE(BASS_FXGetParameters(echo, &back)) << "removed";
    DWORD eq = BASS_ChannelSetFX(c.channel, BASS_FX_PARAMEQ);
    ASSERT_TRUE(BASS_FX_PitchFree(c.source));
    DX8ParamEq p{};
    EXPECT_FALSE(BASS_FXGetParameters(eq, &p)) << "freed with the pitch channel";
}

TEST_F(FxChain, EffectsRunBeforePan) {
    // A ping-pong echo moves sound to the other side on each repeat; pan applied after the
    // effects still silences the right side entirely.
    Chain c = openChain(writeMp3(dir_, "t.mp3", testmedia::sine(440, 3, 44100, 2)));
    DWORD echo = BASS_ChannelSetFX(c.channel, BASS_FX_ECHO);
    DX8Echo rec{100, 50, 50, 80, 1};
    BASS_FXSetParameters(echo, &rec);
    BASS_ChannelSetAttributes(c.channel, -1, 100, -100);
    auto out = render(44100);
    auto right = side(out, 1, 2048);
    EXPECT_EQ(testmedia::peak(right.data(), right.size()), 0.0);
    EXPECT_GT(rmsOf(side(out, 0, 2048)), 0.1);
}

TEST_F(FxChain, EffectsRunAfterTheRateChange) {
    // A 50 ms burst at 0.5 s, then silence. Played at twice the rate it sounds at 0.25 s; an
    // echo of 200 ms follows 200 ms of output time later (before the rate change it would be
    // 100 ms).
    testmedia::Pcm pcm = testmedia::sine(800, 2, 44100, 2, 0.8);
    for (size_t f = 0; f < pcm.frames(); ++f) {
        if (f < 22050 || f >= 22050 + 2205) pcm.samples[2 * f] = pcm.samples[2 * f + 1] = 0;
    }
    Chain c = openChain(writeMp3(dir_, "burst.mp3", pcm, {.bitrateKbps = 192, .quality = 2}));
    BASS_FX_PitchSet(c.source, 88200);
    DWORD echo = BASS_ChannelSetFX(c.channel, BASS_FX_ECHO);
    DX8Echo rec{50, 0, 200, 200, 0};
    BASS_FXSetParameters(echo, &rec);
    auto left = side(render(44100), 0);
    size_t burst = firstAbove(left, 0.1f, 0);
    EXPECT_NEAR(double(burst) / 44100, 0.25, 0.01);
    size_t repeat = firstAbove(left, 0.1f, burst + 44100 / 20);
    EXPECT_NEAR(double(repeat - burst) / 44100, 0.2, 0.01);
}
