#pragma once
// Stereo echo: one delay line per side with feedback; with pan delay on, each repeat feeds the
// other side's line, so repeats alternate sides (first on the input's own side).
//
// Thread contract: setParameters()/getParameters() from any thread (atomic fields);
// prepare() off the audio thread; reset()/process() on the audio thread only.

#include "audio/realtime/fx/dsp.h"
#include "audio/realtime/fx/effect.h"

namespace velorixa::fx {

class Echo final : public Effect {
  public:
    // Published defaults of the record.
    static constexpr DX8Echo kDefaults{50.0f, 50.0f, 500.0f, 500.0f, 0};

    Echo() noexcept;
    void prepare(double sampleRateHz, int maxBlockFrames) override;
    void reset() noexcept override;
    void process(float* stereo, int frames) noexcept override;
    void setParameters(const void* record) noexcept override;
    void getParameters(void* record) const noexcept override;
    int32_t type() const noexcept override { return kFxEcho; }

  private:
    template <class E>
    friend void dsp::processWithSend(E&, float*, int) noexcept;
    void loadTargets() noexcept;
    void beginSubBlock() noexcept;
    // Fading: the send into the lines is still rising after a return from idle.
    template <bool Fading>
    void render(float* stereo, int frames) noexcept;
    template <bool Fading>
    void renderChunk(float* stereo, int frames) noexcept;
    int delayFrames(float ms) const noexcept;

    dsp::AtomicParam wetDryMixPct_, feedbackPct_, leftDelayMs_, rightDelayMs_;  // see record
    std::atomic<int32_t> panDelay_{0};

    double sampleRateHz_ = 44100.0;
    dsp::DelayLine line_[2];
    dsp::Glide mix_, feedback_, pan_;  // 0..1 each
    dsp::Ramp mixRamp_, feedbackRamp_, panRamp_;
    dsp::SendFade send_;
    // A delay change cross-fades from the old read position to the new one over fadeFrames_
    // (a moving read head would bend the pitch of everything in the line instead).
    int fadeFrames_ = 64 * dsp::kSubBlockFrames;
    float fadeStep_ = 1.0f / static_cast<float>(64 * dsp::kSubBlockFrames);
    int delay_[2] = {1, 1};      // read position in use
    int nextDelay_[2] = {1, 1};  // read position being faded in
    int targetDelay_[2] = {1, 1};
    int fadePos_ = -1;  // -1: no fade running
    // The mix has settled at 0: the output is the input, nothing renders and the lines are not
    // fed. When the mix moves again the echo starts from silence: what the lines held before
    // reads as zero. Rather than clearing both lines (1 MiB) in one sub-block on the audio
    // thread, which a knob swinging through "off" would do once per swing, the lines count the
    // frames written since the restart: a read reaching further back than that gives zero, and
    // the old samples are overwritten as the write position passes them.
    bool idle_ = false;
    int sinceRestart_ = kNeverRestarted;  // frames written since; saturates at kNeverRestarted
    static constexpr int kNeverRestarted = 1 << 30;
    int subPos_ = 0;
    bool primed_ = false;  // audio thread only
};

}  // namespace velorixa::fx
