#pragma once
// Building blocks shared by the effects: parameter glides, per-sample ramps, a delay line with
// fractional read, a low-frequency oscillator, a stereo peaking biquad and a denormal guard.
//
// Thread contract: these are plain values owned by one effect; prepare() runs off the audio
// thread (it may allocate), everything else runs on the audio thread and never allocates.
//
// Every effect renders in sub-blocks of kSubBlockFrames counted from its last reset, not from
// the start of the caller's block: parameters glide and coefficients move only at sub-block
// boundaries, so the output does not depend on how the caller cuts the stream into blocks.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "audio/realtime/fx/simd.h"
#include "audio/realtime/fx/zeroed_floats.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define VELORIXA_FX_HAS_MXCSR 1
#endif

namespace velorixa::fx::dsp {

inline constexpr int kSubBlockFrames = 16;
inline constexpr float kPi = 3.14159265358979f;

// Clamps v into lo..hi; NaN becomes fallback (never UB, never a NaN in the DSP).
inline float clampOr(float v, float lo, float hi, float fallback) noexcept {
    if (std::isnan(v)) return fallback;
    return v < lo ? lo : (v > hi ? hi : v);
}
inline int32_t clampInt(int32_t v, int32_t lo, int32_t hi) noexcept {
    return v < lo ? lo : (v > hi ? hi : v);
}
inline float dbToGain(float db) noexcept {
    return std::pow(10.0f, db * 0.05f);
}

// Float loads/stores of one parameter field shared between the GUI and the audio thread.
// Relaxed order is enough: every field is a value of its own and the DSP glides towards it.
class AtomicParam {
  public:
    explicit AtomicParam(float v = 0.0f) noexcept : value_(v) {}
    void store(float v) noexcept { value_.store(v, std::memory_order_relaxed); }
    float load() const noexcept { return value_.load(std::memory_order_relaxed); }

  private:
    std::atomic<float> value_;
};

// Flush denormals to zero while an effect runs: decaying feedback loops otherwise spend most of
// their time on denormal arithmetic. The caller's floating-point mode is restored on exit.
class ScopedNoDenormals {
  public:
    ScopedNoDenormals() noexcept {
#ifdef VELORIXA_FX_HAS_MXCSR
        saved_ = _mm_getcsr();
        _mm_setcsr(saved_ | 0x8040u);  // flush-to-zero and denormals-are-zero
#endif
    }
    ~ScopedNoDenormals() {
#ifdef VELORIXA_FX_HAS_MXCSR
        _mm_setcsr(saved_);
#endif
    }
    ScopedNoDenormals(const ScopedNoDenormals&) = delete;
    ScopedNoDenormals& operator=(const ScopedNoDenormals&) = delete;

  private:
    unsigned saved_ = 0;
};

// A parameter that moves exponentially towards its target, one step per sub-block, and lands
// exactly on it once it is closer than snapEps (so "settled" is an exact state).
class Glide {
  public:
    // timeMs is the time constant of the approach (63 % of a jump is covered in timeMs).
    void configure(double sampleRateHz, float timeMs, float snapEps) noexcept {
        const double subBlocks = timeMs * 0.001 * sampleRateHz / kSubBlockFrames;
        coeff_ = subBlocks <= 1.0 ? 1.0f : static_cast<float>(1.0 - std::exp(-1.0 / subBlocks));
        snapEps_ = snapEps;
    }
    void setTarget(float t) noexcept { target_ = t; }
    void snap() noexcept { current_ = target_; }
    // One sub-block's step; returns the value at the end of the sub-block.
    float advance() noexcept {
        if (current_ != target_) {
            current_ += (target_ - current_) * coeff_;
            if (std::fabs(target_ - current_) <= snapEps_) current_ = target_;
        }
        return current_;
    }
    bool moving() const noexcept { return current_ != target_; }
    float current() const noexcept { return current_; }
    float target() const noexcept { return target_; }

  private:
    float current_ = 0.0f;
    float target_ = 0.0f;
    float coeff_ = 1.0f;
    float snapEps_ = 0.0f;
};

// A value that moves linearly, sample by sample, from the end of the last sub-block to the end
// of this one: gains and mixes change without zipper steps.
struct Ramp {
    float value = 0.0f;
    float step = 0.0f;
    float end = 0.0f;
    void startSubBlock(float newEnd) noexcept {
        value = end;
        step = (newEnd - end) * (1.0f / kSubBlockFrames);
        end = newEnd;
        if (step == 0.0f) value = end;
    }
    void jump(float v) noexcept {
        value = end = v;
        step = 0.0f;
    }
    float next() noexcept {
        const float v = value;
        value += step;
        return v;
    }
    // The next n values, as n calls of next() give them.
    void fill(float* out, int n) noexcept {
        float v = value;
        for (int k = 0; k < n; ++k) {
            out[k] = v;
            v += step;
        }
        value = v;
    }
    bool steady() const noexcept { return step == 0.0f; }
    // Stays at exactly 0 for the whole sub-block.
    bool zero() const noexcept { return step == 0.0f && value == 0.0f; }
};

// The gain of what an effect sends into its delay lines: 1 in steady use; after the effect comes
// back from idle (its lines cleared) it rises from 0 over kSendFadeSubBlocks sub-blocks, so the
// lines do not start with a step that would return later as a click.
class SendFade {
  public:
    static constexpr int kSendFadeSubBlocks = 8;
    void full() noexcept {
        ramp_.jump(1.0f);
        left_ = 0;
    }
    void restart() noexcept {
        ramp_.jump(0.0f);
        left_ = kSendFadeSubBlocks;
    }
    void startSubBlock() noexcept {
        if (left_ > 0) {
            --left_;
            ramp_.startSubBlock(1.0f - static_cast<float>(left_) / kSendFadeSubBlocks);
        } else if (!ramp_.steady()) {
            ramp_.startSubBlock(1.0f);
        }
    }
    float next() noexcept { return ramp_.next(); }
    void fill(float* out, int n) noexcept { ramp_.fill(out, n); }
    // Below 1 somewhere in this sub-block (otherwise the send is the input itself).
    bool fading() const noexcept { return !ramp_.steady() || ramp_.end != 1.0f; }

  private:
    Ramp ramp_{1.0f, 0.0f, 1.0f};
    int left_ = 0;
};

// Mono delay line; read(d) returns the sample pushed d pushes ago (d >= 1), with linear
// interpolation between neighbours for fractional d.
class DelayLine {
  public:
    void prepare(int maxDelayFrames) {
        int size = 1;
        while (size < maxDelayFrames + 2)
            size <<= 1;
        buffer_ = ZeroedFloats(static_cast<size_t>(size));
        mask_ = size - 1;
        write_ = 0;
    }
    void reset() noexcept {
        buffer_.clear();
        write_ = 0;
    }
    void push(float x) noexcept {
        buffer_[static_cast<size_t>(write_)] = x;
        write_ = (write_ + 1) & mask_;
    }
    float readInt(int delayFrames) const noexcept {
        return buffer_[static_cast<size_t>((write_ - delayFrames) & mask_)];
    }
    float readFrac(float delayFrames) const noexcept {
        return readFracAt(buffer_.data(), mask_, write_, delayFrames);
    }
    bool ready() const noexcept { return !buffer_.empty(); }

    // Raw access for loops that keep the write position in a register and push by hand:
    // buffer[write] = x, write = (write + 1) & mask, then setWritePos(write) at the end.
    float* data() noexcept { return buffer_.data(); }
    int mask() const noexcept { return mask_; }
    int writePos() const noexcept { return write_; }
    void setWritePos(int write) noexcept { write_ = write & mask_; }
    // readFrac() on a raw buffer whose next write goes to `write`.
    static float readFracAt(const float* buffer, int mask, int write, float delayFrames) noexcept {
        const int whole = static_cast<int>(delayFrames);
        const float frac = delayFrames - static_cast<float>(whole);
        const float a = buffer[(write - whole) & mask];
        const float b = buffer[(write - whole - 1) & mask];
        return a + frac * (b - a);
    }

  private:
    // Untouched until the effect first sounds: an effect that stays off costs no memory.
    ZeroedFloats buffer_;
    int mask_ = 0;
    int write_ = 0;
};

// kSubBlockFrames samples of a ring buffer (mask + 1 a power of two) from position `from` on,
// for loops that work on a chunk of a delay line in a plain array.
inline void readSpan(const float* ring, int mask, int from, float* out) noexcept {
    from &= mask;
    if (from + kSubBlockFrames <= mask + 1) {
        for (int k = 0; k < kSubBlockFrames; ++k)
            out[k] = ring[from + k];
    } else {
        for (int k = 0; k < kSubBlockFrames; ++k)
            out[k] = ring[(from + k) & mask];
    }
}

// Low-frequency oscillator by phase accumulation; evaluated once per sub-block, so the sine
// costs one std::sin per 16 frames. Both shapes start at 0 rising, which lets the effects
// cross-fade between them without a jump.
class Lfo {
  public:
    void reset() noexcept { phase_ = 0.0; }
    void advance(double cycles) noexcept {
        phase_ += cycles;
        phase_ -= std::floor(phase_);
    }
    double phase() const noexcept { return phase_; }
    // Waveform value in -1..1 at the current phase plus offsetCycles; sineAmount 0 is the
    // triangle, 1 the sine, values between blend the two.
    float value(double offsetCycles, float sineAmount) const noexcept {
        double p = phase_ + offsetCycles;
        p -= std::floor(p);
        const float tri = triangle(p);
        if (sineAmount == 0.0f) return tri;
        const float sine = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * p));
        return tri + sineAmount * (sine - tri);
    }
    static float triangle(double p) noexcept {
        const float x = static_cast<float>(p);
        if (x < 0.25f) return 4.0f * x;
        if (x < 0.75f) return 2.0f - 4.0f * x;
        return 4.0f * x - 4.0f;
    }

  private:
    double phase_ = 0.0;
};

// Walks a block in pieces that never cross a sub-block boundary: begin() runs at the start of
// every sub-block (counted by subPos across calls), render(ptr, frames) on each piece.
template <class Begin, class Render>
inline void forEachSubBlock(int& subPos, float* stereo, int frames, Begin&& begin,
                            Render&& render) noexcept {
    int done = 0;
    while (done < frames) {
        if (subPos == 0) begin();
        const int n = std::min(frames - done, kSubBlockFrames - subPos);
        render(stereo + 2 * done, n);
        subPos = (subPos + n) % kSubBlockFrames;
        done += n;
    }
}

// How many sub-blocks begin within the next `frames` frames when subPos frames of the current
// one are done; and the position after them.
inline int subBlockStarts(int subPos, int frames) noexcept {
    if (frames <= 0) return 0;
    const int first = subPos == 0 ? 0 : kSubBlockFrames - subPos;
    return frames > first ? 1 + (frames - first - 1) / kSubBlockFrames : 0;
}
inline int subPosAfter(int subPos, int frames) noexcept {
    return (subPos + frames) % kSubBlockFrames;
}

// The frame every effect's process() shares: denormals off while it runs; the first sound
// after prepare() or reset() starts at the values set in between (reset() loads and snaps
// them), so a new stream does not glide in from the published defaults; targets read once;
// then the sub-blocks.
template <class Reset, class Load, class Begin, class Render>
inline void processBlock(bool& primed, int& subPos, float* stereo, int frames, Reset&& reset,
                         Load&& loadTargets, Begin&& begin, Render&& render) noexcept {
    ScopedNoDenormals noDenormals;
    if (!primed) reset();
    primed = true;
    loadTargets();
    forEachSubBlock(subPos, stereo, frames, begin, render);
}

// processBlock for an effect that feeds its lines through a send fade: its own reset, targets and
// sub-block start; each sub-block renders unless the effect is idle, through the fading path while
// the send fades. The effect grants access with
// `template <class E> friend void dsp::processWithSend(E&, float*, int) noexcept;`.
template <class Fx>
inline void processWithSend(Fx& fx, float* stereo, int frames) noexcept {
    processBlock(
        fx.primed_, fx.subPos_, stereo, frames, [&fx] { fx.reset(); }, [&fx] { fx.loadTargets(); },
        [&fx] { fx.beginSubBlock(); },
        [&fx](float* p, int n) {
            if (fx.idle_) return;
            if (fx.send_.fading()) {
                fx.template render<true>(p, n);
            } else {
                fx.template render<false>(p, n);
            }
        });
}

// Stereo biquad in direct form I: its state is plain past input and output samples, so a
// coefficient change never leaves inconsistent internal state behind (no click on updates).
class StereoBiquad {
  public:
    struct Coeffs {
        float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    void reset() noexcept {
        x1_[0] = x1_[1] = x2_[0] = x2_[1] = y1_[0] = y1_[1] = y2_[0] = y2_[1] = 0;
    }
    void setCoeffs(const Coeffs& c) noexcept { c_ = c; }
    // RBJ cookbook peaking filter; bandwidth in octaves between the half-gain (in dB) points.
    static Coeffs peaking(double sampleRateHz, double centreHz, double bandwidthOct,
                          double gainDb) noexcept {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * 3.14159265358979323846 * centreHz / sampleRateHz;
        const double sw = std::sin(w0), cw = std::cos(w0);
        const double alpha = sw * std::sinh(std::log(2.0) / 2.0 * bandwidthOct * w0 / sw);
        const double a0 = 1.0 + alpha / a;
        Coeffs c;
        c.b0 = static_cast<float>((1.0 + alpha * a) / a0);
        c.b1 = static_cast<float>(-2.0 * cw / a0);
        c.b2 = static_cast<float>((1.0 - alpha * a) / a0);
        c.a1 = c.b1;
        c.a2 = static_cast<float>((1.0 - alpha / a) / a0);
        return c;
    }
    // Both sides as the two lanes of one vector: each side's recursion waits on its own last
    // output, so the two run side by side, each lane through the same operations as one side
    // alone.
    void process(float* stereo, int frames) noexcept {
        StereoBiquad* one[1] = {this};
        processCascade(one, stereo, frames);
    }
    // N filters in series, run frame by frame instead of one whole block after the other: each
    // filter's recursion waits on its own last output only, so the N of them overlap, where one
    // filter alone mostly waits. Every filter does to every frame exactly what process() does.
    template <int N>
    static void processCascade(StereoBiquad* const (&filters)[N], float* stereo,
                               int frames) noexcept {
        cascade(filters, stereo, frames, std::make_integer_sequence<int, N>{});
    }
    // Passes the samples through unchanged while keeping the history a 0 dB filter would
    // have had (output = input), so filtering can resume later without a jump.
    void bypass(const float* stereo, int frames) noexcept {
        for (int ch = 0; ch < 2; ++ch) {
            if (frames >= 2) {
                x2_[ch] = y2_[ch] = stereo[2 * (frames - 2) + ch];
                x1_[ch] = y1_[ch] = stereo[2 * (frames - 1) + ch];
            } else if (frames == 1) {
                x2_[ch] = x1_[ch];
                y2_[ch] = y1_[ch];
                x1_[ch] = y1_[ch] = stereo[ch];
            }
        }
    }

  private:
    // One filter's state in registers.
    struct Lanes {
        simd::F2 x1, x2, y1, y2;
        Coeffs c;
        explicit Lanes(const StereoBiquad& q) noexcept
            : x1{q.x1_[0], q.x1_[1]},
              x2{q.x2_[0], q.x2_[1]},
              y1{q.y1_[0], q.y1_[1]},
              y2{q.y2_[0], q.y2_[1]},
              c(q.c_) {}
        simd::F2 step(simd::F2 x) noexcept {
            const simd::F2 y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
        void storeTo(StereoBiquad& q) const noexcept {
            for (int ch = 0; ch < 2; ++ch) {
                q.x1_[ch] = x1[ch];
                q.x2_[ch] = x2[ch];
                q.y1_[ch] = y1[ch];
                q.y2_[ch] = y2[ch];
            }
        }
    };
    // The filters spelled out one by one (not a loop over an array), so that every filter's state
    // stays in registers.
    template <int N, int... F>
    static void cascade(StereoBiquad* const (&filters)[N], float* stereo, int frames,
                        std::integer_sequence<int, F...>) noexcept {
        Lanes lanes[N] = {Lanes(*filters[F])...};
        for (int i = 0; i < frames; ++i) {
            simd::F2 x;
            std::memcpy(&x, stereo + 2 * i, sizeof x);
            ((x = lanes[F].step(x)), ...);
            std::memcpy(stereo + 2 * i, &x, sizeof x);
        }
        (lanes[F].storeTo(*filters[F]), ...);
    }

    Coeffs c_;
    float x1_[2] = {0, 0}, x2_[2] = {0, 0}, y1_[2] = {0, 0}, y2_[2] = {0, 0};
};

}  // namespace velorixa::fx::dsp
