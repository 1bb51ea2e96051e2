#pragma once
// One band of parametric equaliser: an RBJ peaking biquad whose centre, bandwidth and gain
// glide when changed; at 0 dB it is an exact pass-through.
//
// Thread contract: setParameters()/getParameters() from any thread (atomic fields);
// prepare() off the audio thread; reset()/process() on the audio thread only.

#include "audio/realtime/fx/dsp.h"
#include "audio/realtime/fx/effect.h"

namespace velorixa::fx {

class ParamEq final : public Effect {
  public:
    // Published defaults of the record.
    static constexpr DX8ParamEq kDefaults{8000.0f, 12.0f, 0.0f};

    ParamEq() noexcept;
    void prepare(double sampleRateHz, int maxBlockFrames) override;
    void reset() noexcept override;
    void process(float* stereo, int frames) noexcept override;
    void setParameters(const void* record) noexcept override;
    void getParameters(void* record) const noexcept override;
    int32_t type() const noexcept override { return kFxParamEq; }

    // The same as bands[0]->process(), bands[1]->process(), ... on the block, bit for bit; bands
    // settled away from 0 dB (the usual state of a moved equaliser) run frame by frame side by
    // side, which is faster than one whole block after the other.
    static void processSeries(ParamEq* const* bands, size_t count, float* stereo,
                              int frames) noexcept;

  private:
    // Targets loaded: the band has settled away from 0 dB and filters the block with the
    // coefficients in use (process()'s own shortcut).
    bool settledFiltering() noexcept;
    template <int N>
    static bool trySeries(ParamEq* const* bands, float* stereo, int frames) noexcept;

    void loadTargets() noexcept;
    void beginSubBlock() noexcept;

    dsp::AtomicParam centreHz_, bandwidthSemitones_, gainDb_;  // 80..16000, 1..36, -15..15

    double sampleRateHz_ = 44100.0;
    dsp::Glide centreLog2_;  // log2 of the centre frequency: glides evenly in pitch
    dsp::Glide bandwidthOct_;
    dsp::Glide gain_;  // dB
    dsp::StereoBiquad filter_;
    bool bypass_ = true;
    bool coeffsValid_ = false;
    int subPos_ = 0;
    bool primed_ = false;  // audio thread only
};

}  // namespace velorixa::fx
