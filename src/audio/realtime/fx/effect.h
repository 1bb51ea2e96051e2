#pragma once
// The effect DSP behind the audio layer's DirectX 8 effect records.
//
// Thread contract: prepare() and the destructor run off the audio thread (they allocate);
// process() and reset() run on the audio thread only and never allocate, lock or block;
// setParameters() / getParameters() may be called from any thread at any time: the new values
// are published atomically and process() glides towards them across its blocks.

#include <cstdint>
#include <memory>

namespace velorixa::fx {

// Effect types as the audio layer numbers them.
enum FxType : int32_t {
    kFxChorus = 0,
    kFxEcho = 3,
    kFxFlanger = 4,
    kFxParamEq = 7,
    kFxReverb = 8,
};

// The published DirectX 8 parameter records; every field is 32 bits.
struct DX8Chorus {
    float fWetDryMix;   // 0..100 %
    float fDepth;       // 0..100 %
    float fFeedback;    // -99..99 %
    float fFrequency;   // 0..10 Hz
    int32_t lWaveform;  // 0 triangle, 1 sine
    float fDelay;       // 0..20 ms
    int32_t lPhase;     // 0..4 = -180, -90, 0, +90, +180 degrees between left and right
};
using DX8Flanger = DX8Chorus;  // same fields; delay 0..4 ms

struct DX8Echo {
    float fWetDryMix;   // 0..100 %
    float fFeedback;    // 0..100 %
    float fLeftDelay;   // 1..2000 ms
    float fRightDelay;  // 1..2000 ms
    int32_t lPanDelay;  // 0/1: swap sides on each repeat
};

struct DX8ParamEq {
    float fCenter;     // 80..16000 Hz, at most a third of the sample rate
    float fBandwidth;  // 1..36 semitones
    float fGain;       // -15..15 dB
};

struct DX8Reverb {
    float fInGain;           // -96..0 dB
    float fReverbMix;        // -96..0 dB
    float fReverbTime;       // 0.001..3000 ms
    float fHighFreqRTRatio;  // 0.001..0.999
};

class Effect {
  public:
    virtual ~Effect() = default;
    // Sizes buffers for the rate and the largest block; may allocate. Clears the state.
    virtual void prepare(double sampleRateHz, int maxBlockFrames) = 0;
    // Clears delay lines and filter state (the parameters stay).
    virtual void reset() noexcept = 0;
    // Processes interleaved stereo float samples in place; frames <= maxBlockFrames.
    virtual void process(float* stereo, int frames) noexcept = 0;
    // record points at the effect type's record; values outside a range are clamped.
    virtual void setParameters(const void* record) noexcept = 0;
    virtual void getParameters(void* record) const noexcept = 0;
    virtual int32_t type() const noexcept = 0;
};

// A new effect of the given type with its published default values, or nullptr for an
// unknown type. Call prepare() before process().
std::unique_ptr<Effect> createEffect(int32_t type);

// Runs the block through effects[0], effects[1], ... in turn (audio thread), with exactly the
// output of calling their process() one after the other; neighbouring equaliser bands share
// one pass over the block.
void processChain(Effect* const* effects, size_t count, float* stereo, int frames) noexcept;

}  // namespace velorixa::fx
