#include "audio/realtime/fx/echo.h"

#include <algorithm>
#include <cmath>

namespace velorixa::fx {

namespace {
constexpr float kGlideMs = 20.0f;
// A delay change cross-fades over 23 ms (1024 frames at 44.1 kHz), whole sub-blocks.
constexpr double kFadeMs = 1000.0 * 64 * dsp::kSubBlockFrames / 44100.0;
constexpr float kMaxDelayMs = 2000.0f;
constexpr int kChunkMax = dsp::kSubBlockFrames;

using dsp::readSpan;

// Zeroes the samples of a span read `delay` frames back that were written before the echo came
// back from idle (`written` frames ago): the first delay - written of the span.
inline void forgetBefore(float* span, int delay, int written) noexcept {
    const int old = std::min(delay - written, kChunkMax);
    for (int k = 0; k < old; ++k)
        span[k] = 0.0f;
}

// n <= kChunkMax samples into a ring from position `at` on.
inline void writeSpan(float* ring, int mask, int at, const float* in, int n) noexcept {
    if (n == kChunkMax && at + kChunkMax <= mask + 1) {
        for (int k = 0; k < kChunkMax; ++k)
            ring[at + k] = in[k];
    } else {
        for (int k = 0; k < n; ++k)
            ring[(at + k) & mask] = in[k];
    }
}
}  // namespace

Echo::Echo() noexcept
    : wetDryMixPct_(kDefaults.fWetDryMix),
      feedbackPct_(kDefaults.fFeedback),
      leftDelayMs_(kDefaults.fLeftDelay),
      rightDelayMs_(kDefaults.fRightDelay),
      panDelay_(kDefaults.lPanDelay) {}

void Echo::prepare(double sampleRateHz, int /*maxBlockFrames*/) {
    sampleRateHz_ = sampleRateHz > 0.0 ? sampleRateHz : 44100.0;
    for (auto& line : line_)
        line.prepare(delayFrames(kMaxDelayMs) + 1);
    const long subBlocks = std::lround(kFadeMs * 0.001 * sampleRateHz_ / dsp::kSubBlockFrames);
    fadeFrames_ = static_cast<int>(std::max(1L, subBlocks)) * dsp::kSubBlockFrames;
    fadeStep_ = 1.0f / static_cast<float>(fadeFrames_);
    mix_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    feedback_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    pan_.configure(sampleRateHz_, kGlideMs, 1e-5f);
    reset();
}

void Echo::reset() noexcept {
    primed_ = false;
    for (auto& line : line_)
        line.reset();
    loadTargets();
    mix_.snap();
    feedback_.snap();
    pan_.snap();
    mixRamp_.jump(mix_.current());
    feedbackRamp_.jump(feedback_.current());
    panRamp_.jump(pan_.current());
    for (int ch = 0; ch < 2; ++ch)
        delay_[ch] = nextDelay_[ch] = targetDelay_[ch];
    fadePos_ = -1;
    idle_ = false;
    sinceRestart_ = kNeverRestarted;
    send_.full();
    subPos_ = 0;
}

void Echo::setParameters(const void* record) noexcept {
    const auto& r = *static_cast<const DX8Echo*>(record);
    wetDryMixPct_.store(dsp::clampOr(r.fWetDryMix, 0.0f, 100.0f, kDefaults.fWetDryMix));
    feedbackPct_.store(dsp::clampOr(r.fFeedback, 0.0f, 100.0f, kDefaults.fFeedback));
    leftDelayMs_.store(dsp::clampOr(r.fLeftDelay, 1.0f, kMaxDelayMs, kDefaults.fLeftDelay));
    rightDelayMs_.store(dsp::clampOr(r.fRightDelay, 1.0f, kMaxDelayMs, kDefaults.fRightDelay));
    panDelay_.store(dsp::clampInt(r.lPanDelay, 0, 1), std::memory_order_relaxed);
}

void Echo::getParameters(void* record) const noexcept {
    auto& r = *static_cast<DX8Echo*>(record);
    r.fWetDryMix = wetDryMixPct_.load();
    r.fFeedback = feedbackPct_.load();
    r.fLeftDelay = leftDelayMs_.load();
    r.fRightDelay = rightDelayMs_.load();
    r.lPanDelay = panDelay_.load(std::memory_order_relaxed);
}

int Echo::delayFrames(float ms) const noexcept {
    const int frames = static_cast<int>(std::lround(ms * 0.001 * sampleRateHz_));
    return frames < 1 ? 1 : frames;
}

void Echo::loadTargets() noexcept {
    mix_.setTarget(wetDryMixPct_.load() * 0.01f);
    feedback_.setTarget(feedbackPct_.load() * 0.01f);
    pan_.setTarget(panDelay_.load(std::memory_order_relaxed) != 0 ? 1.0f : 0.0f);
    targetDelay_[0] = delayFrames(leftDelayMs_.load());
    targetDelay_[1] = delayFrames(rightDelayMs_.load());
}

void Echo::beginSubBlock() noexcept {
    mixRamp_.startSubBlock(mix_.advance());
    feedbackRamp_.startSubBlock(feedback_.advance());
    panRamp_.startSubBlock(pan_.advance());
    if (mixRamp_.zero()) {
        idle_ = true;
        return;
    }
    if (idle_) {
        // Back from silence: nothing of what played before the mix reached 0 comes back.
        idle_ = false;
        sinceRestart_ = 0;
        delay_[0] = nextDelay_[0] = targetDelay_[0];
        delay_[1] = nextDelay_[1] = targetDelay_[1];
        fadePos_ = -1;
        send_.restart();
    }
    send_.startSubBlock();
    if (fadePos_ >= fadeFrames_) {
        delay_[0] = nextDelay_[0];
        delay_[1] = nextDelay_[1];
        fadePos_ = -1;
    }
    if (fadePos_ < 0 && (targetDelay_[0] != delay_[0] || targetDelay_[1] != delay_[1])) {
        nextDelay_[0] = targetDelay_[0];
        nextDelay_[1] = targetDelay_[1];
        fadePos_ = 0;
    }
}

template <bool Fading>
void Echo::render(float* p, int frames) noexcept {
    for (int done = 0; done < frames;) {
        int n = std::min({frames - done, kChunkMax, delay_[0], delay_[1]});
        if (fadePos_ >= 0) n = std::min({n, nextDelay_[0], nextDelay_[1]});
        renderChunk<Fading>(p + 2 * done, n);
        done += n;
    }
}

// One chunk of n frames, no more than any delay in use: what the lines give for these frames
// was written before them, so each step runs over the whole chunk in plain arrays the compiler
// vectorises, every sample through the same operations as one frame at a time. Most loops run
// over all kChunkMax frames (a fixed count needs no scalar tail); frames from n on are scratch.
template <bool Fading>
void Echo::renderChunk(float* p, int n) noexcept {
    constexpr int K = kChunkMax;
    alignas(16) float wetL[K], wetR[K], nextL[K], nextR[K];
    alignas(16) float inL[K] = {}, inR[K] = {}, mix[K] = {}, fb[K] = {}, pan[K] = {};
    alignas(16) float send[K] = {};
    float* const bufL = line_[0].data();
    float* const bufR = line_[1].data();
    const int mask = line_[0].mask();
    const int w = line_[0].writePos();  // the two lines are pushed together
    readSpan(bufL, mask, w - delay_[0], wetL);
    readSpan(bufR, mask, w - delay_[1], wetR);
    // Back from idle not long ago: what the lines held before counts as silence.
    const bool forgetting = sinceRestart_ < kNeverRestarted;
    if (forgetting) {
        forgetBefore(wetL, delay_[0], sinceRestart_);
        forgetBefore(wetR, delay_[1], sinceRestart_);
    }
    if (fadePos_ >= 0) {
        // Cross-fade towards the new read positions, one step per frame.
        readSpan(bufL, mask, w - nextDelay_[0], nextL);
        readSpan(bufR, mask, w - nextDelay_[1], nextR);
        if (forgetting) {
            forgetBefore(nextL, nextDelay_[0], sinceRestart_);
            forgetBefore(nextR, nextDelay_[1], sinceRestart_);
        }
        for (int k = 0; k < K; ++k) {
            const float g = static_cast<float>(fadePos_ + k) * fadeStep_;
            wetL[k] += g * (nextL[k] - wetL[k]);
            wetR[k] += g * (nextR[k] - wetR[k]);
        }
        fadePos_ += n;
    }

    for (int k = 0; k < n; ++k) {
        inL[k] = p[2 * k];
        inR[k] = p[2 * k + 1];
    }
    mixRamp_.fill(mix, n);
    feedbackRamp_.fill(fb, n);
    panRamp_.fill(pan, n);
    if constexpr (Fading) send_.fill(send, n);
    // What goes back into the lines (reusing the arrays of the new read positions).
    for (int k = 0; k < K; ++k) {
        float sendL = inL[k], sendR = inR[k];
        if constexpr (Fading) {
            sendL *= send[k];
            sendR *= send[k];
        }
        const float backL = wetL[k] + pan[k] * (wetR[k] - wetL[k]);
        const float backR = wetR[k] + pan[k] * (wetL[k] - wetR[k]);
        nextL[k] = sendL + fb[k] * backL;
        nextR[k] = sendR + fb[k] * backR;
    }
    writeSpan(bufL, mask, w, nextL, n);
    writeSpan(bufR, mask, w, nextR, n);
    line_[0].setWritePos(w + n);
    line_[1].setWritePos(w + n);
    if (forgetting) {
        // Once the lines have been written round, nothing older can be read any more.
        sinceRestart_ += n;
        if (sinceRestart_ > mask) sinceRestart_ = kNeverRestarted;
    }
    for (int k = 0; k < n; ++k) {
        p[2 * k] = inL[k] + mix[k] * (wetL[k] - inL[k]);
        p[2 * k + 1] = inR[k] + mix[k] * (wetR[k] - inR[k]);
    }
}

void Echo::process(float* stereo, int frames) noexcept {
    if (primed_) {
        loadTargets();
        const bool moving = mix_.moving() || feedback_.moving() || pan_.moving();
        if (!moving && idle_) {
            subPos_ = dsp::subPosAfter(subPos_, frames);  // silent and settled
            return;
        }
        if (!moving && !idle_ && mixRamp_.steady() && feedbackRamp_.steady() && panRamp_.steady() &&
            !send_.fading() && fadePos_ < 0 && targetDelay_[0] == delay_[0] &&
            targetDelay_[1] == delay_[1] && line_[0].ready()) {
            // Settled: every sub-block would start where the last one ended, so the block
            // renders in one piece.
            dsp::ScopedNoDenormals noDenormals;
            render<false>(stereo, frames);
            subPos_ = dsp::subPosAfter(subPos_, frames);
            return;
        }
    }
    if (!line_[0].ready()) return;  // not prepared: pass the sound through rather than fail
    dsp::processWithSend(*this, stereo, frames);
}

}  // namespace velorixa::fx
