#include "audio/realtime/channel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "audio/realtime/fx/effect.h"

namespace velorixa::audio {

namespace {

// Input frames per output frame at a playback rate, computed as the audio thread's setRatio
// computes it from the ratio produce() hands it, so both pick the same table.
double stepAt(int playbackHz, int outputHz) {
    return 1.0 / (static_cast<double>(outputHz) / playbackHz);
}

}  // namespace

Channel::Channel(std::shared_ptr<Source> source, int deviceRateHz)
    : source_(std::move(source)),
      deviceRateHz_(deviceRateHz),
      srcChannels_(source_->channels()),
      rateHz_(source_->rateHz()),
      heardFrames_(static_cast<double>(source_->pulledFrames())) {
    // A new rate glides in over one block at most, so a knob turned every block sweeps smoothly.
    // The filter tables are built for the source's own rate here, and further as the rate goes
    // up (setRateHz, setOutputRate).
    resampler_.prepare(srcChannels_, kMaxBlockFrames, stepAt(rateHz(), outputRateHz()));
    sizeInput();
    resampled_.assign(static_cast<size_t>(kMaxBlockFrames), 0.f);
    stereo_.assign(static_cast<size_t>(kMaxBlockFrames) * 2, 0.f);
}

void Channel::sizeInput() {
    // A block at the fastest playback rate, with room to spare; the staged frames stay.
    const double maxRatioIn = 3.0 * source_->rateHz() / outputRateHz();
    const auto need = static_cast<size_t>(std::ceil(kMaxBlockFrames * maxRatioIn)) + 1024;
    if (need <= inCapFrames_) return;
    inCapFrames_ = need;
    in_.resize(inCapFrames_ * srcChannels_, 0.f);
}

void Channel::setOutputRate(int rateHz) {
    if (rateHz <= 0 || rateHz == outputRateHz()) return;
    Resampler::reach(stepAt(this->rateHz(), rateHz));
    deviceRateHz_.store(rateHz, std::memory_order_relaxed);
    sizeInput();
}

Channel::~Channel() = default;

void Channel::setRateHz(int rateHz) {
    int own = source_->rateHz();
    if (rateHz <= 0) rateHz = own;
    rateHz = std::clamp(rateHz, (own + 1) / 2, own * 3);
    // The tables the new step needs exist before the audio thread can read the rate (it
    // acquires what this releases), and so do those of the glide there: every table up to it.
    Resampler::reach(stepAt(rateHz, outputRateHz()));
    rateHz_.store(rateHz, std::memory_order_release);
}

bool Channel::ended() const {
    return endedGen_.load(std::memory_order_acquire) == playGen_.load(std::memory_order_acquire);
}

void Channel::reviveIfEnded(bool seekToStart) {
    if (!ended()) return;
    if (seekToStart) source_->requestSeek(0);
    playGen_.fetch_add(1, std::memory_order_acq_rel);
}

int Channel::activity() const {
    if (ended()) return 0;
    int st = state.load(std::memory_order_acquire);
    int sst = source_->userState.load(std::memory_order_acquire);
    if (st == kStopped || sst == Source::kStopped) return 0;
    if (st == kPaused || sst == Source::kPaused) return 3;
    if (source_->isNetwork() && source_->stalled()) return 2;
    return 1;
}

void Channel::setHeardDelay(int frames) {
    // The level's 20 ms at 192 kHz and the spectrum's window must stay inside the history.
    constexpr int kMost = kHistoryFrames - 4096;
    heardDelay_.store(std::clamp(frames, 0, kMost), std::memory_order_relaxed);
}

uint64_t Channel::heardEnd() const {
    const uint64_t w = historyWrite_.load(std::memory_order_acquire);
    const auto delay = static_cast<uint64_t>(heardDelay_.load(std::memory_order_relaxed));
    return w > delay ? w - delay : 0;
}

uint32_t Channel::level() const {
    int act = activity();
    if (act != 1 && act != 2) return 0;
    const uint64_t w = heardEnd();
    uint64_t n = std::min<uint64_t>(
        {static_cast<uint64_t>(outputRateHz() / 50), static_cast<uint64_t>(kHistoryFrames), w});
    float peakL = 0, peakR = 0;
    for (uint64_t i = w - n; i < w; ++i) {
        size_t at = static_cast<size_t>(i & (kHistoryFrames - 1)) * 2;
        peakL = std::max(peakL, std::fabs(history_[at].load(std::memory_order_relaxed)));
        peakR = std::max(peakR, std::fabs(history_[at + 1].load(std::memory_order_relaxed)));
    }
    auto scale = [](float peak) {
        return static_cast<uint32_t>(std::min(128L, std::lround(peak * 128.f)));
    };
    return scale(peakL) | (scale(peakR) << 16);
}

void Channel::lastMono(float* out, int n) const {
    // Before the first frames are heard the history reads as silence (it starts zeroed).
    const uint64_t w = heardEnd();
    n = std::clamp(n, 0, 4096);
    for (int i = 0; i < n; ++i) {
        size_t at = static_cast<size_t>((w - n + i) & (kHistoryFrames - 1)) * 2;
        out[i] = 0.5f * (history_[at].load(std::memory_order_relaxed) +
                         history_[at + 1].load(std::memory_order_relaxed));
    }
}

bool Channel::readyToRender(int frames, bool withNetwork) const noexcept {
    if ((source_->isNetwork() && !withNetwork) || ended() ||
        state.load(std::memory_order_acquire) != kPlaying ||
        source_->userState.load(std::memory_order_acquire) != Source::kPlaying) {
        return true;
    }
    // A stream after an underrun plays again only with its preroll in hand.
    if (source_->prebuffering()) return source_->decodedAhead(source_->prerollFrames());
    auto need = static_cast<size_t>(std::ceil(
                    double(frames) * rateHz_.load(std::memory_order_acquire) / outputRateHz())) +
                64;
    // After a seek the staged frames are stale: only the decoder's progress counts.
    if (source_->consumerSeekPending() || source_->consumerDiscardReady()) {
        return source_->decodedAhead(need);
    }
    return need <= inCount_ || source_->decodedAhead(need - inCount_);
}

bool Channel::refill() noexcept {
    if (inStart_ > 0 && inCount_ > 0) {
        std::memmove(in_.data(), in_.data() + inStart_ * srcChannels_,
                     inCount_ * srcChannels_ * sizeof(float));
    }
    inStart_ = 0;
    size_t got = source_->pull(in_.data() + inCount_ * srcChannels_, inCapFrames_ - inCount_);
    inCount_ += got;
    if (got == 0 && source_->exhausted()) endOfInput_ = true;
    return got > 0;
}

int Channel::produce(float* out, int frames, bool* ended, bool* starved) noexcept {
    const int ch = srcChannels_;
    const double ratio =
        static_cast<double>(outputRateHz()) / rateHz_.load(std::memory_order_acquire);
    resampler_.setRatio(ratio);
    int produced = 0;
    for (int guard = 0; produced < frames && guard < 64; ++guard) {
        auto need = static_cast<size_t>((frames - produced) / ratio) + 16;
        if (inCount_ < need && !endOfInput_) refill();
        const Resampler::Result r = resampler_.process(
            in_.data() + inStart_ * ch, inCount_, out + static_cast<size_t>(produced) * ch,
            static_cast<size_t>(frames - produced), endOfInput_);
        inStart_ += r.inputUsed;
        inCount_ -= r.inputUsed;
        produced += static_cast<int>(r.outputGenerated);
        if (r.outputGenerated == 0 && r.inputUsed == 0) {
            if (endOfInput_) {
                *ended = true;
                break;
            }
            if (!refill() && !endOfInput_) {
                *starved = true;
                break;
            }
        }
    }
    std::fill(out + static_cast<size_t>(produced) * ch, out + static_cast<size_t>(frames) * ch,
              0.f);
    return produced;
}

void Channel::writeHistory(const float* stereo, int frames) noexcept {
    uint64_t w = historyWrite_.load(std::memory_order_relaxed);
    for (int i = 0; i < frames; ++i) {
        size_t at = static_cast<size_t>((w + i) & (kHistoryFrames - 1)) * 2;
        history_[at].store(stereo[2 * i], std::memory_order_relaxed);
        history_[at + 1].store(stereo[2 * i + 1], std::memory_order_relaxed);
    }
    historyWrite_.store(w + frames, std::memory_order_release);
}

void Channel::publishPosition() noexcept {
    // The resampler takes input well ahead of its output, so the frames it consumed overstate
    // what is heard; the output it produced, at the rate it ran, does not.
    auto consumed = static_cast<double>(source_->pulledFrames() - static_cast<int64_t>(inCount_));
    heardFrames_ = std::min(heardFrames_, consumed);
    source_->publishPosition(std::llround(heardFrames_), static_cast<int>(inCount_));
}

void Channel::silence(int frames) noexcept {
    std::fill(stereo_.begin(), stereo_.begin() + 2 * frames, 0.f);
    writeHistory(stereo_.data(), frames);
    publishPosition();
    source_->reportBlock(false, frames, outputRateHz());
}

float Channel::nextLevel(bool silent, int frames) noexcept {
    float want = levelGain.load(std::memory_order_relaxed);
    if (!(want >= 0.f)) want = 1.f;  // NaN or negative: as recorded
    if (silent) {
        // Nothing sounds yet: the new item starts at its own level, without a glide.
        level_ = levelTarget_ = want;
        levelLeft_ = 0;
        return level_;
    }
    if (want != levelTarget_) {
        levelTarget_ = want;
        levelLeft_ = kLevelRampFrames;
    }
    if (levelLeft_ <= 0) return level_ = levelTarget_;
    const int n = std::min(frames, levelLeft_);
    level_ += (levelTarget_ - level_) * static_cast<float>(n) / static_cast<float>(levelLeft_);
    levelLeft_ -= n;
    if (levelLeft_ == 0) level_ = levelTarget_;
    return level_;
}

void Channel::render(float* mix, int frames, fx::Effect* const* effects, size_t effectCount,
                     float streamGain) noexcept {
    assert(frames >= 0 && frames <= kMaxBlockFrames && "one block at most");
    Source& src = *source_;
    const uint32_t gen = playGen_.load(std::memory_order_acquire);
    const bool wasEnded = endedGen_.load(std::memory_order_acquire) == gen;
    const bool wantPlay = !wasEnded && state.load(std::memory_order_acquire) == kPlaying &&
                          src.userState.load(std::memory_order_acquire) == Source::kPlaying;
    const uint32_t flushReq = flushReq_.load(std::memory_order_acquire);
    const bool discontinuity =
        flushReq != flushSeen_ || src.consumerSeekPending() || src.consumerDiscardReady();
    float target = 0;
    const bool silentBefore = runGain_ <= 0.f;
    if (runGain_ <= 0.f) {
        // Silent now: the moment to cut, flush and jump without a click.
        if (flushReq != flushSeen_) {
            resampler_.reset();
            flushSeen_ = flushReq;
        }
        if (src.applyDiscard()) {
            resampler_.reset();
            inStart_ = inCount_ = 0;
            endOfInput_ = false;
            heardFrames_ = static_cast<double>(src.pulledFrames());
        }
        if (!wantPlay || src.consumerSeekPending()) {
            silence(frames);
            return;
        }
        target = 1;
    } else {
        // Fade out what is sounding before a pause, stop, flush or seek takes effect.
        target = wantPlay && !discontinuity ? 1.f : 0.f;
    }

    bool ended = false, starved = false;
    const double sourcePerOutput =
        static_cast<double>(rateHz_.load(std::memory_order_acquire)) / outputRateHz();
    float* st = stereo_.data();
    // A stereo source is resampled straight into the block the effects work on.
    int produced = produce(srcChannels_ == 2 ? st : resampled_.data(), frames, &ended, &starved);
    heardFrames_ =
        ended ? static_cast<double>(src.pulledFrames()) : heardFrames_ + produced * sourcePerOutput;
    publishPosition();
    src.reportBlock(starved, frames, outputRateHz());
    if (ended) {
        endedGen_.store(gen, std::memory_order_release);
        int playing = kPlaying;  // an ended channel is stopped, unless paused meanwhile
        state.compare_exchange_strong(playing, kStopped, std::memory_order_acq_rel);
        target = 0;
    }

    if (srcChannels_ == 1) {
        for (int i = 0; i < frames; ++i)
            st[2 * i] = st[2 * i + 1] = resampled_[i];
    }
    fx::processChain(effects, effectCount, st, frames);

    const float vol = std::clamp(volume.load(std::memory_order_relaxed), 0, 100) / 100.f;
    const float p = std::clamp(pan.load(std::memory_order_relaxed), -100, 100) / 100.f;
    const float level = nextLevel(silentBefore, frames);
    // At level 1 the products are exactly those without the level stage.
    const float gl = vol * std::min(1.f, 1.f - p) * streamGain * level;
    const float gr = vol * std::min(1.f, 1.f + p) * streamGain * level;
    if (gainL_ < 0) gainL_ = gl, gainR_ = gr;
    const float step = 1.f / frames;
    const float run0 = runGain_, gl0 = gainL_, gr0 = gainR_;
    if (run0 == target && gl0 == gl && gr0 == gr) {
        // Steady gains (the usual case): the same products as the ramp below gives them.
        const float l = gl * target, r = gr * target;
        for (int i = 0; i < frames; ++i) {
            st[2 * i] *= l;
            st[2 * i + 1] *= r;
        }
    } else {
        for (int i = 0; i < frames; ++i) {
            float t = (i + 1) * step;
            float run = run0 + (target - run0) * t;
            st[2 * i] *= (gl0 + (gl - gl0) * t) * run;
            st[2 * i + 1] *= (gr0 + (gr - gr0) * t) * run;
        }
    }
    gainL_ = gl;
    gainR_ = gr;
    runGain_ = target;
    writeHistory(st, frames);
    for (int i = 0; i < 2 * frames; ++i)
        mix[i] += st[i];
}

}  // namespace velorixa::audio
