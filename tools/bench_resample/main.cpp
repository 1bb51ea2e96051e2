// The playback-rate resampler against the variable-rate modes of libsoxr (SOXR_VR) and
// speexdsp: the same signals through each, driven as the audio thread drives ours (stereo,
// 44.1 kHz, 441-frame output blocks, the ratio set at block starts, input offered as asked),
// judged with the measures and limits of tests/audio/resampler_test.cpp, and timed side by side
// in one run (CPU seconds per minute of output, best of N rounds). Of each library's settings,
// the cheapest that meets our limits is timed; where none does, its best is, and it says so.
// First, what our shared filter tables cost to build and keep: the one table playing at the
// source's own rate needs, and all of them.
//   bench_resample [--rounds N]   (3 by default)

#include <soxr.h>
#include <speex/speex_resampler.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/realtime/resampler.h"
#include "common/resamplemeasure.h"

namespace {

using velorixa::audio::Resampler;
using namespace testmedia;

constexpr double kRate = 44100;
constexpr size_t kBlock = kSweepBlock;  // output frames per audio-thread block
constexpr size_t kOffer = 1024;         // input frames at hand at most per call
constexpr int kGlide = 512;             // output frames a ratio change takes in the player
constexpr double kThdnLimit = -70, kFlatLimit = 0.2, kAliasLimit = -60;  // the tests' limits
constexpr size_t kSkip = 2048, kFit = 8192;  // output frames skipped (filters' start), fitted
// Steps (input frames per output frame): 0.91875 is a 44.1 kHz file on a 48 kHz device at rest.
constexpr double kSteps[] = {0.5, 0.91875, 1.0, 1.37, 1.5, 2.0, 3.0};

// One resampler under test, on interleaved stereo float.
class Subject {
  public:
    virtual ~Subject() = default;
    virtual std::string name() const = 0;
    virtual void start(double step) = 0;    // fresh state, running at this step at once
    virtual void setStep(double step) = 0;  // at a block start: glide (or jump) there
    // How much of `avail` input frames to offer when outLeft output frames are still wanted.
    virtual size_t offer(size_t /*outLeft*/, size_t avail) const { return avail; }
    virtual size_t process(const float* in, size_t inFrames, size_t& used, float* out,
                           size_t outFrames) = 0;  // returns the output frames written
};

class Ours final : public Subject {
  public:
    Ours() { r_.prepare(2, kGlide); }
    std::string name() const override { return "ours"; }
    void start(double step) override {
        r_.reset();
        r_.setRatio(1 / step);
    }
    void setStep(double step) override { r_.setRatio(1 / step); }
    size_t process(const float* in, size_t inFrames, size_t& used, float* out,
                   size_t outFrames) override {
        const Resampler::Result r = r_.process(in, inFrames, out, outFrames, false);
        used = r.inputUsed;
        return r.outputGenerated;
    }

  private:
    Resampler r_;
};

// libsoxr's variable-rate mode, created for steps up to 4; a ratio change slews over the
// player's glide. It takes input by the largest ratio it was created for, so it is offered only
// what the step set needs (else its queue grows every block); a glide's shortfall is made up by
// the next call.
class Soxr final : public Subject {
  public:
    Soxr(unsigned long recipe, const char* label) : recipe_(recipe), label_(label) {}
    ~Soxr() override { soxr_delete(s_); }
    std::string name() const override { return std::string("soxr VR ") + label_; }
    void start(double step) override {
        soxr_delete(s_);
        const soxr_quality_spec_t q = soxr_quality_spec(recipe_, SOXR_VR);
        soxr_error_t error = nullptr;
        s_ = soxr_create(4, 1, 2, &error, nullptr, &q, nullptr);
        if (error) std::fprintf(stderr, "%s: %s\n", name().c_str(), error);
        if (s_) soxr_set_io_ratio(s_, step, 0);
        step_ = step;
    }
    void setStep(double step) override {
        if (s_) soxr_set_io_ratio(s_, step, kGlide);
        step_ = step;
    }
    size_t offer(size_t outLeft, size_t avail) const override {
        return std::min(avail, static_cast<size_t>(std::ceil(outLeft * step_)) + 1);
    }
    size_t process(const float* in, size_t inFrames, size_t& used, float* out,
                   size_t outFrames) override {
        size_t made = 0;
        used = 0;
        if (s_) soxr_process(s_, in, inFrames, &used, out, outFrames, &made);
        return made;
    }

  private:
    unsigned long recipe_;
    const char* label_;
    soxr_t s_ = nullptr;
    double step_ = 1;
};

// The step as the exact fraction it is (0.91875 = 147 / 160), as far as a denominator up to
// 10^6 reaches: continued fractions.
void toFraction(double x, spx_uint32_t& num, spx_uint32_t& den) {
    double rest = x;
    unsigned long long p0 = 1, q0 = 0, p1 = 0, q1 = 1;
    for (int i = 0; i < 32; ++i) {
        const auto a = static_cast<unsigned long long>(std::floor(rest));
        const unsigned long long p = a * p0 + p1, q = a * q0 + q1;
        if (q > 1000000) break;
        p1 = p0, q1 = q0, p0 = p, q0 = q;
        if (std::fabs(double(p) / double(q) - x) < 1e-12 * x || rest == std::floor(rest)) break;
        rest = 1 / (rest - std::floor(rest));
    }
    num = static_cast<spx_uint32_t>(p0), den = static_cast<spx_uint32_t>(q0);
}

// speexdsp at one quality level, given the step as a fraction. It has no glide: a new ratio
// applies at once and rebuilds its filter.
class Speex final : public Subject {
  public:
    explicit Speex(int quality) : quality_(quality) {}
    ~Speex() override {
        if (s_) speex_resampler_destroy(s_);
    }
    std::string name() const override { return "speex q" + std::to_string(quality_); }
    void start(double step) override {
        if (s_) speex_resampler_destroy(s_);
        int error = 0;
        spx_uint32_t num = 1, den = 1;
        toFraction(step, num, den);
        s_ = speex_resampler_init_frac(2, num, den, num, den, quality_, &error);
    }
    void setStep(double step) override {
        spx_uint32_t num = 1, den = 1;
        toFraction(step, num, den);
        speex_resampler_set_rate_frac(s_, num, den, num, den);
    }
    size_t process(const float* in, size_t inFrames, size_t& used, float* out,
                   size_t outFrames) override {
        auto inLen = static_cast<spx_uint32_t>(inFrames),
             outLen = static_cast<spx_uint32_t>(outFrames);
        speex_resampler_process_interleaved_float(s_, in, &inLen, out, &outLen);
        used = inLen;
        return outLen;
    }

  private:
    int quality_;
    SpeexResamplerState* s_ = nullptr;
};

// `in` (interleaved stereo, looped when `loop`) through s in kBlock-frame output blocks, block
// b at step stepAt(b); the output when `keep`.
std::vector<float> drive(Subject& s, const std::vector<float>& in, size_t outFrames,
                         const std::function<double(size_t)>& stepAt, bool loop, bool keep = true) {
    const size_t inFrames = in.size() / 2;
    std::vector<float> out, block(2 * kBlock);
    size_t at = 0;
    s.start(stepAt(0));
    for (size_t b = 0; b * kBlock < outFrames; ++b) {
        if (b > 0) s.setStep(stepAt(b));
        size_t got = 0;
        while (got < kBlock) {
            if (at == inFrames && loop) at = 0;
            const size_t n = s.offer(kBlock - got, std::min(kOffer, inFrames - at));
            size_t used = 0;
            const size_t made =
                s.process(in.data() + 2 * at, n, used, block.data() + 2 * got, kBlock - got);
            at += used;
            got += made;
            if (used == 0 && made == 0) break;  // out of input, or stuck
        }
        if (keep) out.insert(out.end(), block.begin(), block.begin() + 2 * got);
        if (got < kBlock) break;
    }
    return out;
}

struct Quality {
    double thdn = -300, flat = 0, alias = NAN;  // worst over the tones; alias: NaN when none folds
    bool ok() const { return thdn < kThdnLimit && flat < kFlatLimit && !(alias >= kAliasLimit); }
};

std::vector<float> tone(Subject& s, double step, double f) {
    const size_t frames = kSkip + kFit;
    auto out = drive(
        s, stereoTone(f, 0.5, static_cast<size_t>(frames * step) + 4096), frames,
        [=](size_t) { return step; }, false);
    if (out.size() < 2 * frames) out.assign(2 * frames, 1.f);  // fails every measure
    return out;
}

Quality measure(Subject& s, double step) {
    Quality q;
    auto worst = [](double& into, double db) { into = std::isnan(into) ? db : std::max(into, db); };
    const double lower = std::min(0.5, 0.5 / step);  // the lower Nyquist, cycles per input frame
    for (double fraction : {0.02, 0.3, 0.55, 0.8}) {
        const double f = fraction * lower;
        const auto out = tone(s, step, f);
        for (int c : {0, 1}) {
            const Fit fit = fitTone(channel(out, c), f * step, kSkip, kSkip + kFit);
            q.thdn = std::max(q.thdn, fit.residualDb);
            q.flat = std::max(q.flat, std::fabs(20 * std::log10(fit.amplitude / 0.5)));
        }
    }
    if (step > 1) {
        // Tones above the output's Nyquist whose alias would land inside 0.8 of it: all that
        // comes out is alias. x: the tone in cycles per output frame.
        for (double x : {0.62, 0.8, 1.0, 1.2, 1.38, 0.49 * step}) {
            if (x / step > 0.49 + 1e-9 || std::fabs(x - std::round(x)) > 0.4) continue;
            worst(q.alias, levelDb(channel(tone(s, step, x / step), 0), kSkip, 0.5));
        }
    } else if (step < 1) {
        // Images of tones at 0.6 and 0.8 of the input's Nyquist, at 1 - f cycles per input
        // frame: the tone is taken out, then the image fitted.
        for (double f : {0.3, 0.4}) {
            auto left = channel(tone(s, step, f), 0);
            const Fit t = fitTone(left, f * step, kSkip, kSkip + kFit);
            for (size_t n = kSkip; n < kSkip + kFit; ++n)
                left[n] -=
                    static_cast<float>(t.amplitude * std::sin(kTwoPi * f * step * n + t.phase));
            const Fit image = fitTone(left, (1 - f) * step, kSkip, kSkip + kFit);
            worst(q.alias, 20 * std::log10(image.amplitude / 0.5 + 1e-15));
        }
    }
    return q;
}

// A 1 kHz tone through the tests' sweep (0.5x..3x and back, then jumps): the largest step
// between output frames after the filters' start.
const double kSweepF = 1000 / kRate;
const double kSweepBound = sweepStepBound(3 * kSweepF, 0.5);

double sweepJump(Subject& s) {
    const size_t frames = kSweepBlock * kSweepBlocks;
    const auto out = drive(s, stereoTone(kSweepF, 0.5, 200000), frames, sweepStep, false);
    return out.size() < 2 * frames ? INFINITY : largestStep(out, kSkip);
}

struct Judged {
    std::unique_ptr<Subject> subject;
    std::vector<Quality> q;  // per kSteps
    double jump = 0;
    bool ok = true;  // every limit met (and the sweep reached three times the rate)
};

Judged judge(std::unique_ptr<Subject> s) {
    Judged j;
    for (double step : kSteps) {
        j.q.push_back(measure(*s, step));
        j.ok = j.ok && j.q.back().ok();
    }
    j.jump = sweepJump(*s);
    j.ok = j.ok && j.jump < kSweepBound && j.jump > 0.9 * kSweepBound / 1.024;
    j.subject = std::move(s);
    return j;
}

// The cheapest candidate (they come cheapest first) that meets every limit; else the last.
Judged choose(std::vector<std::unique_ptr<Subject>> candidates, bool& reached) {
    std::printf("  %-14s %9s %9s %9s %8s\n", "setting", "THD+N dB", "flat dB", "alias dB", "jump");
    Judged last;
    for (auto& c : candidates) {
        Judged j = judge(std::move(c));
        double thdn = -300, flat = 0, alias = -300;
        for (const Quality& q : j.q) {
            thdn = std::max(thdn, q.thdn), flat = std::max(flat, q.flat);
            if (!std::isnan(q.alias)) alias = std::max(alias, q.alias);
        }
        std::printf("  %-14s %9.1f %9.3f %9.1f %8.4f  %s\n", j.subject->name().c_str(), thdn, flat,
                    alias, j.jump, j.ok ? "meets our limits" : "misses");
        if (j.ok) {
            reached = true;
            return j;
        }
        last = std::move(j);
    }
    reached = false;
    return last;
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
        rounds = std::max(1, std::atoi(argv[2]));
    std::printf(
        "Resampling stereo at 44.1 kHz in %zu-frame output blocks, the ratio set at block "
        "starts\n(ours: glide %d frames; soxr: slew %d frames; speexdsp: no glide, the "
        "ratio jumps).\nOur limits (tests/audio/resampler_test.cpp): THD+N < %.0f dB, "
        "passband within %.1f dB to 0.8 of the lower Nyquist, alias/image < %.0f dB, "
        "largest step in the 0.5x..3x sweep of a 1 kHz tone < %.4f.\n\n",
        kBlock, kGlide, kGlide, kThdnLimit, kFlatLimit, kAliasLimit, kSweepBound);

    // The tables are built once per process, when a step first needs them: measured here, before
    // anything else in this run builds them.
    {
        const double t0 = cpuSeconds();
        Resampler::reach(1.0);
        const double t1 = cpuSeconds();
        const int first = Resampler::tablesBuilt();
        const size_t firstBytes = Resampler::tableBytesBuilt();
        Resampler::reach(Resampler::kMaxStepAny);
        const double t2 = cpuSeconds();
        std::printf(
            "Filter tables: steps up to 1 build %d table, %zu bytes, in %.2f ms CPU; all %d "
            "tables take %zu bytes, %.2f ms CPU in all\n\n",
            first, firstBytes, 1000 * (t1 - t0), Resampler::tablesBuilt(),
            Resampler::tableBytesBuilt(), 1000 * (t2 - t0));
    }

    // Settings per library, cheapest first. soxr's variable-rate engine has one filter whatever
    // the recipe (VHQ measures the same as HQ), so HQ, as its documentation's example; speexdsp
    // has its quality levels 0..10.
    std::vector<std::unique_ptr<Subject>> ours, soxr, speex;
    ours.push_back(std::make_unique<Ours>());
    soxr.push_back(std::make_unique<Soxr>(SOXR_HQ, "HQ"));
    for (int q = 0; q <= 10; ++q)
        speex.push_back(std::make_unique<Speex>(q));
    bool reached[3];
    std::vector<Judged> judged;
    const char* names[3] = {"ours", "libsoxr", "speexdsp"};
    int i = 0;
    for (auto* list : {&ours, &soxr, &speex}) {
        std::printf("%s, worst over the steps:\n", names[i]);
        judged.push_back(choose(std::move(*list), reached[i]));
        if (!reached[i])
            std::printf("  %s cannot reach our limits at any setting: timed at %s\n", names[i],
                        judged.back().subject->name().c_str());
        ++i;
    }

    // Timing: a minute of output per row from looped noise, best of `rounds`, the three in turn.
    std::vector<float> noise(2 * 65536);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    for (float& x : noise)
        x = u(rng);
    const size_t minute = 60 * static_cast<size_t>(kRate);
    constexpr size_t kRows = std::size(kSteps) + 1;  // the steps, then the sweep
    std::vector<std::vector<double>> cpu(kRows, std::vector<double>(3, INFINITY));
    for (int r = 0; r < rounds; ++r) {
        for (size_t row = 0; row < kRows; ++row) {
            std::function<double(size_t)> stepAt = [](size_t b) {
                return sweepStep(b % kSweepBlocks);
            };
            if (row < std::size(kSteps)) stepAt = [s = kSteps[row]](size_t) { return s; };
            for (size_t k = 0; k < 3; ++k) {
                const double t0 = cpuSeconds();
                drive(*judged[k].subject, noise, minute, stepAt, true, false);
                cpu[row][k] = std::min(cpu[row][k], cpuSeconds() - t0);
            }
        }
    }

    std::printf("\n%-8s %-14s %9s %9s %9s %10s %8s\n", "step", "resampler", "THD+N dB", "flat dB",
                "alias dB", "CPU s/min", "x ours");
    std::vector<double> total(3, 0);
    for (size_t row = 0; row < kRows; ++row) {
        for (size_t k = 0; k < 3; ++k) {
            const std::string name = judged[k].subject->name();
            total[k] += cpu[row][k];
            const double x = cpu[row][k] / cpu[row][0];
            if (row < std::size(kSteps)) {
                const Quality& q = judged[k].q[row];
                char alias[16] = "-";
                if (!std::isnan(q.alias)) std::snprintf(alias, sizeof alias, "%.1f", q.alias);
                char step[16] = "";
                if (k == 0) std::snprintf(step, sizeof step, "%g", kSteps[row]);
                std::printf("%-8s %-14s %9.1f %9.3f %9s %10.3f %8.2f\n", step, name.c_str(), q.thdn,
                            q.flat, alias, cpu[row][k], x);
            } else {
                std::printf("%-8s %-14s jump %.4f (limit %.4f)  %10.3f %8.2f\n", k ? "" : "sweep",
                            name.c_str(), judged[k].jump, kSweepBound, cpu[row][k], x);
            }
        }
    }
    std::printf("%-23s %39.3f %8.2f\n", "all rows, ours", total[0], 1.0);
    bool libraryWins = false;
    for (size_t k = 1; k < 3; ++k) {
        const double x = total[k] / total[0];
        std::printf("%-23s %39.3f %8.2f\n", ("all rows, " + judged[k].subject->name()).c_str(),
                    total[k], x);
    }
    std::printf("\n");
    for (size_t k = 1; k < 3; ++k) {
        const double x = total[k] / total[0];
        const std::string name = judged[k].subject->name();
        if (!reached[k]) {
            std::printf(
                "%s: misses our limits at every setting (%.2fx our CPU at its best): keep "
                "ours\n",
                names[k], x);
        } else if (x <= 1.10) {
            libraryWins = true;
            std::printf(
                "%s: meets our limits at %s within 10 %% of our CPU (%.2fx): use the "
                "library and delete ours\n",
                names[k], name.c_str(), x);
        } else {
            std::printf(
                "%s: meets our limits at %s but takes %.2fx our CPU (more than 1.10x): "
                "keep ours\n",
                names[k], name.c_str(), x);
        }
    }
    if (!reached[0]) std::printf("ours misses its own limits: fix that before comparing\n");
    std::printf("decision: %s\n", libraryWins ? "a library wins (see above)" : "keep ours");
    std::printf("(CPU: best of %d rounds, side by side in this run; a shared machine is noisy)\n",
                rounds);
    return 0;
}
