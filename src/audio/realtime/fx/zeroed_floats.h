#pragma once
// A block of floats that starts as zeros without writing them. A large block comes straight
// from the kernel as zero pages, so the part of an effect's line the sound never reaches (the
// whole line of an effect that stays off, the far end of a two-second echo line) costs address
// space but no memory. It remembers whether anything may have been written since it was last
// zero, so that clearing a line nothing touched leaves its pages untouched too.
//
// Thread contract: a plain value owned by one effect. Construction and destruction allocate and
// free (off the audio thread); data(), clear() and the element access never allocate or lock.

#include <cstddef>

namespace velorixa::fx::dsp {

class ZeroedFloats {
  public:
    ZeroedFloats() = default;
    explicit ZeroedFloats(size_t count);
    ~ZeroedFloats();
    ZeroedFloats(ZeroedFloats&& other) noexcept;
    ZeroedFloats& operator=(ZeroedFloats&& other) noexcept;
    ZeroedFloats(const ZeroedFloats&) = delete;
    ZeroedFloats& operator=(const ZeroedFloats&) = delete;

    size_t size() const noexcept { return count_; }
    bool empty() const noexcept { return count_ == 0; }

    // Write access counts as a write: the next clear() zeros the block.
    float* data() noexcept {
        clean_ = false;
        return data_;
    }
    const float* data() const noexcept { return data_; }
    float& operator[](size_t i) noexcept {
        clean_ = false;
        return data_[i];
    }
    float operator[](size_t i) const noexcept { return data_[i]; }

    // Every element zero again; nothing is written when nothing was since the last time.
    void clear() noexcept;

  private:
    void release() noexcept;

    float* data_ = nullptr;
    size_t count_ = 0;
    bool mapped_ = false;  // from mmap (else from calloc)
    bool clean_ = true;
};

}  // namespace velorixa::fx::dsp
