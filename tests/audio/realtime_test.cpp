// Real-time outputs: the no-sound device's timer thread, SDL's disk driver, and calls
// from several threads while the audio thread runs.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "audio/decode/decoder.h"
#include "audio/decode/source.h"
#include "audio/realtime/channel.h"
#include "audiotest.h"

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

// Waits (bounded) until the position of `handle` has passed `atLeast` seconds.
bool waitForPosition(DWORD handle, double atLeast) {
    for (int i = 0; i < 500; ++i) {
        if (positionSeconds(handle) >= atLeast) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

}  // namespace

TEST(AudioRealtime, NoSoundDevicePlaysByItself) {
    TempDir dir;
    auto path = writeMp3(dir, "t.mp3", testmedia::sine(440, 10, 44100, 2), {.quality = 9});
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
    Chain c = openChain(path);
    EXPECT_TRUE(waitForPosition(c.source, 0.2)) << "the timer thread plays it";
    EXPECT_EQ(BASS_ChannelIsActive(c.source), 1u);
    EXPECT_GT(BASS_ChannelGetLevel(c.channel) & 0xFFFF, 0u);
    float cpu = BASS_GetCPU();
    EXPECT_GT(cpu, 0.f);
    EXPECT_LT(cpu, 100.f);
    float out[2 * 512];
    EXPECT_EQ(VX_Render(out, 512), 0u) << "not while the output runs";
    ASSERT_TRUE(BASS_Stop());
    double held = positionSeconds(c.source);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(positionSeconds(c.source), held) << "stopped output, nothing moves";
    EXPECT_EQ(VX_Render(out, 512), 512u) << "offline rendering while stopped";
    ASSERT_TRUE(BASS_Start());
    EXPECT_TRUE(waitForPosition(c.source, held + 0.1));
    EXPECT_TRUE(BASS_Free());
}

TEST(AudioRealtime, SdlDiskDriverWritesTheRealOutput) {
    TempDir dir;
    auto path = writeMp3(dir, "t.mp3", testmedia::sine(1000, 10, 44100, 2, 0.8), {.quality = 2});
    auto outFile = dir.file("out.raw");
    // Set for this test only: the others play on the offline or no-sound device.
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr)) << "no output, no init";
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", outFile.c_str(), 1);
    const bool init = BASS_Init(VX_DEVICE_DEFAULT, 44100, 0, nullptr);
    ::unsetenv("SDL_AUDIODRIVER");
    ::unsetenv("SDL_DISKAUDIOFILE");
    ASSERT_TRUE(init);
    BASS_INFO info{};
    info.size = sizeof info;
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(info.dsver, 8u);
    EXPECT_GT(info.latency, 0u);
    ASSERT_TRUE(BASS_SetVolume(50));
    Chain c = openChain(path);
    BASS_ChannelSetAttributes(c.channel, -1, -1, 100);  // right only
    EXPECT_TRUE(waitForPosition(c.source, 0.5));
    ASSERT_TRUE(BASS_Free());
    // The disk driver writes what the callback produced: 32-bit float stereo at 44.1 kHz.
    std::ifstream in(outFile, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> stereo(bytes.size() / sizeof(float));
    std::memcpy(stereo.data(), bytes.data(), stereo.size() * sizeof(float));
    ASSERT_GT(stereo.size(), 2u * 16384);
    std::vector<float> tail(stereo.end() - 2 * 8192, stereo.end());
    auto left = side(tail, 0), right = side(tail, 1);
    EXPECT_EQ(testmedia::peak(left.data(), left.size()), 0.0);
    EXPECT_NEAR(toneHz(right, 1000), 1000, 1.0);
    // Pan right keeps the right side whole; the master volume halves it.
    EXPECT_NEAR(rmsOf(right), 0.8 * 0.5 / std::sqrt(2.0), 0.03);
}

TEST(AudioRealtime, CallsFromOtherThreadsWhilePlaying) {
    TempDir dir;
    auto path = writeMp3(dir, "t.mp3", testmedia::sine(440, 20, 44100, 2), {.quality = 9});
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
    Chain c = openChain(path);
    std::atomic<DWORD> source{c.source}, channel{c.channel};
    std::atomic<bool> done{false};
    std::atomic<int> calls{0};
    // A control thread hammers attributes, positions and meters, also on handles that go away.
    std::thread controls([&] {
        std::mt19937 rng(7);
        float fft[256];
        while (!done.load()) {
            DWORD s = source.load(), ch = channel.load();
            BASS_ChannelSetAttributes(ch, 22050 + static_cast<int>(rng() % 88200),
                                      static_cast<int>(rng() % 101),
                                      static_cast<int>(rng() % 201) - 100);
            DWORD f = 0, v = 0;
            int p = 0;
            BASS_ChannelGetAttributes(ch, &f, &v, &p);
            BASS_FX_PitchSet(s, 30000 + rng() % 60000);
            BASS_ChannelGetPosition(s);
            BASS_ChannelIsActive(s);
            BASS_ChannelIsActive(ch);
            BASS_ChannelGetLevel(ch);
            BASS_ChannelGetData(ch, fft, BASS_DATA_FFT512);
            BASS_SetVolume(rng() % 101);
            BASS_SetGlobalVolumes(-1, -1, static_cast<int>(rng() % 101));
            BASS_GetCPU();
            calls.fetch_add(1);
        }
    });
    // Meanwhile this thread seeks, pauses, adds effects and replaces the stream.
    std::mt19937 rng(3);
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 10; ++i) {
            BASS_ChannelSetPosition(c.source, (rng() % (15 * 44100)) * 4);
            if (i % 3 == 0) {
                BASS_ChannelPause(c.source);
                BASS_ChannelPause(c.channel);
                BASS_ChannelResume(c.source);
                BASS_ChannelResume(c.channel);
            }
            if (i == 5) BASS_ChannelSetFX(c.channel, BASS_FX_ECHO);
            std::this_thread::sleep_for(3ms);
        }
        BASS_StreamFree(c.source);
        c = openChain(path);
        source.store(c.source);
        channel.store(c.channel);
    }
    std::this_thread::sleep_for(50ms);
    done.store(true);
    controls.join();
    EXPECT_GT(calls.load(), 10);
    EXPECT_EQ(BASS_ChannelIsActive(c.channel), 1u);
    BASS_ChannelSetAttributes(c.channel, 44100, 100, 0);
    double before = positionSeconds(c.source);
    EXPECT_TRUE(waitForPosition(c.source, before + 0.1)) << "still playing after all that";
    EXPECT_TRUE(BASS_Free());
}

// The level and the spectrum show what is heard: a block the channel renders is heard only after
// the output's queue (two device periods on SDL), so a tone appears in them when its first frame
// has gone through that queue, not when it was mixed.
TEST(AudioRealtime, LevelAndSpectrumShowAToneWhenItIsHeardNotBefore) {
    using velorixa::audio::Channel;
    using velorixa::audio::Source;
    TempDir dir;
    testmedia::Pcm pcm = testmedia::sine(1000, 1.5, 44100, 2, 0.5);
    std::fill(pcm.samples.begin(), pcm.samples.begin() + 2 * 22050, int16_t{0});  // tone at 0.5 s
    const std::string path = writeMp3(dir, "late.mp3", pcm, {.quality = 2});
    constexpr int kBlock = 441;
    for (int delay : {0, 1024, 2048}) {
        SCOPED_TRACE(testing::Message() << "output queue of " << delay << " frames");
        std::string error;
        auto source =
            std::make_shared<Source>(velorixa::audio::openAudioFile(path, 0, 0, &error), 0.5);
        Channel channel(source, 44100);
        channel.setHeardDelay(delay);
        channel.state.store(Channel::kPlaying);
        std::vector<float> mix(2 * kBlock);
        float mono[Channel::kFftSize];
        int64_t mixedAt = -1, levelAt = -1, spectrumAt = -1;  // first frame index with the tone
        for (int64_t written = 0; written < 44100 && spectrumAt < 0;) {
            for (int i = 0; i < 2000 && !channel.readyToRender(kBlock); ++i)
                std::this_thread::sleep_for(1ms);
            std::fill(mix.begin(), mix.end(), 0.f);
            channel.render(mix.data(), kBlock, nullptr, 0, 1.f);
            for (int i = 0; i < kBlock && mixedAt < 0; ++i) {
                if (std::fabs(mix[2 * i]) > 0.1f) mixedAt = written + i;
            }
            written += kBlock;
            if (levelAt < 0 && (channel.level() & 0xFFFF) > 13) levelAt = written;
            channel.lastMono(mono);
            if (spectrumAt < 0 && testmedia::peak(mono, Channel::kFftSize) > 0.1) {
                spectrumAt = written;
            }
        }
        ASSERT_GE(mixedAt, 0);
        // Heard at mixedAt + delay; seen at the end of the first block that reaches beyond it.
        for (int64_t seen : {levelAt, spectrumAt}) {
            EXPECT_GT(seen, mixedAt + delay) << "not before it is heard";
            EXPECT_LE(seen, mixedAt + delay + kBlock) << "within a block of being heard";
        }
    }
}
