#include "audio/analysis/spectrum.h"

#include <kissfft/kiss_fftr.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace velorixa::audio {

Spectrum512::Spectrum512() : cfg_(kiss_fftr_alloc(kSize, 0, nullptr, nullptr)) {
    for (int i = 0; i < kSize; ++i)
        window_[i] = 0.5f * (1.f - std::cos(2.f * std::numbers::pi_v<float> * i / kSize));
}

Spectrum512::~Spectrum512() {
    kiss_fftr_free(cfg_);
}

bool Spectrum512::compute(const float* mono, float* out) {
    if (!cfg_) return false;
    float in[kSize];
    kiss_fft_cpx spectrum[kSize / 2 + 1];
    for (int i = 0; i < kSize; ++i) {
        in[i] = mono[i] * window_[i];
    }
    kiss_fftr(static_cast<kiss_fftr_cfg>(cfg_), in, spectrum);
    for (int k = 0; k < kSize / 2; ++k) {
        out[k] = std::hypot(spectrum[k].r, spectrum[k].i) * 4.f / kSize;
    }
    return true;
}

}  // namespace velorixa::audio
