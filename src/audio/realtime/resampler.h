#pragma once
// Variable-ratio resampler for the playback rate: a polyphase Kaiser-windowed sinc whose taps are
// read from precomputed tables (kPhases phases per tap, linear interpolation between neighbouring
// phases). Reading faster than the output rate needs a lower cutoff, so there is a family of
// tables whose cutoffs step down by kFactorStep from the input's Nyquist to a third of it: for
// the current step (input frames per output frame) it uses the first table that band-limits
// enough. Every table is flat to 0.8 of the lower Nyquist over the whole range of steps it
// serves and stops 80 dB below from where an image or alias would land inside that band, so a
// change of table only changes content near the top of the band; it is still cross-faded over
// kFadeFrames output frames. A ratio change glides linearly over kGlideFrames output frames, so
// the result does not depend on how the caller cuts its blocks.
//
// The tables are shared by every resampler of the process and built when a step first needs
// them, in order (a glide from one step to another passes through every step between): most
// playing runs at steps up to 1, which need only the first and shortest table, while all of
// them together take 1.2 MB. prepare() and reach() build them off the audio thread.
//
// Thread contract: prepare() and reach() allocate and run off the audio thread (any thread;
// builders take a mutex of their own, which the audio thread never takes); setRatio, reset and
// process are called by one thread at a time (the audio thread) and never lock or allocate.
// A table is published before reach() returns: a ratio handed to the audio thread after reach()
// for its step (through a release store the audio thread reads with acquire) finds it built.

#include <cstddef>
#include <vector>

namespace velorixa::audio {

class Resampler {
  public:
    static constexpr int kPhases = 256;  // phases per input frame in each table
    static constexpr double kFactorStep = 1.1;
    // Input frames per output frame: band-limited up to kMaxStep; up to kMaxStepAny it runs
    // with the lowest cutoff there is and aliases a little.
    static constexpr double kMaxStep = 4.0;
    static constexpr double kMaxStepAny = 32.0;
    static constexpr double kMinStep = 1 / 64.0;
    static constexpr int kFadeFrames = 128;  // output frames a change of table takes

    struct Result {
        size_t inputUsed = 0;  // input frames taken (copied into the history)
        size_t outputGenerated = 0;
    };

    Resampler() = default;
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // channels 1 or 2; glideFrames (1..65536): the output frames a ratio change takes. Builds
    // the shared tables steps up to maxStep need (by default all); a caller that will set a
    // faster step later reaches it first. False for other channel counts.
    bool prepare(int channels, int glideFrames, double maxStep = kMaxStepAny);
    int channels() const { return channels_; }

    // Off the audio thread: builds the shared tables that steps up to maxStep need, unless built
    // already (then it only reads an atomic). A step set without reaching it first runs with the
    // highest table built when the ratio was set: it never waits, but may alias.
    static void reach(double maxStep);
    // The shared tables built so far, of tableCount(), and the bytes their coefficients take.
    static int tablesBuilt() noexcept;
    static int tableCount() noexcept;
    static size_t tableBytesBuilt() noexcept;

    // Forgets the history and the ratio: the next input starts from silence, the next ratio is
    // taken at once instead of glided to.
    void reset() noexcept;

    // Output frames per input frame (1 / kMaxStepAny .. 1 / kMinStep; clamped). Glides there
    // from the ratio in force, over glideFrames output frames starting with the next one.
    void setRatio(double outputPerInput) noexcept;
    double stepNow() const noexcept { return step_; }  // input frames per output frame

    // Takes interleaved input frames and writes up to outFrames interleaved frames. Input is
    // taken as far as those output frames need it (the filter reads half its length ahead) and
    // the history has room; output is made as far as the input reaches. With endOfInput, the input
    // is taken as followed by silence and output ends once it has passed the last input frame: then
    // 0 frames come out.
    Result process(const float* in, size_t inFrames, float* out, size_t outFrames,
                   bool endOfInput) noexcept;

  private:
    struct Bank;
    static Bank& bank();
    // The table for a step among those built (the audio thread's choice).
    int tableFor(double step) const noexcept;
    void filterFrame(int table, float* out) const noexcept;
    size_t run(float* out, size_t outFrames, bool atEnd) noexcept;
    void compact() noexcept;

    const Bank* bank_ = nullptr;
    bool avx2_ = false;  // the CPU runs the stereo filter's AVX2 copy
    int channels_ = 0;
    int half_ = 0;                // half the longest filter: history kept before the read
    size_t capFrames_ = 0;        // per channel
    std::vector<float> hist_[2];  // per channel, deinterleaved, so taps read contiguously
    size_t fill_ = 0;             // frames in hist_
    size_t readFrame_ = 0;        // read position in hist_: whole frames
    double readFrac_ = 0;         // and the fraction, 0 <= readFrac_ < 1
    size_t zerosAdded_ = 0;       // silence appended after the end of input
    int glideFrames_ = 1;
    double step_ = 0;  // input frames per output frame; 0 until the first ratio
    double stepTarget_ = 0;
    double stepInc_ = 0;
    int glideLeft_ = 0;
    int wanted_ = 0;  // the table the step (or the glide under way) needs
    int table_ = 0;
    int fadeFrom_ = 0;
    int fadeLeft_ = 0;
};

}  // namespace velorixa::audio
