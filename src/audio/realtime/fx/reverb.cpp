#include "audio/realtime/fx/reverb.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>

#include "audio/realtime/fx/simd.h"

namespace velorixa::fx {

namespace {
constexpr float kGlideMs = 30.0f;
constexpr float kMinDecayMs = 40.0f;
// Line lengths at 44.1 kHz (29..66 ms), mutually prime, so echoes do not pile up on a common
// period; scaled with the sample rate.
constexpr int kLengths44k[Reverb::kLines] = {1277, 1487, 1693, 1877, 2111, 2339, 2593, 2903};
// Input and output sign patterns: each differs from every Hadamard row, so a single impulse
// reaches all lines at once, and left/right come out decorrelated.
constexpr float kInL[Reverb::kLines] = {1, -1, 1, 1, -1, 1, -1, -1};
constexpr float kInR[Reverb::kLines] = {1, 1, -1, 1, 1, -1, -1, 1};
constexpr float kOutL[Reverb::kLines] = {1, 1, 1, -1, -1, 1, -1, 1};
constexpr float kOutR[Reverb::kLines] = {-1, 1, 1, 1, -1, -1, 1, 1};
// Input spread over 8 lines at 1/sqrt(8) keeps the injected energy at 1; the output sum at
// 1/2 gives a wet level near the dry level for a 1 s reverb.
constexpr float kInScale = 0.35355339f;
constexpr float kOutScale = 0.5f;
// First-pass damping cut-off about 1.1 kHz; each further pass is darker. The poles are worked
// out as at 44.1 kHz (the ratio's decay reached at 22.05 kHz) and then moved to the rate in use
// so that the filter keeps its cut-off in Hz: p ^ (44100 / rate) puts a one-pole's -3 dB point
// within 1 % of the same frequency.
constexpr double kMaxPole = 0.85;
constexpr double kDesignRateHz = 44100.0;
constexpr float kHadamardScale = 0.35355339f;  // 1/sqrt(8): the matrix stays lossless
constexpr float kSilentDb = -96.0f;
constexpr int kLinePadFloats = 16;  // one 64-byte cache line between two lines
constexpr int kChunkMax = dsp::kSubBlockFrames;

// One frame of every line's damping filter; the lines' recursions are independent, so spelling
// them out side by side lets them overlap instead of waiting on each other.
template <size_t... I>
inline void dampFrame(float* d, const float* gainIn, const float* pole, float (*s)[kChunkMax],
                      int k, std::index_sequence<I...>) noexcept {
    ((d[I] = gainIn[I] * s[I][k] + pole[I] * d[I], s[I][k] = d[I]), ...);
}

// Four frames of one line (see simd.h), each lane the same operations as one frame alone.
using simd::F4;

inline F4 load4(const float* p) noexcept {
    F4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void butterfly(F4& a, F4& b) noexcept {
    const F4 x = a, y = b;
    a = x + y;
    b = x - y;
}

// The lines' damped outputs in s (line-major, kChunkMax frames each) become the two output sums
// and, through the Hadamard matrix plus the input's send, what goes back into the lines. One
// pass, four frames at a time with all eight lines in registers.
template <size_t... I>
inline void mixChunk(float (*s)[kChunkMax], const float* sendL, const float* sendR, float* outL,
                     float* outR, std::index_sequence<I...>) noexcept {
    for (int k = 0; k < kChunkMax; k += 4) {
        F4 v[] = {load4(s[I] + k)...};
        F4 l = {}, r = {};
        ((l += kOutL[I] * v[I]), ...);
        ((r += kOutR[I] * v[I]), ...);
        std::memcpy(outL + k, &l, sizeof l);
        std::memcpy(outR + k, &r, sizeof r);
        butterfly(v[0], v[1]), butterfly(v[2], v[3]), butterfly(v[4], v[5]), butterfly(v[6], v[7]);
        butterfly(v[0], v[2]), butterfly(v[1], v[3]), butterfly(v[4], v[6]), butterfly(v[5], v[7]);
        butterfly(v[0], v[4]), butterfly(v[1], v[5]), butterfly(v[2], v[6]), butterfly(v[3], v[7]);
        const F4 inL = load4(sendL + k), inR = load4(sendR + k);
        ((v[I] = kHadamardScale * v[I] + kInL[I] * inL + kInR[I] * inR), ...);
        (std::memcpy(s[I] + k, &v[I], sizeof v[I]), ...);
    }
}
}  // namespace

Reverb::Reverb() noexcept
    : inGainDb_(kDefaults.fInGain),
      reverbMixDb_(kDefaults.fReverbMix),
      reverbTimeMs_(kDefaults.fReverbTime),
      hfRatio_(kDefaults.fHighFreqRTRatio) {}

void Reverb::prepare(double sampleRateHz, int /*maxBlockFrames*/) {
    sampleRateHz_ = sampleRateHz > 0.0 ? sampleRateHz : 44100.0;
    int longest = 0;
    chunk_ = dsp::kSubBlockFrames;
    for (int i = 0; i < kLines; ++i) {
        length_[i] = std::max(
            1, static_cast<int>(std::lround(kLengths44k[i] * sampleRateHz_ / kDesignRateHz)));
        longest = std::max(longest, length_[i]);
        chunk_ = std::min(chunk_, length_[i]);
    }
    poleExponent_ = kDesignRateHz / sampleRateHz_;
    stride_ = 1;
    while (stride_ < longest + 1)
        stride_ <<= 1;
    mask_ = stride_ - 1;
    lineStride_ = stride_ + kLinePadFloats;
    buffer_ = dsp::ZeroedFloats(static_cast<size_t>(lineStride_) * kLines);
    inGain_.configure(sampleRateHz_, kGlideMs, 1e-7f);
    wet_.configure(sampleRateHz_, kGlideMs, 1e-7f);
    timeLog2_.configure(sampleRateHz_, kGlideMs, 1e-4f);
    ratioLog2_.configure(sampleRateHz_, kGlideMs, 1e-4f);
    reset();
}

void Reverb::reset() noexcept {
    primed_ = false;
    buffer_.clear();
    for (float& d : damp_)
        d = 0.0f;
    write_ = 0;
    loadTargets();
    inGain_.snap();
    wet_.snap();
    timeLog2_.snap();
    ratioLog2_.snap();
    inRamp_.jump(inGain_.current());
    wetRamp_.jump(wet_.current());
    decayValid_ = false;
    idle_ = false;
    send_.full();
    subPos_ = 0;
}

void Reverb::setParameters(const void* record) noexcept {
    const auto& r = *static_cast<const DX8Reverb*>(record);
    inGainDb_.store(dsp::clampOr(r.fInGain, -96.0f, 0.0f, kDefaults.fInGain));
    reverbMixDb_.store(dsp::clampOr(r.fReverbMix, -96.0f, 0.0f, kDefaults.fReverbMix));
    reverbTimeMs_.store(dsp::clampOr(r.fReverbTime, 0.001f, 3000.0f, kDefaults.fReverbTime));
    hfRatio_.store(dsp::clampOr(r.fHighFreqRTRatio, 0.001f, 0.999f, kDefaults.fHighFreqRTRatio));
}

void Reverb::getParameters(void* record) const noexcept {
    auto& r = *static_cast<DX8Reverb*>(record);
    r.fInGain = inGainDb_.load();
    r.fReverbMix = reverbMixDb_.load();
    r.fReverbTime = reverbTimeMs_.load();
    r.fHighFreqRTRatio = hfRatio_.load();
}

void Reverb::loadTargets() noexcept {
    // Gains glide as amplitudes: the slope of a fade stays bounded however far the jump.
    inGain_.setTarget(dsp::dbToGain(inGainDb_.load()));
    // -96 dB, the bottom of the range, is no reverb at all.
    const float mixDb = reverbMixDb_.load();
    wet_.setTarget(mixDb <= kSilentDb ? 0.0f : dsp::dbToGain(mixDb));
    // Times glide in log2 so that 10 ms -> 20 ms moves as evenly as 1 s -> 2 s. Below
    // kMinDecayMs the shortest line's first return is already under -40 dB, so the floor is
    // inaudible as reverb, but it keeps a jump to the shortest time from cutting a running
    // tail within a few samples (a click).
    timeLog2_.setTarget(std::log2(std::max(reverbTimeMs_.load(), kMinDecayMs)));
    ratioLog2_.setTarget(std::log2(hfRatio_.load()));
}

void Reverb::updateDecay() noexcept {
    const double timeS = std::exp2(static_cast<double>(timeLog2_.current())) * 0.001;
    const double ratio = std::exp2(static_cast<double>(ratioLog2_.current()));
    for (int i = 0; i < kLines; ++i) {
        // -60 dB over the reverb time: per pass through a line of m frames the level falls
        // by 60 * m / (T * fs) dB; at Nyquist by the same over T * ratio.
        const double passes = sampleRateHz_ * timeS / length_[i];
        const double gDc = std::pow(10.0, -3.0 / passes);
        const double gHf = std::pow(10.0, -3.0 / (passes * ratio));
        const double r = gDc > 0.0 ? gHf / gDc : 1.0;
        // A one-pole can only reach a tiny Nyquist gain by moving its pole to 1, which would
        // turn the network into a DC hold; below kMaxPole the tail just stays this dark.
        double pole = std::min((1.0 - r) / (1.0 + r), kMaxPole);
        if (poleExponent_ != 1.0) pole = std::pow(pole, poleExponent_);
        pole_[i] = static_cast<float>(pole);
        gainIn_[i] = static_cast<float>(gDc * (1.0 - pole));
    }
}

void Reverb::beginSubBlock() noexcept {
    const bool moving = timeLog2_.moving() || ratioLog2_.moving();
    timeLog2_.advance();
    ratioLog2_.advance();
    if (moving || !decayValid_) {
        updateDecay();
        decayValid_ = !moving;
    }
    inRamp_.startSubBlock(inGain_.advance());
    wetRamp_.startSubBlock(wet_.advance());
    if (wetRamp_.zero()) {
        idle_ = true;
    } else if (idle_) {
        idle_ = false;
        buffer_.clear();
        std::fill(std::begin(damp_), std::end(damp_), 0.0f);
        send_.restart();
    }
    send_.startSubBlock();
}

template <bool Fading>
void Reverb::render(float* p, int frames) noexcept {
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, chunk_);
        renderChunk<Fading>(p + 2 * done, n);
        done += n;
    }
}

// One chunk of n <= chunk_ frames. Every line is longer than the chunk, so what the lines give
// for these frames was written before them: each step below runs over the whole chunk, line by
// line, in plain arrays the compiler vectorises. Every sample goes through the same operations
// in the same order as when the network is stepped one frame at a time, so the output does not
// depend on the chunking. Most loops run over all kChunkMax frames (a fixed count vectorises
// without a scalar tail); frames from n on are scratch and never reach the output or the lines.
template <bool Fading>
void Reverb::renderChunk(float* p, int n) noexcept {
    constexpr int K = kChunkMax;
    alignas(16) float s[kLines][K];
    alignas(16) float inL[K] = {}, inR[K] = {}, sendL[K] = {}, sendR[K] = {}, wet[K] = {};
    alignas(16) float outL[K], outR[K];
    float* const base = buffer_.data();

    for (int k = 0; k < n; ++k) {
        float g = inRamp_.next() * kInScale;
        if constexpr (Fading) g *= send_.next();
        inL[k] = p[2 * k];
        inR[k] = p[2 * k + 1];
        sendL[k] = g * inL[k];
        sendR[k] = g * inR[k];
        wet[k] = wetRamp_.next();
    }
    // The lines' outputs for these frames.
    for (int i = 0; i < kLines; ++i) {
        const float* line = base + i * lineStride_;
        const int from = (write_ - length_[i]) & mask_;
        if (from + K <= stride_) {
            for (int k = 0; k < K; ++k)
                s[i][k] = line[from + k];
        } else {
            for (int k = 0; k < K; ++k)
                s[i][k] = line[(from + k) & mask_];
        }
    }
    // Damping: one one-pole per line, the eight recursions side by side.
    float d[kLines];
    std::copy_n(damp_, kLines, d);
    for (int k = 0; k < n; ++k)
        dampFrame(d, gainIn_, pole_, s, k, std::make_index_sequence<kLines>{});
    std::copy_n(d, kLines, damp_);

    mixChunk(s, sendL, sendR, outL, outR, std::make_index_sequence<kLines>{});
    // Into the lines.
    const bool straight = n == K && write_ + K <= stride_;
    for (int i = 0; i < kLines; ++i) {
        float* line = base + i * lineStride_;
        if (straight) {
            for (int k = 0; k < K; ++k)
                line[write_ + k] = s[i][k];
        } else {
            for (int k = 0; k < n; ++k)
                line[(write_ + k) & mask_] = s[i][k];
        }
    }
    write_ = (write_ + n) & mask_;
    for (int k = 0; k < n; ++k) {
        // Amplitude cross-fade: 0 dB is reverb alone, -90 dB leaves 1 - 3.2e-5 of the dry.
        p[2 * k] = inL[k] + wet[k] * (kOutScale * outL[k] - inL[k]);
        p[2 * k + 1] = inR[k] + wet[k] * (kOutScale * outR[k] - inR[k]);
    }
}

void Reverb::process(float* stereo, int frames) noexcept {
    if (primed_ && idle_) {
        loadTargets();
        if (!inGain_.moving() && !wet_.moving() && !timeLog2_.moving() && !ratioLog2_.moving()) {
            subPos_ = dsp::subPosAfter(subPos_, frames);  // silent and settled
            return;
        }
    }
    if (buffer_.empty()) return;  // not prepared: pass the sound through rather than fail
    dsp::processWithSend(*this, stereo, frames);
}

}  // namespace velorixa::fx
