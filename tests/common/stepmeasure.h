#pragma once
// Clicks and zipper steps in interleaved stereo, measured against the signal's own level.
//
// A signal whose spectrum stays below f Hz never steps by more than 2 sin(pi f / fs) times its
// peak between two samples (Bernstein's inequality). A tone through slow gain, pan, filter,
// delay or pitch glides stays near its frequency, so its steps stay within that bound of its
// local peak; a click (a jump in level, phase or delay) steps by a good share of the level at
// once, ten times and more above it.

#include <algorithm>
#include <cmath>
#include <vector>

namespace testmedia {

struct StepReport {
    double worstRatio = 0.0;  // step / (2 sin(pi f / fs) * local peak + margin)
    int worstFrame = -1;
};

// margin: absolute slack, -80 dB of full scale by default, where level-relative steps stop
// meaning anything. The local peak is taken over one period of maxHz either side.
inline StepReport measureSteps(const std::vector<float>& stereo, double maxHz, double margin = 1e-4,
                               double rateHz = 44100) {
    const int frames = static_cast<int>(stereo.size() / 2);
    const int window = static_cast<int>(rateHz / maxHz);
    const double perPeak = 2.0 * std::sin(M_PI * maxHz / rateHz);
    StepReport rep;
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<float> peak((frames + window - 1) / window, 0.0f);
        for (int n = 0; n < frames; ++n)
            peak[n / window] = std::max(peak[n / window], std::fabs(stereo[2 * n + ch]));
        for (int n = 1; n < frames; ++n) {
            const size_t b = n / window;
            float p = peak[b];
            if (b > 0) p = std::max(p, peak[b - 1]);
            if (b + 1 < peak.size()) p = std::max(p, peak[b + 1]);
            const double step = std::fabs(stereo[2 * n + ch] - stereo[2 * (n - 1) + ch]);
            const double ratio = step / (perPeak * p + margin);
            if (ratio > rep.worstRatio) rep = {ratio, n};
        }
    }
    return rep;
}

}  // namespace testmedia
