// The whole chain at the rates a sound card asks for (44.1, 48 and 96 kHz), rendered offline
// through the API as the player drives it: a file keeps its pitch and the pitch knob its ratio,
// positions stay in the file's own seconds, the echo keeps its milliseconds and the spectrum's
// bins their Hz.

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "audio/analysis/spectrum.h"
#include "audio/realtime/engine.h"
#include "audio/realtime/fx/effect.h"
#include "audiotest.h"

using namespace audiotest;

namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Rates {
    int sourceHz;
    int outputHz;
};

std::string name(const testing::TestParamInfo<Rates>& info) {
    return "File" + std::to_string(info.param.sourceHz) + "Out" +
           std::to_string(info.param.outputHz);
}

class ChainRate : public testing::TestWithParam<Rates> {
  protected:
    int out() const { return GetParam().outputHz; }
    int src() const { return GetParam().sourceHz; }
    // A WAV file at the source rate: `seconds` of pcm made by the callable, stereo.
    template <class F>
    std::string wav(const std::string& file, double seconds, F&& sample) {
        testmedia::Pcm pcm;
        pcm.rateHz = src();
        const auto frames = static_cast<size_t>(seconds * src());
        for (size_t i = 0; i < frames; ++i) {
            const auto v = static_cast<int16_t>(std::lround(32767 * sample(double(i) / src())));
            pcm.samples.push_back(v);
            pcm.samples.push_back(v);
        }
        const std::string path = dir_.file(file);
        EXPECT_TRUE(testmedia::writeFile(path, testmedia::wavBytes(pcm)));
        return path;
    }
    std::string tone(double hz, double seconds) {
        return wav("tone.wav", seconds, [hz](double t) { return 0.5 * std::sin(kTwoPi * hz * t); });
    }

    TempDir dir_;
};

const Rates kRates[] = {{44100, 44100}, {44100, 48000}, {44100, 96000},
                        {48000, 44100}, {48000, 48000}, {48000, 96000}};
INSTANTIATE_TEST_SUITE_P(Rates, ChainRate, testing::ValuesIn(kRates), name);

}  // namespace

// A 440 Hz file is heard at 440 Hz; pitch 150 (the file's rate x 1.5) at 660 Hz. The position
// counts the file's own seconds: one second of output plays one second of the file.
TEST_P(ChainRate, ToneKeepsItsPitchAndPositionItsSeconds) {
    OfflineSession session(out());
    Chain c = openChain(tone(440, 4));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(c.source, BASS_StreamGetLength(c.source)), 4.0, 1e-3);
    auto heard = render(static_cast<size_t>(out()));
    ListenOnFailure listen("440", heard, out());
    EXPECT_NEAR(toneHz(side(heard, 0, out() / 4), 440, out()), 440, 0.3);
    EXPECT_NEAR(positionSeconds(c.source), 1.0, 0.02);

    ASSERT_TRUE(BASS_FX_PitchSet(c.source, static_cast<DWORD>(src() * 3 / 2)));
    render(static_cast<size_t>(out() / 10));  // the new rate glides in
    auto raised = render(static_cast<size_t>(out() / 2));
    ListenOnFailure listenRaised("660", raised, out());
    EXPECT_NEAR(toneHz(side(raised, 0), 660, out()), 660, 0.5);
    // 1 s at the file's rate, then 0.6 s at 1.5 times it.
    EXPECT_NEAR(positionSeconds(c.source), 1.0 + 0.6 * 1.5, 0.03);
}

// An echo of 250 ms on the left and 400 ms on the right: a short burst comes back that many
// milliseconds later at every output rate.
TEST_P(ChainRate, EchoComesBackAfterItsMilliseconds) {
    OfflineSession session(out());
    Chain c = openChain(wav("burst.wav", 1.0, [](double t) {
        return t >= 0.1 && t < 0.13 ? 0.5 * std::sin(kTwoPi * 1000 * (t - 0.1)) : 0.0;
    }));
    DWORD echo = BASS_ChannelSetFX(c.channel, BASS_FX_ECHO);
    const velorixa::fx::DX8Echo record{50, 0, 250, 400, 0};
    ASSERT_TRUE(BASS_FXSetParameters(echo, &record));
    auto heard = render(static_cast<size_t>(0.8 * out()));
    ListenOnFailure listen("echo", heard, out());
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch == 0 ? "left" : "right");
        const auto x = side(heard, ch);
        auto onset = [&x](size_t from) {
            for (size_t i = from; i < x.size(); ++i)
                if (std::fabs(x[i]) > 0.05f) return i;
            return x.size();
        };
        const size_t dry = onset(0);
        const size_t wet = onset(dry + static_cast<size_t>(0.1 * out()));
        ASSERT_LT(wet, x.size());
        EXPECT_NEAR(double(wet - dry) / out() * 1000.0, ch == 0 ? 250.0 : 400.0, 0.3);
    }
}

// The spectrum of a 5 kHz tone peaks in the bin of 5 kHz, as high as at 44.1 kHz, whatever the
// output's rate: the display's bands keep their frequencies.
TEST_P(ChainRate, SpectrumPeaksAtTheTonesFrequency) {
    OfflineSession session(out());
    Chain c = openChain(tone(5000, 2));
    render(static_cast<size_t>(out() / 2));
    float bins[velorixa::audio::Spectrum512::kBins] = {};
    ASSERT_EQ(BASS_ChannelGetData(c.channel, bins, BASS_DATA_FFT512), 1024u);
    const auto top = std::max_element(std::begin(bins), std::end(bins)) - std::begin(bins);
    EXPECT_NEAR(double(top) * velorixa::audio::Spectrum512::kBinHz, 5000, 50);
    // The 0.5 sine peaks near 0.5 (a tone between two bins reads up to 1.5 dB lower).
    EXPECT_NEAR(testmedia::toDb(bins[top] / 0.5), 0.0, 1.6);
    // Nothing of it leaks into the bands an octave away.
    EXPECT_LT(bins[top / 2], 0.01f);
    EXPECT_LT(bins[std::min<long>(2 * top, 255)], 0.01f);
}

// The transform's window for each rate and the bins it gives, without the chain: a tone at a
// bin's frequency peaks there.
TEST(SpectrumAxis, WindowAndBinsFollowTheRate) {
    struct Case {
        int rateHz;
        int window;
    };
    const Case cases[] = {{22050, 256},  {44100, 512},  {48000, 512},
                          {88200, 1024}, {96000, 1024}, {192000, 2048}};
    velorixa::audio::Spectrum512 spectrum;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rateHz);
        EXPECT_EQ(velorixa::audio::Spectrum512::WindowFrames(c.rateHz), c.window);
        for (int bin : {10, 40, 100}) {
            const double hz = bin * velorixa::audio::Spectrum512::kBinHz;
            std::vector<float> mono(static_cast<size_t>(c.window));
            for (size_t i = 0; i < mono.size(); ++i)
                mono[i] = static_cast<float>(std::sin(kTwoPi * hz * double(i) / c.rateHz));
            float out[velorixa::audio::Spectrum512::kBins];
            ASSERT_TRUE(spectrum.compute(mono.data(), c.rateHz, out));
            const auto top = std::max_element(std::begin(out), std::end(out)) - std::begin(out);
            if (hz < c.rateHz / 2.0) {
                EXPECT_EQ(top, bin);
            }
        }
    }
}

// The output moved to another rate while a file plays (the output stopped meanwhile): the
// channel re-targeted to it keeps the file's pitch and the knob's ratio in the new rate's
// frames. Rendered on at 44.1 kHz, what it made for 22.05 kHz plays an octave up; at pitch 300
// its input per block is the largest there is (6 times the output's), which must fit.
TEST(ChainRateChange, ChannelRetargetedToANewRateKeepsPitchAndRatio) {
    TempDir dir;
    OfflineSession session(44100);
    Chain c = openChain(writeMp3(dir, "t.mp3", testmedia::sine(440, 4, 44100, 2)));
    render(4410);
    {
        std::lock_guard<std::mutex> lock(velorixa::audio::apiMutex());
        auto* entry = velorixa::audio::engineSlot()->find(c.channel);
        ASSERT_TRUE(entry && entry->channel);
        entry->channel->setOutputRate(22050);
        EXPECT_EQ(entry->channel->outputRateHz(), 22050);
    }
    ASSERT_TRUE(BASS_FX_PitchSet(c.source, 3 * 44100));
    render(4410);  // the new ratio glides in
    const double at = positionSeconds(c.source);
    auto heard = render(22050);
    ListenOnFailure listen("retargeted", heard, 44100);
    // 22050 frames of 22.05 kHz output at pitch 300: three seconds of the file, heard as 2640 Hz.
    EXPECT_NEAR(toneHz(side(heard, 0), 2640, 44100), 2640, 2.0);
    EXPECT_NEAR(positionSeconds(c.source) - at, 3.0, 0.02);
}
