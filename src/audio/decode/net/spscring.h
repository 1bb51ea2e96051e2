#pragma once
// A fixed-size byte ring for one producer thread and one consumer thread, without locks.
//
// Thread contract: write() from one producer thread and read() from one consumer thread at a time;
// size() and freeSpace() from any thread (a snapshot that may be stale at once).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velorixa::net {

class SpscRing {
  public:
    explicit SpscRing(size_t capacityBytes) : buf_(std::max<size_t>(capacityBytes, 1)) {}

    size_t capacity() const { return buf_.size(); }
    size_t size() const {
        // Read the consumer's counter first: the producer's can only grow meanwhile, so the
        // difference never goes negative.
        const uint64_t r = readPos_.load(std::memory_order_acquire);
        const uint64_t w = writePos_.load(std::memory_order_acquire);
        return static_cast<size_t>(w - r);
    }
    size_t freeSpace() const { return capacity() - size(); }

    // Copies up to n bytes in; returns how many fitted.
    size_t write(const uint8_t* src, size_t n) {
        const uint64_t w = writePos_.load(std::memory_order_relaxed);
        const uint64_t r = readPos_.load(std::memory_order_acquire);
        const size_t room = capacity() - static_cast<size_t>(w - r);
        n = std::min(n, room);
        copyIn(static_cast<size_t>(w % capacity()), src, n);
        writePos_.store(w + n, std::memory_order_release);
        return n;
    }

    // Copies up to n bytes out; returns how many there were.
    size_t read(uint8_t* dst, size_t n) {
        const uint64_t r = readPos_.load(std::memory_order_relaxed);
        const uint64_t w = writePos_.load(std::memory_order_acquire);
        n = std::min(n, static_cast<size_t>(w - r));
        copyOut(static_cast<size_t>(r % capacity()), dst, n);
        readPos_.store(r + n, std::memory_order_release);
        return n;
    }

  private:
    void copyIn(size_t at, const uint8_t* src, size_t n) {
        const size_t first = std::min(n, capacity() - at);
        if (first > 0) std::memcpy(buf_.data() + at, src, first);
        if (n > first) std::memcpy(buf_.data(), src + first, n - first);
    }
    void copyOut(size_t at, uint8_t* dst, size_t n) const {
        const size_t first = std::min(n, capacity() - at);
        if (first > 0) std::memcpy(dst, buf_.data() + at, first);
        if (n > first) std::memcpy(dst + first, buf_.data(), n - first);
    }

    std::vector<uint8_t> buf_;
    // Monotonic byte counters; the index is the counter modulo the capacity.
    alignas(64) std::atomic<uint64_t> writePos_{0};
    alignas(64) std::atomic<uint64_t> readPos_{0};
};

}  // namespace velorixa::net
