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
        // |X_k| as hypotf() computes it for finite values (the squares and their sum in double,
        // one rounding to float), inline and without its call and error checks per bin.
        const float re = spectrum[k].r, im = spectrum[k].i;
        const float mag = std::isfinite(re) && std::isfinite(im)
                              ? static_cast<float>(std::sqrt(static_cast<double>(re) * re +
                                                             static_cast<double>(im) * im))
                              : std::hypot(re, im);
        out[k] = mag * 4.f / kSize;
    }
    return true;
}

}  // namespace velorixa::audio
