#pragma once
// The spectrum the display draws: magnitudes of a Hann-windowed 512-point FFT of the sound being
// heard, scaled so that a full-scale sine peaks near 1.
//
// Thread contract: an object belongs to one thread at a time (the transform works in scratch
// space of its own); compute() never locks, waits or allocates.

namespace velorixa::audio {

class Spectrum512 {
  public:
    static constexpr int kSize = 512;

    Spectrum512();
    ~Spectrum512();
    Spectrum512(const Spectrum512&) = delete;
    Spectrum512& operator=(const Spectrum512&) = delete;

    // mono: kSize samples, oldest first. out: kSize / 2 values |X_k| * 2 / N, doubled again for
    // the Hann window's coherent gain of 0.5. False when the transform could not be set up.
    bool compute(const float* mono, float* out);

  private:
    void* cfg_;            // kiss_fftr_cfg
    float window_[kSize];  // the Hann window, computed once
};

}  // namespace velorixa::audio
