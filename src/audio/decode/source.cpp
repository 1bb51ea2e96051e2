#include "audio/decode/source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "audio/pcm16.h"

namespace velorixa::audio {

namespace {

constexpr auto kStarvedPoll = std::chrono::milliseconds(10);

size_t ringFrames(double seconds, int rateHz) {
    seconds = std::clamp(seconds, 0.05, 10.0);
    // Enough for several output blocks at the fastest rate even with a tiny buffer length.
    return std::max<size_t>(static_cast<size_t>(std::lround(seconds * rateHz)), 8192);
}

}  // namespace

Source::Source(std::unique_ptr<Decoder> decoder, double bufferSeconds)
    : decoder_(std::move(decoder)),
      rateHz_(decoder_->rateHz()),
      channels_(decoder_->channels()),
      lengthFrames_(decoder_->lengthFrames()),
      network_(decoder_->isNetwork()),
      ring_(ringFrames(network_ ? std::max(bufferSeconds, kNetBufferSeconds) : bufferSeconds,
                       rateHz_),
            channels_),
      prerollFrames_(static_cast<size_t>(kNetPrerollSeconds * rateHz_)) {
    thread_ = std::thread([this] { run(); });
}

Source::~Source() {
    quit_.store(true, std::memory_order_release);
    wake();
    if (thread_.joinable()) thread_.join();
}

void Source::run() {
    uint32_t handled = 0;
    // Refilled once a quarter of the ring is free: a few wake-ups a second at any speed.
    const size_t refillRoom = std::max<size_t>(kDecodeChunkFrames, ring_.capacityFrames() / 4);
    while (!quit_.load(std::memory_order_acquire)) {
        const uint32_t seen = wake_.load(std::memory_order_acquire);
        uint32_t req = seekReq_.load(std::memory_order_acquire);
        // One seek at a time: the previous discard point must have been taken by the consumer.
        if (req != handled && ackGen_.load(std::memory_order_acquire) ==
                                  discardGen_.load(std::memory_order_relaxed)) {
            int64_t target = seekTarget_.load(std::memory_order_acquire);
            int64_t landed = decoder_->seek(target);
            eof_.store(false, std::memory_order_release);
            discardTo_.store(ring_.writeIndex(), std::memory_order_relaxed);
            discardPos_.store(landed < 0 ? target : landed, std::memory_order_relaxed);
            discardGen_.store(req, std::memory_order_release);
            decodedMore(true);
            handled = req;
            continue;
        }
        if (eof_.load(std::memory_order_relaxed)) {
            waitForWork(seen, 0);  // until a seek or the end
            continue;
        }
        if (ring_.freeFrames() < kDecodeChunkFrames) {
            decodedMore(false);
            waitForWork(seen, refillRoom);
            continue;
        }
        // Decoded in place into the ring: up to a chunk, less where the ring's buffer ends.
        size_t room = 0;
        float* at = ring_.writeSpan(&room);
        Decoder::Status status = Decoder::Status::Ok;
        const int frames = decoder_->read(
            at, static_cast<int>(std::min<size_t>(room, kDecodeChunkFrames)), &status);
        // A waiting consumer is woken for what earlier reads brought only after this one, so
        // that it finds the source ended when those were the last frames: a read that fills
        // exactly what was asked for cannot tell whether the stream ends there.
        if (status == Decoder::Status::End) {
            if (frames > 0) ring_.commit(static_cast<size_t>(frames));
            eof_.store(true, std::memory_order_release);
            decodedMore(true);
            continue;
        }
        decodedMore(false);
        if (frames > 0) ring_.commit(static_cast<size_t>(frames));
        if (status == Decoder::Status::Starved && frames == 0) {
            std::this_thread::sleep_for(kStarvedPoll);
        }
    }
}

void Source::wake() noexcept {
    wake_.fetch_add(1, std::memory_order_seq_cst);
    wake_.notify_one();
}

void Source::waitForWork(uint32_t seen, size_t room) {
    if (room > 0) {
        // Both sides reach roomWanted_ by read-modify-writes, which follow one order: when the
        // consumer's comes first, this one synchronises with it and sees the room it made;
        // otherwise the consumer sees what this one asks for. Nobody sleeps past the room.
        roomWanted_.exchange(room, std::memory_order_acq_rel);
        if (ring_.freeFrames() >= room) {
            roomWanted_.store(0, std::memory_order_relaxed);
            return;
        }
    }
    wake_.wait(seen, std::memory_order_acquire);
    roomWanted_.store(0, std::memory_order_relaxed);
}

void Source::requestSeek(int64_t frame) {
    seekTarget_.store(frame, std::memory_order_relaxed);
    seekReq_.fetch_add(1, std::memory_order_release);
    wake();
}

int64_t Source::positionFrames() const {
    if (seekReq_.load(std::memory_order_acquire) != ackGen_.load(std::memory_order_acquire)) {
        return seekTarget_.load(std::memory_order_relaxed);
    }
    return playPos_.load(std::memory_order_acquire);
}

bool Source::ended() const {
    if (seekReq_.load(std::memory_order_acquire) != ackGen_.load(std::memory_order_acquire)) {
        return false;
    }
    // eof_ is stored after the last frame was written, so the fill read after it is final.
    return eof_.load(std::memory_order_acquire) && ring_.available() == 0 &&
           held_.load(std::memory_order_acquire) == 0;
}

bool Source::consumerSeekPending() const {
    return seekReq_.load(std::memory_order_acquire) != appliedGen_;
}

bool Source::consumerDiscardReady() const {
    return discardGen_.load(std::memory_order_acquire) != appliedGen_;
}

bool Source::applyDiscard() noexcept {
    uint32_t gen = discardGen_.load(std::memory_order_acquire);
    if (gen == appliedGen_) return false;
    // The decode thread leaves these alone until we acknowledge, so they belong to `gen`.
    ring_.skipTo(discardTo_.load(std::memory_order_relaxed));
    pulled_ = discardPos_.load(std::memory_order_relaxed);
    appliedGen_ = gen;
    publishPosition(pulled_, 0);
    ackGen_.store(gen, std::memory_order_release);
    wake();  // room in the ring, and a seek that waited for this one may go ahead
    return true;
}

void Source::decodedMore(bool always) noexcept {
    // The same pairing of read-modify-writes as roomWanted_ (see waitForWork), the other way.
    const uint64_t wanted = decodedWanted_.fetch_or(0, std::memory_order_acq_rel);
    if (wanted == 0 || (!always && ring_.writeIndex() < wanted)) return;
    if (decodedWanted_.exchange(0, std::memory_order_acq_rel) == 0) return;
    {
        std::lock_guard<std::mutex> lock(decodedMutex_);
        decodedWoken_ = true;
    }
    decodedCv_.notify_one();
}

void Source::waitDecoded(size_t frames, std::chrono::steady_clock::time_point until) {
    {
        // A wake-up meant for a wait that timed out must not end this one early.
        std::lock_guard<std::mutex> lock(decodedMutex_);
        decodedWoken_ = false;
    }
    // The decode thread pauses with less than a chunk free, so more than that never arrives.
    const size_t reachable = ring_.capacityFrames() - static_cast<size_t>(kDecodeChunkFrames);
    // After an underrun nothing is pulled before the preroll is there.
    if (prebuffering_) frames = std::max(frames, prerollFrames_);
    const uint64_t target =
        ring_.readIndex() + std::clamp<size_t>(frames, 1, std::max<size_t>(reachable, 1));
    decodedWanted_.exchange(target, std::memory_order_acq_rel);
    // While a seek is under way only its audio counts: the end and the ring are the old ones.
    const bool ready = consumerDiscardReady() ||
                       (!consumerSeekPending() &&
                        (ring_.writeIndex() >= target || eof_.load(std::memory_order_acquire)));
    if (!ready) {
        std::unique_lock<std::mutex> lock(decodedMutex_);
        decodedCv_.wait_until(lock, until, [this] { return decodedWoken_; });
    }
    decodedWanted_.store(0, std::memory_order_relaxed);
}

template <class Take>
size_t Source::pullWith(size_t frames, Take&& take) noexcept {
    const bool eof = eof_.load(std::memory_order_acquire);
    if (prebuffering_) {
        // A station that ran dry plays again only with a few seconds in hand, so data that
        // comes in bursts does not stop the sound at every burst.
        if (!eof && ring_.available() < prerollFrames_) return 0;
        prebuffering_ = false;
    }
    uint64_t stopAt =
        consumerDiscardReady() ? discardTo_.load(std::memory_order_relaxed) : UINT64_MAX;
    size_t got = ring_.readWith(frames, stopAt, take);
    pulled_ += static_cast<int64_t>(got);
    const size_t room = roomWanted_.fetch_or(0, std::memory_order_acq_rel);  // see waitForWork
    if (room > 0 && ring_.freeFrames() >= room &&
        roomWanted_.exchange(0, std::memory_order_acq_rel) != 0) {
        wake();
    }
    return got;
}

size_t Source::pull(float* dst, size_t frames) noexcept {
    return pullWith(frames, [&dst, this](const float* src, size_t n) {
        std::memcpy(dst, src, n * channels_ * sizeof(float));
        dst += n * channels_;
    });
}

size_t Source::pull(int16_t* dst, size_t frames) noexcept {
    return pullWith(frames, [&dst, this](const float* src, size_t n) {
        ToPcm16(src, dst, n * channels_);
        dst += n * channels_;
    });
}

void Source::reportBlock(bool starved, int frames, int deviceRateHz) noexcept {
    starved_.store(starved, std::memory_order_release);
    if (!network_) return;
    // Only a block that really went short is an underrun: a pull that finds less than it asks
    // for is none (the consumer asks for more than one block needs).
    if (starved && !eof_.load(std::memory_order_acquire)) prebuffering_ = true;
    const uint64_t written = ring_.writeIndex();
    if (!starved || written != lastSeenWrite_) starvedNoDataFrames_ = 0;
    if (starved && written == lastSeenWrite_) starvedNoDataFrames_ += frames;
    lastSeenWrite_ = written;
    stalled_.store(double(starvedNoDataFrames_) >= kStallSeconds * deviceRateHz,
                   std::memory_order_release);
}

bool Source::exhausted() const noexcept {
    if (consumerSeekPending() || consumerDiscardReady()) return false;
    return eof_.load(std::memory_order_acquire) && ring_.available() == 0;
}

bool Source::decodedAhead(size_t frames) const noexcept {
    const bool full = ring_.freeFrames() < static_cast<size_t>(kDecodeChunkFrames);
    if (consumerDiscardReady()) {
        // Count only what follows the discard point; a ring full of old frames cannot take more
        // until the consumer skips them.
        uint64_t after = ring_.writeIndex() - discardTo_.load(std::memory_order_relaxed);
        return eof_.load(std::memory_order_acquire) || after >= frames || full;
    }
    if (seekReq_.load(std::memory_order_acquire) != discardGen_.load(std::memory_order_acquire)) {
        return false;  // the decode thread has a seek to make
    }
    return eof_.load(std::memory_order_acquire) || ring_.available() >= frames || full;
}

void Source::publishPosition(int64_t frame, int heldFrames) noexcept {
    held_.store(heldFrames, std::memory_order_release);
    playPos_.store(frame, std::memory_order_release);
}

}  // namespace velorixa::audio
