#include "audio/realtime/fx/modulated_delay.h"

#include <algorithm>
#include <cmath>

namespace velorixa::fx {

namespace {
constexpr float kGlideMs = 20.0f;
// The delay itself glides slower: a faster move would bend the pitch audibly.
constexpr float kDelayGlideMs = 60.0f;
// The read position never comes closer than one frame to the write position: the feedback
// path needs a sample that already exists.
constexpr float kMinDelayFrames = 1.0f;

// DelayLine::readFracAt(), with the newest sample taken from `last` (what the caller pushed
// last) rather than reloaded: at the shortest delays the feedback loop then does not wait for
// that sample's store to reach memory.
inline float readNear(const float* buffer, int mask, int write, float delayFrames,
                      float last) noexcept {
    const int whole = static_cast<int>(delayFrames);
    const float frac = delayFrames - static_cast<float>(whole);
    const float a = whole == 1 ? last : buffer[(write - whole) & mask];
    const float b = buffer[(write - whole - 1) & mask];
    return a + frac * (b - a);
}
constexpr int kChunkMax = dsp::kSubBlockFrames;

using dsp::readSpan;

// A steady ramp's value, as next() gives it on every call: value + 0 is value, except for -0.
inline bool steadyValue(const dsp::Ramp& r, float* v) noexcept {
    *v = r.value;
    return r.step == 0.0f && !(r.value == 0.0f && std::signbit(r.value));
}
}  // namespace

ModulatedDelay::ModulatedDelay(const DX8Chorus& defaults, float maxDelayMs) noexcept
    : defaults_(defaults),
      maxDelayMs_(maxDelayMs),
      wetDryMixPct_(defaults.fWetDryMix),
      depthPct_(defaults.fDepth),
      feedbackPct_(defaults.fFeedback),
      frequencyHz_(defaults.fFrequency),
      delayMs_(defaults.fDelay),
      waveform_(defaults.lWaveform),
      phase_(defaults.lPhase) {}

void ModulatedDelay::prepare(double sampleRateHz, int /*maxBlockFrames*/) {
    sampleRateHz_ = sampleRateHz > 0.0 ? sampleRateHz : 44100.0;
    // Depth 100 % swings up to twice the delay; one sub-block of ramp overshoot is not possible
    // (ramps run between two in-range end points) but keep a frame of headroom for rounding.
    const int maxFrames = static_cast<int>(std::ceil(2.0 * maxDelayMs_ * 0.001 * sampleRateHz_));
    for (auto& line : line_)
        line.prepare(maxFrames + 2);
    mix_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    feedback_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    depth_.configure(sampleRateHz_, kDelayGlideMs, 1e-5f);
    delayFrames_.configure(sampleRateHz_, kDelayGlideMs, 1e-3f);
    lfoRateHz_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    sineAmount_.configure(sampleRateHz_, kDelayGlideMs, 1e-4f);
    phaseOffset_.configure(sampleRateHz_, kDelayGlideMs, 1e-5f);
    reset();
}

void ModulatedDelay::reset() noexcept {
    primed_ = false;
    for (auto& line : line_)
        line.reset();
    lfo_.reset();
    loadTargets();
    for (dsp::Glide* g :
         {&mix_, &feedback_, &depth_, &delayFrames_, &lfoRateHz_, &sineAmount_, &phaseOffset_})
        g->snap();
    mixRamp_.jump(mix_.current());
    feedbackRamp_.jump(feedback_.current());
    for (int ch = 0; ch < 2; ++ch) {
        const float lfo = lfo_.value(ch == 0 ? 0.0 : phaseOffset_.current(), sineAmount_.current());
        const float d = delayFrames_.current() * (1.0f + depth_.current() * lfo);
        readRamp_[ch].jump(std::fmax(d, kMinDelayFrames));
    }
    idle_ = false;
    send_.full();
    subPos_ = 0;
}

void ModulatedDelay::setParameters(const void* record) noexcept {
    const auto& r = *static_cast<const DX8Chorus*>(record);
    const DX8Chorus& d = defaults_;
    wetDryMixPct_.store(dsp::clampOr(r.fWetDryMix, 0.0f, 100.0f, d.fWetDryMix));
    depthPct_.store(dsp::clampOr(r.fDepth, 0.0f, 100.0f, d.fDepth));
    feedbackPct_.store(dsp::clampOr(r.fFeedback, -99.0f, 99.0f, d.fFeedback));
    frequencyHz_.store(dsp::clampOr(r.fFrequency, 0.0f, 10.0f, d.fFrequency));
    delayMs_.store(dsp::clampOr(r.fDelay, 0.0f, maxDelayMs_, d.fDelay));
    waveform_.store(dsp::clampInt(r.lWaveform, 0, 1), std::memory_order_relaxed);
    phase_.store(dsp::clampInt(r.lPhase, 0, 4), std::memory_order_relaxed);
}

void ModulatedDelay::getParameters(void* record) const noexcept {
    auto& r = *static_cast<DX8Chorus*>(record);
    r.fWetDryMix = wetDryMixPct_.load();
    r.fDepth = depthPct_.load();
    r.fFeedback = feedbackPct_.load();
    r.fFrequency = frequencyHz_.load();
    r.lWaveform = waveform_.load(std::memory_order_relaxed);
    r.fDelay = delayMs_.load();
    r.lPhase = phase_.load(std::memory_order_relaxed);
}

void ModulatedDelay::loadTargets() noexcept {
    mix_.setTarget(wetDryMixPct_.load() * 0.01f);
    feedback_.setTarget(feedbackPct_.load() * 0.01f);
    depth_.setTarget(depthPct_.load() * 0.01f);
    delayFrames_.setTarget(static_cast<float>(delayMs_.load() * 0.001 * sampleRateHz_));
    lfoRateHz_.setTarget(frequencyHz_.load());
    sineAmount_.setTarget(waveform_.load(std::memory_order_relaxed) != 0 ? 1.0f : 0.0f);
    // Phase 0..4 = -180, -90, 0, +90, +180 degrees, in cycles of the oscillator.
    phaseOffset_.setTarget(0.25f * static_cast<float>(phase_.load(std::memory_order_relaxed) - 2));
}

void ModulatedDelay::beginSubBlock() noexcept {
    mixRamp_.startSubBlock(mix_.advance());
    feedbackRamp_.startSubBlock(feedback_.advance());
    depth_.advance();
    delayFrames_.advance();
    sineAmount_.advance();
    phaseOffset_.advance();
    lfo_.advance(lfoRateHz_.advance() * static_cast<double>(dsp::kSubBlockFrames) / sampleRateHz_);
    if (mixRamp_.zero()) {
        idle_ = true;  // nothing reads the lines: the read positions wait
        return;
    }
    // The oscillator is sampled at the end of each sub-block and the read position moves
    // linearly in between: at most 10 Hz, 16 frames is far finer than the sweep.
    for (int ch = 0; ch < 2; ++ch) {
        const float lfo = lfo_.value(ch == 0 ? 0.0 : phaseOffset_.current(), sineAmount_.current());
        float d = delayFrames_.current() * (1.0f + depth_.current() * lfo);
        if (!(d >= kMinDelayFrames)) d = kMinDelayFrames;  // std::fmax, without a library call
        if (idle_) readRamp_[ch].jump(d);  // the lines are empty: no glide from the old place
        readRamp_[ch].startSubBlock(d);
    }
    if (idle_) {
        idle_ = false;
        for (auto& line : line_)
            line.reset();
        send_.restart();
    }
    send_.startSubBlock();
}

template <bool Fading>
void ModulatedDelay::render(float* p, int frames) noexcept {
    // The loop works on copies of the ramps and the write position, so that they stay in
    // registers (the stores into the lines and the block could otherwise alias them). The two
    // lines are pushed together and share one write position.
    float* const bufL = line_[0].data();
    float* const bufR = line_[1].data();
    const int mask = line_[0].mask();
    int w = line_[0].writePos();
    dsp::Ramp mixRamp = mixRamp_, feedbackRamp = feedbackRamp_;
    dsp::Ramp readL = readRamp_[0], readR = readRamp_[1];
    dsp::SendFade send = send_;
    float lastL = bufL[(w - 1) & mask], lastR = bufR[(w - 1) & mask];  // the last samples pushed
    for (int i = 0; i < frames; ++i, p += 2) {
        const float mix = mixRamp.next();
        const float fb = feedbackRamp.next();
        float sendGain = 1.0f;
        if constexpr (Fading) sendGain = send.next();
        const float inL = p[0], inR = p[1];
        const float wetL = readNear(bufL, mask, w, readL.next(), lastL);
        const float wetR = readNear(bufR, mask, w, readR.next(), lastR);
        lastL = (Fading ? sendGain * inL : inL) + fb * wetL;
        lastR = (Fading ? sendGain * inR : inR) + fb * wetR;
        bufL[w] = lastL;
        bufR[w] = lastR;
        w = (w + 1) & mask;
        p[0] = inL + mix * (wetL - inL);
        p[1] = inR + mix * (wetR - inR);
    }
    line_[0].setWritePos(w);
    line_[1].setWritePos(w);
    mixRamp_ = mixRamp;
    feedbackRamp_ = feedbackRamp;
    readRamp_[0] = readL;
    readRamp_[1] = readR;
    send_ = send;
}

bool ModulatedDelay::renderSteady(float* p, int frames) noexcept {
    float mix = 0, fb = 0, delayL = 0, delayR = 0;
    if (!steadyValue(mixRamp_, &mix) || !steadyValue(feedbackRamp_, &fb) ||
        !steadyValue(readRamp_[0], &delayL) || !steadyValue(readRamp_[1], &delayR)) {
        return false;
    }
    const int wholeL = static_cast<int>(delayL), wholeR = static_cast<int>(delayR);
    const float fracL = delayL - static_cast<float>(wholeL);
    const float fracR = delayR - static_cast<float>(wholeR);
    // A chunk no longer than either delay reads only samples written before it.
    const int span = std::min({wholeL, wholeR, kChunkMax});
    if (span < 2) return false;
    float* const bufL = line_[0].data();
    float* const bufR = line_[1].data();
    const int mask = line_[0].mask();
    int w = line_[0].writePos();
    constexpr int K = kChunkMax;
    alignas(16) float aL[K], bL[K], aR[K], bR[K], nextL[K], nextR[K];
    for (int done = 0; done < frames;) {
        const int n = std::min(span, frames - done);
        readSpan(bufL, mask, w - wholeL, aL);
        readSpan(bufL, mask, w - wholeL - 1, bL);
        readSpan(bufR, mask, w - wholeR, aR);
        readSpan(bufR, mask, w - wholeR - 1, bR);
        float* q = p + 2 * done;
        for (int k = 0; k < n; ++k) {
            const float inL = q[2 * k], inR = q[2 * k + 1];
            const float wetL = aL[k] + fracL * (bL[k] - aL[k]);
            const float wetR = aR[k] + fracR * (bR[k] - aR[k]);
            nextL[k] = inL + fb * wetL;
            nextR[k] = inR + fb * wetR;
            q[2 * k] = inL + mix * (wetL - inL);
            q[2 * k + 1] = inR + mix * (wetR - inR);
        }
        for (int k = 0; k < n; ++k) {
            bufL[(w + k) & mask] = nextL[k];
            bufR[(w + k) & mask] = nextR[k];
        }
        w = (w + n) & mask;
        done += n;
    }
    line_[0].setWritePos(w);
    line_[1].setWritePos(w);
    return true;
}

void ModulatedDelay::process(float* stereo, int frames) noexcept {
    if (!line_[0].ready()) return;  // not prepared: pass the sound through rather than fail
    if (primed_) {
        loadTargets();
        const bool moving = mix_.moving() || feedback_.moving() || depth_.moving() ||
                            delayFrames_.moving() || lfoRateHz_.moving() || sineAmount_.moving() ||
                            phaseOffset_.moving();
        if (!moving && idle_) {
            // Silent and settled: each sub-block would only move the oscillator on.
            const double cycles =
                lfoRateHz_.current() * static_cast<double>(dsp::kSubBlockFrames) / sampleRateHz_;
            for (int k = dsp::subBlockStarts(subPos_, frames); k > 0; --k)
                lfo_.advance(cycles);
            subPos_ = dsp::subPosAfter(subPos_, frames);
            return;
        }
        if (!moving && lfoRateHz_.current() == 0.0f && mixRamp_.steady() &&
            feedbackRamp_.steady() && readRamp_[0].steady() && readRamp_[1].steady() &&
            !send_.fading()) {
            // Settled with the oscillator standing still: every sub-block would start where the
            // last one ended, so the block renders in one piece.
            // With the read positions at least two frames back, it renders in chunks whose reads
            // all lie before the chunk: each frame through the same operations as render(), in
            // loops over plain arrays.
            dsp::ScopedNoDenormals noDenormals;
            if (!renderSteady(stereo, frames)) render<false>(stereo, frames);
            subPos_ = dsp::subPosAfter(subPos_, frames);
            return;
        }
    }
    dsp::processWithSend(*this, stereo, frames);
}

}  // namespace velorixa::fx
