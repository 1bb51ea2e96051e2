#include "audio/realtime/fx/echo.h"

#include <cmath>

namespace velorixa::fx {

namespace {
constexpr float kGlideMs = 20.0f;
constexpr int kFadeFrames = 64 * dsp::kSubBlockFrames;  // 23 ms at 44.1 kHz
constexpr float kMaxDelayMs = 2000.0f;
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
        for (auto& line : line_)
            line.reset();
        delay_[0] = nextDelay_[0] = targetDelay_[0];
        delay_[1] = nextDelay_[1] = targetDelay_[1];
        fadePos_ = -1;
        send_.restart();
    }
    send_.startSubBlock();
    if (fadePos_ >= kFadeFrames) {
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
    constexpr float kFadeStep = 1.0f / kFadeFrames;
    for (int i = 0; i < frames; ++i, p += 2) {
        float wetL = line_[0].readInt(delay_[0]);
        float wetR = line_[1].readInt(delay_[1]);
        if (fadePos_ >= 0) {
            const float g = static_cast<float>(fadePos_) * kFadeStep;
            wetL += g * (line_[0].readInt(nextDelay_[0]) - wetL);
            wetR += g * (line_[1].readInt(nextDelay_[1]) - wetR);
            ++fadePos_;
        }
        const float mix = mixRamp_.next();
        const float fb = feedbackRamp_.next();
        const float pan = panRamp_.next();
        const float inL = p[0], inR = p[1];
        float sendL = inL, sendR = inR;
        if constexpr (Fading) {
            const float send = send_.next();
            sendL *= send;
            sendR *= send;
        }
        const float backL = wetL + pan * (wetR - wetL);
        const float backR = wetR + pan * (wetL - wetR);
        line_[0].push(sendL + fb * backL);
        line_[1].push(sendR + fb * backR);
        p[0] = inL + mix * (wetL - inL);
        p[1] = inR + mix * (wetR - inR);
    }
}

void Echo::process(float* stereo, int frames) noexcept {
    if (primed_ && idle_) {
        loadTargets();
        if (!mix_.moving() && !feedback_.moving() && !pan_.moving()) {
            subPos_ = dsp::subPosAfter(subPos_, frames);  // silent and settled
            return;
        }
    }
    if (!line_[0].ready()) return;  // not prepared: pass the sound through rather than fail
    dsp::processBlock(
        primed_, subPos_, stereo, frames, [this] { reset(); }, [this] { loadTargets(); },
        [this] { beginSubBlock(); },
        [this](float* p, int n) {
            if (idle_) return;
            if (send_.fading()) {
                render<true>(p, n);
            } else {
                render<false>(p, n);
            }
        });
}

}  // namespace velorixa::fx
