#include "audio/realtime/resampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>

#include "audio/realtime/fx/simd.h"

namespace velorixa::audio {

namespace {

// Four taps at a time (see simd.h); the taps are not aligned, so loads go through memcpy.
using simd::F4;

inline F4 load(const float* p) {
    F4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline float sum(F4 v) {
    return (v[0] + v[1]) + (v[2] + v[3]);
}

inline F4 splat(float x) {
    return F4{x, x, x, x};
}

// One output frame: the taps of the phase row c0 and the next one c1, weighted (1 - a, a),
// against `taps` history frames of each channel. Four independent accumulators per channel
// pair keep the adds from waiting on each other.
//
// OnRow: the read falls exactly on the phase row c0 (a == 0). The blended taps (1 - 0) * c0 +
// 0 * c1 are then c0 itself, bit for bit (a product of +-0 added to a finite tap leaves it as it
// is, and an accumulator that starts at +0 never becomes -0, so a tap of -0 turning into +0 adds
// the same), so the blend is skipped. A step that is a whole number of phases (x2, x1.5 and
// every other multiple of 1 / kPhases) reads only such rows.
template <bool OnRow>
inline void dotStereo(const float* c0, const float* c1, float a, int taps, const float* xl,
                      const float* xr, float* out) {
    const F4 va = splat(a);
    const F4 vb = splat(1.f - a);
    F4 l0{}, l1{}, r0{}, r1{};
    for (int k = 0; k < taps; k += 8) {
        F4 ca = load(c0 + k), cb = load(c0 + k + 4);
        if constexpr (!OnRow) {
            ca = vb * ca + va * load(c1 + k);
            cb = vb * cb + va * load(c1 + k + 4);
        }
        l0 += ca * load(xl + k);
        l1 += cb * load(xl + k + 4);
        r0 += ca * load(xr + k);
        r1 += cb * load(xr + k + 4);
    }
    out[0] = sum(l0 + l1);
    out[1] = sum(r0 + r1);
}

inline void dotMonoOnRow(const float* c0, int taps, const float* x, float* out) {
    F4 s0{}, s1{};
    for (int k = 0; k < taps; k += 8) {
        s0 += load(c0 + k) * load(x + k);
        s1 += load(c0 + k + 4) * load(x + k + 4);
    }
    out[0] = sum(s0 + s1);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VELORIXA_RESAMPLER_AVX2 1
// The stereo dot products once more for CPUs with AVX2, eight taps to a register: lanes 0..3
// hold what l0 / r0 above hold and lanes 4..7 what l1 / r1 hold, so every lane adds the same
// products in the same order and the final sum pairs lane j with lane j + 4 as sum(l0 + l1)
// does. AVX2 brings no fused multiply-add (and the audio layer builds with -ffp-contract=off):
// the results are those of the baseline code, bit for bit. Chosen at run time (see
// Resampler::prepare), so the program still runs on any x86-64.
using F8 = float __attribute__((vector_size(32)));

__attribute__((target("avx2"))) inline F8 load8(const float* p) {
    F8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

__attribute__((target("avx2"))) inline float sum8(F8 v) {
    return ((v[0] + v[4]) + (v[1] + v[5])) + ((v[2] + v[6]) + (v[3] + v[7]));
}

__attribute__((target("avx2"), noinline)) void dotStereoAvx2(const float* c0, const float* c1,
                                                             float a, int taps, const float* xl,
                                                             const float* xr, float* out) {
    F8 l{}, r{};
    if (a == 0.f) {
        for (int k = 0; k < taps; k += 8) {
            const F8 c = load8(c0 + k);
            l += c * load8(xl + k);
            r += c * load8(xr + k);
        }
    } else {
        const float b = 1.f - a;
        const F8 va = {a, a, a, a, a, a, a, a};
        const F8 vb = {b, b, b, b, b, b, b, b};
        for (int k = 0; k < taps; k += 8) {
            const F8 c = vb * load8(c0 + k) + va * load8(c1 + k);
            l += c * load8(xl + k);
            r += c * load8(xr + k);
        }
    }
    out[0] = sum8(l);
    out[1] = sum8(r);
}

bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

inline void dotMono(const float* c0, const float* c1, float a, int taps, const float* x,
                    float* out) {
    const F4 va = splat(a);
    const F4 vb = splat(1.f - a);
    F4 s0{}, s1{};
    for (int k = 0; k < taps; k += 8) {
        s0 += (vb * load(c0 + k) + va * load(c1 + k)) * load(x + k);
        s1 += (vb * load(c0 + k + 4) + va * load(c1 + k + 4)) * load(x + k + 4);
    }
    out[0] = sum(s0 + s1);
}

constexpr size_t kAlign = 64;

struct AlignedFree {
    void operator()(float* p) const { std::free(p); }
};

double besselI0(double x) {
    double term = 1, total = 1;
    for (int k = 1; k < 64 && term > 1e-12 * total; ++k) {
        const double h = x / (2 * k);
        term *= h * h;
        total += term;
    }
    return total;
}

}  // namespace

// The tables' shapes are fixed at once (a few numbers each); their coefficients, kPhases + 1 rows
// of `taps` floats per table, are built on demand, tables 0..built - 1 so far.
struct Resampler::Bank {
    struct Table {
        int taps = 0;  // multiple of 8
        double maxStep = 1;
        double cutoff = 0;  // cycles per input frame
        // Written once, before `built` is raised past this table; freed only at exit.
        std::unique_ptr<float[], AlignedFree> coefs;
    };

    // 80 dB of stopband leaves room under the -70 dB the output must reach for the phase
    // interpolation and float rounding.
    static constexpr double kStopDb = 80;
    const double beta = 0.1102 * (kStopDb - 8.7);
    const double i0Beta = besselI0(beta);
    std::vector<Table> tables;  // never resized after construction
    int maxTaps = 0;
    std::atomic<int> built{0};  // released after a table's rows are written
    std::mutex building;        // one builder at a time; never taken by the audio thread

    Bank() {
        double prevFactor = 1;
        for (int k = 0;; ++k) {
            // Table k serves steps in (prevFactor, factor] (table 0: every step up to 1). It passes
            // 0.8 of the lower Nyquist for the smallest of them, 0.4 / prevFactor cycles per input
            // frame, and stops from 0.6 / factor on: what an image (step < 1) or alias (step > 1)
            // of that band folds to lands above 0.8 of the output's Nyquist, for the largest step.
            const double factor = std::pow(kFactorStep, k);
            const double passEdge = 0.4 / prevFactor;
            const double stopEdge = 0.6 / factor;
            const double width = stopEdge - passEdge;
            int taps = static_cast<int>(std::ceil((kStopDb - 7.95) / (14.36 * width))) + 1;
            Table t;
            t.taps = (taps + 7) / 8 * 8;
            t.maxStep = factor;
            t.cutoff = 0.5 * (passEdge + stopEdge);
            maxTaps = std::max(maxTaps, t.taps);
            tables.push_back(std::move(t));
            prevFactor = factor;
            if (factor >= kMaxStep) break;
        }
    }

    // The first table that band-limits enough for the step, whether built or not.
    int tableFor(double step) const noexcept {
        const int last = static_cast<int>(tables.size()) - 1;
        for (int k = 0; k < last; ++k) {
            if (step <= tables[k].maxStep * (1 + 1e-9)) return k;
        }
        return last;
    }

    static size_t rowsBytes(const Table& t) {
        return static_cast<size_t>(kPhases + 1) * static_cast<size_t>(t.taps) * sizeof(float);
    }

    // Under `building`.
    void build(Table& t) const {
        // Rows start on cache lines (a row is a whole number of 32 bytes), so no tap load of
        // either filter copy straddles two; the loads do not rely on it.
        const size_t bytes = (rowsBytes(t) + kAlign - 1) / kAlign * kAlign;
        t.coefs.reset(static_cast<float*>(std::aligned_alloc(kAlign, bytes)));
        if (!t.coefs) throw std::bad_alloc();
        const int taps = t.taps;
        const double cutoff = t.cutoff;
        const double halfSpan = taps / 2.0;
        std::vector<double> h(static_cast<size_t>(taps));
        for (int p = 0; p <= kPhases; ++p) {
            float* row = t.coefs.get() + static_cast<size_t>(p) * taps;
            const double frac = static_cast<double>(p) / kPhases;
            double rowSum = 0;
            for (int j = 0; j < taps; ++j) {
                // Tap j weighs history frame (read frame + 1 - taps / 2 + j).
                const double t0 = frac - (j + 1 - taps / 2);
                const double x = 2 * cutoff * t0;
                const double sinc =
                    x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
                const double r = std::min(1.0, std::fabs(t0) / halfSpan);
                const double window = besselI0(beta * std::sqrt(1 - r * r)) / i0Beta;
                h[j] = 2 * cutoff * sinc * window;
                rowSum += h[j];
            }
            // Exactly unity at DC for every phase: no ripple at the phase rate on slow signals.
            for (int j = 0; j < taps; ++j)
                row[j] = static_cast<float>(h[j] / rowSum);
        }
    }
};

Resampler::Bank& Resampler::bank() {
    static Bank shared;
    return shared;
}

void Resampler::reach(double maxStep) {
    Bank& b = bank();
    const int want = b.tableFor(maxStep) + 1;
    if (b.built.load(std::memory_order_acquire) >= want) return;
    std::lock_guard<std::mutex> lock(b.building);
    for (int k = b.built.load(std::memory_order_relaxed); k < want; ++k) {
        b.build(b.tables[static_cast<size_t>(k)]);
        b.built.store(k + 1, std::memory_order_release);
    }
}

int Resampler::tablesBuilt() noexcept {
    return bank().built.load(std::memory_order_acquire);
}

int Resampler::tableCount() noexcept {
    return static_cast<int>(bank().tables.size());
}

size_t Resampler::tableBytesBuilt() noexcept {
    const Bank& b = bank();
    const int built = b.built.load(std::memory_order_acquire);
    size_t bytes = 0;
    for (int k = 0; k < built; ++k)
        bytes += Bank::rowsBytes(b.tables[static_cast<size_t>(k)]);
    return bytes;
}

bool Resampler::prepare(int channels, int glideFrames, double maxStep) {
    if (channels < 1 || channels > 2) return false;
    reach(maxStep);
    bank_ = &bank();
#ifdef VELORIXA_RESAMPLER_AVX2
    avx2_ = cpuHasAvx2();
#endif
    channels_ = channels;
    glideFrames_ = std::clamp(glideFrames, 1, 65536);
    // The history is sized for the longest table, built or not, so that how far the tables are
    // built never changes how much input is taken.
    half_ = bank_->maxTaps / 2;
    // Room for a few device blocks at the fastest step; compaction moves only the filter's
    // length back to the front.
    capFrames_ = 8192 + 2 * static_cast<size_t>(half_);
    for (int c = 0; c < channels_; ++c)
        hist_[c].assign(capFrames_, 0.f);
    reset();
    return true;
}

void Resampler::reset() noexcept {
    for (int c = 0; c < channels_; ++c)
        std::fill(hist_[c].begin(), hist_[c].end(), 0.f);
    // The first input frame sits half the longest filter in, behind silence, and the first
    // output frame is read exactly there.
    fill_ = static_cast<size_t>(half_);
    readFrame_ = static_cast<size_t>(half_);
    readFrac_ = 0;
    zerosAdded_ = 0;
    step_ = stepTarget_ = stepInc_ = 0;
    glideLeft_ = 0;
    wanted_ = table_ = fadeFrom_ = 0;
    fadeLeft_ = 0;
}

int Resampler::tableFor(double step) const noexcept {
    // Only a caller that set a step without reaching it first finds its table missing: the
    // highest built one (table 0 always is) band-limits less, but never waits.
    return std::min(bank_->tableFor(step), bank_->built.load(std::memory_order_acquire) - 1);
}

void Resampler::setRatio(double outputPerInput) noexcept {
    if (!bank_ || !(outputPerInput > 0)) return;
    const double step = std::clamp(1.0 / outputPerInput, kMinStep, kMaxStepAny);
    if (step_ == 0) {
        step_ = stepTarget_ = step;
        glideLeft_ = 0;
        wanted_ = table_ = tableFor(step);
        fadeLeft_ = 0;
        return;
    }
    if (step == stepTarget_) return;  // already there or on the way
    stepTarget_ = step;
    glideLeft_ = glideFrames_;
    stepInc_ = (stepTarget_ - step_) / glideFrames_;
    // One table for the whole glide, band-limited for its fastest end: no table changes in the
    // middle of it.
    wanted_ = tableFor(std::max(step_, stepTarget_));
}

void Resampler::filterFrame(int table, float* out) const noexcept {
    const Bank::Table& t = bank_->tables[static_cast<size_t>(table)];
    const double x = readFrac_ * kPhases;
    const int p = std::min(static_cast<int>(x), kPhases - 1);
    const float a = static_cast<float>(x - p);
    const float* c0 = t.coefs.get() + static_cast<size_t>(p) * t.taps;
    const float* c1 = c0 + t.taps;
    const size_t first = readFrame_ + 1 - static_cast<size_t>(t.taps / 2);
    if (channels_ == 2) {
        const float* xl = hist_[0].data() + first;
        const float* xr = hist_[1].data() + first;
#ifdef VELORIXA_RESAMPLER_AVX2
        if (avx2_) {
            dotStereoAvx2(c0, c1, a, t.taps, xl, xr, out);
            return;
        }
#endif
        if (a == 0.f) {
            dotStereo<true>(c0, c1, a, t.taps, xl, xr, out);
        } else {
            dotStereo<false>(c0, c1, a, t.taps, xl, xr, out);
        }
    } else if (a == 0.f) {
        dotMonoOnRow(c0, t.taps, hist_[0].data() + first, out);
    } else {
        dotMono(c0, c1, a, t.taps, hist_[0].data() + first, out);
    }
}

size_t Resampler::run(float* out, size_t outFrames, bool atEnd) noexcept {
    const size_t realEnd = fill_ - zerosAdded_;
    const int ch = channels_;
    size_t made = 0;
    while (made < outFrames) {
        if (atEnd && readFrame_ >= realEnd) break;  // past the last input frame
        if (wanted_ != table_ && fadeLeft_ == 0) {
            fadeFrom_ = table_;
            table_ = wanted_;
            fadeLeft_ = kFadeFrames;
        }
        int reach = bank_->tables[static_cast<size_t>(table_)].taps / 2;
        if (step_ == 1.0 && readFrac_ == 0 && glideLeft_ == 0 && fadeLeft_ == 0 && table_ == 0) {
            // At the source's own rate (the player at rest) every read falls on phase 0 of the
            // first table, whose cutoff is the input's Nyquist: a unit impulse. Copy instead,
            // with the same look-ahead, so nothing else changes.
            size_t n = fill_ > readFrame_ + reach ? fill_ - readFrame_ - reach : 0;
            if (atEnd) n = std::min(n, realEnd > readFrame_ ? realEnd - readFrame_ : 0);
            n = std::min(n, outFrames - made);
            float* y = out + made * static_cast<size_t>(ch);
            for (int c = 0; c < ch; ++c) {
                const float* x = hist_[c].data() + readFrame_;
                for (size_t i = 0; i < n; ++i)
                    y[i * ch + c] = x[i];
            }
            readFrame_ += n;
            made += n;
            break;
        }
        if (fadeLeft_ > 0) {
            reach = std::max(reach, bank_->tables[static_cast<size_t>(fadeFrom_)].taps / 2);
        }
        if (readFrame_ + static_cast<size_t>(reach) >= fill_) break;  // needs more input

        float* y = out + made * static_cast<size_t>(ch);
        filterFrame(table_, y);
        if (fadeLeft_ > 0) {
            float old[2];
            filterFrame(fadeFrom_, old);
            const float w = static_cast<float>(kFadeFrames + 1 - fadeLeft_) / (kFadeFrames + 1);
            for (int c = 0; c < ch; ++c)
                y[c] = old[c] + w * (y[c] - old[c]);
            --fadeLeft_;
        }
        ++made;

        // The fraction is kept apart from the frame index so its rounding never depends on
        // where the history happens to start (the output must not depend on the caller's blocks).
        readFrac_ += step_;
        // The fraction is never negative, so truncation is its floor, without a call to floor()
        // (the x86-64 baseline has no rounding instruction for it).
        const double whole = static_cast<double>(static_cast<int64_t>(readFrac_));
        readFrame_ += static_cast<size_t>(whole);
        readFrac_ -= whole;
        if (glideLeft_ > 0) {
            if (--glideLeft_ == 0) {
                step_ = stepTarget_;
                wanted_ = tableFor(step_);
            } else {
                step_ += stepInc_;
            }
        }
    }
    return made;
}

void Resampler::compact() noexcept {
    if (readFrame_ <= static_cast<size_t>(half_)) return;
    const size_t from = std::min(readFrame_ - static_cast<size_t>(half_), fill_);
    for (int c = 0; c < channels_; ++c) {
        float* h = hist_[c].data();
        std::memmove(h, h + from, (fill_ - from) * sizeof(float));
    }
    fill_ -= from;
    readFrame_ -= from;
}

Resampler::Result Resampler::process(const float* in, size_t inFrames, float* out, size_t outFrames,
                                     bool endOfInput) noexcept {
    Result r;
    if (!bank_) return r;
    if (step_ == 0) setRatio(1.0);
    const int ch = channels_;
    for (;;) {
        size_t taken = 0;
        if (r.inputUsed < inFrames) {
            if (zerosAdded_ > 0) {  // more came after all: it follows the real input
                fill_ -= zerosAdded_;
                zerosAdded_ = 0;
            }
            if (fill_ == capFrames_) compact();
            // Only what the output asked for reaches (at the fastest step the glide may take),
            // so the caller's count of frames not yet taken stays close to what is not heard.
            const double fastest = std::max(step_, stepTarget_);
            const size_t wantEnd = readFrame_ +
                                   static_cast<size_t>(std::ceil(
                                       readFrac_ + (outFrames - r.outputGenerated) * fastest)) +
                                   static_cast<size_t>(half_) + 2;
            size_t n = std::min(inFrames - r.inputUsed, capFrames_ - fill_);
            n = fill_ < wantEnd ? std::min(n, wantEnd - fill_) : 0;
            const float* src = in + r.inputUsed * static_cast<size_t>(ch);
            if (ch == 2) {
                float* l = hist_[0].data() + fill_;
                float* rr = hist_[1].data() + fill_;
                for (size_t i = 0; i < n; ++i) {
                    l[i] = src[2 * i];
                    rr[i] = src[2 * i + 1];
                }
            } else {
                std::memcpy(hist_[0].data() + fill_, src, n * sizeof(float));
            }
            fill_ += n;
            r.inputUsed += n;
            taken = n;
        }
        const bool atEnd = endOfInput && r.inputUsed == inFrames;
        if (atEnd && zerosAdded_ < static_cast<size_t>(half_)) {
            // Silence after the end lets the filter reach past the last frame.
            if (capFrames_ - fill_ < static_cast<size_t>(half_) - zerosAdded_) compact();
            const size_t n = std::min(static_cast<size_t>(half_) - zerosAdded_, capFrames_ - fill_);
            for (int c = 0; c < ch; ++c)
                std::fill_n(hist_[c].data() + fill_, n, 0.f);
            fill_ += n;
            zerosAdded_ += n;
        }
        const size_t made = run(out + r.outputGenerated * static_cast<size_t>(ch),
                                outFrames - r.outputGenerated, atEnd);
        r.outputGenerated += made;
        if (r.outputGenerated == outFrames || r.inputUsed == inFrames) break;
        if (made == 0 && taken == 0 && fill_ < capFrames_) break;  // cannot happen
        compact();
    }
    return r;
}

}  // namespace velorixa::audio
