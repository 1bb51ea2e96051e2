#pragma once
// A single-producer single-consumer ring of interleaved float frames between a source's decode
// thread and the thread that plays it.
//
// Thread contract: the constructor and destructor run with no other user; writeSpan(), commit()
// and writeIndex() belong to the producer thread, read(), readWith(), skipTo() and
// readIndex() to the consumer thread; available() and freeFrames() may be called from any thread.
// Nothing here locks or allocates.

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

    // Producer: the free frames that follow the write index without wrapping (*frames of them),
    // for filling in place; commit() then appends what was filled. Nothing the consumer may read
    // lies there.
    float* writeSpan(size_t* frames) noexcept {
        uint64_t w = w_.load(std::memory_order_relaxed);
        uint64_t r = r_.load(std::memory_order_acquire);
        const size_t at = static_cast<size_t>(w % cap_);
        *frames = std::min(cap_ - static_cast<size_t>(w - r), cap_ - at);
        return &buf_[at * ch_];
    }
    void commit(size_t frames) noexcept {
        w_.store(w_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
    }

    // Consumer: takes up to frames frames, never reading at or past stopAt (a write index).
    size_t read(float* dst, size_t frames, uint64_t stopAt = UINT64_MAX) noexcept {
        return readWith(frames, stopAt, [&dst, this](const float* src, size_t n) {
            std::memcpy(dst, src, n * ch_ * sizeof(float));
            dst += n * ch_;
        });
    }

    // Consumer: as read(), but hands the frames where they lie to take(const float*, size_t
    // frames), once or (across the end of the buffer) twice, instead of copying them out.
    template <class Take>
    size_t readWith(size_t frames, uint64_t stopAt, Take&& take) noexcept {
        uint64_t r = r_.load(std::memory_order_relaxed);
        uint64_t w = std::min(w_.load(std::memory_order_acquire), std::max(stopAt, r));
        frames = std::min(frames, static_cast<size_t>(w - r));
        const size_t at = static_cast<size_t>(r % cap_);
        const size_t first = std::min(frames, cap_ - at);
        if (first > 0) take(&buf_[at * ch_], first);
        if (frames > first) take(&buf_[0], frames - first);
        r_.store(r + frames, std::memory_order_release);
        return frames;
    }

    // Consumer: drops everything before write index `to` (which the producer has reached).
    void skipTo(uint64_t to) noexcept {
        uint64_t r = r_.load(std::memory_order_relaxed);
        if (to > r) r_.store(to, std::memory_order_release);
    }

  private:
    const size_t cap_;
    const int ch_;
    std::vector<float> buf_;
    std::atomic<uint64_t> w_{0};
    std::atomic<uint64_t> r_{0};
};

}  // namespace velorixa::audio
