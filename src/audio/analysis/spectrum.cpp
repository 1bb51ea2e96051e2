#include "audio/analysis/spectrum.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace velorixa::audio {

struct Spectrum512::Plan {
    int frames = 0;
    kiss_fftr_cfg cfg = nullptr;
    std::vector<float> window;  // the Hann window, computed once
    ~Plan() { kiss_fftr_free(cfg); }
};

Spectrum512::Spectrum512()
    : in_(kMaxWindow), magnitude_(kMaxWindow / 2 + 1), scratch_(2 * (kMaxWindow / 2 + 1)) {
    planFor(kSize);
}

Spectrum512::~Spectrum512() = default;

int Spectrum512::WindowFrames(int rateHz) {
    if (rateHz <= 0) return kSize;
    const double octaves = std::log2(rateHz / (kBinHz * kSize));
    const int shift = static_cast<int>(std::lround(octaves));
    const int frames = shift >= 0 ? kSize << std::min(shift, 3) : kSize >> std::min(-shift, 3);
    return std::clamp(frames, 64, kMaxWindow);
}

Spectrum512::Plan* Spectrum512::planFor(int frames) {
    for (auto& p : plans_)
        if (p->frames == frames) return p->cfg ? p.get() : nullptr;
    auto plan = std::make_unique<Plan>();
    plan->frames = frames;
    plan->cfg = kiss_fftr_alloc(frames, 0, nullptr, nullptr);
    plan->window.resize(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        plan->window[static_cast<size_t>(i)] =
            0.5f * (1.f - std::cos(2.f * std::numbers::pi_v<float> * i / frames));
    plans_.push_back(std::move(plan));
    return plans_.back()->cfg ? plans_.back().get() : nullptr;
}

bool Spectrum512::transform(Plan& plan, const float* mono) {
    const int n = plan.frames;
    for (int i = 0; i < n; ++i)
        in_[static_cast<size_t>(i)] = mono[i] * plan.window[static_cast<size_t>(i)];
    auto* spectrum = reinterpret_cast<kiss_fft_cpx*>(scratch_.data());
    kiss_fftr(plan.cfg, in_.data(), spectrum);
    for (int k = 0; k <= n / 2; ++k) {
        // |X_k| as hypotf() computes it for finite values (the squares and their sum in double,
        // one rounding to float), inline and without its call and error checks per bin.
        const float re = spectrum[k].r, im = spectrum[k].i;
        const float mag = std::isfinite(re) && std::isfinite(im)
                              ? static_cast<float>(std::sqrt(static_cast<double>(re) * re +
                                                             static_cast<double>(im) * im))
                              : std::hypot(re, im);
        magnitude_[static_cast<size_t>(k)] = mag * 4.f / static_cast<float>(n);
    }
    return true;
}

bool Spectrum512::compute(const float* mono, float* out) {
    Plan* plan = planFor(kSize);
    if (!plan || !transform(*plan, mono)) return false;
    std::copy_n(magnitude_.begin(), kBins, out);
    return true;
}

bool Spectrum512::compute(const float* mono, int rateHz, float* out) {
    const int n = WindowFrames(rateHz);
    if (rateHz <= 0) return false;
    Plan* plan = planFor(n);
    if (!plan || !transform(*plan, mono)) return false;
    // Where kBinHz falls on the window's own bins; at 44.1 kHz (and 88.2, 176.4) exactly on them.
    const double step = kBinHz * n / rateHz;
    const int nyquistBin = n / 2;
    for (int k = 0; k < kBins; ++k) {
        const double at = k * step;
        const int lo = static_cast<int>(at);
        if (lo >= nyquistBin) {
            out[k] = 0.f;
            continue;
        }
        const auto frac = static_cast<float>(at - lo);
        const float a = magnitude_[static_cast<size_t>(lo)];
        const float b = magnitude_[static_cast<size_t>(lo + 1)];
        out[k] = frac == 0.f ? a : a + frac * (b - a);
    }
    return true;
}

}  // namespace velorixa::audio
