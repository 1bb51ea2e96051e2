#include "audio/realtime/fx/zeroed_floats.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

namespace velorixa::fx::dsp {

namespace {

// Below this a block comes from calloc: small lines gain nothing from pages of their own.
constexpr size_t kMapBytes = 64 * 1024;

// Under AddressSanitizer every block comes from calloc, whose large blocks the sanitizer maps
// fresh (untouched as well) while it still watches their bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapAllowed = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapAllowed = false;
#else
constexpr bool kMapAllowed = true;
#endif
#else
constexpr bool kMapAllowed = true;
#endif

}  // namespace

ZeroedFloats::ZeroedFloats(size_t count) : count_(count) {
    if (count == 0) return;
    const size_t bytes = count * sizeof(float);
    if (bytes / sizeof(float) != count) throw std::bad_alloc();
    if (kMapAllowed && bytes >= kMapBytes) {
        // glibc's calloc would serve a block this size from the heap once the program has
        // freed a few like it (its mmap threshold rises), and then write every zero.
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<float*>(p);
        mapped_ = true;
    } else {
        data_ = static_cast<float*>(std::calloc(count, sizeof(float)));
        if (!data_) throw std::bad_alloc();
    }
}

ZeroedFloats::~ZeroedFloats() {
    release();
}

ZeroedFloats::ZeroedFloats(ZeroedFloats&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      clean_(std::exchange(other.clean_, true)) {}

ZeroedFloats& ZeroedFloats::operator=(ZeroedFloats&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
        mapped_ = std::exchange(other.mapped_, false);
        clean_ = std::exchange(other.clean_, true);
    }
    return *this;
}

void ZeroedFloats::release() noexcept {
    if (!data_) return;
    if (mapped_)
        munmap(data_, count_ * sizeof(float));
    else
        std::free(data_);
    data_ = nullptr;
    count_ = 0;
}

void ZeroedFloats::clear() noexcept {
    if (clean_) return;
    std::fill(data_, data_ + count_, 0.0f);
    clean_ = true;
}

}  // namespace velorixa::fx::dsp
