#pragma once
// Reverb: an 8-line feedback delay network mixed by a Hadamard matrix, each line with a
// one-pole damping filter so that low frequencies fall 60 dB in the reverb time and the
// highest ones in (reverb time x high-frequency ratio). Mix 0 dB is all reverb, -96 dB (nearly)
// all direct sound; the input gain sets the level sent into the network.
//
// Thread contract: setParameters()/getParameters() from any thread (atomic fields);
// prepare() off the audio thread; reset()/process() on the audio thread only.

#include "audio/realtime/fx/dsp.h"
#include "audio/realtime/fx/effect.h"

namespace velorixa::fx {

class Reverb final : public Effect {
  public:
    // Published defaults of the record.
    static constexpr DX8Reverb kDefaults{0.0f, 0.0f, 1000.0f, 0.001f};
    static constexpr int kLines = 8;

    Reverb() noexcept;
    void prepare(double sampleRateHz, int maxBlockFrames) override;
    void reset() noexcept override;
    void process(float* stereo, int frames) noexcept override;
    void setParameters(const void* record) noexcept override;
    void getParameters(void* record) const noexcept override;
    int32_t type() const noexcept override { return kFxReverb; }

  private:
    template <class E>
    friend void dsp::processWithSend(E&, float*, int) noexcept;
    void loadTargets() noexcept;
    void beginSubBlock() noexcept;
    void updateDecay() noexcept;
    // Fading: the send into the lines is still rising after a return from idle.
    template <bool Fading>
    void render(float* stereo, int frames) noexcept;
    template <bool Fading>
    void renderChunk(float* stereo, int frames) noexcept;

    dsp::AtomicParam inGainDb_, reverbMixDb_, reverbTimeMs_, hfRatio_;  // see record

    double sampleRateHz_ = 44100.0;
    double poleExponent_ = 1.0;  // moves the damping poles from 44.1 kHz to the rate in use
    // All lines share one buffer layout (same power-of-two size) and one write index. Line i
    // starts at i * lineStride_, a cache line more than its size, so that the eight write
    // positions do not all fall into the same cache set. Untouched while the reverb is off.
    dsp::ZeroedFloats buffer_;
    int mask_ = 0;
    int stride_ = 0;
    int lineStride_ = 0;
    // The most frames rendered as one chunk: a sub-block, or the shortest line if that is
    // shorter, so that no line reads a sample its chunk writes.
    int chunk_ = dsp::kSubBlockFrames;
    int write_ = 0;
    int length_[kLines] = {};
    float damp_[kLines] = {};    // one-pole state (the line's filtered output)
    float gainIn_[kLines] = {};  // g * (1 - pole): DC gain g per pass through the line
    float pole_[kLines] = {};
    dsp::Glide inGain_, wet_, timeLog2_, ratioLog2_;  // gains linear, times in log2
    dsp::Ramp inRamp_, wetRamp_;
    dsp::SendFade send_;
    bool decayValid_ = false;
    // The mix has settled at silence (-96 dB): the output is the input, nothing renders and the
    // lines are not fed. They are cleared when the mix rises again.
    bool idle_ = false;
    int subPos_ = 0;
    bool primed_ = false;  // audio thread only
};

}  // namespace velorixa::fx
