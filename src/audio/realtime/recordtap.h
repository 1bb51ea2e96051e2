#pragma once
// The output as heard, handed from the audio thread to a recording's writer thread: a
// single-producer single-consumer ring of interleaved stereo float frames, filled by the engine
// after the master volume and the output stage, drained by the writer.
//
// Thread contract: the constructor and destructor run with no other user (the ring is made and
// sized on the thread that starts the recording, never on the audio thread). push() belongs to
// the audio thread and never waits, allocates or makes a system call: what does not fit is
// counted as lost, never silently dropped. readWith() belongs to the writer thread. The
// counters may be read from any thread. markRate() is the engine's, with no push running;
// pendingRate(), takeRate() and readUntil() are the writer's.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "audio/realtime/pcmring.h"

namespace velorixa::audio {

class RecordTap {
  public:
    explicit RecordTap(size_t capacityFrames) : ring_(capacityFrames, 2) {}
    RecordTap(const RecordTap&) = delete;
    RecordTap& operator=(const RecordTap&) = delete;

    size_t capacityFrames() const { return ring_.capacityFrames(); }

    // Audio thread: appends what the output delivered. With timing set, the time spent here is
    // kept as the longest hand-over (two clock reads, vDSO, no system call).
    void push(const float* stereo, size_t frames) noexcept {
        const auto t0 = std::chrono::steady_clock::now();
        size_t done = 0;
        while (done < frames) {
            size_t room = 0;
            float* span = ring_.writeSpan(&room);
            if (room == 0) break;
            const size_t n = std::min(room, frames - done);
            std::memcpy(span, stereo + done * 2, n * 2 * sizeof(float));
            ring_.commit(n);
            done += n;
        }
        if (done < frames) lost_.fetch_add(frames - done, std::memory_order_relaxed);
        offered_.fetch_add(frames, std::memory_order_release);
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now() - t0)
                               .count();
        if (ns > longestNs_.load(std::memory_order_relaxed))
            longestNs_.store(ns, std::memory_order_relaxed);
        totalNs_.store(totalNs_.load(std::memory_order_relaxed) + ns, std::memory_order_relaxed);
        pushes_.store(pushes_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }

    // Writer thread: hands up to `frames` frames where they lie to take(const float*, size_t),
    // once or twice (across the end of the buffer); returns the frames taken.
    template <class Take>
    size_t readWith(size_t frames, Take&& take) noexcept {
        return ring_.readWith(frames, UINT64_MAX, std::forward<Take>(take));
    }
    size_t available() const { return ring_.available(); }

    // Where the output's rate changes. Called by the engine while no push runs (the output
    // stopped for the change): the frames pushed from here on are at rateHz. The writer ends its
    // file at this point and goes on in a new one, so no file holds frames of two rates. False
    // when kMaxRateMarks changes are waiting for the writer already.
    static constexpr int kMaxRateMarks = 8;
    struct RateMark {
        uint64_t from = 0;  // ring write index of the first frame at the new rate
        int rateHz = 0;
    };
    bool markRate(int rateHz) noexcept {
        const uint32_t n = marksMade_.load(std::memory_order_relaxed);
        if (n - marksTaken_.load(std::memory_order_acquire) >= kMaxRateMarks) return false;
        marks_[n % kMaxRateMarks] = RateMark{ring_.writeIndex(), rateHz};
        marksMade_.store(n + 1, std::memory_order_release);
        return true;
    }
    // Writer: the oldest change not yet taken; false when there is none.
    bool pendingRate(RateMark* mark) const noexcept {
        const uint32_t taken = marksTaken_.load(std::memory_order_relaxed);
        if (marksMade_.load(std::memory_order_acquire) == taken) return false;
        *mark = marks_[taken % kMaxRateMarks];
        return true;
    }
    void takeRate() noexcept {
        marksTaken_.store(marksTaken_.load(std::memory_order_relaxed) + 1,
                          std::memory_order_release);
    }
    // Writer: readWith() that stops at a ring write index (a RateMark's `from`).
    template <class Take>
    size_t readUntil(size_t frames, uint64_t stopAt, Take&& take) noexcept {
        return ring_.readWith(frames, stopAt, std::forward<Take>(take));
    }
    uint64_t readIndex() const { return ring_.readIndex(); }
    // Frames the ring has taken in so far (a RateMark's `from` counts in these).
    uint64_t pushedIndex() const { return ring_.writeIndex(); }

    // Frames the output delivered since the tap was attached: kept ones and lost ones.
    uint64_t offeredFrames() const { return offered_.load(std::memory_order_acquire); }
    // Frames that found the ring full (the writer too slow for longer than the ring holds).
    uint64_t lostFrames() const { return lost_.load(std::memory_order_relaxed); }
    // The longest single push, in nanoseconds.
    int64_t longestPushNs() const { return longestNs_.load(std::memory_order_relaxed); }
    // The mean push, in nanoseconds.
    double meanPushNs() const {
        const uint64_t n = pushes_.load(std::memory_order_relaxed);
        return n ? double(totalNs_.load(std::memory_order_relaxed)) / double(n) : 0.0;
    }

  private:
    PcmRing ring_;
    std::atomic<uint64_t> offered_{0};
    std::atomic<uint64_t> lost_{0};
    std::atomic<int64_t> longestNs_{0};
    std::atomic<int64_t> totalNs_{0};  // written by the audio thread only
    std::atomic<uint64_t> pushes_{0};
    RateMark marks_[kMaxRateMarks];
    std::atomic<uint32_t> marksMade_{0};   // engine side
    std::atomic<uint32_t> marksTaken_{0};  // writer side
};

}  // namespace velorixa::audio
