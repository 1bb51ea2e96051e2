#pragma once
// The spectrum the display draws: magnitudes of a Hann-windowed FFT of the sound being heard,
// scaled so that a full-scale sine peaks near 1, on one frequency axis at every output rate:
// bin k stands for k x kBinHz (the bins of a 512-point transform at 44.1 kHz), so the display's
// bands cover the same frequencies whatever rate the output runs at.
//
// Thread contract: an object belongs to one thread at a time (the transform works in scratch
// space of its own); compute() never locks or waits, and allocates only the first time it meets
// a window length.

#include <memory>
#include <vector>

namespace velorixa::audio {

class Spectrum512 {
  public:
    static constexpr int kSize = 512;
    static constexpr int kBins = kSize / 2;
    static constexpr double kBinHz = 44100.0 / kSize;
    static constexpr int kMaxWindow = 4096;

    Spectrum512();
    ~Spectrum512();
    Spectrum512(const Spectrum512&) = delete;
    Spectrum512& operator=(const Spectrum512&) = delete;

    // The window, in frames at rateHz, whose own bins come nearest to kBinHz (a power of two):
    // 512 at 44.1 and 48 kHz, 1024 at 88.2 and 96 kHz, 2048 at 192 kHz.
    static int WindowFrames(int rateHz);

    // mono: kSize samples at 44.1 kHz, oldest first. out: kBins values |X_k| * 2 / N, doubled
    // again for the Hann window's coherent gain of 0.5. False when the transform could not be
    // set up.
    bool compute(const float* mono, float* out);
    // mono: WindowFrames(rateHz) samples at rateHz. out: kBins magnitudes, bin k at k x kBinHz
    // (read between the window's own bins), 0 above the rate's Nyquist.
    bool compute(const float* mono, int rateHz, float* out);

  private:
    struct Plan;
    Plan* planFor(int frames);
    bool transform(Plan& plan, const float* mono);

    std::vector<std::unique_ptr<Plan>> plans_;
    std::vector<float> in_;
    std::vector<float> magnitude_;
    std::vector<float> scratch_;  // kiss_fft_cpx pairs
};

}  // namespace velorixa::audio
