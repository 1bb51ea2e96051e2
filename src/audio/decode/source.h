#pragma once
// A decoding source: a Decoder run ahead of playback on a decode thread of its own, filling a
// bounded PCM ring that one consumer (the audio thread, or a caller pulling decoded PCM) drains.
//
// Thread contract: construction, destruction and the control members (requestSeek, position,
// state) run on the API's callers' threads; the decode thread is private; the consumer members
// (consumer*, applyDiscard, pull, exhausted, publish*, waitDecoded) belong to exactly one consumer
// thread at a time and never lock, allocate or wait, but for waitDecoded, which only a consumer
// that may block calls.
//
// Waiting: with the ring full (or the decoder at its end) the decode thread sleeps until the
// consumer has taken a quarter of the ring, a seek is asked for or the source is destroyed; the
// consumer's wake-up is a futex wake only when the thread really waits, never a lock or a wait.
// A consumer in waitDecoded is woken by the decode thread only when it really waits, once what
// it waits for is there.
//
// Seeking: the caller posts a target; the decode thread seeks the decoder and records from which
// ring index the new audio starts; the consumer skips to that index when it is ready (after fading
// out what it was playing), so the caller never waits for the decode thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/decode/decoder.h"
#include "audio/realtime/pcmring.h"

namespace velorixa::audio {

class Source {
  public:
    enum UserState : int { kStopped = 0, kPlaying = 1, kPaused = 3 };
    static constexpr int kDecodeChunkFrames = 2048;

    // Starts the decode thread. bufferSeconds bounds how far decoding runs ahead (0.05..10 s).
    Source(std::unique_ptr<Decoder> decoder, double bufferSeconds);
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    int rateHz() const { return rateHz_; }
    int channels() const { return channels_; }
    int64_t lengthFrames() const { return lengthFrames_; }  // -1 when unknown
    bool isNetwork() const { return network_; }
    const Decoder& decoder() const { return *decoder_; }
    size_t ringCapacityFrames() const { return ring_.capacityFrames(); }

    // --- control side (any thread but the consumer's) ---
    void requestSeek(int64_t frame);
    // The frame now being played: the seek target while a seek is under way.
    int64_t positionFrames() const;
    // Decoded to the end and every frame handed to the consumer's output.
    bool ended() const;
    // The consumer found nothing to play although more is to come.
    bool starved() const { return starved_.load(std::memory_order_acquire); }
    // A network source has been starved while no new audio arrived for kStallSeconds of
    // output: reconnecting is now the better cure. A short underrun is no stall: the source
    // buffers again and plays on by itself.
    bool stalled() const { return stalled_.load(std::memory_order_acquire); }
    // Network sources: decoded audio kept ahead (the ring), the amount an underrun waits for
    // before the sound resumes, and the starved time without new audio that counts as a stall.
    static constexpr double kNetBufferSeconds = 8.0;
    static constexpr double kNetPrerollSeconds = 2.5;
    static constexpr double kStallSeconds = 5.0;
    // Frames decoded and waiting in the ring.
    size_t bufferedFrames() const { return ring_.available(); }
    std::atomic<int> userState{kPlaying};
    // Set while a caller thread pulls decoded PCM as the consumer (a source that nothing
    // plays): a second consumer, or a pitch channel, is refused meanwhile.
    std::atomic<bool> pulledByCaller{false};

    // --- consumer side ---
    bool consumerSeekPending() const;
    bool consumerDiscardReady() const;
    // Jumps to where a finished seek's audio begins; true when it did.
    bool applyDiscard() noexcept;
    // Takes up to frames decoded frames (never past a seek's discard point).
    size_t pull(float* dst, size_t frames) noexcept;
    // The same as 16-bit PCM (see pcm16.h), converted straight out of the ring.
    size_t pull(int16_t* dst, size_t frames) noexcept;
    // A consumer that may block (a caller pulling decoded PCM, never the audio thread): sleeps
    // until `frames` more are decoded (at most what the ring can hold), the decoder ended, a
    // seek's audio is ready or `until` passed. Returns at once when one of these already holds.
    void waitDecoded(size_t frames, std::chrono::steady_clock::time_point until);
    // Nothing more will come: the decoder ended and the ring is empty.
    bool exhausted() const noexcept;
    // The decoder is at least `frames` ahead of the consumer, or at its end (offline rendering
    // waits for this instead of playing an underrun).
    bool decodedAhead(size_t frames) const noexcept;
    int64_t pulledFrames() const { return pulled_; }
    // After an underrun of a network source: nothing is pulled until the preroll is decoded.
    bool prebuffering() const noexcept { return prebuffering_; }
    size_t prerollFrames() const noexcept { return prerollFrames_; }
    // The consumer reports the frame it plays and how many pulled frames it still holds.
    void publishPosition(int64_t frame, int heldFrames) noexcept;
    // After each output block: whether it found nothing to play, and its length in output
    // frames at deviceRateHz (the stall clock runs in output time, so offline renders keep it).
    void reportBlock(bool starved, int frames, int deviceRateHz) noexcept;

  private:
    void run();
    // Decode thread: sleeps until wake_ moves on from `seen` or, when `room` > 0, the ring has
    // that many frames free.
    void waitForWork(uint32_t seen, size_t room);
    void wake() noexcept;
    // Decode thread: wakes a consumer in waitDecoded() whose wait is over (any wait when
    // `always`: the end or a seek's audio).
    void decodedMore(bool always) noexcept;
    template <class Take>
    size_t pullWith(size_t frames, Take&& take) noexcept;

    std::unique_ptr<Decoder> decoder_;
    const int rateHz_;
    const int channels_;
    const int64_t lengthFrames_;
    const bool network_;
    PcmRing ring_;

    std::atomic<bool> quit_{false};
    std::atomic<bool> eof_{false};
    std::atomic<bool> starved_{false};
    std::atomic<bool> stalled_{false};
    // Decode thread's sleep: wake_ counts wake-ups; roomWanted_ is the free space the sleeping
    // thread waits for (0: the consumer need not wake it).
    std::atomic<uint32_t> wake_{0};
    std::atomic<size_t> roomWanted_{0};
    // A consumer's sleep in waitDecoded: the write index it waits for (0: nobody waits), and
    // the flag the decode thread sets to end the wait. A condition variable rather than an atomic
    // wait: the standard library's atomic waits spin and yield first, which costs more than the
    // sleep here.
    std::atomic<uint64_t> decodedWanted_{0};
    std::mutex decodedMutex_;
    std::condition_variable decodedCv_;
    bool decodedWoken_ = false;  // guarded by decodedMutex_
    // Seek hand-over: caller -> decode thread -> consumer -> back.
    std::atomic<int64_t> seekTarget_{0};
    std::atomic<uint32_t> seekReq_{0};
    std::atomic<uint64_t> discardTo_{0};
    std::atomic<int64_t> discardPos_{0};
    std::atomic<uint32_t> discardGen_{0};
    std::atomic<uint32_t> ackGen_{0};
    // What the consumer publishes.
    std::atomic<int64_t> playPos_{0};
    std::atomic<int> held_{0};
    // Consumer-private.
    uint32_t appliedGen_ = 0;
    int64_t pulled_ = 0;
    bool prebuffering_ = false;  // after an underrun: nothing is pulled until the preroll
    size_t prerollFrames_ = 0;
    uint64_t lastSeenWrite_ = 0;       // the ring's write index at the last starved block
    int64_t starvedNoDataFrames_ = 0;  // output frames starved since audio last arrived

    std::thread thread_;
};

}  // namespace velorixa::audio
