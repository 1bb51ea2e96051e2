#pragma once
// A single-producer single-consumer ring of interleaved float frames between a source's decode
// thread and the thread that plays it.
//
// Thread contract: the constructor and destructor run with no other user; write() and
// writeIndex() belong to the producer thread, read() and readIndex() to the consumer thread;
// available() and freeFrames() may be called from any thread. Nothing here locks or allocates.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velorixa::audio {

class PcmRing {
  public:
    PcmRing(size_t capacityFrames, int channels)
        : cap_(std::max<size_t>(capacityFrames, 1)),
          ch_(channels),
          buf_(cap_ * static_cast<size_t>(channels)) {}

    size_t capacityFrames() const { return cap_; }
    int channels() const { return ch_; }

    // Frame counters since creation; they only grow, so their difference is the fill.
    uint64_t writeIndex() const { return w_.load(std::memory_order_acquire); }
    uint64_t readIndex() const { return r_.load(std::memory_order_acquire); }

    size_t available() const {
        return static_cast<size_t>(w_.load(std::memory_order_acquire) -
                                   r_.load(std::memory_order_acquire));
    }
    size_t freeFrames() const { return cap_ - available(); }

    // Producer: appends up to frames frames; returns how many fitted.
    size_t write(const float* src, size_t frames) noexcept {
        uint64_t w = w_.load(std::memory_order_relaxed);
        uint64_t r = r_.load(std::memory_order_acquire);
        frames = std::min(frames, cap_ - static_cast<size_t>(w - r));
        copyIn(static_cast<size_t>(w % cap_), src, frames);
        w_.store(w + frames, std::memory_order_release);
        return frames;
    }

    // Consumer: takes up to frames frames, never reading at or past stopAt (a write index).
    size_t read(float* dst, size_t frames, uint64_t stopAt = UINT64_MAX) noexcept {
        uint64_t r = r_.load(std::memory_order_relaxed);
        uint64_t w = std::min(w_.load(std::memory_order_acquire), std::max(stopAt, r));
        frames = std::min(frames, static_cast<size_t>(w - r));
        copyOut(static_cast<size_t>(r % cap_), dst, frames);
        r_.store(r + frames, std::memory_order_release);
        return frames;
    }

    // Consumer: drops everything before write index `to` (which the producer has reached).
    void skipTo(uint64_t to) noexcept {
        uint64_t r = r_.load(std::memory_order_relaxed);
        if (to > r) r_.store(to, std::memory_order_release);
    }

  private:
    void copyIn(size_t at, const float* src, size_t frames) noexcept {
        size_t first = std::min(frames, cap_ - at);
        std::memcpy(&buf_[at * ch_], src, first * ch_ * sizeof(float));
        std::memcpy(&buf_[0], src + first * ch_, (frames - first) * ch_ * sizeof(float));
    }
    void copyOut(size_t at, float* dst, size_t frames) noexcept {
        size_t first = std::min(frames, cap_ - at);
        std::memcpy(dst, &buf_[at * ch_], first * ch_ * sizeof(float));
        std::memcpy(dst + first * ch_, &buf_[0], (frames - first) * ch_ * sizeof(float));
    }

    const size_t cap_;
    const int ch_;
    std::vector<float> buf_;
    std::atomic<uint64_t> w_{0};
    std::atomic<uint64_t> r_{0};
};

}  // namespace velorixa::audio
