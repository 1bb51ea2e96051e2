#pragma once
// Flanger and chorus: a delay swung by a low-frequency oscillator and mixed with the dry
// signal, with feedback. The delay swings between delay x (1 - depth) and delay x (1 + depth)
// at the set frequency; the right side's oscillator runs the set phase ahead of the left one.
// The two effects differ only in their delay range and published defaults.
//
// Thread contract: setParameters()/getParameters() from any thread (atomic fields);
// prepare() off the audio thread; reset()/process() on the audio thread only.

#include "audio/realtime/fx/dsp.h"
#include "audio/realtime/fx/effect.h"

namespace velorixa::fx {

class ModulatedDelay : public Effect {
  public:
    void prepare(double sampleRateHz, int maxBlockFrames) override;
    void reset() noexcept override;
    void process(float* stereo, int frames) noexcept override;
    void setParameters(const void* record) noexcept override;
    void getParameters(void* record) const noexcept override;

  protected:
    ModulatedDelay(const DX8Chorus& defaults, float maxDelayMs) noexcept;

  private:
    template <class E>
    friend void dsp::processWithSend(E&, float*, int) noexcept;
    void loadTargets() noexcept;
    void beginSubBlock() noexcept;
    // Fading: the send into the lines is still rising after a return from idle.
    template <bool Fading>
    void render(float* stereo, int frames) noexcept;
    // render<false>() for ramps that all stand still and reads at least two frames back; false
    // (nothing done) otherwise.
    bool renderSteady(float* stereo, int frames) noexcept;

    const DX8Chorus defaults_;
    const float maxDelayMs_;
    // 0..100 %, 0..100 %, -99..99 %, 0..10 Hz, 0..maxDelayMs_ ms
    dsp::AtomicParam wetDryMixPct_, depthPct_, feedbackPct_, frequencyHz_, delayMs_;
    std::atomic<int32_t> waveform_, phase_;  // 0/1, 0..4

    double sampleRateHz_ = 44100.0;
    dsp::DelayLine line_[2];
    dsp::Lfo lfo_;
    dsp::Glide mix_, feedback_, depth_, delayFrames_, lfoRateHz_, sineAmount_, phaseOffset_;
    dsp::Ramp mixRamp_, feedbackRamp_, readRamp_[2];
    dsp::SendFade send_;
    // The mix has settled at 0: the output is the input, nothing renders and the lines are not
    // fed (the oscillator and the glides go on). The lines are cleared when the mix moves again.
    bool idle_ = false;
    int subPos_ = 0;
    bool primed_ = false;  // audio thread only
};

class Flanger final : public ModulatedDelay {
  public:
    static constexpr DX8Flanger kDefaults{50.0f, 100.0f, -50.0f, 0.25f, 1, 2.0f, 2};
    Flanger() noexcept : ModulatedDelay(kDefaults, 4.0f) {}
    int32_t type() const noexcept override { return kFxFlanger; }
};

class Chorus final : public ModulatedDelay {
  public:
    static constexpr DX8Chorus kDefaults{50.0f, 10.0f, 25.0f, 1.1f, 1, 16.0f, 3};
    Chorus() noexcept : ModulatedDelay(kDefaults, 20.0f) {}
    int32_t type() const noexcept override { return kFxChorus; }
};

}  // namespace velorixa::fx
