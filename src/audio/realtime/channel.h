#pragma once
// A playable channel: pulls a Source through a varying-ratio resampler (the playback rate), runs
// its effects, applies volume, pan and the stream volume, and adds the result to the output mix.
// It keeps the last frames it produced for the level meter and the spectrum.
//
// Thread contract: construction and destruction run off the audio thread (they allocate), and so
// do setRateHz and setOutputRate (they may build the resampler's filter tables for a faster
// step, under the tables' own lock, before the audio thread sees the step); the other control
// members (state, rateHz, volume, pan, requestFlush, restart*, activity, level, fft) may be
// called from any thread and only touch atomics; render() runs on the audio thread only and
// never locks, allocates or waits.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/decode/source.h"
#include "audio/realtime/resampler.h"

namespace velorixa::fx {
class Effect;
}

namespace velorixa::audio {

class Channel {
  public:
    enum UserState : int { kStopped = 0, kPlaying = 1, kPaused = 3 };
    static constexpr int kMaxBlockFrames = 512;
    // Enough for the spectrum's window behind the longest output queue an SDL device is given.
    static constexpr int kHistoryFrames = 8192;  // power of two
    static constexpr int kFftSize = 512;

    Channel(std::shared_ptr<Source> source, int deviceRateHz);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    bool ok() const { return resampler_.channels() != 0; }

    Source& source() { return *source_; }
    const std::shared_ptr<Source>& sourcePtr() const { return source_; }

    // Playback rate of the source's frames in Hz, kept within half to three times its own rate.
    // Off the audio thread: a faster rate may first build filter tables (a few ms each, once per
    // process).
    void setRateHz(int rateHz);
    int rateHz() const { return rateHz_.load(std::memory_order_acquire); }
    std::atomic<int> state{kStopped};
    std::atomic<int> volume{100};  // 0..100, linear
    std::atomic<int> pan{0};       // -100 (left) .. 100 (right)
    // The item's level gain, linear (1 = as recorded): a stage of its own beside the volume, so
    // evening out levels never moves the volume knob. A change glides over kLevelRampFrames;
    // while the channel is silent (before its first sound) it takes effect at once.
    std::atomic<float> levelGain{1.f};
    static constexpr int kLevelRampFrames = 4096;

    // Empties the resampler before the next sound (the frames not yet resampled are kept).
    void requestFlush() { flushReq_.fetch_add(1, std::memory_order_acq_rel); }
    bool ended() const;
    // After the end, starts the source again from its beginning (seekToStart) or from wherever
    // it has just been sent; the channel keeps its state.
    void reviveIfEnded(bool seekToStart);
    // 0 stopped or ended, 1 playing, 2 stalled (network source waiting), 3 paused.
    int activity() const;
    // The output's queue in frames: what render() produces is heard this much later. The level
    // and the spectrum read the output that far back, so they show what is heard now rather
    // than what will be heard a few device periods on.
    void setHeardDelay(int frames);
    // Peak of the 20 ms heard last: left 0..128 in the low 16 bits, right in the high 16 bits.
    uint32_t level() const;
    // The kFftSize mono frames heard last (left and right averaged), oldest first.
    void lastMono(float* out) const { lastMono(out, kFftSize); }
    // The same for n frames (up to 4096).
    void lastMono(float* out, int n) const;

    // The output's rate: what one frame of render() lasts.
    int outputRateHz() const { return deviceRateHz_.load(std::memory_order_relaxed); }
    // Re-targets the channel to a new output rate: the playback rate in Hz stays, so pitch and
    // position go on as before. Only while no block runs (the output stopped), off the audio
    // thread; it may allocate.
    void setOutputRate(int rateHz);

    // Audio thread: the source has decoded enough for the next block of `frames` (or is at its
    // end). A network source counts only when asked for (withNetwork): a live stream's
    // underruns are played as the real-time output plays them, unless the caller waits.
    bool readyToRender(int frames, bool withNetwork = false) const noexcept;
    // Audio thread: adds `frames` (<= kMaxBlockFrames) stereo frames to mix.
    void render(float* mix, int frames, fx::Effect* const* effects, size_t effectCount,
                float streamGain) noexcept;

  private:
    int produce(float* out, int frames, bool* ended, bool* starved) noexcept;
    bool refill() noexcept;
    void writeHistory(const float* stereo, int frames) noexcept;
    void silence(int frames) noexcept;
    void publishPosition() noexcept;
    // Audio thread: the level gain for the end of this block (silent: jump to the target).
    float nextLevel(bool silent, int frames) noexcept;
    void sizeInput();

    std::shared_ptr<Source> source_;
    std::atomic<int> deviceRateHz_;  // changed only while no block runs
    const int srcChannels_;
    std::atomic<int> rateHz_;
    std::atomic<uint32_t> flushReq_{0};
    std::atomic<uint32_t> playGen_{0};
    std::atomic<uint32_t> endedGen_{UINT32_MAX};

    // Audio-thread state.
    Resampler resampler_;
    std::vector<float> in_;  // staged source frames (source layout)
    size_t inCapFrames_ = 0;
    size_t inStart_ = 0;
    size_t inCount_ = 0;
    bool endOfInput_ = false;
    std::vector<float> resampled_;  // a mono source's resampled frames (stereo goes to stereo_)
    std::vector<float> stereo_;
    uint32_t flushSeen_ = 0;
    double heardFrames_ = 0;  // source frames turned into output: the position being heard
    float runGain_ = 0;       // fades in at start/resume and out before pause/stop/seek
    float gainL_ = -1, gainR_ = -1;
    float level_ = 1.f;        // the level gain reached by the last block
    float levelTarget_ = 1.f;  // where the level glides to
    int levelLeft_ = 0;        // frames of the glide still to go

    // Output history for level and spectrum readers.
    std::array<std::atomic<float>, kHistoryFrames * 2> history_{};
    std::atomic<uint64_t> historyWrite_{0};
    std::atomic<int> heardDelay_{0};
    // The history index just after the last frame heard.
    uint64_t heardEnd() const;
};

}  // namespace velorixa::audio
