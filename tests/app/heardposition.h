#pragma once
// Where in a file the output is, told from the sound itself: the file holds one tone per second
// (300 Hz, then 75 Hz higher each second), so a stretch of rendered output names the second it
// comes from, and the change of tone inside it the exact place.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/audiolib.h"
#include "common/testmedia.h"
#include "windowfixture.h"

namespace velorixa::test {

inline constexpr int kToneSeconds = 40;
inline constexpr int kHeardRate = 44100;
inline double toneHz(int second) {
    return 300.0 + 75.0 * second;
}

// The 40-second file of tones, encoded once per run.
inline QString tonePerSecondFile() {
    std::vector<double> freqs;
    for (int k = 0; k < kToneSeconds; ++k)
        freqs.push_back(toneHz(k));
    return mediaFile("tone per second.mp3", testmedia::toneSteps(freqs, kHeardRate, 2, 0.4));
}

// Renders seconds of the whole output (offline device) as mono.
inline std::vector<float> renderMono(double seconds) {
    const int frames = static_cast<int>(std::lround(seconds * kHeardRate));
    std::vector<float> stereo(2 * static_cast<size_t>(frames));
    EXPECT_EQ(VX_Render(stereo.data(), static_cast<DWORD>(frames)), static_cast<DWORD>(frames));
    std::vector<float> mono(static_cast<size_t>(frames));
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}

// The second of the file whose tone is strongest in x[0..n) (Goertzel power at each tone).
inline int secondOfTone(const float* x, size_t n) {
    int best = -1;
    double bestPower = 0;
    for (int k = 0; k < kToneSeconds; ++k) {
        const double w = 2 * std::numbers::pi * toneHz(k) / kHeardRate;
        const double c = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (size_t i = 0; i < n; ++i) {
            const double s0 = x[i] + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > bestPower) bestPower = power, best = k;
    }
    return best;
}

// Changes of tone in a rendered stretch: (frame of the change, second that starts there).
struct ToneChange {
    double frame;
    int second;
};
inline std::vector<ToneChange> toneChanges(const std::vector<float>& mono) {
    constexpr size_t kWindow = 882, kHop = 110;  // 20 ms windows, 2.5 ms apart
    std::vector<int> seconds;
    for (size_t s = 0; s + kWindow <= mono.size(); s += kHop)
        seconds.push_back(secondOfTone(mono.data() + s, kWindow));
    // A tone counts once it holds for three windows (a seek's first milliseconds may be of
    // neither second); a change is a tone followed by the next second's. The window centred on
    // the change is half of each tone.
    std::vector<ToneChange> changes;
    int stable = -1, run = -1;
    size_t runStart = 0;
    for (size_t i = 0; i < seconds.size(); ++i) {
        if (seconds[i] != run) {
            run = seconds[i];
            runStart = i;
        }
        if (i - runStart + 1 != 3) continue;
        if (stable >= 0 && run == stable + 1)
            changes.push_back({(runStart - 0.5) * kHop + kWindow / 2.0, run});
        stable = run;
    }
    return changes;
}

// The place in the file heard at the first frame of mono; -1 when it holds no change of tone.
inline double heardAtStart(const std::vector<float>& mono) {
    const std::vector<ToneChange> c = toneChanges(mono);
    if (c.empty()) return -1;
    return c[0].second - c[0].frame / kHeardRate;
}

// The place heard just after the last frame of mono; -1 when it holds no change of tone.
inline double heardAfterEnd(const std::vector<float>& mono) {
    const std::vector<ToneChange> c = toneChanges(mono);
    if (c.empty()) return -1;
    return c.back().second + (static_cast<double>(mono.size()) - c.back().frame) / kHeardRate;
}

}  // namespace velorixa::test
