#include "audio/realtime/fx/param_eq.h"

#include <cmath>

namespace velorixa::fx {

namespace {
// 30 ms glides: a knob stepping 1 dB every 100 ms moves smoothly yet follows within a step.
constexpr float kGlideMs = 30.0f;
}  // namespace

ParamEq::ParamEq() noexcept
    : centreHz_(kDefaults.fCenter),
      bandwidthSemitones_(kDefaults.fBandwidth),
      gainDb_(kDefaults.fGain) {
    prepare(sampleRateHz_, 0);
}

void ParamEq::prepare(double sampleRateHz, int /*maxBlockFrames*/) {
    sampleRateHz_ = sampleRateHz > 0.0 ? sampleRateHz : 44100.0;
    centreLog2_.configure(sampleRateHz_, kGlideMs, 1e-4f);
    bandwidthOct_.configure(sampleRateHz_, kGlideMs, 1e-4f);
    gain_.configure(sampleRateHz_, kGlideMs, 1e-3f);
    reset();
}

void ParamEq::reset() noexcept {
    primed_ = false;
    loadTargets();
    centreLog2_.snap();
    bandwidthOct_.snap();
    gain_.snap();
    filter_.reset();
    coeffsValid_ = false;
    subPos_ = 0;
}

void ParamEq::setParameters(const void* record) noexcept {
    const auto& r = *static_cast<const DX8ParamEq*>(record);
    centreHz_.store(dsp::clampOr(r.fCenter, 80.0f, 16000.0f, kDefaults.fCenter));
    bandwidthSemitones_.store(dsp::clampOr(r.fBandwidth, 1.0f, 36.0f, kDefaults.fBandwidth));
    gainDb_.store(dsp::clampOr(r.fGain, -15.0f, 15.0f, kDefaults.fGain));
}

void ParamEq::getParameters(void* record) const noexcept {
    auto& r = *static_cast<DX8ParamEq*>(record);
    r.fCenter = centreHz_.load();
    r.fBandwidth = bandwidthSemitones_.load();
    r.fGain = gainDb_.load();
}

void ParamEq::loadTargets() noexcept {
    // A peaking filter near Nyquist warps badly: the centre stays below a third of the rate.
    const float centre = std::fmin(centreHz_.load(), static_cast<float>(sampleRateHz_ / 3.0));
    centreLog2_.setTarget(std::log2(centre));
    bandwidthOct_.setTarget(bandwidthSemitones_.load() / 12.0f);
    gain_.setTarget(gainDb_.load());
}

void ParamEq::beginSubBlock() noexcept {
    const bool moving = centreLog2_.moving() || bandwidthOct_.moving() || gain_.moving();
    centreLog2_.advance();
    bandwidthOct_.advance();
    gain_.advance();
    bypass_ = !moving && gain_.current() == 0.0f;
    if (!bypass_ && (moving || !coeffsValid_)) {
        filter_.setCoeffs(dsp::StereoBiquad::peaking(
            sampleRateHz_, std::exp2(static_cast<double>(centreLog2_.current())),
            bandwidthOct_.current(), gain_.current()));
        coeffsValid_ = !moving;
    }
}

bool ParamEq::settledFiltering() noexcept {
    if (!primed_) return false;
    loadTargets();
    const bool settled = !centreLog2_.moving() && !bandwidthOct_.moving() && !gain_.moving();
    return settled && !bypass_ && coeffsValid_;
}

template <int N>
bool ParamEq::trySeries(ParamEq* const* bands, float* stereo, int frames) noexcept {
    dsp::StereoBiquad* filters[N];
    for (int b = 0; b < N; ++b) {
        if (!bands[b]->settledFiltering()) return false;
        filters[b] = &bands[b]->filter_;
    }
    dsp::ScopedNoDenormals noDenormals;
    dsp::StereoBiquad::processCascade(filters, stereo, frames);
    for (int b = 0; b < N; ++b)
        bands[b]->subPos_ = dsp::subPosAfter(bands[b]->subPos_, frames);
    return true;
}

void ParamEq::processSeries(ParamEq* const* bands, size_t count, float* stereo,
                            int frames) noexcept {
    // Three at a time (the player's equaliser); whatever is not settled, or left over, runs
    // band by band. process() loads the targets once more, which only takes a newer value.
    size_t b = 0;
    for (; b + 3 <= count; b += 3) {
        if (!trySeries<3>(bands + b, stereo, frames)) {
            for (size_t k = b; k < b + 3; ++k)
                bands[k]->process(stereo, frames);
        }
    }
    if (b + 2 == count && trySeries<2>(bands + b, stereo, frames)) return;
    for (; b < count; ++b)
        bands[b]->process(stereo, frames);
}

void ParamEq::process(float* stereo, int frames) noexcept {
    if (primed_) {
        loadTargets();
        const bool settled = !centreLog2_.moving() && !bandwidthOct_.moving() && !gain_.moving();
        if (settled && bypass_ && gain_.current() == 0.0f) {
            // At 0 dB and settled: the whole block passes, the history follows it.
            filter_.bypass(stereo, frames);
            subPos_ = dsp::subPosAfter(subPos_, frames);
            return;
        }
        if (settled && !bypass_ && coeffsValid_) {
            // Settled elsewhere: every sub-block would start with the coefficients in use, so
            // the whole block runs through them at once.
            dsp::ScopedNoDenormals noDenormals;
            filter_.process(stereo, frames);
            subPos_ = dsp::subPosAfter(subPos_, frames);
            return;
        }
    }
    dsp::processBlock(
        primed_, subPos_, stereo, frames, [this] { reset(); }, [this] { loadTargets(); },
        [this] { beginSubBlock(); },
        [this](float* p, int n) {
            if (bypass_)
                filter_.bypass(p, n);
            else
                filter_.process(p, n);
        });
}

}  // namespace velorixa::fx
